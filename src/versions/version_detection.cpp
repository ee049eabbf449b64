// Which release wrote a document: its version text, read without opening the document for
// use and without changing it, from a flat document (bytes 1 to 4), from the stream
// "QuorvaneDocument" of a compound document, or from the property "QVFileVersion" of a
// compressed compound document (extension ".ac_").
#include "common/held_file.h"
#include "storage/storage.h"

#include <afxwin.h>
#include <d64avor.h>
#include <support/com_ptr.h>
#include <support/locale_owner.h>
#include <support/result_macros.h>
#include <support/task_memory.h>
#include <support/unique_resource.h>
#include <x64qvatl.h>
#include <z64eveze.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

using support::ComPtr;

constexpr DWORD kReadExclusive = STGM_READ | STGM_SHARE_EXCLUSIVE;
constexpr wchar_t kDocumentStream[] = L"QuorvaneDocument";
constexpr wchar_t kVersionProperty[] = L"QVFileVersion";
constexpr wchar_t kCompressedExtension[] = L".ac_";
constexpr size_t kVersionTextLength = 4;
constexpr size_t kVersionTextCapacity = 20; // what callers provide, terminator included
constexpr size_t kNumberTextCapacity = 32;
// A property value whose "%2.2f" text would not fit the caller's 20 bytes.
constexpr HRESULT kVersionTextTooLong = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);

// A "C" locale made for one call, so that texts never take the user's separators.
support::UniqueLocale cLocale() {
    return support::UniqueLocale(_create_locale(LC_NUMERIC, "C"));
}

// The extension of the path's last component, dot included ("" when it has none).
std::wstring extensionOf(const wchar_t* path) {
    const wchar_t* name = path;
    for (const wchar_t* character = path; *character; ++character)
        if (*character == L'\\' || *character == L'/' || *character == L':')
            name = character + 1;
    const wchar_t* dot = std::wcsrchr(name, L'.');
    return dot ? dot : L"";
}

bool endsWithUnderscore(const wchar_t* path) {
    const size_t length = std::wcslen(path);
    return length > 0 && path[length - 1] == L'_';
}

// The ANSI form of a path. A failed conversion raises the framework's exceptions.
std::string ansiPath(const wchar_t* path) {
    const int size = WideCharToMultiByte(CP_ACP, 0, path, -1, nullptr, 0, nullptr, nullptr);
    if (size == 0)
        AfxThrowOleException(HRESULT_FROM_WIN32(GetLastError()));
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, path, -1, text.data(), size, nullptr, nullptr);
    text.resize(static_cast<size_t>(size - 1));
    return text;
}

// The name the lock bytes report: the path, or its last component when the path does not
// fit the lock bytes' name.
std::string lockBytesName(const wchar_t* path) {
    std::string name = ansiPath(path);
    if (name.size() >= 1024)
        name = name.substr(name.find_last_of('\\') + 1);
    return name.size() < 1024 ? name : std::string();
}

