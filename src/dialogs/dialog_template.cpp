#include "dialog_template.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>

namespace z64::dialogs {
namespace {

constexpr WORD kOrdinalMarker = 0xFFFF;
constexpr size_t kClassicHeaderSize = 18;
constexpr size_t kExtendedHeaderSize = 26;
constexpr size_t kExtendedSignatureOffset = 2;
constexpr size_t kClassicStyleOffset = 0;
constexpr size_t kExtendedStyleOffset = 12;
constexpr size_t kClassicCountOffset = 8;
constexpr size_t kExtendedCountOffset = 16;
constexpr size_t kClassicFontFixedSize = 2;  // point size
constexpr size_t kExtendedFontFixedSize = 6; // point size, weight, italic, character set
constexpr size_t kClassicItemFixedSize = 18;
constexpr size_t kExtendedItemFixedSize = 24;
constexpr size_t kOrdinalSize = 4;

constexpr const char* kPredefinedClasses[] = {"Button",  "Edit",      "Static",
                                              "Listbox", "Scrollbar", "Combobox"};
constexpr WORD kFirstPredefinedClass = 0x0080;

constexpr size_t alignToDword(size_t offset) {
    return (offset + 3) & ~size_t{3};
}

// Reads at `offset` only when the whole value lies inside the view.
class Reader {
public:
    explicit Reader(TemplateView view) : view_(view) {}

    [[nodiscard]] bool holds(size_t offset, size_t count) const {
        return offset <= view_.size && count <= view_.size - offset;
    }
    template <typename Value>
    [[nodiscard]] std::optional<Value> read(size_t offset) const {
        if (!holds(offset, sizeof(Value)))
            return std::nullopt;
        Value value;
        std::memcpy(&value, view_.base + offset, sizeof value);
        return value;
    }
    [[nodiscard]] const BYTE* at(size_t offset) const { return view_.base + offset; }

