// Converting a flat document into a compound document in place: the flat bytes become the
// stream "QuorvaneDocument" of a new compound file, next to the document's metadata, and
// the new file takes the document's place under its own name.
#include "common/held_file.h"
#include "common/module_entry.h"
#include "integration/integration.h"
#include "storage/storage.h"

#include <afxwin.h>
#include <support/com_ptr.h>
#include <support/result_macros.h>
#include <support/unique_resource.h>
#include <z64eveze.h>

#include <mbstring.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace {

using support::ComPtr;

constexpr char kMetadataLibrary[] = "x64qv42.dll";
constexpr size_t kMetadataContextSize = 4912;
constexpr size_t kPathCapacity = 1024;
constexpr DWORD kChunkSize = 1024;
constexpr DWORD kCopyToHandleChunkSize = 512;
// The most one ReadFile or IStream::Write of a whole-file copy moves at once.
constexpr ULONGLONG kLargestTransfer = 1ull << 30;
constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kOpenReadWrite = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
constexpr DWORD kCreateStream = STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE;
constexpr wchar_t kDocumentStream[] = L"QuorvaneDocument";
constexpr char kTemporarySuffix[] = "cf";
constexpr char kCallerText[] = "UpdateAcFileToCompoundFile : docfile";
constexpr int kLineAfterFailedCopy = 1580;
constexpr int kLineAfterInPlaceCopy = 1587;
constexpr int kLineAfterFailedInPlaceCopy = 1592;

enum ConversionResult : int {
    alreadyCompound = 0,
    converted = 1,
    failed = 2,
    notAttempted = 3,
    metadataNotCollected = 4,
};

using CollectMetaDataFunction = int (*)(const wchar_t* path, void* context);
using WriteMetaDataFunction = int (*)(IStorage* storage, void* context);

// The metadata library's entry points, when the application has loaded it.
struct MetadataLibrary {
    CollectMetaDataFunction collect = nullptr;
    WriteMetaDataFunction write = nullptr;

    [[nodiscard]] bool find() {
        const HMODULE library = GetModuleHandleA(kMetadataLibrary);
        if (!library)
            return false;
        collect = z64::common::moduleEntry<CollectMetaDataFunction>(library, "QVCollectMetaData");
        write = z64::common::moduleEntry<WriteMetaDataFunction>(library, "QVWriteMetaData2");
        return collect && write && GetProcAddress(library, "QVClearMetaData");
    }
};

// A narrow text as UTF-16; a failed conversion raises the framework's exceptions.
CStringW wideText(const char* text) {
    return CStringW(text);
}

// The document opened without sharing: read-write, or read-only when writing is denied.
// Both opens share one budget of retries while someone else holds the file.
struct OpenedDocument {
    support::UniqueFile file;
    DWORD access = kReadWrite;
};

OpenedDocument openDocument(const char* path) {
    z64::common::HeldFileRetries budget;
    auto open = [&](DWORD access) {
        return z64::common::openRetryingWhileHeld(
            [&] {
                return CreateFileA(path, access, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                   nullptr);
            },
            budget);
    };
    OpenedDocument document;
    document.file.reset(open(kReadWrite));
    if (!document.file && GetLastError() == ERROR_ACCESS_DENIED) {
        document.access = GENERIC_READ;
        document.file.reset(open(GENERIC_READ));
    }
    return document;
}

// The size of an open file in 64 bits (documents of 4 GiB and more are not cut short), with
// the file pointer moved back to the start; false when it cannot be learned.
bool fileSizeFromStart(HANDLE file, ULONGLONG* size) {
    LARGE_INTEGER end;
    if (!GetFileSizeEx(file, &end))
        return false;
    *size = static_cast<ULONGLONG>(end.QuadPart);
    return SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_BEGIN) != FALSE;
}

// File-backed lock bytes on the document's handle, as the caller opened it.
ComPtr<ILockBytes> lockBytesOn(HANDLE file, const char* path, DWORD access) {
    auto* bytes = new (std::nothrow) CFileLockBytes(path, file, access, 0, 0);
    if (!bytes)
        return {};
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    // The object starts without references; the query hands the first one to the owner.
    ComPtr<ILockBytes> lockBytes;
    bytes->QueryInterface(IID_ILockBytes, lockBytes.putVoid());
    return lockBytes;
}

// Writes collected metadata into a document that already is a compound file.
int rewriteMetadata(ILockBytes* bytes, const MetadataLibrary& metadata, void* context) {
    ComPtr<IStorage> storage;
    if (FAILED(z64::storage::openStorageOnILockBytes(bytes, kOpenReadWrite, storage.put())) ||
        !metadata.write(storage.get(), context))
        return failed;
    return SUCCEEDED(storage->Commit(STGC_DEFAULT)) ? alreadyCompound : failed;
}

