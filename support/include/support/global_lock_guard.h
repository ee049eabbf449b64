// A moveable memory block locked for the life of one object: GlobalLock when it is made,
// GlobalUnlock when it goes, so that every way out of a function unlocks the block once.
//
//   const GlobalLockGuard<HWND> handles(block);
//   if (handles) use(handles.get());
//
// Unlocking preserves the thread's last error (GlobalUnlock clears it when the count reaches
// zero), as the handle owners of unique_resource.h do.
#pragma once

#include <windows.h>

namespace support {

template <typename T>
class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL block) noexcept
        : block_(block), data_(static_cast<T*>(GlobalLock(block))) {}
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
    ~GlobalLockGuard() {
        if (data_ == nullptr)
            return;
        const DWORD lastError = GetLastError();
        GlobalUnlock(block_);
        SetLastError(lastError);
    }

    [[nodiscard]] T* get() const noexcept { return data_; }
    explicit operator bool() const noexcept { return data_ != nullptr; }

private:
    HGLOBAL block_;
    T* data_;
};

} // namespace support
