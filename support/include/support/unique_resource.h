// One owning type for every kind of Windows handle, parameterised by a close policy.
//
//   UniqueHandle file(CreateFileW(...));      // closed with CloseHandle
//   UniqueRegistryKey key; RegOpenKeyExW(..., key.put());
//
// Closing preserves the thread's last error, so that a function may return a failure and
// let its handles go without hiding the error code its caller is about to read.
#pragma once

#include <windows.h>

#include <utility>

namespace support {

template <typename Handle, typename ClosePolicy>
class UniqueResource {
public:
    UniqueResource() noexcept = default;
    explicit UniqueResource(Handle handle) noexcept : handle_(handle) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : handle_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~UniqueResource() { reset(); }

    [[nodiscard]] Handle get() const noexcept { return handle_; }
    [[nodiscard]] bool valid() const noexcept { return ClosePolicy::isValid(handle_); }
    explicit operator bool() const noexcept { return valid(); }

    // Gives up ownership without closing.
    [[nodiscard]] Handle release() noexcept {
        return std::exchange(handle_, ClosePolicy::invalidValue());
    }

    void reset(Handle handle = ClosePolicy::invalidValue()) noexcept {
        const Handle previous = std::exchange(handle_, handle);
        if (ClosePolicy::isValid(previous)) {
            const DWORD lastError = GetLastError();
            ClosePolicy::close(previous);
            SetLastError(lastError);
        }
    }

    // Closes the current handle and returns the address an API writes a new one to.
    [[nodiscard]] Handle* put() noexcept {
        reset();
        return &handle_;
    }

private:
    Handle handle_ = ClosePolicy::invalidValue();
};

// Kernel handles whose failure value is null (events, processes, threads, mutexes).
struct KernelHandlePolicy {
    static HANDLE invalidValue() noexcept { return nullptr; }
    static bool isValid(HANDLE handle) noexcept {
        return handle != nullptr && handle != INVALID_HANDLE_VALUE;
    }
    static void close(HANDLE handle) noexcept { CloseHandle(handle); }
};

// File handles, whose failure value is INVALID_HANDLE_VALUE.
struct FileHandlePolicy {
    static HANDLE invalidValue() noexcept { return INVALID_HANDLE_VALUE; }
    static bool isValid(HANDLE handle) noexcept {
        return handle != nullptr && handle != INVALID_HANDLE_VALUE;
    }
    static void close(HANDLE handle) noexcept { CloseHandle(handle); }
};

struct FindHandlePolicy {
    static HANDLE invalidValue() noexcept { return INVALID_HANDLE_VALUE; }
    static bool isValid(HANDLE handle) noexcept {
        return handle != nullptr && handle != INVALID_HANDLE_VALUE;
    }
    static void close(HANDLE handle) noexcept { FindClose(handle); }
};

struct RegistryKeyPolicy {
    static HKEY invalidValue() noexcept { return nullptr; }
    static bool isValid(HKEY key) noexcept { return key != nullptr; }
    static void close(HKEY key) noexcept { RegCloseKey(key); }
};

struct ModulePolicy {
    static HMODULE invalidValue() noexcept { return nullptr; }
    static bool isValid(HMODULE module) noexcept { return module != nullptr; }
    static void close(HMODULE module) noexcept { FreeLibrary(module); }
};

struct HookPolicy {
    static HHOOK invalidValue() noexcept { return nullptr; }
    static bool isValid(HHOOK hook) noexcept { return hook != nullptr; }
    static void close(HHOOK hook) noexcept { UnhookWindowsHookEx(hook); }
};

struct GlobalMemoryPolicy {
    static HGLOBAL invalidValue() noexcept { return nullptr; }
    static bool isValid(HGLOBAL memory) noexcept { return memory != nullptr; }
    static void close(HGLOBAL memory) noexcept { GlobalFree(memory); }
};

// Windows the owner made itself; a borrowed window is only ever a plain HWND.
struct WindowPolicy {
    static HWND invalidValue() noexcept { return nullptr; }
    static bool isValid(HWND window) noexcept { return window != nullptr; }
    static void close(HWND window) noexcept { DestroyWindow(window); }
};

using UniqueHandle = UniqueResource<HANDLE, KernelHandlePolicy>;
using UniqueFile = UniqueResource<HANDLE, FileHandlePolicy>;
using UniqueFind = UniqueResource<HANDLE, FindHandlePolicy>;
using UniqueRegistryKey = UniqueResource<HKEY, RegistryKeyPolicy>;
using UniqueModule = UniqueResource<HMODULE, ModulePolicy>;
using UniqueHook = UniqueResource<HHOOK, HookPolicy>;
using UniqueGlobal = UniqueResource<HGLOBAL, GlobalMemoryPolicy>;
using UniqueWindow = UniqueResource<HWND, WindowPolicy>;

} // namespace support
