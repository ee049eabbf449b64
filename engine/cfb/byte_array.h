// The one interface through which the engine reaches the bytes of a compound file.
//
// The engine never touches a file, a memory block or an ILockBytes directly: it reads and
// writes at 64-bit offsets through a ByteArray. Adapters here cover memory and native files;
// the storage provider adds one over ILockBytes.
//
// Bytes an array grows by, through setSize or a write past its end, read as zeros: the
// engine hands out sectors past the end of the file as zero-filled without writing them.
#pragma once

#include "common/status.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace engine::cfb {

class ByteArray {
public:
    virtual ~ByteArray() = default;

    // Reads up to `count` bytes at `offset`; `*read` is less than `count` only at the end.
    [[nodiscard]] virtual Status readAt(std::uint64_t offset, void* buffer, std::size_t count,
                                        std::size_t* read) = 0;
    // Writes `count` bytes at `offset`, growing the array when needed.
    [[nodiscard]] virtual Status writeAt(std::uint64_t offset, const void* buffer,
                                         std::size_t count) = 0;
    [[nodiscard]] virtual Status size(std::uint64_t* size) = 0;
    [[nodiscard]] virtual Status setSize(std::uint64_t size) = 0;
    // Makes every earlier write durable before any later one.
    [[nodiscard]] virtual Status flush() = 0;
};

// A growable block of memory.
class MemoryByteArray final : public ByteArray {
public:
    MemoryByteArray() = default;
    explicit MemoryByteArray(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    [[nodiscard]] Status readAt(std::uint64_t offset, void* buffer, std::size_t count,
                                std::size_t* read) override;
    [[nodiscard]] Status writeAt(std::uint64_t offset, const void* buffer,
                                 std::size_t count) override;
    [[nodiscard]] Status size(std::uint64_t* size) override;
    [[nodiscard]] Status setSize(std::uint64_t size) override;
    [[nodiscard]] Status flush() override { return Status::ok; }

    [[nodiscard]] const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    [[nodiscard]] std::vector<std::uint8_t>& bytes() { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

enum class FileMode {
    openReadOnly,
    openReadWrite,
    createAlways, // creates the file or empties an existing one
};

// A file of the native file system, opened for the lifetime of the object.
class FileByteArray final : public ByteArray {
public:
    ~FileByteArray() override;
    FileByteArray(const FileByteArray&) = delete;
    FileByteArray& operator=(const FileByteArray&) = delete;

    [[nodiscard]] static Status open(const std::string& path, FileMode mode,
                                     std::shared_ptr<FileByteArray>* file);

    [[nodiscard]] Status readAt(std::uint64_t offset, void* buffer, std::size_t count,
                                std::size_t* read) override;
    [[nodiscard]] Status writeAt(std::uint64_t offset, const void* buffer,
                                 std::size_t count) override;
    [[nodiscard]] Status size(std::uint64_t* size) override;
    [[nodiscard]] Status setSize(std::uint64_t size) override;
    [[nodiscard]] Status flush() override;

private:
    struct Handle;
    explicit FileByteArray(std::unique_ptr<Handle> handle);
    std::unique_ptr<Handle> handle_;
};

} // namespace engine::cfb
