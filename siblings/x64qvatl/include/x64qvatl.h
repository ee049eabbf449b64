// x64qvatl.dll: lock bytes on a stream.
#pragma once

#include <objidl.h>

#ifdef QVATL_BUILDING
#define QVATL_API extern "C" __declspec(dllexport)
#else
#define QVATL_API extern "C" __declspec(dllimport)
#endif

// Makes an ILockBytes that presents the bytes of `stream` from its beginning: ReadAt and
// WriteAt seek the stream and read or write there, SetSize and Flush pass to the stream,
// Stat describes the stream as lock bytes, and region locks are refused with
// STG_E_INVALIDFUNCTION, as for the streams of a compound file. The object holds one
// reference on the stream.
//
// `access` is GENERIC_READ (WriteAt and SetSize then answer STG_E_ACCESSDENIED),
// GENERIC_WRITE, or both. Returns nonzero with the object in *lockBytes; zero, with
// *lockBytes null, for a null stream or out-pointer or any other access value.
QVATL_API int CreateLockBytesOnStream(IStream* stream, DWORD access, ILockBytes** lockBytes);
