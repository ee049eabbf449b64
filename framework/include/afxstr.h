// The framework's strings: CStringT over char (CString, CStringA; text in the ANSI code
// page) and over wchar_t (CStringW; UTF-16). A string is one pointer to its characters,
// which are preceded by a small header (length and capacity) on the C run time's heap, so a
// string may be created in one module and freed in another. Running out of memory throws
// the framework's memory exception (CMemoryException*).
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "z64mfc_api.h"

[[noreturn]] Z64MFC_API void __stdcall AfxThrowMemoryException();
[[noreturn]] Z64MFC_API void __stdcall AfxThrowInvalidArgException();
Z64MFC_API HINSTANCE __stdcall AfxFindStringResourceHandle(UINT nID);
// The heap of string buffers (the C run time's, shared by every module); allocation failure
// throws the memory exception.
Z64MFC_API void* __stdcall AfxStringAllocate(size_t bytes);
Z64MFC_API void __stdcall AfxStringRelease(void* block) noexcept;
// The string nID of the module's string table, as it is stored (UTF-16, not terminated).
// Answers FALSE when the module has no such string.
Z64MFC_API BOOL __stdcall AfxLoadStringResource(HINSTANCE hInstance, UINT nID, LPCWSTR* ppText,
                                                int* pLength);

namespace z64mfc {

template <typename T>
struct StringTraits;

template <>
struct StringTraits<char> {
    using Other = wchar_t;
    static int length(const char* text) { return text ? static_cast<int>(strlen(text)) : 0; }
    static int compare(const char* a, const char* b) { return strcmp(a, b); }
    static int compareNoCase(const char* a, const char* b) { return _stricmp(a, b); }
    static int collate(const char* a, const char* b) { return strcoll(a, b); }
    static int formattedLength(const char* format, va_list args) {
        return _vscprintf(format, args);
    }
    static void format(char* buffer, int size, const char* format, va_list args) {
        _vsnprintf(buffer, static_cast<size_t>(size), format, args);
    }
    static void upper(char* text, int length) { CharUpperBuffA(text, static_cast<DWORD>(length)); }
    static void lower(char* text, int length) { CharLowerBuffA(text, static_cast<DWORD>(length)); }
    static bool isSpace(char ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); }
    // The length of `other` converted to this character type.
    static int convertedLength(const wchar_t* other, int length) {
        return length == 0
                   ? 0
                   : WideCharToMultiByte(CP_ACP, 0, other, length, nullptr, 0, nullptr, nullptr);
    }
    static void convert(char* target, int targetLength, const wchar_t* other, int length) {
        if (length > 0)
            WideCharToMultiByte(CP_ACP, 0, other, length, target, targetLength, nullptr, nullptr);
    }
};

template <>
struct StringTraits<wchar_t> {
    using Other = char;
    static int length(const wchar_t* text) { return text ? static_cast<int>(wcslen(text)) : 0; }
    static int compare(const wchar_t* a, const wchar_t* b) { return wcscmp(a, b); }
    static int compareNoCase(const wchar_t* a, const wchar_t* b) { return _wcsicmp(a, b); }
    static int collate(const wchar_t* a, const wchar_t* b) { return wcscoll(a, b); }
    static int formattedLength(const wchar_t* format, va_list args) {
        return _vscwprintf(format, args);
    }
    static void format(wchar_t* buffer, int size, const wchar_t* format, va_list args) {
        _vsnwprintf(buffer, static_cast<size_t>(size), format, args);
    }
    static void upper(wchar_t* text, int length) {
        CharUpperBuffW(text, static_cast<DWORD>(length));
    }
    static void lower(wchar_t* text, int length) {
        CharLowerBuffW(text, static_cast<DWORD>(length));
    }
    static bool isSpace(wchar_t ch) { return iswspace(ch) != 0; }
    static int convertedLength(const char* other, int length) {
        return length == 0 ? 0 : MultiByteToWideChar(CP_ACP, 0, other, length, nullptr, 0);
    }
    static void convert(wchar_t* target, int targetLength, const char* other, int length) {
        if (length > 0)
            MultiByteToWideChar(CP_ACP, 0, other, length, target, targetLength);
    }
};

// The header in front of a string's characters.
struct StringHeader {
    int length;
    int capacity; // 0 only for the shared empty string, which is never freed
};

} // namespace z64mfc

