// The byte-array adapters: memory and native files behave alike, at 64-bit offsets.
#include "test_support.h"

#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace engine::cfb::testing {
namespace {

namespace fs = std::filesystem;

// Writes, reads back, grows and shrinks through any ByteArray.
void exerciseByteArray(ByteArray& bytes, std::uint64_t farOffset) {
    ASSERT_OK(bytes.writeAt(10, "abcdef", 6));
    std::uint64_t size = 0;
    ASSERT_OK(bytes.size(&size));
    EXPECT_EQ(size, 16u);
    char buffer[8] = {};
    std::size_t read = 0;
    ASSERT_OK(bytes.readAt(12, buffer, 8, &read));
    EXPECT_EQ(read, 4u) << "a read stops at the end";
    EXPECT_EQ(std::string(buffer, 4), "cdef");
    ASSERT_OK(bytes.readAt(0, buffer, 2, &read));
    EXPECT_EQ(std::string(buffer, 2), std::string(2, '\0')) << "a gap reads as zero";
    ASSERT_OK(bytes.writeAt(farOffset, "far", 3));
    ASSERT_OK(bytes.size(&size));
    EXPECT_EQ(size, farOffset + 3);
    ASSERT_OK(bytes.readAt(farOffset, buffer, 3, &read));
    EXPECT_EQ(std::string(buffer, read), "far");
    ASSERT_OK(bytes.setSize(12));
    ASSERT_OK(bytes.size(&size));
    EXPECT_EQ(size, 12u);
    ASSERT_OK(bytes.readAt(16, buffer, 1, &read));
    EXPECT_EQ(read, 0u);
    ASSERT_OK(bytes.flush());
}

TEST(ByteArrayTest, MemoryArraysGrowAndShrink) {
    MemoryByteArray bytes;
    exerciseByteArray(bytes, 1 << 20);
}

TEST(ByteArrayTest, NativeFilesWorkPastFourGibibytes) {
    const fs::path path =
        fs::temp_directory_path() / ("cfb-byte-array-" + std::to_string(::getpid()));
    {
        std::shared_ptr<FileByteArray> file;
        ASSERT_OK(FileByteArray::open(path.string(), FileMode::createAlways, &file));
        exerciseByteArray(*file, (5ull << 30) + 7); // sparse on the file system
    }
    std::shared_ptr<FileByteArray> file;
    ASSERT_OK(FileByteArray::open(path.string(), FileMode::openReadOnly, &file));
    std::uint64_t size = 0;
    ASSERT_OK(file->size(&size));
    EXPECT_EQ(size, 12u);
    EXPECT_NE(file->writeAt(0, "x", 1), Status::ok) << "a read-only file refuses writes";
    file.reset();
    fs::remove(path);
    EXPECT_EQ(FileByteArray::open(path.string(), FileMode::openReadWrite, &file),
              Status::fileNotFound);
}

} // namespace
} // namespace engine::cfb::testing
