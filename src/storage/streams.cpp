// Named streams of a document: open-or-create, copying between documents, packing external
// files into streams and out again, and copying the two summary-property streams.
//
// Every copy leaves the destination stream exactly as long as what was copied into it: a
// longer old content would otherwise keep its tail after the new bytes.
#include <support/com_ptr.h>
#include <support/result_macros.h>
#include <support/unique_resource.h>
#include <z64eveze.h>

namespace {

using support::ComPtr;

constexpr DWORD kOpenMode = STGM_SHARE_EXCLUSIVE | STGM_READWRITE;
constexpr DWORD kCreateMode = STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE;
constexpr DWORD kUnpackMode = STGM_SHARE_EXCLUSIVE | STGM_READ;
constexpr ULONG kCopyBlockSize = 1024;
constexpr ULONGLONG kWholeStream = 0x7FFFFFFFFFFFFFFFULL;
constexpr wchar_t kSummaryInformation[] = L"\005SummaryInformation";
constexpr wchar_t kDocumentSummaryInformation[] = L"\005DocumentSummaryInformation";

// Results of the file functions.
constexpr int kFileDone = 0;
constexpr int kSourceNotOpened = 1;
constexpr int kFileFailed = -1;

HRESULT openOrCreate(IStorage* storage, const wchar_t* name, IStream** stream) {
    if (SUCCEEDED(storage->OpenStream(name, nullptr, kOpenMode, 0, stream)))
        return S_OK;
    return storage->CreateStream(name, kCreateMode, 0, 0, stream);
}

HRESULT truncateTo(IStream* stream, ULONGLONG size) {
    ULARGE_INTEGER newSize;
    newSize.QuadPart = size;
    return stream->SetSize(newSize);
}

// Copies all of `source` (from its start) over `destination`, which ends up exactly as long.
HRESULT copyWholeStream(IStream* source, IStream* destination) {
    ULARGE_INTEGER count, read{}, written{};
    count.QuadPart = kWholeStream;
    RETURN_IF_FAILED(source->CopyTo(destination, count, &read, &written));
    RETURN_HR_IF(E_FAIL, read.QuadPart != written.QuadPart);
    RETURN_IF_FAILED(truncateTo(destination, written.QuadPart));
    destination->Commit(STGC_DEFAULT);
    return S_OK;
}

// One metadata stream from `source` to `destination`; nothing is removed when the source
// lacks it.
HRESULT copyMetadataStream(IStorage* destination, IStorage* source, const wchar_t* name) {
    ComPtr<IStream> sourceStream, destinationStream;
    RETURN_IF_FAILED(source->OpenStream(name, nullptr, kOpenMode, 0, sourceStream.put()));
    RETURN_IF_FAILED(openOrCreate(destination, name, destinationStream.put()));
    return copyWholeStream(sourceStream.get(), destinationStream.get());
}

int packInto(HANDLE file, IStream* stream) {
    char block[kCopyBlockSize];
    ULONGLONG total = 0;
    DWORD read = 0;
    do {
        if (!ReadFile(file, block, kCopyBlockSize, &read, nullptr))
            return kFileFailed;
        ULONG written = 0;
        if (FAILED(stream->Write(block, read, &written)) || written != read)
            return kFileFailed;
        total += read;
    } while (read == kCopyBlockSize);
    if (FAILED(truncateTo(stream, total)))
        return kFileFailed;
    stream->Commit(STGC_DEFAULT);
    return kFileDone;
}

int unpackInto(IStream* stream, HANDLE file) {
    char block[kCopyBlockSize];
    ULONG read = 0;
    do {
        if (FAILED(stream->Read(block, kCopyBlockSize, &read)))
            return kFileFailed;
        DWORD written = 0;
        if (!WriteFile(file, block, read, &written, nullptr) || written != read)
            return kFileFailed;
    } while (read == kCopyBlockSize);
    return kFileDone;
}

} // namespace

Z64EVEZE_API long QVStgOpenStream(IStorage* storage, const wchar_t* name, IStream** stream) {
    RETURN_HR_IF(E_POINTER, !storage || !name || !stream);
    return openOrCreate(storage, name, stream);
}

Z64EVEZE_API long QVStgCopyStream(const wchar_t* name, IStorage* destination, IStorage* source) {
    RETURN_HR_IF(E_POINTER, !destination || !source);
    ComPtr<IStream> sourceStream;
    const HRESULT opened = source->OpenStream(name, nullptr, kOpenMode, 0, sourceStream.put());
    if (FAILED(opened)) {
        // The source has no such stream, so neither may the copy.
        destination->DestroyElement(name);
        return opened;
    }
    RETURN_HR_IF_NULL(E_POINTER, name);
    ComPtr<IStream> destinationStream;
    RETURN_IF_FAILED(openOrCreate(destination, name, destinationStream.put()));
    return copyWholeStream(sourceStream.get(), destinationStream.get());
}

Z64EVEZE_API int QVStgPackFile(IStorage* storage, const wchar_t* name, const char* path) {
    if (!storage || !name || !path)
        return kFileFailed;
    support::UniqueFile file(
        CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return kSourceNotOpened;
    ComPtr<IStream> stream;
    if (FAILED(openOrCreate(storage, name, stream.put())))
        return kFileFailed;
    return packInto(file.get(), stream.get());
}

Z64EVEZE_API int QVStgUnpackFile(IStorage* storage, const wchar_t* name, const char* path) {
    if (!storage || !name || !path)
        return kFileFailed;
    ComPtr<IStream> stream;
    if (FAILED(storage->OpenStream(name, nullptr, kUnpackMode, 0, stream.put())))
        return kSourceNotOpened;
    support::UniqueFile file(
        CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file)
        return kFileFailed;
    return unpackInto(stream.get(), file.get());
}

Z64EVEZE_API long QVStgCopyMetaData(IStorage* destination, IStorage* source) {
    RETURN_HR_IF(E_POINTER, !destination || !source);
    RETURN_IF_FAILED(copyMetadataStream(destination, source, kSummaryInformation));
    return copyMetadataStream(destination, source, kDocumentSummaryInformation);
}
