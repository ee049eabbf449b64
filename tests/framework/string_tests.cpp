// CString and CStringW: construction and conversion, the usual operations, formatting and
// string resources.
#include <afxwin.h>
#include <gtest/gtest.h>

#include "host_resources.h"

#include <string>
#include <tuple>

namespace {

TEST(StringConversion, WideAndNarrowConvertThroughTheAnsiCodePage) {
    // clang-format off
    struct Case { const char* label; const wchar_t* wide; const char* narrow; };
    const Case cases[] = {
        {"empty", L"", ""},
        {"ascii", L"Ledger 2025", "Ledger 2025"},
        {"latin letters", L"Gr\u00fc\u00dfe \u00e9t\u00e9", "Gr\xfc\xdf" "e \xe9t\xe9"},
        {"euro sign", L"\u20ac 12", "\x80 12"},
    };
    // clang-format on
    ASSERT_EQ(GetACP(), 1252u) << "the cases are written for code page 1252";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        // Constructing from and assigning the other character type convert the same way.
        const CStringA fromWide(c.wide);
        CStringA assignedNarrow("old");
        assignedNarrow = c.wide;
        EXPECT_EQ(
            std::tuple(std::string(fromWide), fromWide.GetLength(), std::string(assignedNarrow)),
            std::tuple(c.narrow, static_cast<int>(strlen(c.narrow)), c.narrow));
        CStringW assignedWide(L"old");
        assignedWide = c.narrow;
        EXPECT_EQ(std::tuple(std::wstring(CStringW(c.narrow)), std::wstring(CStringW(fromWide)),
                             std::wstring(assignedWide)),
                  std::tuple(c.wide, c.wide, c.wide));
    }
}

TEST(StringOperations, SearchingAndSlicing) {
    const CString text("Accounts Payable Ledger");
    // clang-format off
    struct FindCase { const char* label; int result; int expected; };
    const FindCase finds[] = {
        {"character", text.Find('P'), 9},
        {"character after start", text.Find('e', 16), 18},
        {"missing character", text.Find('z'), -1},
        {"substring", text.Find("Ledger"), 17},
        {"substring from start", text.Find("a", 11), 12},
        {"missing substring", text.Find("Journal"), -1},
        {"start beyond end", text.Find("A", 100), -1},
        {"last character", text.ReverseFind('e'), 21},
        {"one of", text.FindOneOf("xyP"), 9},
    };
    // clang-format on
    for (const FindCase& c : finds)
        EXPECT_EQ(c.result, c.expected) << c.label;

    // clang-format off
    struct SliceCase { const char* label; CString result; const char* expected; };
    const SliceCase slices[] = {
        {"left", text.Left(8), "Accounts"},
        {"right", text.Right(6), "Ledger"},
        {"mid to end", text.Mid(17), "Ledger"},
        {"mid with count", text.Mid(9, 7), "Payable"},
        {"left beyond length", text.Left(100), "Accounts Payable Ledger"},
        {"mid beyond length", text.Mid(40), ""},
        {"negative count", text.Mid(3, -2), ""},
        {"span including", text.SpanIncluding("Acou"), "Accou"},
        {"span excluding", text.SpanExcluding(" "), "Accounts"},
    };
    // clang-format on
    for (const SliceCase& c : slices)
        EXPECT_STREQ(c.result, c.expected) << c.label;
}

