// The element tree of a compound file: what the storage provider wraps as IStorage,
// IStream and IEnumSTATSTG.
//
//   CompoundFile  one open file on a ByteArray: create or open, commit, revert
//   Storage       a handle to a storage element (the root or a nested storage)
//   Stream        a handle to a stream element, with its own seek position
//
// Handles are cheap values sharing the file's state. Any number of them may be open at once,
// including two on the same stream, and every handle sees the others' changes at once.
// A handle whose element was deleted, or that was opened before a revert, answers
// Status::reverted. Nothing is visible in the file until CompoundFile::commit, which is
// atomic: after a failure or a crash at any point, the file holds the previous committed
// state or the new one, whole. A file object is not safe for concurrent use; its callers
// serialise access to it (several files may be used at once from different threads).
#pragma once

#include "cfb/byte_array.h"
#include "cfb/format.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine::cfb {

namespace detail {
class FileCore;
}

enum class ElementType : std::uint8_t {
    storage = static_cast<std::uint8_t>(ObjectType::storage),
    stream = static_cast<std::uint8_t>(ObjectType::stream),
    root = static_cast<std::uint8_t>(ObjectType::root),
};

// What STATSTG carries for an element.
struct ElementStat {
    std::u16string name;
    ElementType type = ElementType::stream;
    std::uint64_t size = 0; // streams only
    Clsid clsid{};
    std::uint32_t stateBits = 0;
    std::uint64_t creationTime = 0; // FILETIME values
    std::uint64_t modifiedTime = 0;
};

enum class OpenMode {
    readOnly,
    readWrite,
};

enum class SeekOrigin {
    begin,
    current,
    end,
};

class Stream {
public:
    Stream() = default;

    [[nodiscard]] bool isOpen() const { return core_ != nullptr; }

    // Reads up to `count` bytes at the seek position; `*read` is smaller only at the end.
    [[nodiscard]] Status read(void* buffer, std::size_t count, std::size_t* read);
    // Writes at the seek position, growing the stream when needed.
    [[nodiscard]] Status write(const void* buffer, std::size_t count, std::size_t* written);
    // Reads or writes at an explicit offset, leaving the seek position alone.
    [[nodiscard]] Status readAt(std::uint64_t offset, void* buffer, std::size_t count,
                                std::size_t* read);
    [[nodiscard]] Status writeAt(std::uint64_t offset, const void* buffer, std::size_t count);
    // Moves the seek position; a position before the start is refused with
    // Status::invalidFunction. Positions past the end are allowed.
    [[nodiscard]] Status seek(std::int64_t offset, SeekOrigin origin, std::uint64_t* position);
    [[nodiscard]] Status setSize(std::uint64_t size);
    [[nodiscard]] Status size(std::uint64_t* size);
    [[nodiscard]] Status stat(ElementStat* stat);
    // Copies `count` bytes from this stream's position to `destination`'s position, moving
    // both (the two may belong to different files).
    [[nodiscard]] Status copyTo(Stream& destination, std::uint64_t count, std::uint64_t* read,
                                std::uint64_t* written);

private:
    friend class Storage;
    friend class detail::FileCore;
    [[nodiscard]] Status checkOpen() const;

    std::shared_ptr<detail::FileCore> core_;
    std::uint32_t node_ = 0;
    std::uint64_t generation_ = 0;
    std::uint64_t position_ = 0;
};

class Storage {
public:
    Storage() = default;

    [[nodiscard]] bool isOpen() const { return core_ != nullptr; }

    // Creates an element; fails with Status::fileAlreadyExists when the name is taken and
    // with Status::invalidName for a bad name.
    [[nodiscard]] Status createStream(std::u16string_view name, Stream* stream);
    [[nodiscard]] Status createStorage(std::u16string_view name, Storage* storage);
    // Opens an element; fails with Status::fileNotFound when no element of that name and
    // type exists.
    [[nodiscard]] Status openStream(std::u16string_view name, Stream* stream);
    [[nodiscard]] Status openStorage(std::u16string_view name, Storage* storage);
    // Deletes an element; a storage goes with everything below it.
    [[nodiscard]] Status remove(std::u16string_view name);
    [[nodiscard]] Status rename(std::u16string_view oldName, std::u16string_view newName);
    // The children, in the directory's name order.
    [[nodiscard]] Status list(std::vector<ElementStat>* children);
    [[nodiscard]] Status stat(ElementStat* stat);
    [[nodiscard]] Status statChild(std::u16string_view name, ElementStat* stat);

    [[nodiscard]] Status setClass(const Clsid& clsid);
    // Changes the state bits selected by `mask`.
    [[nodiscard]] Status setStateBits(std::uint32_t bits, std::uint32_t mask);
    // Sets the times of a child; an empty optional leaves that time unchanged.
    [[nodiscard]] Status setChildTimes(std::u16string_view name,
                                       std::optional<std::uint64_t> creationTime,
                                       std::optional<std::uint64_t> modifiedTime);
    [[nodiscard]] Status setTimes(std::optional<std::uint64_t> creationTime,
                                  std::optional<std::uint64_t> modifiedTime);

    // Copies every child (recursively) and this storage's class and state bits into
    // `destination`, which may belong to another file. Streams of the same name in the
    // destination are replaced; storages of the same name are merged.
    [[nodiscard]] Status copyTo(Storage& destination);
    // Copies one child as `newName` in `destination`; fails with Status::fileAlreadyExists
    // when that name is taken there.
    [[nodiscard]] Status copyElementTo(std::u16string_view name, Storage& destination,
                                       std::u16string_view newName);

private:
    friend class CompoundFile;
    friend class detail::FileCore;
    [[nodiscard]] Status checkOpen() const;
    [[nodiscard]] Status childOf(std::u16string_view name, std::uint32_t* node) const;

    std::shared_ptr<detail::FileCore> core_;
    std::uint32_t node_ = 0;
    std::uint64_t generation_ = 0;
};

class CompoundFile {
public:
    // Creates an empty compound file on `bytes` (whatever it held is replaced) and writes it,
    // without forcing it to the disk: the first commit makes it durable.
    [[nodiscard]] static Status create(std::shared_ptr<ByteArray> bytes, Version version,
                                       std::unique_ptr<CompoundFile>* file);
    // Opens the compound file held by `bytes`, checking its header and its element tree.
    // Fails with Status::invalidHeader or Status::docfileCorrupt (and a message from
    // lastFailureMessage() naming the numbers involved) when they are damaged. Allocation
    // tables and chains are read, and checked, as they are first needed: a later call that
    // reaches a damaged one fails with Status::docfileCorrupt in the same way.
    [[nodiscard]] static Status open(std::shared_ptr<ByteArray> bytes, OpenMode mode,
                                     std::unique_ptr<CompoundFile>* file);

    ~CompoundFile();
    CompoundFile(const CompoundFile&) = delete;
    CompoundFile& operator=(const CompoundFile&) = delete;

    [[nodiscard]] Storage root() const;
    [[nodiscard]] Version version() const;
    [[nodiscard]] bool writable() const;

    // Makes every change since the last commit durable, atomically.
    [[nodiscard]] Status commit();
    // Forgets every change since the last commit; handles other than the root's become
    // reverted.
    [[nodiscard]] Status revert();

private:
    explicit CompoundFile(std::shared_ptr<detail::FileCore> core);
    std::shared_ptr<detail::FileCore> core_;
};

} // namespace engine::cfb
