// The text of a combined combo/edit/browse field: either the value itself (type 1, typed
// freely) or a caller's prefix followed by the value (type 0, an entry of a named list).
//
// Every text written here is terminated within the capacity: at most capacity - 1 bytes
// (characters for the wide form) of whole characters and a terminator. The parse functions
// and the type-1 copy fill the rest of the capacity with terminators; a capacity of 0
// writes nothing.
#include <z64eveze.h>

#include "common/whole_characters.h"

#include <mbstring.h>

#include <cstring>
#include <cwchar>

namespace {

using z64::common::CodePage;
using z64::common::wholeCharacterBytes;

constexpr unsigned long kNamedEntry = 0;
constexpr unsigned long kFreeText = 1;

// Copies the whole characters of `source` that fit before the terminator and fills the
// rest of the capacity with terminators.
void copyPadded(char* target, unsigned long capacity, const char* source) {
    if (capacity == 0)
        return;
    const std::size_t length = wholeCharacterBytes(source, capacity - 1, CodePage::runTime);
    std::memcpy(target, source, length);
    std::memset(target + length, 0, capacity - length);
}

// The prefix and then the value, as far as whole characters fit; no padding.
void copyJoined(char* target, unsigned long capacity, const char* prefix, const char* value) {
    if (capacity == 0)
        return;
    const std::size_t prefixLength = wholeCharacterBytes(prefix, capacity - 1, CodePage::runTime);
    std::memcpy(target, prefix, prefixLength);
    std::size_t length = prefixLength;
    if (prefix[prefixLength] == '\0') {
        length += wholeCharacterBytes(value, capacity - 1 - prefixLength, CodePage::runTime);
        std::memcpy(target + prefixLength, value, length - prefixLength);
    }
    target[length] = '\0';
}

[[nodiscard]] bool isHighSurrogate(wchar_t ch) {
    return ch >= 0xD800 && ch <= 0xDBFF;
}

void copyPaddedWide(wchar_t* target, unsigned long capacity, const wchar_t* source) {
    if (capacity == 0)
        return;
    std::size_t length = wcsnlen(source, capacity - 1);
    // A surrogate pair is never cut in half.
    if (length > 0 && length == capacity - 1 && isHighSurrogate(source[length - 1]) &&
        source[length] != L'\0')
        --length;
    std::wmemcpy(target, source, length);
    std::wmemset(target + length, L'\0', capacity - length);
}

void setType(unsigned long* type, unsigned long value) {
    if (type != nullptr)
        *type = value;
}

} // namespace

int ParseComboEditBrowseText(char* value, unsigned long capacity, const char* text,
                             unsigned long* type, const char* prefix) {
    if (value == nullptr || text == nullptr || prefix == nullptr)
        return 0;
    const std::size_t prefixLength = std::strlen(prefix);
    const bool named = _mbsnbcmp(reinterpret_cast<const unsigned char*>(text),
                                 reinterpret_cast<const unsigned char*>(prefix), prefixLength) == 0;
    setType(type, named ? kNamedEntry : kFreeText);
    copyPadded(value, capacity, named ? text + prefixLength : text);
    return 1;
}

int ParseComboEditBrowseTextW(wchar_t* value, unsigned long capacity, const wchar_t* text,
                              unsigned long* type, const wchar_t* prefix) {
    if (value == nullptr || text == nullptr || prefix == nullptr)
        return 0;
    const std::size_t prefixLength = std::wcslen(prefix);
    const bool named = std::wcsncmp(text, prefix, prefixLength) == 0;
    setType(type, named ? kNamedEntry : kFreeText);
    copyPaddedWide(value, capacity, named ? text + prefixLength : text);
    return 1;
}

int MakeComboEditBrowseText(char* text, unsigned long capacity, const char* value,
                            unsigned long type, const char* prefix) {
    if (text == nullptr || value == nullptr || prefix == nullptr)
        return 0;
    switch (type) {
    case kNamedEntry:
        copyJoined(text, capacity, prefix, value);
        return 1;
    case kFreeText:
        copyPadded(text, capacity, value);
        return 1;
    default:
        return 0;
    }
}