template <typename BaseType>
class CStringT;

namespace z64mfc {

// What Format passes through "..." for an argument: a string object as its character
// pointer (as MFC programs pass CString to "%s"), anything else unchanged.
template <typename T>
const T& formatArgument(const T& value) {
    return value;
}
template <typename C>
const C* formatArgument(const CStringT<C>& value) {
    return value.GetString();
}

} // namespace z64mfc

template <typename BaseType>
class CStringT {
    using Traits = z64mfc::StringTraits<BaseType>;

public:
    using XCHAR = BaseType;
    using PXSTR = BaseType*;
    using PCXSTR = const BaseType*;
    using YCHAR = typename Traits::Other;
    using PCYSTR = const YCHAR*;

    CStringT() noexcept : m_pszData(emptyData()) {}
    CStringT(const CStringT& other) : CStringT() { assign(other.m_pszData, other.GetLength()); }
    CStringT(CStringT&& other) noexcept : m_pszData(other.m_pszData) {
        other.m_pszData = emptyData();
    }
    // A string resource id given as MAKEINTRESOURCE loads that string.
    CStringT(PCXSTR text) : CStringT() { *this = text; }
    CStringT(PCXSTR text, int length) : CStringT() {
        if (length < 0 || (text == nullptr && length > 0))
            AfxThrowInvalidArgException();
        assign(text, length);
    }
    CStringT(PCYSTR text) : CStringT() { *this = text; }
    CStringT(PCYSTR text, int length) : CStringT() { assignOther(text, length); }
    explicit CStringT(XCHAR ch, int repeat = 1) : CStringT() {
        if (repeat > 0) {
            PXSTR buffer = GetBuffer(repeat);
            for (int i = 0; i < repeat; ++i)
                buffer[i] = ch;
            ReleaseBuffer(repeat);
        }
    }
    template <typename Other, typename = decltype(Other::foreignMarker)>
    CStringT(const Other& other) : CStringT() {
        assignOther(other.GetString(), other.GetLength());
    }
    ~CStringT() { release(m_pszData); }

