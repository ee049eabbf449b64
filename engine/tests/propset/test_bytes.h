// Helpers for building property-set byte images by hand in the tests.
#pragma once

#include "propset/guid.h"
#include "propset/value.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace engine::propset::testing {

// Appends little-endian fields, so that a test spells out a stream field by field.
class Bytes {
public:
    Bytes& u8(std::uint8_t v) {
        data.push_back(v);
        return *this;
    }
    Bytes& u16(std::uint16_t v) { return u8(v & 0xFF).u8(v >> 8); }
    Bytes& u32(std::uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Bytes& u64(std::uint64_t v) { return u32(v & 0xFFFFFFFF).u32(v >> 32); }
    Bytes& u32s(std::initializer_list<std::uint32_t> values) {
        for (std::uint32_t v : values)
            u32(v);
        return *this;
    }
    Bytes& guid(const Guid& g) {
        data.insert(data.end(), g.bytes.begin(), g.bytes.end());
        return *this;
    }
    Bytes& text(std::string_view s) {
        for (char c : s)
            u8(static_cast<std::uint8_t>(c));
        return *this;
    }
    Bytes& utf16(std::u16string_view s) {
        for (char16_t c : s)
            u16(c);
        return *this;
    }
    Bytes& raw(std::initializer_list<std::uint8_t> bytes) {
        data.insert(data.end(), bytes.begin(), bytes.end());
        return *this;
    }
    Bytes& zeros(std::size_t count) {
        data.insert(data.end(), count, 0);
        return *this;
    }
    Bytes& append(const Bytes& other) {
        data.insert(data.end(), other.data.begin(), other.data.end());
        return *this;
    }
    [[nodiscard]] std::size_t size() const { return data.size(); }

    std::vector<std::uint8_t> data;
};

// A stream header with one section at offset 48, the usual place.
inline Bytes oneSectionHeader(const Guid& formatId, std::uint16_t version = 0) {
    Bytes header;
    header.u16(0xFFFE).u16(version).u32(0x00020006).zeros(16).u32(1).guid(formatId).u32(48);
    return header;
}

// One stored property: identifier and the bytes at its offset.
struct StoredProperty {
    std::uint32_t id;
    Bytes bytes;
};

// A section whose properties follow the identifier/offset table in the order given.
inline Bytes sectionOf(const std::vector<StoredProperty>& properties) {
    Bytes section;
    const auto count = static_cast<std::uint32_t>(properties.size());
    auto offset = static_cast<std::uint32_t>(8 + 8 * count);
    std::uint32_t size = offset;
    for (const StoredProperty& property : properties)
        size += static_cast<std::uint32_t>(property.bytes.size());
    section.u32(size).u32(count);
    for (const StoredProperty& property : properties) {
        section.u32(property.id).u32(offset);
        offset += static_cast<std::uint32_t>(property.bytes.size());
    }
    for (const StoredProperty& property : properties)
        section.append(property.bytes);
    return section;
}

// The stored bytes of a code-page property and of a 4-byte integer.
inline Bytes codePage(std::uint16_t value) {
    return Bytes().u16(vt::i2).u16(0).u16(value).u16(0);
}
inline Bytes i4(std::int32_t value) {
    return Bytes().u16(vt::i4).u16(0).u32(static_cast<std::uint32_t>(value));
}

// Finds `needle` in `haystack`; returns haystack.size() when absent.
inline std::size_t findBytes(const std::vector<std::uint8_t>& haystack,
                             const std::vector<std::uint8_t>& needle) {
    return static_cast<std::size_t>(
        std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) -
        haystack.begin());
}

} // namespace engine::propset::testing