    // The length in characters of the zero-terminated UTF-16 string at `offset`.
    [[nodiscard]] std::optional<size_t> stringLength(size_t offset) const {
        for (size_t length = 0;; ++length) {
            const std::optional<WORD> unit = read<WORD>(offset + 2 * length);
            if (!unit)
                return std::nullopt;
            if (*unit == 0)
                return length;
        }
    }
    // The offset after an ordinal or a zero-terminated string.
    [[nodiscard]] std::optional<size_t> skipOrdinalOrString(size_t offset) const {
        const std::optional<WORD> first = read<WORD>(offset);
        if (!first)
            return std::nullopt;
        if (*first == kOrdinalMarker)
            return holds(offset, kOrdinalSize) ? std::optional(offset + kOrdinalSize)
                                               : std::nullopt;
        return skipString(offset);
    }
    [[nodiscard]] std::optional<size_t> skipString(size_t offset) const {
        const std::optional<size_t> length = stringLength(offset);
        return length ? std::optional(offset + 2 * (*length + 1)) : std::nullopt;
    }

private:
    TemplateView view_;
};

// The ANSI form of `length` UTF-16 units in CP_ACP, as many bytes as WideCharToMultiByte
// would write.
int ansiLength(const wchar_t* text, int length) {
    return length == 0 ? 0
                       : WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
}

// The longest prefix of `text` whose ANSI form fits `capacity` bytes, never splitting a
// surrogate pair.
int fittingPrefix(const wchar_t* text, int length, int capacity) {
    int low = 0, high = length;
    while (low < high) {
        const int middle = low + (high - low + 1) / 2;
        if (ansiLength(text, middle) <= capacity)
            low = middle;
        else
            high = middle - 1;
    }
    if (low > 0 && IS_HIGH_SURROGATE(text[low - 1]))
        --low;
    return low;
}

// Converts a UTF-16 string into `buffer`, always terminated. When it does not fit, a text
// is cut on a character boundary (`cut`), anything else leaves an empty buffer and fails.
bool convertString(const wchar_t* text, size_t length, char* buffer, int capacity, bool cut) {
    if (buffer == nullptr || capacity <= 0)
        return true;
    const int units = static_cast<int>(length);
    int taken = units;
    if (ansiLength(text, units) > capacity - 1) {
        if (!cut) {
            buffer[0] = '\0';
            return false;
        }
        taken = fittingPrefix(text, units, capacity - 1);
    }
    const int written = taken == 0 ? 0
                                   : WideCharToMultiByte(CP_ACP, 0, text, taken, buffer,
                                                         capacity - 1, nullptr, nullptr);
    buffer[written] = '\0';
    return true;
}

void copyText(const char* text, char* buffer, int capacity) {
    if (buffer != nullptr && capacity > 0)
        lstrcpynA(buffer, text, capacity);
}

struct FieldRead {
    size_t nextOffset;
    bool usable;
};

std::optional<FieldRead> readClass(const Reader& reader, size_t offset, DLGITEMINFO& info) {
    const std::optional<WORD> first = reader.read<WORD>(offset);
    if (!first)
        return std::nullopt;
    if (*first == kOrdinalMarker) {
        const std::optional<WORD> ordinal = reader.read<WORD>(offset + 2);
        if (!ordinal)
            return std::nullopt;
        const size_t index = static_cast<size_t>(*ordinal) - kFirstPredefinedClass;
        const bool known =
            *ordinal >= kFirstPredefinedClass && index < std::size(kPredefinedClasses);
        copyText(known ? kPredefinedClasses[index] : "", info.pszClass, info.cbClass);
        return FieldRead{offset + kOrdinalSize, known};
    }
    const std::optional<size_t> length = reader.stringLength(offset);
    if (!length)
        return std::nullopt;
    const auto* name = reinterpret_cast<const wchar_t*>(reader.at(offset));
    const bool fits = convertString(name, *length, info.pszClass, info.cbClass, false);
    return FieldRead{offset + 2 * (*length + 1), fits};
}

std::optional<size_t> readText(const Reader& reader, size_t offset, DLGITEMINFO& info) {
    const std::optional<WORD> first = reader.read<WORD>(offset);
    if (!first)
        return std::nullopt;
    if (*first == kOrdinalMarker) {
        const std::optional<WORD> number = reader.read<WORD>(offset + 2);
        if (!number)
            return std::nullopt;
        char text[8];
        std::snprintf(text, sizeof text, "#%u", static_cast<unsigned>(*number));
        copyText(text, info.pszText, info.cbText);
        return offset + kOrdinalSize;
    }
    const std::optional<size_t> length = reader.stringLength(offset);
    if (!length)
        return std::nullopt;
    const auto* text = reinterpret_cast<const wchar_t*>(reader.at(offset));
    convertString(text, *length, info.pszText, info.cbText, true);
    return offset + 2 * (*length + 1);
}

// The creation data behind the count; the offset after the data.
std::optional<size_t> readCreationData(const Reader& reader, size_t offset, DLGITEMINFO& info) {
    const std::optional<WORD> count = reader.read<WORD>(offset);
    if (!count || !reader.holds(offset + 2, *count))
        return std::nullopt;
    info.pCreationData = *count != 0 ? reader.at(offset + 2) : nullptr;
    return offset + 2 + *count;
}

struct ItemLayout {
    size_t styleOffset, extendedStyleOffset, rectOffset, idOffset, fixedSize;
};
constexpr ItemLayout kClassicItem{0, 4, 8, 16, kClassicItemFixedSize};
constexpr ItemLayout kExtendedItem{8, 4, 12, 20, kExtendedItemFixedSize};

std::optional<DialogItem> parseWithLayout(const ItemLayout& layout, TemplateView view,
                                          size_t offset, DLGITEMINFO& info) {
    const Reader reader(view);
    if (!reader.holds(offset, layout.fixedSize))
        return std::nullopt;
    DialogItem item{};
    item.style = *reader.read<DWORD>(offset + layout.styleOffset);
    item.extendedStyle = *reader.read<DWORD>(offset + layout.extendedStyleOffset);
    const size_t rect = offset + layout.rectOffset;
    item.rect = RECT{*reader.read<SHORT>(rect), *reader.read<SHORT>(rect + 2),
                     *reader.read<SHORT>(rect + 4), *reader.read<SHORT>(rect + 6)};
    item.id = *reader.read<WORD>(offset + layout.idOffset);

    const std::optional<FieldRead> itemClass = readClass(reader, offset + layout.fixedSize, info);
    if (!itemClass)
        return std::nullopt;
    const std::optional<size_t> afterText = readText(reader, itemClass->nextOffset, info);
    if (!afterText)
        return std::nullopt;
    const std::optional<size_t> afterData = readCreationData(reader, *afterText, info);
    if (!afterData)
        return std::nullopt;
    item.classUsable = itemClass->usable;
    item.nextOffset = offset + alignToDword(*afterData - offset);
    return item;
}

} // namespace

std::optional<TemplateHeader> readTemplateHeader(TemplateView view) {
    const Reader reader(view);
    const std::optional<WORD> signature = reader.read<WORD>(kExtendedSignatureOffset);
    if (!signature)
        return std::nullopt;
    const bool extended = *signature == kOrdinalMarker;
    if (!reader.holds(0, extended ? kExtendedHeaderSize : kClassicHeaderSize))
        return std::nullopt;
    const DWORD style = *reader.read<DWORD>(extended ? kExtendedStyleOffset : kClassicStyleOffset);
    const WORD count = *reader.read<WORD>(extended ? kExtendedCountOffset : kClassicCountOffset);

    std::optional<size_t> offset = extended ? kExtendedHeaderSize : kClassicHeaderSize;
    offset = reader.skipOrdinalOrString(*offset); // menu
    if (offset)
        offset = reader.skipOrdinalOrString(*offset); // window class
    if (offset)
        offset = reader.skipString(*offset); // title
    if (offset && (style & DS_SETFONT) != 0) {
        const size_t fixed = extended ? kExtendedFontFixedSize : kClassicFontFixedSize;
        offset = reader.holds(*offset, fixed) ? reader.skipString(*offset + fixed) : std::nullopt;
    }
    if (!offset)
        return std::nullopt;
    return TemplateHeader{extended, count, alignToDword(*offset)};
}

std::optional<DialogItem> ParseDlgItem(TemplateView view, size_t offset, DLGITEMINFO& info) {
    return parseWithLayout(kClassicItem, view, offset, info);
}

std::optional<DialogItem> ParseDlgItemEx(TemplateView view, size_t offset, DLGITEMINFO& info) {
    return parseWithLayout(kExtendedItem, view, offset, info);
}

std::optional<DialogItem> parseItem(bool extended, TemplateView view, size_t offset,
                                    DLGITEMINFO& info) {
    return extended ? ParseDlgItemEx(view, offset, info) : ParseDlgItem(view, offset, info);
}

bool itemsLieInside(TemplateView view, const TemplateHeader& header) {
    size_t offset = header.firstItemOffset;
    for (int index = 0; index < header.itemCount; ++index) {
        DLGITEMINFO nothing{};
        const std::optional<DialogItem> item = parseItem(header.extended, view, offset, nothing);
        if (!item)
            return false;
        offset = item->nextOffset;
    }
    return true;
}

} // namespace z64::dialogs