// Reads the file from its position to its end in chunks of `ChunkSize` bytes, handing each
// to `write`; true when every chunk was written whole and `size` bytes were copied.
template <DWORD ChunkSize, typename Write>
bool copyInChunks(HANDLE file, ULONGLONG size, Write write) {
    char chunk[ChunkSize];
    ULONGLONG copied = 0;
    DWORD read = 0;
    while (ReadFile(file, chunk, ChunkSize, &read, nullptr) && read > 0) {
        if (!write(chunk, read))
            return false;
        copied += read;
    }
    return copied == size;
}

// Copies the document's bytes into the stream; false when anything is lost on the way.
bool copyDocumentInto(HANDLE file, IStream* stream) {
    ULONGLONG size = 0;
    return fileSizeFromStart(file, &size) &&
           copyInChunks<kChunkSize>(file, size, [stream](const char* chunk, DWORD length) {
               ULONG written = 0;
               return SUCCEEDED(stream->Write(chunk, length, &written)) && written == length;
           });
}

// Calls `move(offset, length)` for consecutive pieces of at most kLargestTransfer bytes that
// together cover `size` bytes; false as soon as one piece fails.
template <typename Move>
bool inLargestTransfers(ULONGLONG size, Move move) {
    for (ULONGLONG done = 0; done < size;) {
        const auto length = static_cast<DWORD>(std::min(size - done, kLargestTransfer));
        if (!move(done, length))
            return false;
        done += length;
    }
    return true;
}

// Reads `size` bytes from the file into `block`.
bool readWhole(HANDLE file, char* block, ULONGLONG size) {
    return inLargestTransfers(size, [&](ULONGLONG offset, DWORD length) {
        DWORD read = 0;
        return ReadFile(file, block + offset, length, &read, nullptr) && read == length;
    });
}

// Writes `size` bytes into the stream at its position.
bool writeWhole(IStream* stream, const char* block, ULONGLONG size) {
    return inLargestTransfers(size, [&](ULONGLONG offset, DWORD length) {
        ULONG written = 0;
        return SUCCEEDED(stream->Write(block + offset, length, &written));
    });
}

// Builds the compound document in the temporary file; false when a step failed.
bool buildCompoundDocument(const char* temporaryPath, HANDLE file, bool withMetadata,
                           const MetadataLibrary& metadata, void* context) {
    ComPtr<IStorage> storage;
    if (FAILED(QVStgCreateStorageW(wideText(temporaryPath), storage.put())))
        return false;
    if (withMetadata && !metadata.write(storage.get(), context))
        return false;
    ComPtr<IStream> stream;
    if (FAILED(storage->CreateStream(kDocumentStream, kCreateStream, 0, 0, stream.put())))
        return false;
    bool complete = false;
    try {
        complete = copyDocumentInto(file, stream.get());
    } catch (...) {
        complete = false;
    }
    stream->Commit(STGC_DEFAULT);
    stream.reset();
    return SUCCEEDED(storage->Commit(STGC_DEFAULT)) && complete;
}

// The temporary file takes the document's place: through the open handle, or, when that
// fails, by deleting the document and moving the temporary file in.
int replaceDocument(support::UniqueFile& file, const char* documentPath,
                    const char* temporaryPath) {
    const bool copied = CopyFileToHandle(file.get(), temporaryPath);
    file.reset();
    if (copied) {
        g_pfnDeleteFile(temporaryPath, kCallerText, kLineAfterInPlaceCopy);
        return converted;
    }
    if (!g_pfnDeleteFile(documentPath, kCallerText, kLineAfterFailedInPlaceCopy))
        return failed;
    return g_pfnMoveFile(temporaryPath, documentPath, kCallerText, kLineAfterFailedInPlaceCopy)
               ? converted
               : failed;
}

bool buildPath(char (&path)[kPathCapacity], const char* directory, const char* name,
               const char* extension) {
    path[0] = '\0';
    return strcat_s(path, directory ? directory : "") == 0 && strcat_s(path, name) == 0 &&
           strcat_s(path, ".") == 0 && strcat_s(path, extension ? extension : "") == 0 &&
           std::strlen(path) + std::strlen(kTemporarySuffix) < kPathCapacity;
}