    CStringT& operator=(const CStringT& other) {
        if (this != &other)
            assign(other.m_pszData, other.GetLength());
        return *this;
    }
    CStringT& operator=(CStringT&& other) noexcept {
        if (this != &other) {
            release(m_pszData);
            m_pszData = other.m_pszData;
            other.m_pszData = emptyData();
        }
        return *this;
    }
    CStringT& operator=(PCXSTR text) {
        if (text != nullptr && IS_INTRESOURCE(text)) {
            if (!LoadString(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(text))))
                Empty();
            return *this;
        }
        assign(text, Traits::length(text));
        return *this;
    }
    CStringT& operator=(PCYSTR text) {
        if (text != nullptr && IS_INTRESOURCE(text)) {
            if (!LoadString(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(text))))
                Empty();
            return *this;
        }
        assignOther(text, z64mfc::StringTraits<YCHAR>::length(text));
        return *this;
    }
    CStringT& operator=(XCHAR ch) {
        assign(&ch, 1);
        return *this;
    }
    template <typename Other, typename = decltype(Other::foreignMarker)>
    CStringT& operator=(const Other& other) {
        assignOther(other.GetString(), other.GetLength());
        return *this;
    }

    // Marks the class for the converting constructor of the other character type.
    static constexpr int foreignMarker = 0;

    [[nodiscard]] int GetLength() const noexcept { return header(m_pszData)->length; }
    [[nodiscard]] int GetAllocLength() const noexcept { return header(m_pszData)->capacity; }
    [[nodiscard]] bool IsEmpty() const noexcept { return GetLength() == 0; }
    void Empty() noexcept {
        release(m_pszData);
        m_pszData = emptyData();
    }
    [[nodiscard]] PCXSTR GetString() const noexcept { return m_pszData; }
    operator PCXSTR() const noexcept { return m_pszData; }

    [[nodiscard]] XCHAR GetAt(int index) const {
        if (index < 0 || index > GetLength())
            AfxThrowInvalidArgException();
        return m_pszData[index];
    }
    XCHAR operator[](int index) const { return GetAt(index); }
    void SetAt(int index, XCHAR ch) {
        if (index < 0 || index >= GetLength())
            AfxThrowInvalidArgException();
        PXSTR buffer = GetBuffer();
        buffer[index] = ch;
        ReleaseBuffer(GetLength());
    }

    // A writable buffer of at least minLength characters (and a terminator), holding the
    // current text. ReleaseBuffer(length) ends the writing: -1 takes the length up to the
    // first terminator.
    PXSTR GetBuffer(int minLength = 0) {
        if (minLength < 0)
            AfxThrowInvalidArgException();
        const int length = GetLength();
        reserve(minLength > length ? minLength : length);
        return m_pszData;
    }
    PXSTR GetBufferSetLength(int length) {
        PXSTR buffer = GetBuffer(length);
        setLength(length);
        return buffer;
    }
    void ReleaseBuffer(int newLength = -1) {
        if (newLength == -1) {
            const int capacity = GetAllocLength();
            newLength = 0;
            while (newLength < capacity && m_pszData[newLength] != 0)
                ++newLength;
        }
        setLength(newLength);
    }
    void ReleaseBufferSetLength(int newLength) { setLength(newLength); }
    void Preallocate(int length) { reserve(length > GetLength() ? length : GetLength()); }
    void FreeExtra() {
        if (GetAllocLength() > GetLength()) {
            CStringT copy(m_pszData, GetLength());
            *this = static_cast<CStringT&&>(copy);
        }
    }

    CStringT& Append(PCXSTR text, int length) {
        if (length < 0 || (text == nullptr && length > 0))
            AfxThrowInvalidArgException();
        if (length == 0)
            return *this;
        const int oldLength = GetLength();
        // The text may lie inside this string's own buffer, which reserve() may move.
        const bool inside = text >= m_pszData && text <= m_pszData + oldLength;
        const ptrdiff_t offset = text - m_pszData;
        reserve(oldLength + length);
        if (inside)
            text = m_pszData + offset;
        memmove(m_pszData + oldLength, text, static_cast<size_t>(length) * sizeof(XCHAR));
        setLength(oldLength + length);
        return *this;
    }
    CStringT& Append(PCXSTR text) { return Append(text, Traits::length(text)); }
    CStringT& Append(const CStringT& other) { return Append(other.m_pszData, other.GetLength()); }
    void AppendChar(XCHAR ch) { Append(&ch, 1); }
    CStringT& operator+=(const CStringT& other) { return Append(other); }
    CStringT& operator+=(PCXSTR text) { return Append(text); }
    CStringT& operator+=(PCYSTR text) { return Append(CStringT(text)); }
    CStringT& operator+=(XCHAR ch) { return Append(&ch, 1); }

    [[nodiscard]] int Compare(PCXSTR text) const { return Traits::compare(m_pszData, safe(text)); }
    [[nodiscard]] int CompareNoCase(PCXSTR text) const {
        return Traits::compareNoCase(m_pszData, safe(text));
    }
    [[nodiscard]] int Collate(PCXSTR text) const { return Traits::collate(m_pszData, safe(text)); }

    // Positions are character indexes; -1 means not found.
    [[nodiscard]] int Find(XCHAR ch, int start = 0) const {
        for (int i = start < 0 ? 0 : start; i < GetLength(); ++i)
            if (m_pszData[i] == ch)
                return i;
        return -1;
    }
    [[nodiscard]] int Find(PCXSTR sub, int start = 0) const {
        const int subLength = Traits::length(sub);
        if (start < 0 || start > GetLength())
            return -1;
        for (int i = start; i + subLength <= GetLength(); ++i)
            if (memcmp(m_pszData + i, sub, static_cast<size_t>(subLength) * sizeof(XCHAR)) == 0)
                return i;
        return -1;
    }
    [[nodiscard]] int ReverseFind(XCHAR ch) const {
        for (int i = GetLength() - 1; i >= 0; --i)
            if (m_pszData[i] == ch)
                return i;
        return -1;
    }
    [[nodiscard]] int FindOneOf(PCXSTR set) const {
        for (int i = 0; i < GetLength(); ++i)
            if (contains(set, m_pszData[i]))
                return i;
        return -1;
    }

    [[nodiscard]] CStringT Mid(int first) const { return Mid(first, GetLength() - first); }
    [[nodiscard]] CStringT Mid(int first, int count) const {
        if (first < 0)
            first = 0;
        if (count < 0)
            count = 0;
        if (first > GetLength())
            first = GetLength();
        if (count > GetLength() - first)
            count = GetLength() - first;
        return CStringT(m_pszData + first, count);
    }
    [[nodiscard]] CStringT Left(int count) const { return Mid(0, count); }
    [[nodiscard]] CStringT Right(int count) const {
        if (count < 0)
            count = 0;
        if (count > GetLength())
            count = GetLength();
        return CStringT(m_pszData + GetLength() - count, count);
    }
    [[nodiscard]] CStringT SpanIncluding(PCXSTR set) const {
        int i = 0;
        while (i < GetLength() && contains(set, m_pszData[i]))
            ++i;
        return Left(i);
    }
    [[nodiscard]] CStringT SpanExcluding(PCXSTR set) const {
        int i = 0;
        while (i < GetLength() && !contains(set, m_pszData[i]))
            ++i;
        return Left(i);
    }
    // The next token after `start` separated by any of `delimiters`; start becomes -1
    // when there is none.
    [[nodiscard]] CStringT Tokenize(PCXSTR delimiters, int& start) const {
        if (start < 0)
            return CStringT();
        int i = start;
        while (i < GetLength() && contains(delimiters, m_pszData[i]))
            ++i;
        if (i >= GetLength()) {
            start = -1;
            return CStringT();
        }
        int end = i;
        while (end < GetLength() && !contains(delimiters, m_pszData[end]))
            ++end;
        start = end + 1;
        return Mid(i, end - i);
    }

    CStringT& MakeUpper() {
        if (!IsEmpty()) {
            Traits::upper(GetBuffer(), GetLength());
            ReleaseBuffer(GetLength());
        }
        return *this;
    }
    CStringT& MakeLower() {
        if (!IsEmpty()) {
            Traits::lower(GetBuffer(), GetLength());
            ReleaseBuffer(GetLength());
        }
        return *this;
    }
    CStringT& MakeReverse() {
        PXSTR buffer = GetBuffer();
        for (int i = 0, j = GetLength() - 1; i < j; ++i, --j) {
            const XCHAR ch = buffer[i];
            buffer[i] = buffer[j];
            buffer[j] = ch;
        }
        ReleaseBuffer(GetLength());
        return *this;
    }

    CStringT& TrimRight() {
        int end = GetLength();
        while (end > 0 && Traits::isSpace(m_pszData[end - 1]))
            --end;
        return *this = Left(end);
    }
    CStringT& TrimLeft() {
        int begin = 0;
        while (begin < GetLength() && Traits::isSpace(m_pszData[begin]))
            ++begin;
        return *this = Mid(begin);
    }
    CStringT& Trim() { return TrimRight().TrimLeft(); }
    CStringT& TrimRight(XCHAR ch) {
        const XCHAR set[2] = {ch, 0};
        return TrimRight(set);
    }
    CStringT& TrimLeft(XCHAR ch) {
        const XCHAR set[2] = {ch, 0};
        return TrimLeft(set);
    }
    CStringT& Trim(XCHAR ch) { return TrimRight(ch).TrimLeft(ch); }
    CStringT& TrimRight(PCXSTR set) {
        int end = GetLength();
        while (end > 0 && contains(set, m_pszData[end - 1]))
            --end;
        return *this = Left(end);
    }
    CStringT& TrimLeft(PCXSTR set) {
        int begin = 0;
        while (begin < GetLength() && contains(set, m_pszData[begin]))
            ++begin;
        return *this = Mid(begin);
    }
    CStringT& Trim(PCXSTR set) { return TrimRight(set).TrimLeft(set); }

    // Replaces every occurrence; answers how many were replaced.
    int Replace(PCXSTR oldText, PCXSTR newText) {
        const int oldLength = Traits::length(oldText);
        if (oldLength == 0)
            return 0;
        CStringT result;
        int count = 0;
        int position = 0;
        for (int found; (found = Find(oldText, position)) >= 0; position = found + oldLength) {
            result.Append(m_pszData + position, found - position);
            result.Append(safe(newText));
            ++count;
        }
        if (count > 0) {
            result.Append(m_pszData + position, GetLength() - position);
            *this = static_cast<CStringT&&>(result);
        }
        return count;
    }
    int Replace(XCHAR oldChar, XCHAR newChar) {
        int count = 0;
        for (int i = 0; i < GetLength(); ++i)
            if (m_pszData[i] == oldChar)
                ++count;
        if (count > 0) {
            PXSTR buffer = GetBuffer();
            for (int i = 0; i < GetLength(); ++i)
                if (buffer[i] == oldChar)
                    buffer[i] = newChar;
            ReleaseBuffer(GetLength());
        }
        return count;
    }
    int Remove(XCHAR ch) {
        CStringT result;
        int removed = 0;
        for (int i = 0; i < GetLength(); ++i) {
            if (m_pszData[i] == ch)
                ++removed;
            else
                result.AppendChar(m_pszData[i]);
        }
        if (removed > 0)
            *this = static_cast<CStringT&&>(result);
        return removed;
    }
    int Insert(int index, PCXSTR text) {
        if (index < 0)
            index = 0;
        if (index > GetLength())
            index = GetLength();
        CStringT result = Left(index);
        result.Append(safe(text));
        result.Append(m_pszData + index, GetLength() - index);
        *this = static_cast<CStringT&&>(result);
        return GetLength();
    }
    int Insert(int index, XCHAR ch) {
        const XCHAR text[2] = {ch, 0};
        return Insert(index, text);
    }
    int Delete(int index, int count = 1) {
        if (index < 0)
            index = 0;
        if (count > 0 && index < GetLength()) {
            if (count > GetLength() - index)
                count = GetLength() - index;
            CStringT result = Left(index);
            result.Append(m_pszData + index + count, GetLength() - index - count);
            *this = static_cast<CStringT&&>(result);
        }
        return GetLength();
    }

    // printf-style formatting; string objects may be given for %s.
    template <typename... Args>
    void Format(PCXSTR format, const Args&... args) {
        formatUnpacked(format, z64mfc::formatArgument(args)...);
    }
    template <typename... Args>
    void AppendFormat(PCXSTR format, const Args&... args) {
        CStringT more;
        more.formatUnpacked(format, z64mfc::formatArgument(args)...);
        Append(more);
    }
    void FormatV(PCXSTR format, va_list args) {
        if (format == nullptr)
            AfxThrowInvalidArgException();
        va_list counting;
        va_copy(counting, args);
        const int length = Traits::formattedLength(format, counting);
        va_end(counting);
        if (length < 0)
            AfxThrowInvalidArgException();
        CStringT result;
        PXSTR buffer = result.GetBuffer(length);
        Traits::format(buffer, length + 1, format, args);
        result.ReleaseBuffer(length);
        *this = static_cast<CStringT&&>(result);
    }

    // The string nID of the module that holds it (the application's or an extension
    // library's, found through the chain).
    BOOL LoadString(UINT nID) { return LoadString(AfxFindStringResourceHandle(nID), nID); }
    BOOL LoadString(HINSTANCE hInstance, UINT nID) {
        LPCWSTR text = nullptr;
        int length = 0;
        if (!AfxLoadStringResource(hInstance, nID, &text, &length))
            return FALSE;
        if constexpr (sizeof(XCHAR) == sizeof(wchar_t))
            assign(reinterpret_cast<PCXSTR>(text), length);
        else
            assignConverted(reinterpret_cast<const YCHAR*>(text), length);
        return TRUE;
    }

    friend CStringT operator+(const CStringT& a, const CStringT& b) {
        CStringT result(a);
        result.Append(b);
        return result;
    }
    friend CStringT operator+(const CStringT& a, PCXSTR b) {
        CStringT result(a);
        result.Append(b);
        return result;
    }
    friend CStringT operator+(PCXSTR a, const CStringT& b) {
        CStringT result(a);
        result.Append(b);
        return result;
    }
    friend CStringT operator+(const CStringT& a, XCHAR b) {
        CStringT result(a);
        result.AppendChar(b);
        return result;
    }
    friend CStringT operator+(XCHAR a, const CStringT& b) {
        CStringT result(a, 1);
        result.Append(b);
        return result;
    }

    friend bool operator==(const CStringT& a, const CStringT& b) { return a.Compare(b) == 0; }
    friend bool operator==(const CStringT& a, PCXSTR b) { return a.Compare(b) == 0; }
    friend bool operator==(PCXSTR a, const CStringT& b) { return b.Compare(a) == 0; }
    friend bool operator!=(const CStringT& a, const CStringT& b) { return a.Compare(b) != 0; }
    friend bool operator!=(const CStringT& a, PCXSTR b) { return a.Compare(b) != 0; }
    friend bool operator!=(PCXSTR a, const CStringT& b) { return b.Compare(a) != 0; }
    friend bool operator<(const CStringT& a, const CStringT& b) { return a.Compare(b) < 0; }
    friend bool operator<(const CStringT& a, PCXSTR b) { return a.Compare(b) < 0; }
    friend bool operator>(const CStringT& a, const CStringT& b) { return a.Compare(b) > 0; }
    friend bool operator>(const CStringT& a, PCXSTR b) { return a.Compare(b) > 0; }
    friend bool operator<=(const CStringT& a, const CStringT& b) { return a.Compare(b) <= 0; }
    friend bool operator>=(const CStringT& a, const CStringT& b) { return a.Compare(b) >= 0; }

