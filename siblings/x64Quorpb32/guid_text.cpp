// Identifier texts in the registry form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
#include "x64Quorpb32.h"

#include <cstdio>
#include <cstring>
#include <optional>

namespace {

constexpr std::size_t kBracedLength = 38;
constexpr std::size_t kBareLength = 36;
// Positions of the hyphens in the text without braces.
constexpr std::size_t kHyphenPositions[] = {8, 13, 18, 23};

std::optional<unsigned> hexDigitValue(char character) {
    if (character >= '0' && character <= '9')
        return character - '0';
    if (character >= 'A' && character <= 'F')
        return character - 'A' + 10;
    if (character >= 'a' && character <= 'f')
        return character - 'a' + 10;
    return std::nullopt;
}

// Reads `digits` hexadecimal digits at `text`; nothing else may stand there.
template <typename Integer>
bool readHex(const char* text, std::size_t digits, Integer* value) {
    unsigned long long result = 0;
    for (std::size_t index = 0; index < digits; ++index) {
        const auto digit = hexDigitValue(text[index]);
        if (!digit)
            return false;
        result = (result << 4) | *digit;
    }
    *value = static_cast<Integer>(result);
    return true;
}

bool hasHyphensInPlace(const char* bare) {
    for (const std::size_t position : kHyphenPositions)
        if (bare[position] != '-')
            return false;
    return true;
}

bool parseBare(const char* bare, GUID* id) {
    if (!hasHyphensInPlace(bare))
        return false;
    GUID parsed{};
    bool ok = readHex(bare, 8, &parsed.Data1) && readHex(bare + 9, 4, &parsed.Data2) &&
              readHex(bare + 14, 4, &parsed.Data3) && readHex(bare + 19, 2, &parsed.Data4[0]) &&
              readHex(bare + 21, 2, &parsed.Data4[1]);
    for (std::size_t index = 2; ok && index < 8; ++index)
        ok = readHex(bare + 24 + (index - 2) * 2, 2, &parsed.Data4[index]);
    if (ok)
        *id = parsed;
    return ok;
}

bool parseIdentifier(const char* text, GUID* id) {
    const std::size_t length = std::strlen(text);
    if (length == kBracedLength && text[0] == '{' && text[kBracedLength - 1] == '}')
        return parseBare(text + 1, id);
    if (length == kBareLength)
        return parseBare(text, id);
    return false;
}

} // namespace

QUORPB_API BOOL GUIDToString(const GUID* id, char* buffer) {
    if (!buffer)
        return FALSE;
    if (!id) {
        buffer[0] = '\0';
        return FALSE;
    }
    std::snprintf(buffer, kBracedLength + 1, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  id->Data1, id->Data2, id->Data3, id->Data4[0], id->Data4[1], id->Data4[2],
                  id->Data4[3], id->Data4[4], id->Data4[5], id->Data4[6], id->Data4[7]);
    return TRUE;
}

QUORPB_API BOOL StringToGUID(const char* text, GUID* id) {
    if (!id)
        return FALSE;
    *id = GUID{};
    return text && parseIdentifier(text, id);
}
