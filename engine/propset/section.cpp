#include "propset/section.h"

#include "common/error.h"

#include <algorithm>

namespace engine::propset {
namespace {

// Upper-case folding of the letters whose case pairs follow simple patterns.
char16_t foldCase(char16_t c) {
    if (c >= u'a' && c <= u'z')
        return static_cast<char16_t>(c - 0x20);
    if (c < 0x00E0)
        return c;
    if (c <= 0x00FE) // Latin-1 small letters, except the division sign
        return c == 0x00F7 ? c : static_cast<char16_t>(c - 0x20);
    if (c == 0x00FF)
        return 0x0178;
    if (c >= 0x0100 && c <= 0x017F) { // Latin Extended-A: pairs, odd member small
        const bool oddPairs = (c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E);
        const bool small = oddPairs ? (c % 2 == 0) : (c % 2 == 1);
        if (c == 0x0130 || c == 0x0131 || c == 0x0138 || c == 0x0149 || c == 0x017F)
            return c;
        return small ? static_cast<char16_t>(c - 1) : c;
    }
    if (c >= 0x03B1 && c <= 0x03C9 && c != 0x03C2) // Greek
        return static_cast<char16_t>(c - 0x20);
    if (c >= 0x0430 && c <= 0x044F) // Cyrillic
        return static_cast<char16_t>(c - 0x20);
    if (c >= 0x0450 && c <= 0x045F)
        return static_cast<char16_t>(c - 0x50);
    return c;
}

} // namespace

bool equalIgnoringCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldCase(a[i]) != foldCase(b[i]))
            return false;
    return true;
}

std::u16string upperCaseFolded(std::u16string_view name) {
    std::u16string folded(name);
    for (char16_t& c : folded)
        c = foldCase(c);
    return folded;
}

std::u16string Section::nameKey(std::u16string_view name) const {
    return caseSensitive ? std::u16string(name) : upperCaseFolded(name);
}

bool isSpecialPropertyId(PropertyId id) {
    return id == kDictionaryPropertyId || id == kCodePagePropertyId || id == kLocalePropertyId ||
           id == kBehaviorPropertyId;
}

const Value* Section::find(PropertyId id) const {
    const auto found = properties.find(id);
    return found == properties.end() ? nullptr : &found->second;
}

bool Section::sameName(std::u16string_view a, std::u16string_view b) const {
    return caseSensitive ? a == b : equalIgnoringCase(a, b);
}

std::optional<PropertyId> Section::findName(std::u16string_view name) const {
    for (const auto& [id, existing] : names)
        if (sameName(existing, name))
            return id;
    return std::nullopt;
}

const Value* Section::findByName(std::u16string_view name) const {
    const auto id = findName(name);
    return id ? find(*id) : nullptr;
}

Status Section::setName(PropertyId id, std::u16string name) {
    if (id == kDictionaryPropertyId || id == kCodePagePropertyId)
        return fail(Status::invalidParameter, describe("property ", id, " cannot have a name"));
    if (name.empty())
        return fail(Status::invalidParameter, describe("the name of property ", id, " is empty"));
    const auto holder = findName(name);
    if (holder && *holder != id)
        return fail(Status::invalidParameter,
                    describe("property ", *holder, " already has the name given to ", id));
    names[id] = std::move(name);
    return Status::ok;
}

void Section::remove(PropertyId id) {
    properties.erase(id);
    names.erase(id);
}

std::optional<PropertyId> Section::firstUnusedId(PropertyId first) const {
    for (PropertyId id = std::max(first, kFirstNormalPropertyId); id <= kLastNormalPropertyId; ++id)
        if (properties.count(id) == 0 && names.count(id) == 0)
            return id;
    return std::nullopt;
}

} // namespace engine::propset
