#include "cfb/names.h"

#include "cfb/constants.h"
#include "common/error.h"

#include <algorithm>

namespace engine::cfb {
namespace {

// Blocks where a small letter is its capital's unit plus one (capital even, small odd),
// or (capital odd, small even) for the second family.
struct PairedBlock {
    char16_t first;
    char16_t last;
    bool capitalIsEven;
};

constexpr PairedBlock pairedBlocks[] = {
    {u'\u0100', u'\u012F', true}, {u'\u0132', u'\u0137', true},  {u'\u0139', u'\u0148', false},
    {u'\u014A', u'\u0177', true}, {u'\u0179', u'\u017E', false}, {u'\u0460', u'\u0481', true},
    {u'\u048A', u'\u04BF', true}, {u'\u04C1', u'\u04CE', false}, {u'\u04D0', u'\u052F', true},
    {u'\u1E00', u'\u1E95', true}, {u'\u1EA0', u'\u1EFF', true},
};

// Blocks where the small letters are the capitals moved by a fixed distance.
struct ShiftedBlock {
    char16_t first; // first small letter
    char16_t last;  // last small letter
    char16_t distance;
};

constexpr ShiftedBlock shiftedBlocks[] = {
    {u'a', u'z', 0x20},           // ASCII
    {u'\u00E0', u'\u00F6', 0x20}, // Latin-1 (the division sign U+00F7 stays)
    {u'\u00F8', u'\u00FE', 0x20}, // Latin-1
    {u'\u03B1', u'\u03C1', 0x20}, // Greek
    {u'\u03C3', u'\u03CB', 0x20}, // Greek (final sigma handled apart)
    {u'\u0430', u'\u044F', 0x20}, // Cyrillic
    {u'\u0450', u'\u045F', 0x50}, // Cyrillic with marks
    {u'\u0561', u'\u0586', 0x30}, // Armenian
    {u'\uFF41', u'\uFF5A', 0x20}, // full-width Latin
};

constexpr char16_t latinSmallYWithDiaeresis = u'\u00FF';
constexpr char16_t latinCapitalYWithDiaeresis = u'\u0178';
constexpr char16_t greekSmallFinalSigma = u'\u03C2';
constexpr char16_t greekCapitalSigma = u'\u03A3';

constexpr char16_t forbiddenNameUnits[] = {u'/', u'\\', u':', u'!', u'\0'};

} // namespace

char16_t upperCaseUnit(char16_t unit) {
    constexpr char16_t firstBeyondAscii = 0x80;
    if (unit < firstBeyondAscii) // most names: answered without searching the blocks
        return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 0x20) : unit;
    for (const ShiftedBlock& block : shiftedBlocks)
        if (unit >= block.first && unit <= block.last)
            return static_cast<char16_t>(unit - block.distance);
    for (const PairedBlock& block : pairedBlocks) {
        if (unit < block.first || unit > block.last)
            continue;
        const bool isEven = (unit % 2) == 0;
        const bool isSmall = isEven != block.capitalIsEven;
        return isSmall ? static_cast<char16_t>(unit - 1) : unit;
    }
    if (unit == latinSmallYWithDiaeresis)
        return latinCapitalYWithDiaeresis;
    if (unit == greekSmallFinalSigma)
        return greekCapitalSigma;
    return unit;
}

std::u16string foldName(std::u16string_view name) {
    std::u16string folded(name);
    for (char16_t& unit : folded)
        unit = upperCaseUnit(unit);
    return folded;
}

std::strong_ordering compareNames(std::u16string_view left, std::u16string_view right) {
    if (left.size() != right.size())
        return left.size() <=> right.size();
    for (std::size_t i = 0; i < left.size(); ++i) {
        const char16_t a = upperCaseUnit(left[i]);
        const char16_t b = upperCaseUnit(right[i]);
        if (a != b)
            return a <=> b;
    }
    return std::strong_ordering::equal;
}

Status checkName(std::u16string_view name) {
    if (name.empty())
        return fail(Status::invalidName, "an element name cannot be empty");
    if (name.size() > maxNameUnits)
        return fail(Status::invalidName, describe("an element name has ", name.size(),
                                                  " units, more than ", maxNameUnits));
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (std::find(std::begin(forbiddenNameUnits), std::end(forbiddenNameUnits), name[i]) !=
            std::end(forbiddenNameUnits))
            return fail(Status::invalidName,
                        describe("an element name holds the forbidden unit ",
                                 static_cast<unsigned>(name[i]), " at position ", i));
    }
    return Status::ok;
}

std::string toUtf8(std::u16string_view name) {
    std::string text;
    for (std::size_t i = 0; i < name.size(); ++i) {
        std::uint32_t point = name[i];
        if (point >= 0xD800 && point <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
            name[i + 1] <= 0xDFFF) {
            point = 0x10000 + ((point - 0xD800) << 10) + (name[i + 1] - 0xDC00);
            ++i;
        } else if (point >= 0xD800 && point <= 0xDFFF) {
            point = '?';
        }
        if (point < 0x80) {
            text += static_cast<char>(point);
        } else if (point < 0x800) {
            text += static_cast<char>(0xC0 | (point >> 6));
            text += static_cast<char>(0x80 | (point & 0x3F));
        } else if (point < 0x10000) {
            text += static_cast<char>(0xE0 | (point >> 12));
            text += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (point & 0x3F));
        } else {
            text += static_cast<char>(0xF0 | (point >> 18));
            text += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
            text += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (point & 0x3F));
        }
    }
    return text;
}

std::u16string fromUtf8(std::string_view text) {
    std::u16string name;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        std::uint32_t point = extra == 0   ? lead
                              : extra == 1 ? lead & 0x1Fu
                              : extra == 2 ? lead & 0x0Fu
                                           : lead & 0x07u;
        ++i;
        for (int k = 0; k < extra && i < text.size(); ++k, ++i)
            point = (point << 6) | (static_cast<unsigned char>(text[i]) & 0x3Fu);
        if (point >= 0x10000) {
            point -= 0x10000;
            name += static_cast<char16_t>(0xD800 + (point >> 10));
            name += static_cast<char16_t>(0xDC00 + (point & 0x3FF));
        } else {
            name += static_cast<char16_t>(point);
        }
    }
    return name;
}

} // namespace engine::cfb
