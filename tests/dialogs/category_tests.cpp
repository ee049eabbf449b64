// Dialog categories in a real host dialog: what CreateWindowExA receives, where the controls
// go, showing, hiding, destroying, and the templates that cannot be created.
#include "dialogs_test_support.h"

#include <test_host.h>

#include <afxwin.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <utility>

TEST_HOST_APPLICATION("dialogs_tests");

namespace dialogs_tests {
namespace {

constexpr size_t kPageItems = 8, kIconItem = 5, kScrollItem = 7, kHostControls = 3;

DLGCATEGORY named(LPCSTR name, LPARAM lParam = 0) {
    DLGCATEGORY category{};
    category.hInstance = testModule();
    category.lpszTemplate = name;
    category.lParam = lParam;
    return category;
}

DLGCATEGORY loaded(UINT templateId) {
    DLGCATEGORY category = named(MAKEINTRESOURCEA(templateId));
    EXPECT_EQ(LoadDlgCategory(&category), 1) << templateId;
    return category;
}

class Categories : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(FRegisterControl(testModule()), 0); }
    // Creates the template's controls and answers what CreateWindowExA received.
    std::vector<CreatedControl> create(DLGCATEGORY& category, int expected = 1,
                                       HINSTANCE instance = testModule()) {
        CreationRecorder recorder(host.get());
        EXPECT_EQ(CreateDlgCategoryIndirect(&category, host.get(), IDC_ANCHOR, instance), expected);
        return recorder.controls;
    }
    HostDialog host;
};

TEST_F(Categories, FindTheFirstItemBehindEveryHeader) {
    // clang-format off
    const struct { UINT id; BOOL extended; ptrdiff_t firstItem; } rows[] = {
        {IDD_HEADER_CLASSIC_NAMES, FALSE, 68},    {IDD_HEADER_CLASSIC_NUMBERS, FALSE, 28},
        {IDD_HEADER_CLASSIC_FIXEDSYS, FALSE, 24}, {IDD_HEADER_CLASSIC_SHELLFONT, FALSE, 52},
        {IDD_HEADER_EXTENDED_NAMES, TRUE, 80},    {IDD_HEADER_EXTENDED_NUMBERS, TRUE, 36},
        {IDD_HEADER_EXTENDED_FIXEDSYS, TRUE, 32}, {IDD_HEADER_EXTENDED_SHELLFONT, TRUE, 64}};
    // clang-format on
    for (const auto& row : rows) {
        DLGCATEGORY category = loaded(row.id);
        const auto* start = static_cast<const BYTE*>(LockResource(category.hTemplate));
        const std::string text = create(category).at(0).text;
        // form, item count, offset of the first item, the item's text
        EXPECT_EQ(std::tuple(category.fExtended, category.cItems,
                             static_cast<const BYTE*>(category.pFirstItem) - start, text),
                  std::tuple(row.extended, 1, row.firstItem, "only"))
            << row.id;
        EXPECT_EQ(DeleteDlgCategory(&category), 0);
    }
}

TEST_F(Categories, CreateTheSameHiddenControlsFromBothFormsBehindTheAnchor) {
    ForcedTheme themed(true);
    std::vector<CreatedControl> forms[2];
    for (const UINT id : {IDD_PAGE_CLASSIC, IDD_PAGE_EXTENDED}) {
        DLGCATEGORY category = loaded(id);
        forms[id - IDD_PAGE_CLASSIC] = create(category, 1, GetModuleHandleA("z64EVEZE.dll"));
        if (id == IDD_PAGE_CLASSIC) {
            EXPECT_EQ(DestroyDlgCategoryControls(&category), 1);
        } else {
            ASSERT_EQ(controlsOf(category).size(), kPageItems);
        }
    }
    ASSERT_EQ(forms[0].size(), kPageItems);
    ASSERT_EQ(forms[1].size(), kPageItems);
    const auto font = SendMessageA(host.get(), WM_GETFONT, 0, 0);
    const RECT anchor = anchorRect(host);
    RECT label{2, 2, 40, 8};
    MapDialogRect(host.get(), &label);
    // x, y, cx and cy as passed; the label's height is the edits' business.
    const RECT first = forms[1][0].rect;
    EXPECT_EQ(std::tuple(first.left, first.top, first.right),
              std::tuple(anchor.left + label.left, anchor.top + label.top, label.right));
    HWND after = host.anchor();
    for (size_t index = 0; index < kPageItems; ++index) {
        SCOPED_TRACE(index);
        const CreatedControl &classic = forms[0][index], &extended = forms[1][index];
        const auto seen = [](const CreatedControl& c) {
            return std::tuple(c.className, c.text, c.style, c.extendedStyle, c.rect, c.instance);
        };
        EXPECT_EQ(seen(classic), seen(extended));
        EXPECT_EQ(extended.style & WS_VISIBLE, 0u);
        EXPECT_EQ(extended.instance, GetModuleHandleA("z64EVEZE.dll"));
        HWND control = GetWindow(after, GW_HWNDNEXT); // Z-order and tab order follow the anchor
        EXPECT_EQ(static_cast<UINT_PTR>(GetDlgCtrlID(control)), extended.id);
        EXPECT_FALSE(visible(control));
        if (index != kIconItem && index != kScrollItem) { // those keep no font
            EXPECT_EQ(SendMessageA(control, WM_GETFONT, 0, 0), font);
        }
        after = control;
    }
    EXPECT_EQ(GetWindow(after, GW_HWNDNEXT), host.item(IDC_AFTER));
    EXPECT_EQ(GetWindow(host.anchor(), GW_HWNDPREV), host.item(IDC_BEFORE));
    EXPECT_EQ(forms[0][kIconItem].text, "#150");
    EXPECT_EQ(forms[0][6].text, "#40000");
    EXPECT_EQ(SendMessageA(host.item(IDC_SCROLL), MSCM_GETRANGE, 0, 0), MAKELONG(0, 100));
}

