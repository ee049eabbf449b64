#include "propset/stream_name.h"

#include "common/error.h"
#include "propset/code_page.h"

#include <optional>

namespace engine::propset {
namespace {

constexpr char16_t kPropertySetNamePrefix = u'\005';
constexpr std::string_view kBase32Alphabet = "abcdefghijklmnopqrstuvwxyz012345";
constexpr std::size_t kBitsPerCharacter = 5;
constexpr std::size_t kGuidBits = 128;
constexpr std::size_t kEncodedLength = 26; // ceil(128 / 5)

struct FixedName {
    const Guid* formatId;
    std::u16string_view name;
};

// The user-defined set shares the document-summary name; the document-summary entry comes
// first so that the name maps back to it.
constexpr FixedName kFixedNames[] = {
    {&kFormatIdSummaryInformation, u"\005SummaryInformation"},
    {&kFormatIdDocSummaryInformation, u"\005DocumentSummaryInformation"},
    {&kFormatIdUserDefinedProperties, u"\005DocumentSummaryInformation"},
    {&kFormatIdGlobalInfo, u"\005GlobalInfo"},
    {&kFormatIdImageContents, u"\005ImageContents"},
    {&kFormatIdImageInfo, u"\005ImageInfo"},
};

// Bit `index` of the FMTID taken as one string of bits: bit 0 is the least significant bit
// of the first stored byte.
unsigned guidBit(const Guid& formatId, std::size_t index) {
    if (index >= kGuidBits)
        return 0;
    return (formatId.bytes[index / 8] >> (index % 8)) & 1u;
}

std::optional<unsigned> base32Value(char16_t c) {
    if (c >= u'a' && c <= u'z')
        return c - u'a';
    if (c >= u'A' && c <= u'Z')
        return c - u'A';
    if (c >= u'0' && c <= u'5')
        return 26 + (c - u'0');
    return std::nullopt;
}

// The FMTID a name stands for, or the reason it stands for none.
std::optional<Guid> decodeStreamName(std::u16string_view name, std::string& why) {
    for (const FixedName& fixed : kFixedNames)
        if (fixed.name == name)
            return *fixed.formatId;
    if (name.size() != kEncodedLength + 1 || name.front() != kPropertySetNamePrefix) {
        why = "it is neither a fixed name nor '\\005' and 26 characters";
        return std::nullopt;
    }
    Guid decoded;
    for (std::size_t group = 0; group < kEncodedLength; ++group) {
        const auto value = base32Value(name[group + 1]);
        if (!value) {
            why = describe("character ", group + 1, " is not a letter or a digit 0-5");
            return std::nullopt;
        }
        for (std::size_t bit = 0; bit < kBitsPerCharacter; ++bit) {
            const std::size_t index = group * kBitsPerCharacter + bit;
            const unsigned set = (*value >> bit) & 1u;
            if (index < kGuidBits)
                decoded.bytes[index / 8] =
                    static_cast<std::uint8_t>(decoded.bytes[index / 8] | (set << (index % 8)));
            else if (set != 0) {
                why = "its last character encodes bits past the 128 of a FMTID";
                return std::nullopt;
            }
        }
    }
    return decoded;
}

} // namespace

std::u16string streamNameForFormatId(const Guid& formatId) {
    for (const FixedName& fixed : kFixedNames)
        if (*fixed.formatId == formatId)
            return std::u16string(fixed.name);
    std::u16string name(1, kPropertySetNamePrefix);
    for (std::size_t group = 0; group < kEncodedLength; ++group) {
        unsigned value = 0;
        for (std::size_t bit = 0; bit < kBitsPerCharacter; ++bit)
            value |= guidBit(formatId, group * kBitsPerCharacter + bit) << bit;
        name += static_cast<char16_t>(kBase32Alphabet[value]);
    }
    return name;
}

Status formatIdForStreamName(std::u16string_view name, Guid& formatId) {
    std::string why;
    const auto decoded = decodeStreamName(name, why);
    if (!decoded)
        return fail(Status::invalidName, describe("a name of ", name.size(),
                                                  " characters is not a property-set name: ", why));
    formatId = *decoded;
    return Status::ok;
}

bool isPropertySetStreamName(std::u16string_view name) {
    std::string why;
    return decodeStreamName(name, why).has_value();
}

} // namespace engine::propset
