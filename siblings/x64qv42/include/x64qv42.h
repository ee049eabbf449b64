// x64qv42.dll: the application's metadata library.
//
// A document's metadata is collected into a caller-provided context of 4912 bytes and then
// written into a compound document as summary-information properties. The converter of
// flat documents reaches these entry points only when the application has loaded the
// library.
//
// Test switches:
//   QV_METADATA_FAIL  environment variable, read on every call: "collect" makes
//                     QVCollectMetaData fail, "write" makes QVWriteMetaData2 fail.
//   Variants of the DLL without one entry point each are built into
//   bin/x64qv42-variants/no-collect, no-write and no-clear (same file name).
#pragma once

#include <objidl.h>

#ifdef QV42_BUILDING
// The .def file of each build names the exports, so that the variants can leave one out.
#define QV42_API extern "C"
#else
#define QV42_API extern "C" __declspec(dllimport)
#endif

inline constexpr size_t kMetadataContextSize = 4912;

// Gathers the metadata of the document at `path`: its file name as title, its size and
// its three file times. Nonzero when collected.
QV42_API int QVCollectMetaData(const wchar_t* path, void* context);

// Writes collected metadata into `storage` as summary information (title, comments with
// the size, creation and last-save times, application name) and commits the set. Nonzero
// when written.
QV42_API int QVWriteMetaData2(IStorage* storage, void* context);

// Forgets the collected metadata.
QV42_API void QVClearMetaData(void* context);
