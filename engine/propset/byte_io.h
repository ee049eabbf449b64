// Bounds-checked little-endian reading and writing of property-set bytes.
#pragma once

#include "common/error.h"
#include "propset/constants.h"
#include "propset/guid.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace engine::propset {

// Reads a window of a stream. Every read that would pass the end of the window fails with
// the reader's status and a message naming what was read, where, and how many bytes remained.
// Positions in messages are offsets in the whole stream.
class ByteReader {
public:
    ByteReader(std::span<const std::uint8_t> window, std::size_t streamOffset, Status truncated)
        : window_(window), streamOffset_(streamOffset), truncated_(truncated) {}

    [[nodiscard]] std::size_t position() const { return position_; }
    [[nodiscard]] std::size_t remaining() const { return window_.size() - position_; }
    [[nodiscard]] std::size_t streamPosition() const { return streamOffset_ + position_; }
    [[nodiscard]] Status failureStatus() const { return truncated_; }

    [[nodiscard]] Status require(std::size_t count, std::string_view what) const {
        if (count <= remaining())
            return Status::ok;
        return fail(truncated_, describe(what, " at offset ", streamPosition(), " needs ", count,
                                         " bytes but only ", remaining(), " remain"));
    }

    [[nodiscard]] Status u8(std::uint8_t& value, std::string_view what) {
        ENGINE_RETURN_IF_FAILED(require(1, what));
        value = window_[position_++];
        return Status::ok;
    }

    [[nodiscard]] Status u16(std::uint16_t& value, std::string_view what) {
        ENGINE_RETURN_IF_FAILED(require(2, what));
        value = static_cast<std::uint16_t>(window_[position_] | (window_[position_ + 1] << 8));
        position_ += 2;
        return Status::ok;
    }

    [[nodiscard]] Status u32(std::uint32_t& value, std::string_view what) {
        ENGINE_RETURN_IF_FAILED(require(4, what));
        value = 0;
        for (int i = 3; i >= 0; --i)
            value = (value << 8) | window_[position_ + static_cast<std::size_t>(i)];
        position_ += 4;
        return Status::ok;
    }

    [[nodiscard]] Status u64(std::uint64_t& value, std::string_view what) {
        ENGINE_RETURN_IF_FAILED(require(8, what));
        value = 0;
        for (int i = 7; i >= 0; --i)
            value = (value << 8) | window_[position_ + static_cast<std::size_t>(i)];
        position_ += 8;
        return Status::ok;
    }

    [[nodiscard]] Status guid(Guid& value, std::string_view what) {
        ENGINE_RETURN_IF_FAILED(require(kGuidSize, what));
        for (std::size_t i = 0; i < kGuidSize; ++i)
            value.bytes[i] = window_[position_ + i];
        position_ += kGuidSize;
        return Status::ok;
    }

    [[nodiscard]] Status bytes(std::size_t count, std::span<const std::uint8_t>& value,
                               std::string_view what) {
        ENGINE_RETURN_IF_FAILED(require(count, what));
        value = window_.subspan(position_, count);
        position_ += count;
        return Status::ok;
    }

    // Skips the padding that brings `length` (bytes since some start) to a multiple of four.
    // In a window whose final padding may be missing, padding cut off by the window's end is
    // skipped as far as the end.
    [[nodiscard]] Status skipPaddingAfter(std::size_t length, std::string_view what) {
        const std::size_t padding = (kAlignment - length % kAlignment) % kAlignment;
        if (finalPaddingMayBeMissing_ && padding > remaining()) {
            position_ = window_.size();
            return Status::ok;
        }
        ENGINE_RETURN_IF_FAILED(require(padding, what));
        position_ += padding;
        return Status::ok;
    }

    // Lets the padding at the end of this window be missing (the window ends the stream).
    void allowMissingFinalPadding() { finalPaddingMayBeMissing_ = true; }

    void seek(std::size_t position) { position_ = position; }

private:
    std::span<const std::uint8_t> window_;
    std::size_t streamOffset_;
    Status truncated_;
    std::size_t position_ = 0;
    bool finalPaddingMayBeMissing_ = false;
};

// Appends little-endian values to a byte buffer.
class ByteWriter {
public:
    explicit ByteWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    [[nodiscard]] std::size_t size() const { return out_.size(); }

    void u8(std::uint8_t value) { out_.push_back(value); }
    void u16(std::uint16_t value) {
        for (int i = 0; i < 2; ++i)
            out_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    void u32(std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            out_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    void u64(std::uint64_t value) {
        for (int i = 0; i < 8; ++i)
            out_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    void guid(const Guid& value) {
        out_.insert(out_.end(), value.bytes.begin(), value.bytes.end());
    }
    void bytes(std::span<const std::uint8_t> value) {
        out_.insert(out_.end(), value.begin(), value.end());
    }
    void bytes(std::string_view value) {
        for (char c : value)
            out_.push_back(static_cast<std::uint8_t>(c));
    }
    // Zero bytes up to the next multiple of four counted from `start`.
    void padFrom(std::size_t start) {
        while ((out_.size() - start) % kAlignment != 0)
            out_.push_back(0);
    }
    void patchU32(std::size_t at, std::uint32_t value) {
        for (std::size_t i = 0; i < 4; ++i)
            out_[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }

private:
    std::vector<std::uint8_t>& out_;
};

} // namespace engine::propset