private:
    void __cdecl formatUnpacked(PCXSTR format, ...) {
        va_list args;
        va_start(args, format);
        FormatV(format, args);
        va_end(args);
    }

    static z64mfc::StringHeader* header(PCXSTR data) {
        return reinterpret_cast<z64mfc::StringHeader*>(const_cast<PXSTR>(data)) - 1;
    }
    static PXSTR emptyData() noexcept {
        struct Empty {
            z64mfc::StringHeader header;
            XCHAR text[1];
        };
        static Empty empty = {{0, 0}, {0}};
        return empty.text;
    }
    static void release(PXSTR data) noexcept {
        z64mfc::StringHeader* h = header(data);
        if (h->capacity != 0)
            AfxStringRelease(h);
    }
    static PCXSTR safe(PCXSTR text) {
        static const XCHAR nothing[1] = {0};
        return text ? text : nothing;
    }
    static bool contains(PCXSTR set, XCHAR ch) {
        for (PCXSTR p = safe(set); *p; ++p)
            if (*p == ch)
                return true;
        return false;
    }

    // Makes the buffer hold at least `capacity` characters and a terminator, keeping the text.
    void reserve(int capacity) {
        if (capacity <= GetAllocLength())
            return;
        int grown = GetAllocLength() + GetAllocLength() / 2;
        if (grown < capacity)
            grown = capacity;
        const size_t bytes =
            sizeof(z64mfc::StringHeader) + (static_cast<size_t>(grown) + 1) * sizeof(XCHAR);
        auto* h = static_cast<z64mfc::StringHeader*>(AfxStringAllocate(bytes));
        h->length = GetLength();
        h->capacity = grown;
        PXSTR data = reinterpret_cast<PXSTR>(h + 1);
        memcpy(data, m_pszData, (static_cast<size_t>(GetLength()) + 1) * sizeof(XCHAR));
        release(m_pszData);
        m_pszData = data;
    }
    void setLength(int length) {
        if (length < 0 || length > GetAllocLength()) {
            if (length == 0)
                return; // the shared empty string
            AfxThrowInvalidArgException();
        }
        header(m_pszData)->length = length;
        m_pszData[length] = 0;
    }
    void assign(PCXSTR text, int length) {
        if (length == 0) {
            Empty();
            return;
        }
        CStringT copy;
        copy.reserve(length);
        memcpy(copy.m_pszData, text, static_cast<size_t>(length) * sizeof(XCHAR));
        copy.setLength(length);
        *this = static_cast<CStringT&&>(copy);
    }
    void assignConverted(const YCHAR* text, int length) {
        const int converted = Traits::convertedLength(text, length);
        CStringT result;
        if (converted > 0) {
            Traits::convert(result.GetBuffer(converted), converted, text, length);
            result.ReleaseBuffer(converted);
        }
        *this = static_cast<CStringT&&>(result);
    }
    void assignOther(PCYSTR text, int length) {
        if (length < 0 || (text == nullptr && length > 0))
            AfxThrowInvalidArgException();
        assignConverted(text, length);
    }
    template <typename>
    friend class CStringT;

    PXSTR m_pszData;
};

using CStringA = CStringT<char>;
using CStringW = CStringT<wchar_t>;
using CString = CStringA;
