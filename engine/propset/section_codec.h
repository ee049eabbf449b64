// Reading and writing one section (PropertySet packet, MS-OLEPS 2.20) and its dictionary.
#pragma once

#include "propset/byte_io.h"
#include "propset/code_page.h"
#include "propset/section.h"

#include <span>
#include <vector>

namespace engine::propset {

// Parses the section at `offset` of `stream` into `section` (whose formatId the caller sets).
// Every malformed structure inside the section gives Status::docfileCorrupt; names that the
// converter cannot translate give its status. `size` receives the section's size field.
[[nodiscard]] Status parseSection(std::span<const std::uint8_t> stream, std::size_t offset,
                                  const CodePageConverter& converter, Section& section,
                                  std::size_t& size);

// Appends the section in canonical form: properties in ascending identifier order (dictionary,
// code page, then the others), each value padded to four bytes. A section that cannot be
// stored gives Status::invalidParameter.
[[nodiscard]] Status writeSection(ByteWriter& writer, const Section& section,
                                  const CodePageConverter& converter);

// Reads a dictionary (MS-OLEPS 2.17) in the section's code page.
[[nodiscard]] Status readDictionary(ByteReader& reader, const Section& section,
                                    const CodePageConverter& converter,
                                    std::map<PropertyId, std::u16string>& names);

// Appends the section's dictionary, padded to four bytes.
[[nodiscard]] Status writeDictionary(ByteWriter& writer, const Section& section,
                                     const CodePageConverter& converter);

// The lowest format version that can store the section (MS-OLEPS 2.14, 2.18.4).
[[nodiscard]] std::uint16_t minimumFormatVersion(const Section& section);

} // namespace engine::propset
