#include "cfb/byte_array.h"

#include "cfb/names.h"
#include "common/error.h"

#include <algorithm>
#include <cstring>
#include <limits>

#ifdef _WIN32
#include <cstdio>
#include <io.h>
#include <string>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace engine::cfb {

// ---- memory -----------------------------------------------------------------------------

Status MemoryByteArray::readAt(std::uint64_t offset, void* buffer, std::size_t count,
                               std::size_t* read) {
    *read = 0;
    if (offset >= bytes_.size())
        return Status::ok;
    const std::size_t available = std::min<std::uint64_t>(count, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, available);
    *read = available;
    return Status::ok;
}

Status MemoryByteArray::writeAt(std::uint64_t offset, const void* buffer, std::size_t count) {
    if (count == 0)
        return Status::ok;
    const std::uint64_t end = offset + count;
    if (end > std::numeric_limits<std::size_t>::max() / 2)
        return fail(Status::mediumFull, describe("memory array cannot grow to ", end, " bytes"));
    if (end > bytes_.size())
        bytes_.resize(end);
    std::memcpy(bytes_.data() + offset, buffer, count);
    return Status::ok;
}

Status MemoryByteArray::size(std::uint64_t* size) {
    *size = bytes_.size();
    return Status::ok;
}

Status MemoryByteArray::setSize(std::uint64_t size) {
    if (size > std::numeric_limits<std::size_t>::max() / 2)
        return fail(Status::mediumFull, describe("memory array cannot grow to ", size, " bytes"));
    bytes_.resize(size);
    return Status::ok;
}

// ---- native file ------------------------------------------------------------------------

#ifdef _WIN32

// Windows: the C runtime's stdio with 64-bit seeks, so that no Windows header is needed.
struct FileByteArray::Handle {
    std::FILE* stream = nullptr;
    ~Handle() {
        if (stream)
            std::fclose(stream);
    }
    [[nodiscard]] bool seek(std::uint64_t offset) {
        return _fseeki64(stream, static_cast<long long>(offset), SEEK_SET) == 0;
    }
};

Status FileByteArray::open(const std::string& path, FileMode mode,
                           std::shared_ptr<FileByteArray>* file) {
    file->reset();
    const wchar_t* modeText = mode == FileMode::openReadOnly    ? L"rb"
                              : mode == FileMode::openReadWrite ? L"r+b"
                                                                : L"w+b";
    // Paths are UTF-8; the wide C runtime call reaches every name the file system allows.
    const std::u16string utf16 = fromUtf8(path);
    const std::wstring widePath(utf16.begin(), utf16.end());
    auto handle = std::make_unique<Handle>();
    handle->stream = _wfopen(widePath.c_str(), modeText);
    if (!handle->stream)
        return fail(Status::fileNotFound, describe("cannot open '", path, "'"));
    file->reset(new FileByteArray(std::move(handle)));
    return Status::ok;
}

Status FileByteArray::readAt(std::uint64_t offset, void* buffer, std::size_t count,
                             std::size_t* read) {
    *read = 0;
    if (!handle_->seek(offset))
        return fail(Status::seekError, describe("cannot seek to ", offset));
    *read = std::fread(buffer, 1, count, handle_->stream);
    if (*read < count && std::ferror(handle_->stream))
        return fail(Status::readFault,
                    describe("read of ", count, " bytes at ", offset, " failed"));
    return Status::ok;
}

Status FileByteArray::writeAt(std::uint64_t offset, const void* buffer, std::size_t count) {
    if (!handle_->seek(offset))
        return fail(Status::seekError, describe("cannot seek to ", offset));
    if (std::fwrite(buffer, 1, count, handle_->stream) != count)
        return fail(Status::writeFault,
                    describe("write of ", count, " bytes at ", offset, " failed"));
    return Status::ok;
}

Status FileByteArray::size(std::uint64_t* size) {
    std::fflush(handle_->stream);
    if (_fseeki64(handle_->stream, 0, SEEK_END) != 0)
        return fail(Status::seekError, "cannot seek to the end of the file");
    *size = static_cast<std::uint64_t>(_ftelli64(handle_->stream));
    return Status::ok;
}

Status FileByteArray::setSize(std::uint64_t size) {
    std::fflush(handle_->stream);
    if (_chsize_s(_fileno(handle_->stream), static_cast<long long>(size)) != 0)
        return fail(Status::mediumFull, describe("cannot set the file size to ", size));
    return Status::ok;
}

