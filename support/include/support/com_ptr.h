// An owning COM interface pointer: AddRef on copy, Release on destruction.
//
//   ComPtr<IStream> stream;
//   RETURN_IF_FAILED(storage->OpenStream(name, nullptr, mode, 0, stream.put()));
#pragma once

#include <unknwn.h>

#include <utility>

namespace support {

template <typename Interface>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference to `pointer`.
    explicit ComPtr(Interface* pointer) noexcept : pointer_(pointer) { addRef(); }
    ComPtr(const ComPtr& other) noexcept : pointer_(other.pointer_) { addRef(); }
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(pointer_, other.pointer_);
        return *this;
    }
    ~ComPtr() { reset(); }

    // Takes over a reference the caller already owns.
    [[nodiscard]] static ComPtr attach(Interface* pointer) noexcept {
        ComPtr owner;
        owner.pointer_ = pointer;
        return owner;
    }
    // Gives up the reference without releasing it.
    [[nodiscard]] Interface* detach() noexcept { return std::exchange(pointer_, nullptr); }

    void reset() noexcept {
        if (Interface* previous = std::exchange(pointer_, nullptr))
            previous->Release();
    }

    // Releases the current reference and returns the address an API writes a new one to.
    [[nodiscard]] Interface** put() noexcept {
        reset();
        return &pointer_;
    }
    [[nodiscard]] void** putVoid() noexcept { return reinterpret_cast<void**>(put()); }

    [[nodiscard]] Interface* get() const noexcept { return pointer_; }
    Interface* operator->() const noexcept { return pointer_; }
    explicit operator bool() const noexcept { return pointer_ != nullptr; }

    // QueryInterface for another interface of the same object.
    template <typename Other>
    [[nodiscard]] HRESULT as(ComPtr<Other>* other) const noexcept {
        if (!pointer_)
            return E_POINTER;
        return pointer_->QueryInterface(__uuidof(Other), other->putVoid());
    }

    // Hands a new reference to an out-parameter (which may be null).
    void copyTo(Interface** out) const noexcept {
        if (!out)
            return;
        *out = pointer_;
        addRef();
    }

private:
    void addRef() const noexcept {
        if (pointer_)
            pointer_->AddRef();
    }

    Interface* pointer_ = nullptr;
};

} // namespace support