TEST(StringOperations, TrimmingCaseAndEditing) {
    // clang-format off
    struct Case { const char* label; CString (*apply)(CString); const char* input; const char* expected; };
    const Case cases[] = {
        {"trim", [](CString s) { return s.Trim(); }, " \t ledger \r\n", "ledger"},
        {"trim left", [](CString s) { return s.TrimLeft(); }, "  a b ", "a b "},
        {"trim right", [](CString s) { return s.TrimRight(); }, "  a b ", "  a b"},
        {"trim characters", [](CString s) { return s.Trim("*-"); }, "*-*value-*", "value"},
        {"upper", [](CString s) { return s.MakeUpper(); }, "Gr\xfc\xdf" "e", "GR\xdc\xdf" "E"},
        {"lower", [](CString s) { return s.MakeLower(); }, "ABC def", "abc def"},
        {"reverse", [](CString s) { return s.MakeReverse(); }, "abc", "cba"},
        {"replace text", [](CString s) { s.Replace("ab", "xyz"); return s; }, "abcab", "xyzcxyz"},
        {"replace character", [](CString s) { s.Replace('\\', '/'); return s; }, "C:\\a\\b", "C:/a/b"},
        {"remove", [](CString s) { s.Remove('-'); return s; }, "1-2-3", "123"},
        {"insert", [](CString s) { s.Insert(2, "XY"); return s; }, "abcd", "abXYcd"},
        {"delete", [](CString s) { s.Delete(1, 2); return s; }, "abcd", "ad"},
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_STREQ(c.apply(CString(c.input)), c.expected) << c.label;
}

TEST(StringOperations, ComparisonConcatenationCopiesAndFormat) {
    const CString a("alpha");
    const CString b("Beta");
    const CString name("Ledger");
    // clang-format off
    struct Case { const char* label; bool holds; };
    const Case checks[] = {
        {"equal to text", a == "alpha"},
        {"text equal to it", "alpha" == a},
        {"unequal", a != b},
        {"compare", a.Compare("beta") < 0},
        {"compare without case", CString("BETA").CompareNoCase(b) == 0},
        {"less", CString("a") < CString("b")},
        {"emptied", [] { CString s("first"); s.Empty(); return s.IsEmpty(); }()},
        {"a long format", [] { CString s; s.Format("%0300d", 7); return s.GetLength() == 300; }()},
    };
    struct TextCase { const char* label; CString result; const char* expected; };
    const TextCase texts[] = {
        {"concatenation", a + "-" + b, "alpha-Beta"},
        {"characters around", '<' + a + '>', "<alpha>"},
        {"appending itself, a character and wide text", [] { CString s("x"); s += s; s += 'y'; s += L"z"; return s; }(), "xxyz"},
        {"a copy changed", [] { CString original("first"); CString copy(original); copy.SetAt(0, 'F'); return original + "/" + copy; }(), "first/First"},
        {"a copy of an emptied original", [] { CString original("first"); CString copy(original); original.Empty(); return copy; }(), "first"},
        {"format", [] { CString s; s.Format("%s has %d entries (%.2f%%)", "Ledger", 42, 12.5); return s; }(), "Ledger has 42 entries (12.50%)"},
        {"wide format", [] { CStringW s; s.Format(L"%s=%05d", L"code", 42); return CString(s); }(), "code=00042"},
        {"append a format to a long text", [] { CString s; s.Format("%0300d", 7); s.AppendFormat("|%s", "end"); return s.Right(4); }(), "|end"},
        {"string objects for %s", [&] { CString s; s.Format("%s/%s/%d", name, "literal", 3); s.AppendFormat(" and %s", name); return s; }(), "Ledger/literal/3 and Ledger"},
        {"a wide string object for %s", [] { const CStringW wideName(L"Journal"); CStringW s; s.Format(L"[%s]", wideName); return CString(s); }(), "[Journal]"},
    };
    // clang-format on
    for (const Case& c : checks)
        EXPECT_TRUE(c.holds) << c.label;
    for (const TextCase& c : texts)
        EXPECT_STREQ(c.result, c.expected) << c.label;
}

TEST(StringOperations, BuffersKeepTheirTextAndTakeTheWrittenLength) {
    CString text("abc");
    char* buffer = text.GetBuffer(10);
    EXPECT_STREQ(buffer, "abc");
    strcpy(buffer, "abcdefgh");
    text.ReleaseBuffer();
    EXPECT_EQ(text.GetLength(), 8);
    buffer = text.GetBuffer();
    buffer[2] = '\0';
    text.ReleaseBuffer();
    EXPECT_STREQ(text, "ab");
    text.GetBufferSetLength(5);
    text.ReleaseBuffer(1);
    EXPECT_STREQ(text, "a");
}

TEST(StringResources, LoadStringReadsTheApplicationsStringTable) {
    CString text;
    ASSERT_TRUE(text.LoadString(IDS_HOST_GREETING));
    EXPECT_STREQ(text, "Greetings from the host");
    CStringW wide;
    ASSERT_TRUE(wide.LoadString(IDS_HOST_GREETING));
    EXPECT_STREQ(wide, L"Greetings from the host");
    const CString byResourceId(MAKEINTRESOURCEA(IDS_HOST_APP_NAME));
    EXPECT_STREQ(byResourceId, "Test Host");
    CString missing("unchanged");
    EXPECT_FALSE(missing.LoadString(9999));
    EXPECT_STREQ(missing, "unchanged");
}

} // namespace
