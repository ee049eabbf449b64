#include "propset/property_set.h"

#include "common/error.h"
#include "propset/byte_io.h"
#include "propset/section_codec.h"

#include <algorithm>

namespace engine::propset {
namespace {

struct SectionLocator {
    Guid formatId;
    std::uint32_t offset = 0;
    std::size_t size = 0;
};

Status badHeader(std::string message) {
    return fail(Status::invalidHeader, std::move(message));
}

bool isDocumentSummaryPair(const Guid& first, const Guid& second) {
    return first == kFormatIdDocSummaryInformation && second == kFormatIdUserDefinedProperties;
}

Status readStreamHeader(ByteReader& reader, PropertySet& set, std::uint32_t& count) {
    std::uint16_t byteOrder = 0;
    ENGINE_RETURN_IF_FAILED(reader.u16(byteOrder, "byte order mark"));
    if (byteOrder != kByteOrderMark)
        return badHeader(
            describe("byte order mark is ", byteOrder, " instead of ", kByteOrderMark));
    ENGINE_RETURN_IF_FAILED(reader.u16(set.version, "format version"));
    if (set.version != kFormatVersion0 && set.version != kFormatVersion1)
        return badHeader(describe("format version is ", set.version, " instead of 0 or 1"));
    ENGINE_RETURN_IF_FAILED(reader.u32(set.systemIdentifier, "system identifier"));
    ENGINE_RETURN_IF_FAILED(reader.guid(set.classId, "class identifier"));
    ENGINE_RETURN_IF_FAILED(reader.u32(count, "section count"));
    if (count == 0 || count > kMaxSectionCount)
        return badHeader(describe("the stream claims ", count, " sections instead of 1 or 2"));
    return Status::ok;
}

Status readSectionLocators(ByteReader& reader, std::uint32_t count, std::size_t streamSize,
                           std::vector<SectionLocator>& locators) {
    locators.resize(count);
    for (SectionLocator& locator : locators) {
        ENGINE_RETURN_IF_FAILED(reader.guid(locator.formatId, "section FMTID"));
        ENGINE_RETURN_IF_FAILED(reader.u32(locator.offset, "section offset"));
    }
    const std::size_t headerEnd = reader.position();
    for (const SectionLocator& locator : locators)
        if (locator.offset < headerEnd || locator.offset >= streamSize ||
            locator.offset % kAlignment != 0)
            return badHeader(describe("section offset ", locator.offset,
                                      " is not a four-byte boundary between the header end ",
                                      headerEnd, " and the stream end ", streamSize));
    if (count == 2 && !isDocumentSummaryPair(locators[0].formatId, locators[1].formatId))
        return badHeader(describe("a stream of two sections holds ",
                                  locators[0].formatId.toString(), " and ",
                                  locators[1].formatId.toString(),
                                  " instead of the document-summary and user-defined sections"));
    return Status::ok;
}

Status checkSectionsApart(const std::vector<SectionLocator>& locators) {
    if (locators.size() < 2)
        return Status::ok;
    const SectionLocator& a = locators[0];
    const SectionLocator& b = locators[1];
    if (a.offset < b.offset + b.size && b.offset < a.offset + a.size)
        return fail(Status::docfileCorrupt,
                    describe("sections at offsets ", a.offset, " (", a.size, " bytes) and ",
                             b.offset, " (", b.size, " bytes) overlap"));
    return Status::ok;
}

// The sections in the order they are written: a document-summary pair in its fixed order,
// with an empty document-summary section supplied for a lone user-defined section.
Status sectionsToWrite(const PropertySet& set, std::vector<const Section*>& ordered,
                       Section& suppliedDocumentSummary) {
    if (set.sections.size() == 1 && set.sections[0].formatId == kFormatIdUserDefinedProperties) {
        suppliedDocumentSummary = Section(kFormatIdDocSummaryInformation, set.sections[0].codePage);
        ordered = {&suppliedDocumentSummary, &set.sections[0]};
        return Status::ok;
    }
    if (set.sections.size() == 1) {
        ordered = {&set.sections[0]};
        return Status::ok;
    }
    if (set.sections.size() == 2) {
        const Section* documentSummary = set.findSection(kFormatIdDocSummaryInformation);
        const Section* userDefined = set.findSection(kFormatIdUserDefinedProperties);
        if (documentSummary != nullptr && userDefined != nullptr) {
            ordered = {documentSummary, userDefined};
            return Status::ok;
        }
    }
    return fail(Status::invalidParameter,
                describe("a property set of ", set.sections.size(),
                         " sections is neither one section nor the document-summary pair"));
}

} // namespace

Section* PropertySet::findSection(const Guid& formatId) {
    for (Section& section : sections)
        if (section.formatId == formatId)
            return &section;
    return nullptr;
}

const Section* PropertySet::findSection(const Guid& formatId) const {
    for (const Section& section : sections)
        if (section.formatId == formatId)
            return &section;
    return nullptr;
}

Section& PropertySet::sectionFor(const Guid& formatId, CodePage codePage) {
    if (Section* existing = findSection(formatId))
        return *existing;
    return sections.emplace_back(formatId, codePage);
}

Status parsePropertySet(std::span<const std::uint8_t> stream, PropertySet& set,
                        const CodePageConverter& converter) {
    PropertySet parsed;
    ByteReader reader(stream, 0, Status::invalidHeader);
    std::uint32_t count = 0;
    ENGINE_RETURN_IF_FAILED(readStreamHeader(reader, parsed, count));
    std::vector<SectionLocator> locators;
    ENGINE_RETURN_IF_FAILED(readSectionLocators(reader, count, stream.size(), locators));
    for (SectionLocator& locator : locators) {
        Section& section = parsed.sections.emplace_back(locator.formatId);
        ENGINE_RETURN_IF_FAILED(
            parseSection(stream, locator.offset, converter, section, locator.size));
    }
    ENGINE_RETURN_IF_FAILED(checkSectionsApart(locators));
    set = std::move(parsed);
    return Status::ok;
}

std::uint16_t formatVersionToWrite(const PropertySet& set) {
    std::uint16_t version = std::min(set.version, kFormatVersion1);
    for (const Section& section : set.sections)
        version = std::max(version, minimumFormatVersion(section));
    return version;
}

Status writePropertySet(const PropertySet& set, std::vector<std::uint8_t>& stream,
                        const CodePageConverter& converter) {
    std::vector<const Section*> ordered;
    Section suppliedDocumentSummary;
    ENGINE_RETURN_IF_FAILED(sectionsToWrite(set, ordered, suppliedDocumentSummary));

    std::vector<std::uint8_t> bytes;
    ByteWriter writer(bytes);
    writer.u16(kByteOrderMark);
    writer.u16(formatVersionToWrite(set));
    writer.u32(set.systemIdentifier);
    writer.guid(set.classId);
    writer.u32(static_cast<std::uint32_t>(ordered.size()));
    const std::size_t locatorTable = writer.size();
    for (const Section* section : ordered) {
        writer.guid(section->formatId);
        writer.u32(0); // offset, patched below
    }
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        writer.patchU32(locatorTable + i * kSectionLocatorSize + kGuidSize,
                        static_cast<std::uint32_t>(writer.size()));
        ENGINE_RETURN_IF_FAILED(writeSection(writer, *ordered[i], converter));
    }
    if (bytes.size() > kMaxPropertySetStreamSize)
        return fail(Status::mediumFull,
                    describe("the property set needs ", bytes.size(),
                             " bytes, more than the limit of ", kMaxPropertySetStreamSize));
    stream = std::move(bytes);
    return Status::ok;
}

} // namespace engine::propset