TEST_F(Categories, PassTheCreationDataAndTheLowWordOfExtendedIds) {
    DLGCATEGORY data = loaded(IDD_CREATION_DATA), wide = loaded(IDD_EXTENDED_IDS);
    const std::vector<CreatedControl> created = create(data);
    const auto* words = static_cast<const WORD*>(created.at(0).creationData);
    ASSERT_NE(words, nullptr);
    EXPECT_EQ(words[-1], 4); // the pointer is just behind the count
    EXPECT_EQ(words[0] + (words[1] << 16), 0x56781234);
    EXPECT_EQ(created.at(1).creationData, nullptr);
    EXPECT_EQ(create(wide).at(0).id, 0x2345u);
    DeleteDlgCategory(&data);
    DeleteDlgCategory(&wide);
}

TEST_F(Categories, GiveEditListAndComboBoxesTheClientEdge) {
    // The rectangle is x, y, cx, cy in the template.
    // clang-format off
    const struct { const char* label; size_t item; RECT units; bool edged, bordered; } rows[] = {
        {"static", 0, {2, 2, 40, 8}, false, false}, {"Edit ordinal", 1, {44, 2, 60, 12}, true, true},
        {"EDIT name", 2, {110, 2, 40, 12}, true, true}, {"Listbox ordinal", 3, {2, 20, 60, 40}, true, true},
        {"Combobox ordinal", 4, {70, 20, 60, 40}, true, false}, {"button", 6, {140, 44, 40, 14}, false, false}};
    // clang-format on
    const int edge = GetSystemMetrics(SM_CXEDGE), border = GetSystemMetrics(SM_CXBORDER);
    const RECT anchor = anchorRect(host);
    for (const bool themes : {false, true}) {
        ForcedTheme theme(themes);
        DLGCATEGORY category = loaded(IDD_PAGE_CLASSIC);
        const std::vector<CreatedControl> created = create(category);
        for (const auto& row : rows) {
            SCOPED_TRACE(::testing::Message() << row.label << (themes ? ", themed" : ""));
            const CreatedControl& control = created.at(row.item);
            const bool keepsBorder = row.bordered && !(themes && row.edged);
            EXPECT_EQ(std::pair((control.extendedStyle & WS_EX_CLIENTEDGE) != 0,
                                (control.style & WS_BORDER) != 0),
                      std::pair(row.edged, keepsBorder));
            // Without themes AdjustWindowRectEx runs on (x, y, cx, cy) as it stands: x and y
            // move out by the frame, cx and cy grow by it once.
            const int frame = themes ? 0 : (row.edged ? edge : 0) + (keepsBorder ? border : 0);
            RECT pixels = row.units;
            MapDialogRect(host.get(), &pixels);
            const RECT expected{anchor.left + pixels.left - frame, anchor.top + pixels.top - frame,
                                pixels.right + frame, pixels.bottom + frame};
            EXPECT_EQ(control.rect, expected);
        }
        DeleteDlgCategory(&category);
    }
}

