#include "dialogs/multibyte_text.h"

#include <mbctype.h>

namespace z64::dialogs {

const char* nextCharacter(const char* text) {
    if (*text == '\0')
        return text;
    const bool pair = _ismbblead(static_cast<unsigned char>(*text)) && text[1] != '\0';
    return text + (pair ? 2 : 1);
}

std::size_t wholeCharacterBytes(const char* text, std::size_t limit) {
    std::size_t length = 0;
    while (text[length] != '\0') {
        const auto step = static_cast<std::size_t>(nextCharacter(text + length) - (text + length));
        if (length + step > limit)
            break;
        length += step;
    }
    return length;
}

} // namespace z64::dialogs
