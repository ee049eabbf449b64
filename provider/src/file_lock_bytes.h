// ILockBytes over a file handle: the provider's own access to the files of its roots.
//
// The file is opened with CreateFileW and the share flags of the root's STGM share mode
// (fileShareOf in modes.h); the byte-range locks of share_locks.h say the rest.
#pragma once

#include "com_ptr.h"

#include <support/com_object.h>
#include <support/unique_resource.h>

#include <objidl.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace provider {

enum class FileDisposition {
    openExisting,
    createNew,    // fails when the file exists (STGM_FAILIFTHERE)
    openOrCreate, // STGM_CREATE, STGM_CONVERT: emptied by the caller once the file is its own
};

class FileLockBytes final : public support::ComObject<FileLockBytes, ILockBytes> {
public:
    // Opens `path` for a root opened with `mode` (its access and share groups).
    [[nodiscard]] static HRESULT open(const std::wstring& path, DWORD mode,
                                      FileDisposition disposition, SECURITY_ATTRIBUTES* security,
                                      ComPtr<FileLockBytes>* result);

    // ILockBytes
    HRESULT STDMETHODCALLTYPE ReadAt(ULARGE_INTEGER offset, void* buffer, ULONG count,
                                     ULONG* read) override;
    HRESULT STDMETHODCALLTYPE WriteAt(ULARGE_INTEGER offset, const void* buffer, ULONG count,
                                      ULONG* written) override;
    HRESULT STDMETHODCALLTYPE Flush() override;
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override;
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count,
                                         DWORD lockType) override;
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count,
                                           DWORD lockType) override;
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD statFlag) override;

    [[nodiscard]] const std::wstring& path() const { return path_; }
    // While false, Flush leaves the data in the system's cache
    // (STGC_DANGEROUSLYCOMMITMERELYTODISKCACHE).
    void setFlushToDisk(bool flush) { flushToDisk_ = flush; }
    // Behaves as a full disk: from now on the file cannot grow past its present size, and
    // writes and size changes that would make it longer fail with STG_E_MEDIUMFULL.
    void refuseGrowth();

    FileLockBytes(support::UniqueFile file, std::wstring path)
        : file_(std::move(file)), path_(std::move(path)) {}

private:
    // Reads and writes move the file pointer, then read or write there, rather than give the
    // offset in an OVERLAPPED: under Wine every call with an OVERLAPPED that names no event
    // costs a round trip to the server (to post a completion no port waits for), which on a
    // busy machine weighs more than the copying itself. Moving the pointer costs none.
    [[nodiscard]] bool moveTo(ULARGE_INTEGER offset);

    std::mutex mutex_; // held from moving the file pointer to the end of the read or write
    support::UniqueFile file_;
    std::wstring path_;
    std::atomic<bool> flushToDisk_{true};
    std::atomic<std::uint64_t> sizeLimit_{UINT64_MAX};
};

// The full path of `name` (relative names against the current folder), with the \\?\ prefix
// added when it is 260 characters or longer.
[[nodiscard]] HRESULT fullFilePath(const wchar_t* name, std::wstring* path);

} // namespace provider
