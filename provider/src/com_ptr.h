// An owning pointer to a COM interface: AddRef on copy, Release on destruction.
//
//   ComPtr<IStorage> storage;
//   RETURN_IF_FAILED(StgOpenStorage(name, nullptr, mode, nullptr, 0, storage.put()));
#pragma once

#include <unknwn.h>

#include <utility>

namespace provider {

template <typename Interface>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference to `pointer`.
    explicit ComPtr(Interface* pointer) noexcept : pointer_(pointer) {
        if (pointer_)
            pointer_->AddRef();
    }
    ComPtr(const ComPtr& other) noexcept : ComPtr(other.pointer_) {}
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(const ComPtr& other) noexcept {
        ComPtr(other).swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        ComPtr(std::move(other)).swap(*this);
        return *this;
    }
    ~ComPtr() { reset(); }

    // Adopts a reference the caller already owns.
    [[nodiscard]] static ComPtr adopt(Interface* pointer) noexcept {
        ComPtr result;
        result.pointer_ = pointer;
        return result;
    }

    [[nodiscard]] Interface* get() const noexcept { return pointer_; }
    Interface* operator->() const noexcept { return pointer_; }
    explicit operator bool() const noexcept { return pointer_ != nullptr; }

    void reset() noexcept {
        if (Interface* old = std::exchange(pointer_, nullptr))
            old->Release();
    }
    // Releases the current pointer and returns the address a function writes a new one to.
    [[nodiscard]] Interface** put() noexcept {
        reset();
        return &pointer_;
    }
    [[nodiscard]] void** putVoid() noexcept { return reinterpret_cast<void**>(put()); }
    // Hands the reference to the caller.
    [[nodiscard]] Interface* detach() noexcept { return std::exchange(pointer_, nullptr); }
    // Gives the caller's out-parameter its own reference.
    void copyTo(Interface** target) const noexcept {
        *target = pointer_;
        if (pointer_)
            pointer_->AddRef();
    }
    void swap(ComPtr& other) noexcept { std::swap(pointer_, other.pointer_); }

    template <typename Other>
    [[nodiscard]] HRESULT as(ComPtr<Other>* other) const noexcept {
        return pointer_->QueryInterface(__uuidof(Other), other->putVoid());
    }

private:
    Interface* pointer_ = nullptr;
};

} // namespace provider