Status FileByteArray::flush() {
    // The C runtime's buffer first, then the system's: the bytes must be on the disk.
    if (std::fflush(handle_->stream) != 0 || _commit(_fileno(handle_->stream)) != 0)
        return fail(Status::writeFault, "flushing the file failed");
    return Status::ok;
}

#else

// Elsewhere: positioned reads and writes on a descriptor.
//
// On Linux, a run of consecutive writes is handed to the disk each time it reaches
// `writeBehindBytes` (write-behind): the flush of a commit then finds most of a large stream
// already written and waits only for the rest, instead of starting all of it at once.
struct FileByteArray::Handle {
    static constexpr std::uint64_t writeBehindBytes = 8u << 20;

    int descriptor = -1;
    std::uint64_t runStart = 0; // the consecutive writes not yet handed to the disk
    std::uint64_t runEnd = 0;

    ~Handle() {
        if (descriptor >= 0)
            ::close(descriptor);
    }

    void noteWritten(std::uint64_t offset, std::size_t count) {
        if (offset != runEnd)
            runStart = offset;
        runEnd = offset + count;
        if (runEnd - runStart < writeBehindBytes)
            return;
#ifdef __linux__
        // Only a hint: a failure here shows up, if it matters, in the flush.
        (void)::sync_file_range(descriptor, static_cast<off_t>(runStart),
                                static_cast<off_t>(runEnd - runStart), SYNC_FILE_RANGE_WRITE);
#endif
        runStart = runEnd;
    }
};

Status FileByteArray::open(const std::string& path, FileMode mode,
                           std::shared_ptr<FileByteArray>* file) {
    file->reset();
    const int flags = mode == FileMode::openReadOnly    ? O_RDONLY
                      : mode == FileMode::openReadWrite ? O_RDWR
                                                        : O_RDWR | O_CREAT | O_TRUNC;
    constexpr mode_t newFilePermissions = 0644;
    auto handle = std::make_unique<Handle>();
    handle->descriptor = ::open(path.c_str(), flags | O_CLOEXEC, newFilePermissions);
    if (handle->descriptor < 0)
        return fail(Status::fileNotFound, describe("cannot open '", path, "'"));
    file->reset(new FileByteArray(std::move(handle)));
    return Status::ok;
}

Status FileByteArray::readAt(std::uint64_t offset, void* buffer, std::size_t count,
                             std::size_t* read) {
    *read = 0;
    auto* bytes = static_cast<char*>(buffer);
    while (*read < count) {
        const ssize_t got = ::pread(handle_->descriptor, bytes + *read, count - *read,
                                    static_cast<off_t>(offset + *read));
        if (got < 0)
            return fail(Status::readFault,
                        describe("read of ", count, " bytes at ", offset, " failed"));
        if (got == 0)
            break;
        *read += static_cast<std::size_t>(got);
    }
    return Status::ok;
}

Status FileByteArray::writeAt(std::uint64_t offset, const void* buffer, std::size_t count) {
    const auto* bytes = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t put = ::pwrite(handle_->descriptor, bytes + done, count - done,
                                     static_cast<off_t>(offset + done));
        if (put <= 0)
            return fail(Status::writeFault,
                        describe("write of ", count, " bytes at ", offset, " failed"));
        done += static_cast<std::size_t>(put);
    }
    handle_->noteWritten(offset, count);
    return Status::ok;
}

Status FileByteArray::size(std::uint64_t* size) {
    struct stat info {};
    if (::fstat(handle_->descriptor, &info) != 0)
        return fail(Status::readFault, "cannot read the file size");
    *size = static_cast<std::uint64_t>(info.st_size);
    return Status::ok;
}

Status FileByteArray::setSize(std::uint64_t size) {
    if (::ftruncate(handle_->descriptor, static_cast<off_t>(size)) != 0)
        return fail(Status::mediumFull, describe("cannot set the file size to ", size));
    return Status::ok;
}

Status FileByteArray::flush() {
    if (::fdatasync(handle_->descriptor) != 0)
        return fail(Status::writeFault, "flushing the file failed");
    return Status::ok;
}

#endif

FileByteArray::FileByteArray(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}
FileByteArray::~FileByteArray() = default;

} // namespace engine::cfb
