// Whole property-set streams (PropertySetStream, MS-OLEPS 2.21): parse and write.
//
// Statuses:
//   Status::invalidHeader    the stream header is wrong: byte order, format version, number of
//                            sections, section FMTIDs, or section offsets outside the stream or
//                            inside the header;
//   Status::docfileCorrupt   a section's contents are malformed: sizes, counts, offsets,
//                            property types, strings, vectors or dictionary entries that do not
//                            fit or contradict the format;
//   Status::invalidParameter the model cannot be written: a value whose payload does not suit
//                            its type, a special identifier among the ordinary properties,
//                            empty or duplicate names, sections other than one set or the
//                            document-summary pair;
//   Status::mediumFull       the written stream would pass kMaxPropertySetStreamSize;
//   kStatusUnsupportedCodePage, kStatusNoUnicodeTranslation (see code_page.h) for text that
//                            cannot be converted.
// The calling thread's lastFailureMessage() then says what was wrong, with the numbers involved.
#pragma once

#include "propset/code_page.h"
#include "propset/guid.h"
#include "propset/section.h"

#include <cstdint>
#include <span>
#include <vector>

namespace engine::propset {

class PropertySet {
public:
    std::uint16_t version = kFormatVersion0; // as read; raised to 1 on writing when needed
    std::uint32_t systemIdentifier = kDefaultSystemIdentifier; // kept as read
    Guid classId;
    // One section, or for the document-summary stream the document-summary section followed by
    // the user-defined section.
    std::vector<Section> sections;

    [[nodiscard]] Section* findSection(const Guid& formatId);
    [[nodiscard]] const Section* findSection(const Guid& formatId) const;
    // The section with this FMTID, added (empty, in `codePage`) when there is none. Adding a
    // section may move the others: references to sections do not survive it.
    Section& sectionFor(const Guid& formatId, CodePage codePage = kCodePageUnicode);

    [[nodiscard]] std::uint16_t osKind() const { return systemIdentifier >> 16; }
    [[nodiscard]] std::uint8_t osMajorVersion() const { return systemIdentifier & 0xFF; }
    [[nodiscard]] std::uint8_t osMinorVersion() const { return (systemIdentifier >> 8) & 0xFF; }

    friend bool operator==(const PropertySet&, const PropertySet&) = default;
};

// Parses the bytes of a property-set stream. Bytes after the last section are ignored (streams
// are often longer than the set they hold).
[[nodiscard]] Status parsePropertySet(std::span<const std::uint8_t> stream, PropertySet& set,
                                      const CodePageConverter& converter = builtInCodePages());

// Writes the set in canonical form (see section_codec.h), with the lowest format version that
// stores it, but never lower than set.version. A set holding a user-defined section without a
// document-summary section is written with an empty document-summary section first.
[[nodiscard]] Status writePropertySet(const PropertySet& set, std::vector<std::uint8_t>& stream,
                                      const CodePageConverter& converter = builtInCodePages());

// The format version writePropertySet() gives the set.
[[nodiscard]] std::uint16_t formatVersionToWrite(const PropertySet& set);

} // namespace engine::propset
