// Reading dialog templates (DLGTEMPLATE and DLGTEMPLATEEX with their items) in place, inside
// the resource that holds them. Every read is checked against the size of that resource, so
// a template that is cut short is reported instead of read past its end.
//
// Layout of the parts read here (offsets in bytes):
//
//   header        classic                      extended
//   style         0 (32 bits)                  12
//   item count    8 (16 bits)                  16
//   menu, class,  from 18                      from 26
//   title, font   (font: point size, face)     (font: size, weight, italic, charset, face)
//
//   item          classic                      extended
//   style         0                            8
//   ext. style    4                            4
//   x, y, cx, cy  8, 10, 12, 14 (signed)       12, 14, 16, 18
//   id            16 (16 bits)                 20 (32 bits, low 16 used)
//   class, text   from 18                      from 24
//   then a 16-bit creation-data count and the data; the next item starts at the next
//   4-byte boundary.
//
// A menu, class or text is an ordinal (0xFFFF then a 16-bit number) or a zero-terminated
// UTF-16 string. The font block is present only when the style has DS_SETFONT.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>

namespace z64::dialogs {

// Where the parsed strings of one item go. Either buffer may be null.
struct DLGITEMINFO {
    char* pszClass;
    int cbClass;
    char* pszText;
    int cbText;
    const void* pCreationData; // just behind the count; null when the count is 0
};

// The bytes of one template: `size` bytes from `base`.
struct TemplateView {
    const BYTE* base;
    size_t size;
};

struct TemplateHeader {
    bool extended;
    int itemCount;
    size_t firstItemOffset; // 4-aligned, from the start of the template
};

struct DialogItem {
    DWORD style;
    DWORD extendedStyle;
    RECT rect; // x, y, cx, cy in dialog units, kept as left, top, right, bottom
    WORD id;
    // The class is one of the predefined ordinals or a name that fit the class buffer.
    bool classUsable;
    size_t nextOffset;
};

// The header of a template; nothing when the fixed part or the menu, class, title or font
// runs past the end.
[[nodiscard]] std::optional<TemplateHeader> readTemplateHeader(TemplateView view);

// One item at `offset` (classic and extended form); nothing when it runs past the end. The
// class name goes into info.pszClass (an ordinal through the table of predefined classes),
// the text into info.pszText ("#n" for a resource number; a text that does not fit is cut
// on a character boundary, always terminated).
[[nodiscard]] std::optional<DialogItem> ParseDlgItem(TemplateView view, size_t offset,
                                                     DLGITEMINFO& info);
[[nodiscard]] std::optional<DialogItem> ParseDlgItemEx(TemplateView view, size_t offset,
                                                       DLGITEMINFO& info);
[[nodiscard]] std::optional<DialogItem> parseItem(bool extended, TemplateView view, size_t offset,
                                                  DLGITEMINFO& info);

// Every declared item lies inside the template (the padding after the last may be missing).
[[nodiscard]] bool itemsLieInside(TemplateView view, const TemplateHeader& header);

} // namespace z64::dialogs
