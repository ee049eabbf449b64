// One property set (a section of a property-set stream, MS-OLEPS 2.20) in memory.
#pragma once

#include "propset/constants.h"
#include "propset/guid.h"
#include "propset/value.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace engine::propset {

// The special properties are fields of the section, not entries of `properties`:
// the dictionary (id 0) is `names`, the code page (id 1) `codePage`, the locale (0x80000000)
// `locale` and the behavior (0x80000003) `caseSensitive`.
class Section {
public:
    Section() = default;
    explicit Section(const Guid& formatId, CodePage codePage = kCodePageUnicode)
        : formatId(formatId), codePage(codePage) {}

    Guid formatId;
    CodePage codePage = kCodePageUnicode;
    std::optional<std::uint32_t> locale;
    bool caseSensitive = false;
    std::map<PropertyId, std::u16string> names; // the dictionary: identifier to name
    std::map<PropertyId, Value> properties;     // every other property

    [[nodiscard]] const Value* find(PropertyId id) const;

    // The identifier named `name`, compared without regard to case unless the set is
    // case-sensitive.
    [[nodiscard]] std::optional<PropertyId> findName(std::u16string_view name) const;
    [[nodiscard]] const Value* findByName(std::u16string_view name) const;

    // Names `id`, replacing its former name. Fails with Status::invalidParameter for the
    // dictionary and code page identifiers, an empty name, or a name another property has.
    [[nodiscard]] Status setName(PropertyId id, std::u16string name);

    // Removes the property and its name.
    void remove(PropertyId id);

    // The lowest ordinary identifier from `first` on that has neither a value nor a name (as
    // IPropertyStorage::WriteMultiple needs for new named properties), or none when all are used.
    [[nodiscard]] std::optional<PropertyId> firstUnusedId(PropertyId first) const;

    // True when the two names are the same name in this set.
    [[nodiscard]] bool sameName(std::u16string_view a, std::u16string_view b) const;
    // A key equal for exactly the names this set considers the same.
    [[nodiscard]] std::u16string nameKey(std::u16string_view name) const;

    friend bool operator==(const Section&, const Section&) = default;
};

// Whether `id` is one the format reserves for the special properties kept as fields.
[[nodiscard]] bool isSpecialPropertyId(PropertyId id);

// Compares two names the way a case-insensitive set does (simple upper-case folding of the
// Latin, Greek and Cyrillic letters).
[[nodiscard]] bool equalIgnoringCase(std::u16string_view a, std::u16string_view b);
[[nodiscard]] std::u16string upperCaseFolded(std::u16string_view name);

} // namespace engine::propset
