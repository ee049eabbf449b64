#include "progress/text_copy.h"

#include <windows.h>

#include <cstring>

namespace z64::progress {

std::size_t wholeCharacterLength(const char* text, std::size_t limit) {
    std::size_t length = 0;
    while (text[length] != '\0') {
        const std::size_t width =
            IsDBCSLeadByte(static_cast<BYTE>(text[length])) && text[length + 1] != '\0' ? 2 : 1;
        if (length + width > limit)
            break;
        length += width;
    }
    return length;
}

void copyWholeCharacters(char* target, std::size_t capacity, const char* source) {
    if (capacity == 0)
        return;
    const std::size_t length = source != nullptr ? wholeCharacterLength(source, capacity - 1) : 0;
    if (length != 0)
        std::memcpy(target, source, length);
    target[length] = '\0';
}

} // namespace z64::progress