TEST_F(Categories, ShowTemplateTextsHideEmptiedDestroyAndDelete) {
    DLGCATEGORY category = loaded(IDD_PAGE_CLASSIC);
    create(category);
    HWND code = host.item(IDC_CODE);
    EXPECT_EQ(ShowDlgCategory(&category, TRUE), host.item(IDC_NAME)); // the first tab stop
    EXPECT_EQ(GetNextDlgTabItem(host.get(), host.item(IDC_BEFORE), FALSE), host.item(IDC_NAME));
    SetWindowTextA(code, "typed");
    EXPECT_EQ(ShowDlgCategory(&category, FALSE), host.item(IDC_NAME));
    const std::vector<HWND> controls = controlsOf(category);
    for (size_t index = 0; index < kPageItems; ++index) {
        EXPECT_FALSE(visible(controls[index]));
        if (index != kIconItem) { // an icon static keeps no text of its own
            EXPECT_EQ(windowText(controls[index]), "") << index;
        }
    }
    ShowDlgCategory(&category, TRUE);
    EXPECT_TRUE(visible(code));
    EXPECT_EQ(windowText(code), "code");
    EXPECT_EQ(DestroyDlgCategoryControls(&category), 1);
    EXPECT_FALSE(IsWindow(code));
    EXPECT_EQ(category.hControls, nullptr);
    EXPECT_EQ(DestroyDlgCategoryControls(&category), 1);
    EXPECT_EQ(create(category).size(), kPageItems); // again from the same record
    category.lParam = 77;
    EXPECT_EQ(DeleteDlgCategory(&category), 0);
    const DLGCATEGORY deleted = named(MAKEINTRESOURCEA(IDD_PAGE_CLASSIC), 77);
    EXPECT_EQ(memcmp(&category, &deleted, sizeof category), 0);
    EXPECT_EQ(childCount(host.get()), kHostControls);
    EXPECT_EQ(std::tuple(ShowDlgCategory(nullptr, TRUE), DestroyDlgCategoryControls(nullptr),
                         DeleteDlgCategory(nullptr)),
              std::tuple(nullptr, 0, 0));

    create(category = loaded(IDD_PAGE_CLASSIC));
    host.destroy(); // stale handles: destroying fails harmlessly
    EXPECT_EQ(DestroyDlgCategoryControls(&category), 1);
}

// A framework object subclassing one control: counts its destructions.
class CountedControl : public CWnd {
public:
    CountedControl(int& deletions, bool deletesItself)
        : deletions_(deletions), deletesItself_(deletesItself) {}
    ~CountedControl() override { ++deletions_; }
    void PostNcDestroy() override {
        if (deletesItself_)
            delete this;
    }

private:
    int& deletions_;
    bool deletesItself_;
};

TEST_F(Categories, DeleteTheFrameworkObjectsAttachedToTheirControlsOnce) {
    for (const bool deletesItself : {false, true}) {
        DLGCATEGORY category = loaded(IDD_PAGE_CLASSIC);
        create(category);
        int deletions = 0;
        auto* attached = new CountedControl(deletions, deletesItself);
        ASSERT_TRUE(attached->SubclassWindow(host.item(IDC_NAME)));
        EXPECT_EQ(DestroyDlgCategoryControls(&category), 1);
        EXPECT_EQ(deletions, 1) << deletesItself;
        DeleteDlgCategory(&category);
    }
}

TEST_F(Categories, RefuseWhatCannotBeCreatedKeepingWhatWasMade) {
    // clang-format off
    const struct { const char* label; UINT id; size_t kept; } rows[] = {
        {"no items", IDD_NO_ITEMS, 0}, {"unknown class third", IDD_UNKNOWN_CLASS_THIRD, 2},
        {"ordinal 0x0086 third", IDD_ORDINAL_0086_THIRD, 2}, {"class name longer than its buffer", IDD_LONG_CLASS, 0}};
    // clang-format on
    for (const auto& row : rows) {
        DLGCATEGORY category = loaded(row.id);
        create(category, 0);
        const std::vector<HWND> controls = controlsOf(category);
        EXPECT_EQ(controls.size() - std::count(controls.begin(), controls.end(), nullptr), row.kept)
            << row.label;
        EXPECT_EQ(DestroyDlgCategoryControls(&category), 1);
        EXPECT_EQ(childCount(host.get()), kHostControls) << row.label;
    }
    DLGCATEGORY category = loaded(IDD_PAGE_CLASSIC);
    // No record, no host, no anchor.
    EXPECT_EQ(std::tuple(CreateDlgCategoryIndirect(nullptr, host.get(), IDC_ANCHOR, nullptr),
                         CreateDlgCategoryIndirect(&category, nullptr, IDC_ANCHOR, nullptr),
                         CreateDlgCategoryIndirect(&category, host.get(), 4711, nullptr)),
              std::tuple(0, 0, 0));
    create(category);
    const HGLOBAL list = category.hControls; // a record in use is refused and kept
    EXPECT_EQ(CreateDlgCategoryIndirect(&category, host.get(), IDC_ANCHOR, testModule()), 0);
    EXPECT_EQ(category.hControls, list);
    EXPECT_EQ(childCount(host.get()), kHostControls + kPageItems);
    DeleteDlgCategory(&category);
}

TEST_F(Categories, CutLongTextsAndRefuseTemplatesCutShort) {
    DLGCATEGORY longText = loaded(IDD_LONG_TEXT);
    EXPECT_EQ(create(longText).at(0).text.size(), 255u);
    EXPECT_EQ(windowText(controlsOf(longText)[0]).substr(0, 3), "abc");
    DeleteDlgCategory(&longText);
    DLGCATEGORY cut = named(MAKEINTRESOURCEA(IDD_CUT_SHORT)), missing = named("NoSuchTemplate");
    EXPECT_EQ(
        std::tuple(LoadDlgCategory(&cut), LoadDlgCategory(&missing), LoadDlgCategory(nullptr)),
        std::tuple(0, 0, 0));
    EXPECT_EQ(loaded(IDD_NO_LAST_PADDING).cItems, 1);
}

} // namespace
} // namespace dialogs_tests
