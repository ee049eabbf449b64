#include "cfb/format.h"

#include "common/error.h"

#include <algorithm>

namespace engine::cfb {
namespace {

[[nodiscard]] Status badHeader(const char* field, std::uint64_t value) {
    return fail(Status::invalidHeader, describe("header field ", field, " is ", value));
}

// Refuses only what changes how the rest of the file is read: the signature, the major
// version, the sector and mini sector sizes, and the mini-stream cut-off. The fields the
// format asks writers to set but that carry nothing a reader needs (minor version, class
// id, byte order, reserved bytes, the directory sector count of version 3) are read in
// any state, as other readers read them; the strict validator remarks on them.
[[nodiscard]] Status checkHeaderConstants(const std::uint8_t* bytes, Version* version) {
    if (!std::equal(headerSignature.begin(), headerSignature.end(), bytes))
        return fail(Status::invalidHeader, "the file does not start with the compound-file "
                                           "signature");
    const std::uint16_t major = load16(bytes + headerOffset::majorVersion);
    if (major != majorVersion3 && major != majorVersion4)
        return badHeader("major version", major);
    *version = static_cast<Version>(major);
    const std::uint16_t shift = load16(bytes + headerOffset::sectorShift);
    const std::uint16_t expectedShift =
        *version == Version::v3 ? sectorShiftVersion3 : sectorShiftVersion4;
    if (shift != expectedShift)
        return fail(Status::invalidHeader,
                    describe("sector shift ", shift, " does not match ", "major version ", major));
    const std::uint16_t miniShift = load16(bytes + headerOffset::miniSectorShift);
    if (miniShift != miniSectorShiftValue)
        return badHeader("mini sector shift", miniShift);
    const std::uint32_t cutoff = load32(bytes + headerOffset::miniStreamCutoff);
    if (cutoff != miniStreamCutoffValue)
        return badHeader("mini stream cut-off", cutoff);
    return Status::ok;
}

} // namespace

Status parseHeader(const std::uint8_t* bytes, Header* header) {
    *header = Header{};
    ENGINE_RETURN_IF_FAILED(checkHeaderConstants(bytes, &header->version));
    // Version 3 keeps no directory sector count: whatever the field holds is not used.
    if (header->version == Version::v4)
        header->directorySectorCount = load32(bytes + headerOffset::directorySectorCount);
    header->fatSectorCount = load32(bytes + headerOffset::fatSectorCount);
    header->firstDirectorySector = load32(bytes + headerOffset::firstDirectorySector);
    header->transactionSignature = load32(bytes + headerOffset::transactionSignature);
    header->firstMiniFatSector = load32(bytes + headerOffset::firstMiniFatSector);
    header->miniFatSectorCount = load32(bytes + headerOffset::miniFatSectorCount);
    header->firstDifatSector = load32(bytes + headerOffset::firstDifatSector);
    header->difatSectorCount = load32(bytes + headerOffset::difatSectorCount);
    for (std::size_t i = 0; i < headerDifatEntries; ++i)
        header->difat[i] = load32(bytes + headerOffset::difat + 4 * i);
    if (header->firstDirectorySector > maxRegularSector)
        return badHeader("first directory sector", header->firstDirectorySector);
    return Status::ok;
}

std::vector<std::string> headerRemarks(const std::uint8_t* bytes) {
    std::vector<std::string> remarks;
    const std::uint16_t minor = load16(bytes + headerOffset::minorVersion);
    if (minor != minorVersionValue)
        remarks.push_back(
            describe("header field minor version is ", minor, ", not ", minorVersionValue));
    if (std::any_of(bytes + headerOffset::clsid, bytes + headerOffset::clsid + sizeof(Clsid),
                    [](std::uint8_t byte) { return byte != 0; }))
        remarks.push_back("header field class id is not null");
    const std::uint16_t byteOrder = load16(bytes + headerOffset::byteOrder);
    if (byteOrder != byteOrderMark)
        remarks.push_back(describe("header field byte order is ", byteOrder));
    const std::uint8_t* reserved = bytes + headerOffset::reserved;
    if (std::any_of(reserved, reserved + headerOffset::reservedSize,
                    [](std::uint8_t byte) { return byte != 0; }))
        remarks.push_back("header field reserved is not zero");
    const std::uint32_t directorySectors = load32(bytes + headerOffset::directorySectorCount);
    if (load16(bytes + headerOffset::majorVersion) == majorVersion3 && directorySectors != 0)
        remarks.push_back(
            describe("header field directory sector count is ", directorySectors, " in version 3"));
    return remarks;
}

void serializeHeader(const Header& header, std::uint8_t* bytes) {
    std::fill_n(bytes, headerSize, std::uint8_t{0});
    std::copy(headerSignature.begin(), headerSignature.end(), bytes);
    store16(bytes + headerOffset::minorVersion, minorVersionValue);
    store16(bytes + headerOffset::majorVersion, static_cast<std::uint16_t>(header.version));
    store16(bytes + headerOffset::byteOrder, byteOrderMark);
    store16(bytes + headerOffset::sectorShift,
            header.version == Version::v3 ? sectorShiftVersion3 : sectorShiftVersion4);
    store16(bytes + headerOffset::miniSectorShift, miniSectorShiftValue);
    store32(bytes + headerOffset::directorySectorCount,
            header.version == Version::v3 ? 0 : header.directorySectorCount);
    store32(bytes + headerOffset::fatSectorCount, header.fatSectorCount);
    store32(bytes + headerOffset::firstDirectorySector, header.firstDirectorySector);
    store32(bytes + headerOffset::transactionSignature, header.transactionSignature);
    store32(bytes + headerOffset::miniStreamCutoff, miniStreamCutoffValue);
    store32(bytes + headerOffset::firstMiniFatSector, header.firstMiniFatSector);
    store32(bytes + headerOffset::miniFatSectorCount, header.miniFatSectorCount);
    store32(bytes + headerOffset::firstDifatSector, header.firstDifatSector);
    store32(bytes + headerOffset::difatSectorCount, header.difatSectorCount);
    for (std::size_t i = 0; i < headerDifatEntries; ++i)
        store32(bytes + headerOffset::difat + 4 * i, header.difat[i]);
}

Status parseDirectoryEntry(const std::uint8_t* bytes, std::uint32_t id, Version version,
                           DirectoryEntry* entry) {
    *entry = DirectoryEntry{};
    const std::uint8_t type = bytes[entryOffset::objectType];
    if (type != 0 && type != 1 && type != 2 && type != 5)
        return fail(Status::docfileCorrupt,
                    describe("directory entry ", id, " has object type ", type));
    entry->type = static_cast<ObjectType>(type);
    const std::uint8_t colour = bytes[entryOffset::colour];
    if (colour > 1 && entry->type != ObjectType::unused)
        return fail(Status::docfileCorrupt,
                    describe("directory entry ", id, " has colour ", colour));
    entry->colour = colour == 0 ? Colour::red : Colour::black;
    entry->left = load32(bytes + entryOffset::leftSibling);
    entry->right = load32(bytes + entryOffset::rightSibling);
    entry->child = load32(bytes + entryOffset::child);
    std::copy_n(bytes + entryOffset::clsid, entry->clsid.size(), entry->clsid.begin());
    entry->stateBits = load32(bytes + entryOffset::stateBits);
    entry->creationTime = load64(bytes + entryOffset::creationTime);
    entry->modifiedTime = load64(bytes + entryOffset::modifiedTime);
    entry->startSector = load32(bytes + entryOffset::startSector);
    entry->size = load64(bytes + entryOffset::streamSize);
    if (version == Version::v3)
        entry->size &= 0xFFFFFFFFu;
    if (entry->type == ObjectType::unused)
        return Status::ok;
    const std::uint16_t nameBytes = load16(bytes + entryOffset::nameLength);
    if (nameBytes < 2 || nameBytes > nameFieldBytes || nameBytes % 2 != 0)
        return fail(Status::docfileCorrupt,
                    describe("directory entry ", id, " has name length ", nameBytes));
    const std::size_t units = nameBytes / 2 - 1;
    if (load16(bytes + 2 * units) != 0)
        return fail(
            Status::docfileCorrupt,
            describe("directory entry ", id, " has no terminator after ", units, " name units"));
    std::array<char16_t, maxNameUnits> name;
    for (std::size_t i = 0; i < units; ++i)
        name[i] = static_cast<char16_t>(load16(bytes + 2 * i));
    entry->name = std::u16string_view(name.data(), units);
    return Status::ok;
}

void serializeDirectoryEntry(const DirectoryEntry& entry, std::uint8_t* bytes) {
    std::fill_n(bytes, directoryEntrySize, std::uint8_t{0});
    const bool used = entry.type != ObjectType::unused;
    if (used) {
        for (std::size_t i = 0; i < entry.name.size(); ++i)
            store16(bytes + 2 * i, entry.name[i]);
        store16(bytes + entryOffset::nameLength,
                static_cast<std::uint16_t>(2 * (entry.name.size() + 1)));
    }
    bytes[entryOffset::objectType] = static_cast<std::uint8_t>(entry.type);
    bytes[entryOffset::colour] = static_cast<std::uint8_t>(used ? entry.colour : Colour::red);
    store32(bytes + entryOffset::leftSibling, entry.left);
    store32(bytes + entryOffset::rightSibling, entry.right);
    store32(bytes + entryOffset::child, entry.child);
    std::copy(entry.clsid.begin(), entry.clsid.end(), bytes + entryOffset::clsid);
    store32(bytes + entryOffset::stateBits, entry.stateBits);
    store64(bytes + entryOffset::creationTime, entry.creationTime);
    store64(bytes + entryOffset::modifiedTime, entry.modifiedTime);
    store32(bytes + entryOffset::startSector, entry.startSector);
    store64(bytes + entryOffset::streamSize, entry.size);
}

} // namespace engine::cfb
