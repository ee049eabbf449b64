#include "common/whole_characters.h"

#include <windows.h>

#include <mbctype.h>

#include <cstring>

namespace z64::common {
namespace {

[[nodiscard]] bool isLeadByte(char byte, CodePage codePage) {
    const auto value = static_cast<unsigned char>(byte);
    return codePage == CodePage::ansi ? IsDBCSLeadByte(value) != FALSE : _ismbblead(value) != 0;
}

} // namespace

const char* nextCharacter(const char* text, CodePage codePage) {
    if (*text == '\0')
        return text;
    const bool pair = isLeadByte(*text, codePage) && text[1] != '\0';
    return text + (pair ? 2 : 1);
}

std::size_t wholeCharacterBytes(const char* text, std::size_t limit, CodePage codePage) {
    std::size_t length = 0;
    while (text[length] != '\0') {
        const auto width =
            static_cast<std::size_t>(nextCharacter(text + length, codePage) - (text + length));
        if (length + width > limit)
            break;
        length += width;
    }
    return length;
}

void copyWholeCharacters(char* target, std::size_t capacity, const char* source,
                         CodePage codePage) {
    if (capacity == 0)
        return;
    const std::size_t length =
        source != nullptr ? wholeCharacterBytes(source, capacity - 1, codePage) : 0;
    if (length != 0)
        std::memcpy(target, source, length);
    target[length] = '\0';
}

} // namespace z64::common
