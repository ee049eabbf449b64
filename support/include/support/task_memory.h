// Owners of what COM hands out: blocks and strings in task memory (CoTaskMemAlloc,
// CoTaskMemFree) and PROPVARIANTs, whose contents PropVariantClear frees.
//
//   UniqueTaskString name = copyToTaskMemory(u"text");   // null when memory runs out
//   names[index] = name.release();                       // handed to the caller
//
//   UniquePropVariant value;
//   RETURN_IF_FAILED(set->ReadMultiple(1, &selector, value.put()));
#pragma once

#include "unique_resource.h"

#include <objbase.h>
#include <propidl.h>

#include <cstring>
#include <string_view>
#include <utility>

namespace support {

template <typename Pointer>
struct TaskMemoryPolicy {
    static Pointer invalidValue() noexcept { return nullptr; }
    static bool isValid(Pointer memory) noexcept { return memory != nullptr; }
    static void close(Pointer memory) noexcept { CoTaskMemFree(memory); }
};

template <typename Element>
using UniqueTaskMemory = UniqueResource<Element*, TaskMemoryPolicy<Element*>>;
using UniqueTaskString = UniqueTaskMemory<wchar_t>;

// `count` elements of task memory, zero-filled (at least one byte, so that an empty array is
// not mistaken for a failed allocation); null when memory runs out.
template <typename Element>
[[nodiscard]] UniqueTaskMemory<Element> allocateTaskMemory(std::size_t count) {
    const std::size_t bytes = count == 0 ? 1 : count * sizeof(Element);
    void* memory = CoTaskMemAlloc(bytes);
    if (memory)
        std::memset(memory, 0, bytes);
    return UniqueTaskMemory<Element>(static_cast<Element*>(memory));
}

// A terminated copy of UTF-16 text in task memory; null when memory runs out.
[[nodiscard]] inline UniqueTaskString copyToTaskMemory(std::u16string_view text) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    UniqueTaskString copy = allocateTaskMemory<wchar_t>(text.size() + 1);
    if (copy && !text.empty())
        std::memcpy(copy.get(), text.data(), text.size() * sizeof(wchar_t));
    return copy;
}

[[nodiscard]] inline UniqueTaskString copyToTaskMemory(std::wstring_view text) {
    return copyToTaskMemory(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

// A PROPVARIANT that is cleared when it goes, and moves like a value.
class UniquePropVariant {
public:
    UniquePropVariant() noexcept { PropVariantInit(&value_); }
    UniquePropVariant(const UniquePropVariant&) = delete;
    UniquePropVariant& operator=(const UniquePropVariant&) = delete;
    UniquePropVariant(UniquePropVariant&& other) noexcept : value_(other.release()) {}
    UniquePropVariant& operator=(UniquePropVariant&& other) noexcept {
        if (this != &other) {
            reset();
            value_ = other.release();
        }
        return *this;
    }
    ~UniquePropVariant() { reset(); }

    [[nodiscard]] const PROPVARIANT& get() const noexcept { return value_; }
    [[nodiscard]] PROPVARIANT& get() noexcept { return value_; }
    const PROPVARIANT* operator->() const noexcept { return &value_; }

    void reset() noexcept {
        PropVariantClear(&value_);
        PropVariantInit(&value_);
    }
    // Clears the value and returns the address an API writes a new one to.
    [[nodiscard]] PROPVARIANT* put() noexcept {
        reset();
        return &value_;
    }
    // Hands the value on; this owner is left empty.
    [[nodiscard]] PROPVARIANT release() noexcept {
        const PROPVARIANT value = value_;
        PropVariantInit(&value_);
        return value;
    }

private:
    PROPVARIANT value_;
};

} // namespace support
