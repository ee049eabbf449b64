// Helpers shared by the compound-file tests.
#pragma once

#include "cfb/compound_file.h"
#include "validator/validator.h"
#include "common/error.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace engine::cfb::testing {

// Fails the current test with the engine's message when `expression` is not Status::ok.
#define ASSERT_OK(expression)                                                                      \
    do {                                                                                           \
        const ::engine::Status status_ = (expression);                                             \
        ASSERT_EQ(status_, ::engine::Status::ok) << ::engine::lastFailureMessage();                \
    } while (false)
#define EXPECT_OK(expression)                                                                      \
    do {                                                                                           \
        const ::engine::Status status_ = (expression);                                             \
        EXPECT_EQ(status_, ::engine::Status::ok) << ::engine::lastFailureMessage();                \
    } while (false)

// A byte array that passes every call to another; tests override the calls they watch.
class ForwardingByteArray : public ByteArray {
public:
    explicit ForwardingByteArray(std::shared_ptr<ByteArray> target) : target_(std::move(target)) {}
    Status readAt(std::uint64_t offset, void* buffer, std::size_t count,
                  std::size_t* read) override {
        return target_->readAt(offset, buffer, count, read);
    }
    Status writeAt(std::uint64_t offset, const void* buffer, std::size_t count) override {
        return target_->writeAt(offset, buffer, count);
    }
    Status size(std::uint64_t* size) override { return target_->size(size); }
    Status setSize(std::uint64_t size) override { return target_->setSize(size); }
    Status flush() override { return target_->flush(); }

private:
    std::shared_ptr<ByteArray> target_;
};

// Byte i of a test stream: a pattern that differs between streams with different seeds.
[[nodiscard]] inline std::uint8_t patternByte(std::uint64_t index, std::uint32_t seed = 0) {
    return static_cast<std::uint8_t>((index * 131 + seed * 7 + (index >> 9)) & 0xFF);
}

[[nodiscard]] inline std::vector<std::uint8_t> pattern(std::size_t size, std::uint32_t seed = 0) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = patternByte(i, seed);
    return bytes;
}

// Checks a whole file with the strict validator and names every problem.
inline void expectValidFile(ByteArray& bytes) {
    std::vector<std::string> problems;
    const Status status = validateFile(bytes, &problems);
    std::string all;
    for (const auto& problem : problems)
        all += problem + "\n";
    EXPECT_EQ(status, Status::ok) << all;
}

// Creates a stream holding `bytes`.
[[nodiscard]] inline Status writeStream(Storage& storage, const std::u16string& name,
                                        const std::vector<std::uint8_t>& bytes) {
    Stream stream;
    ENGINE_RETURN_IF_FAILED(storage.createStream(name, &stream));
    return stream.writeAt(0, bytes.data(), bytes.size());
}

[[nodiscard]] inline std::vector<std::uint8_t> readWholeStream(Stream& stream) {
    std::uint64_t size = 0;
    EXPECT_EQ(stream.size(&size), Status::ok) << lastFailureMessage();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    std::size_t read = 0;
    EXPECT_EQ(stream.readAt(0, bytes.data(), bytes.size(), &read), Status::ok)
        << lastFailureMessage();
    bytes.resize(read);
    return bytes;
}

[[nodiscard]] inline std::string versionName(Version version) {
    return version == Version::v3 ? "v3" : "v4";
}

} // namespace engine::cfb::testing