HANDLE openDocument(const wchar_t* path, DWORD shareMode) {
    return z64::common::openRetryingWhileHeld([&] {
        return CreateFileW(MakeLongPath(path), GENERIC_READ, shareMode, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    });
}

// Bytes 1 to 4 of a flat document as text. A document shorter than five bytes holds no
// version text and fails.
template <typename ReadBytes>
HRESULT readFlatVersion(ReadBytes read, char* versionText) {
    char skipped = 0;
    char text[kVersionTextLength + 1] = {};
    if (read(&skipped, 1) != 1 || read(text, kVersionTextLength) != kVersionTextLength)
        return E_FAIL;
    std::memcpy(versionText, text, sizeof text);
    return S_OK;
}

HRESULT readFlatFile(HANDLE file, char* versionText) {
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    return readFlatVersion(
        [file](char* buffer, DWORD count) {
            DWORD read = 0;
            return ReadFile(file, buffer, count, &read, nullptr) ? read : 0;
        },
        versionText);
}

HRESULT readFlatStream(IStream* stream, char* versionText) {
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    return readFlatVersion(
        [stream](char* buffer, ULONG count) {
            ULONG read = 0;
            return SUCCEEDED(stream->Read(buffer, count, &read)) ? read : 0;
        },
        versionText);
}

// Bytes 1 to 4 of the document stream of a compound document.
HRESULT readDocumentStream(IStorage* storage, char* versionText) {
    ComPtr<IStream> stream;
    RETURN_IF_FAILED(
        storage->OpenStream(kDocumentStream, nullptr, kReadExclusive, 0, stream.put()));
    LARGE_INTEGER second;
    second.QuadPart = 1;
    RETURN_IF_FAILED(stream->Seek(second, STREAM_SEEK_SET, nullptr));
    char text[kVersionTextLength + 1] = {};
    ULONG read = 0;
    RETURN_IF_FAILED(stream->Read(text, kVersionTextLength, &read));
    RETURN_HR_IF(E_FAIL, read < kVersionTextLength);
    std::memcpy(versionText, text, sizeof text);
    return S_OK;
}

HRESULT formatVersion(double version, char* versionText) {
    const support::UniqueLocale c = cLocale();
    char text[64] = {};
    if (_snprintf_l(text, sizeof text, "%2.2f", c.get(), version) < 0)
        return E_FAIL;
    RETURN_HR_IF(kVersionTextTooLong, std::strlen(text) >= kVersionTextCapacity);
    std::strcpy(versionText, text);
    return S_OK;
}

// "QVFileVersion" of the user-defined properties, as "%2.2f" text.
HRESULT readVersionProperty(IStorage* storage, char* versionText) {
    ComPtr<IPropertySetStorage> sets;
    RETURN_IF_FAILED(storage->QueryInterface(IID_IPropertySetStorage, sets.putVoid()));
    RETURN_HR_IF(E_FAIL, !sets);
    ComPtr<IPropertyStorage> set;
    RETURN_IF_FAILED(sets->Open(FMTID_UserDefinedProperties, kReadExclusive, set.put()));
    RETURN_HR_IF(E_FAIL, !set);
    support::UniquePropVariant value;
    const HRESULT read =
        QVStgReadProperty(set.get(), const_cast<wchar_t*>(kVersionProperty), value.put());
    const double version = read == S_OK ? value->dblVal : 0.0;
    RETURN_HR_IF(E_FAIL, FAILED(read));
    RETURN_IF_FAILED(formatVersion(version, versionText));
    return read;
}

HRESULT readCompoundFile(ILockBytes* bytes, const wchar_t* path, char* versionText) {
    ComPtr<IStorage> storage;
    RETURN_IF_FAILED(z64::storage::openStorageOnILockBytes(bytes, kReadExclusive, storage.put()));
    if (_wcsicmp(extensionOf(path).c_str(), kCompressedExtension) == 0)
        return readVersionProperty(storage.get(), versionText);
    return readDocumentStream(storage.get(), versionText);
}

// The file reader: the version text of the document at `path`, opened with `shareMode`.
HRESULT readVersionText(const wchar_t* path, char* versionText, DWORD shareMode) {
    RETURN_HR_IF(E_POINTER, !path || !versionText);
    support::UniqueFile file(openDocument(path, shareMode));
    RETURN_HR_IF(E_FAIL, !file);

    ComPtr<ILockBytes> bytes;
    if (!CreateFileLockBytes(lockBytesName(path).c_str(), file.get(), GENERIC_READ, 0, 0,
                             bytes.put()) ||
        !bytes)
        return E_FAIL;
    if (z64::storage::isStorageILockBytes(bytes.get()) != S_OK) {
        bytes.reset();
        RETURN_HR_IF(E_FAIL, endsWithUnderscore(path));
        return readFlatFile(file.get(), versionText);
    }
    try {
        return readCompoundFile(bytes.get(), path, versionText);
    } catch (CException* exception) {
        exception->Delete();
        return E_FAIL;
    }
}

// The text reader into a private buffer, copied out only on S_OK.
HRESULT readVersionTextOnSuccess(const wchar_t* path, char* versionText, DWORD shareMode) {
    RETURN_HR_IF(E_POINTER, !path || !versionText);
    char text[kVersionTextCapacity] = {};
    const HRESULT hr = readVersionText(path, text, shareMode);
    if (hr == S_OK)
        std::strcpy(versionText, text);
    return hr;
}

// The number reader: the text parsed in the "C" locale; a positive result counts as read.
bool readVersionNumber(const wchar_t* path, double* version, DWORD shareMode) {
    *version = 0.0;
    char text[kNumberTextCapacity] = {};
    if (FAILED(readVersionText(path, text, shareMode)))
        return false;
    const support::UniqueLocale c = cLocale();
    *version = _atof_l(text, c.get());
    return true;
}

std::wstring widePath(const char* path) {
    const CStringW wide(path);
    return static_cast<const wchar_t*>(wide);
}

} // namespace

Z64EVEZE_API long GetQVVersionFromFile(const char* path, char* versionText) {
    if (!path)
        return E_POINTER;
    return readVersionText(widePath(path).c_str(), versionText, 0);
}

Z64EVEZE_API long GetQVVersionFromFileW(const wchar_t* path, char* versionText) {
    return readVersionText(path, versionText, 0);
}

Z64EVEZE_API long GetQVVersionFromFileWEx(const wchar_t* path, char* versionText,
                                          unsigned long shareMode) {
    return readVersionText(path, versionText, shareMode);
}

Z64EVEZE_API long GetQVVersionFromFileWT(const wchar_t* path, char* versionText) {
    return readVersionTextOnSuccess(path, versionText, 0);
}

Z64EVEZE_API long GetQVVersionFromFileWTEx(const wchar_t* path, char* versionText,
                                           unsigned long shareMode) {
    return readVersionTextOnSuccess(path, versionText, shareMode);
}

Z64EVEZE_API long GetQVVersionFromStream(IStream* stream, void* versionText) {
    RETURN_HR_IF(E_POINTER, !stream || !versionText);
    char* text = static_cast<char*>(versionText);
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    ComPtr<ILockBytes> bytes;
    if (!CreateLockBytesOnStream(stream, GENERIC_READ, bytes.put()) || !bytes)
        return E_FAIL;
    if (z64::storage::isStorageILockBytes(bytes.get()) != S_OK) {
        bytes.reset();
        return readFlatStream(stream, text);
    }
    ComPtr<IStorage> storage;
    RETURN_IF_FAILED(
        z64::storage::openStorageOnILockBytes(bytes.get(), kReadExclusive, storage.put()));
    return readDocumentStream(storage.get(), text);
}

Z64EVEZE_API bool GetQVVersionFromFile(const char* path, double* version) {
    if (!version)
        return false;
    if (!path) {
        *version = 0.0;
        return false;
    }
    return readVersionNumber(widePath(path).c_str(), version, 0);
}

Z64EVEZE_API bool GetQVVersionFromFileEx(const char* path, double* version,
                                         unsigned long shareMode) {
    if (!version)
        return false;
    if (!path) {
        *version = 0.0;
        return false;
    }
    return readVersionNumber(widePath(path).c_str(), version, shareMode);
}

Z64EVEZE_API bool GetQVVersionFromFileW(const wchar_t* path, double* version) {
    return version && readVersionNumber(path, version, 0);
}

Z64EVEZE_API bool GetQVVersionFromFileWEx(const wchar_t* path, double* version,
                                          unsigned long shareMode) {
    return version && readVersionNumber(path, version, shareMode);
}
