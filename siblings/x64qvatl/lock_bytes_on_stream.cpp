#include "x64qvatl.h"

#include <support/com_object.h>
#include <support/com_ptr.h>
#include <support/result_macros.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>

namespace {

constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;

class StreamLockBytes final : public support::ComObject<StreamLockBytes, ILockBytes> {
public:
    StreamLockBytes(IStream* stream, bool writable) : stream_(stream), writable_(writable) {}

    // ILockBytes
    HRESULT STDMETHODCALLTYPE ReadAt(ULARGE_INTEGER offset, void* buffer, ULONG count,
                                     ULONG* read) override {
        if (read)
            *read = 0;
        RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, buffer);
        std::lock_guard lock(lock_);
        // Reads are bounded by the stream's size here rather than trusting every stream to
        // stop at its end (some answer reads past the end with stray bytes).
        ULARGE_INTEGER size;
        RETURN_IF_FAILED(streamSize(&size));
        if (offset.QuadPart >= size.QuadPart)
            return S_OK;
        const ULONG available =
            static_cast<ULONG>(std::min<ULONGLONG>(count, size.QuadPart - offset.QuadPart));
        RETURN_IF_FAILED(seekTo(offset));
        // Lock bytes answer S_OK for a read cut short by the end; some streams say S_FALSE.
        const HRESULT hr = stream_->Read(buffer, available, read);
        return hr == S_FALSE ? S_OK : hr;
    }

    HRESULT STDMETHODCALLTYPE WriteAt(ULARGE_INTEGER offset, const void* buffer, ULONG count,
                                      ULONG* written) override {
        if (written)
            *written = 0;
        RETURN_HR_IF(STG_E_ACCESSDENIED, !writable_);
        RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, buffer);
        std::lock_guard lock(lock_);
        RETURN_IF_FAILED(seekTo(offset));
        return stream_->Write(buffer, count, written);
    }

    HRESULT STDMETHODCALLTYPE Flush() override {
        const HRESULT hr = stream_->Commit(STGC_DEFAULT);
        // Streams without transactions of their own have nothing to flush.
        return hr == E_NOTIMPL ? S_OK : hr;
    }

    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override {
        RETURN_HR_IF(STG_E_ACCESSDENIED, !writable_);
        std::lock_guard lock(lock_);
        return stream_->SetSize(size);
    }

    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }

    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override {
        RETURN_HR_IF_NULL(STG_E_INVALIDPOINTER, stat);
        RETURN_HR_IF(STG_E_INVALIDFLAG, flags != STATFLAG_DEFAULT && flags != STATFLAG_NONAME);
        RETURN_IF_FAILED(stream_->Stat(stat, flags));
        stat->type = STGTY_LOCKBYTES;
        stat->grfMode = writable_ ? STGM_READWRITE : STGM_READ;
        stat->grfLocksSupported = 0;
        return S_OK;
    }

private:
    HRESULT streamSize(ULARGE_INTEGER* size) {
        LARGE_INTEGER none{};
        return stream_->Seek(none, STREAM_SEEK_END, size);
    }

    HRESULT seekTo(ULARGE_INTEGER offset) {
        LARGE_INTEGER position;
        position.QuadPart = static_cast<LONGLONG>(offset.QuadPart);
        return stream_->Seek(position, STREAM_SEEK_SET, nullptr);
    }

    support::ComPtr<IStream> stream_;
    const bool writable_;
    std::mutex lock_; // a seek and the read or write after it go together
};

bool isValidAccess(DWORD access) {
    return access != 0 && (access & ~kReadWrite) == 0;
}

} // namespace

QVATL_API int CreateLockBytesOnStream(IStream* stream, DWORD access, ILockBytes** lockBytes) {
    if (!lockBytes)
        return 0;
    *lockBytes = nullptr;
    if (!stream || !isValidAccess(access))
        return 0;
    *lockBytes =
        support::makeComObject<StreamLockBytes>(stream, (access & GENERIC_WRITE) != 0).detach();
    return *lockBytes != nullptr;
}