int convertDocument(const char* documentPath, bool withMetadata, const MetadataLibrary& metadata,
                    void* context) {
    OpenedDocument document = openDocument(documentPath);
    if (!document.file)
        return failed;
    if (document.access != kReadWrite)
        withMetadata = false;

    ComPtr<ILockBytes> bytes;
    try {
        bytes = lockBytesOn(document.file.get(), documentPath, document.access);
    } catch (...) {
        return failed;
    }
    if (!bytes)
        return failed;
    if (z64::storage::isStorageILockBytes(bytes.get()) == S_OK) {
        if (!withMetadata)
            return alreadyCompound;
        try {
            return rewriteMetadata(bytes.get(), metadata, context);
        } catch (...) {
            return failed;
        }
    }
    bytes.reset();

    char temporaryPath[kPathCapacity];
    strcpy_s(temporaryPath, documentPath);
    strcat_s(temporaryPath, kTemporarySuffix);
    if (!buildCompoundDocument(temporaryPath, document.file.get(), withMetadata, metadata,
                               context)) {
        g_pfnDeleteFile(temporaryPath, kCallerText, kLineAfterFailedCopy);
        return failed;
    }
    return replaceDocument(document.file, documentPath, temporaryPath);
}

} // namespace

Z64EVEZE_API int UpdateAcFileToCompoundFile(char* directory, char* name, char* extension) {
    MetadataLibrary metadata;
    if (!name || name[0] == '\0' || !metadata.find())
        return notAttempted;
    char documentPath[kPathCapacity];
    if (!buildPath(documentPath, directory, name, extension))
        return failed;

    alignas(8) unsigned char context[kMetadataContextSize] = {};
    const bool compressed = extension && std::strchr(extension, '_');
    if (!compressed && !metadata.collect(wideText(documentPath), context))
        return metadataNotCollected;
    return convertDocument(documentPath, !compressed, metadata, context);
}

Z64EVEZE_API bool CopyFileToHandle(void* file, const char* sourcePath) {
    support::UniqueFile source(
        CreateFileA(sourcePath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!source)
        return false;
    ULONGLONG size = 0;
    if (!fileSizeFromStart(source.get(), &size) ||
        !SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_BEGIN))
        return false;
    const bool copied = copyInChunks<kCopyToHandleChunkSize>(
        source.get(), size, [file](const char* chunk, DWORD length) {
            DWORD written = 0;
            return WriteFile(file, chunk, length, &written, nullptr) && written == length;
        });
    return copied && SetEndOfFile(file);
}

Z64EVEZE_API int QVCopyAC(char* documentPath, const char* sourcePath) {
    constexpr int kCopied = 0;
    constexpr int kNotCopied = 1;
    support::UniqueFile document(z64::common::openRetryingWhileHeld([documentPath] {
        return CreateFileA(documentPath, kReadWrite, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }));
    if (!document)
        return kNotCopied;
    ComPtr<ILockBytes> bytes = lockBytesOn(document.get(), documentPath, kReadWrite);
    if (!bytes)
        return kNotCopied;
    if (z64::storage::isStorageILockBytes(bytes.get()) != S_OK) {
        bytes.reset();
        return CopyFileToHandle(document.get(), sourcePath) ? kCopied : kNotCopied;
    }

    ComPtr<IStorage> storage;
    ComPtr<IStream> stream;
    if (z64::storage::openStorageOnILockBytes(bytes.get(), kOpenReadWrite, storage.put()) != S_OK ||
        !storage ||
        storage->OpenStream(kDocumentStream, nullptr, kOpenReadWrite, 0, stream.put()) != S_OK ||
        !stream)
        return kNotCopied;

    support::UniqueFile source(CreateFileA(sourcePath, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!source)
        return kNotCopied;
    ULONGLONG size = 0;
    if (!fileSizeFromStart(source.get(), &size) || size >= SIZE_MAX)
        return kNotCopied;
    // The whole file is read before the stream is touched, so that a failed read leaves the
    // document as it was.
    std::unique_ptr<char[]> block(new (std::nothrow) char[size ? static_cast<size_t>(size) : 1]);
    if (!block || !readWhole(source.get(), block.get(), size) ||
        !writeWhole(stream.get(), block.get(), size))
        return kNotCopied;
    ULARGE_INTEGER streamSize;
    streamSize.QuadPart = size;
    stream->SetSize(streamSize);
    stream->Commit(STGC_DEFAULT);
    return kCopied;
}

Z64EVEZE_API int IsFileCompressed(const char* path) {
    if (!path)
        return 0;
    // The extension of the last component, found without _splitpath_s's limits on parts.
    const unsigned char* text = reinterpret_cast<const unsigned char*>(path);
    const unsigned char* name = text;
    for (const unsigned char* slash : {_mbsrchr(text, '\\'), _mbsrchr(text, '/')})
        if (slash && slash >= name)
            name = _mbsinc(slash);
    const unsigned char* dot = _mbsrchr(name, '.');
    return dot && _mbsicmp(dot, reinterpret_cast<const unsigned char*>(".AC_")) == 0 ? 1 : 0;
}
