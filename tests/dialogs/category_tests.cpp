// Dialog categories driven in a real host dialog: where the controls go, what they are
// created with, showing, hiding, destroying and the templates that cannot be created.
#include "dialogs_test_support.h"

#include <test_host.h>

#include <afxwin.h>

#include <gtest/gtest.h>

TEST_HOST_APPLICATION("dialogs_tests");

namespace dialogs_tests {
namespace {

constexpr size_t kPageItems = 8;
constexpr size_t kIconItem = 5, kScrollItem = 7;

DLGCATEGORY loaded(UINT templateId) {
    DLGCATEGORY category{};
    category.hInstance = testModule();
    category.lpszTemplate = MAKEINTRESOURCEA(templateId);
    EXPECT_EQ(LoadDlgCategory(&category), 1) << "template " << templateId;
    return category;
}

class Categories : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(FRegisterControl(testModule()), 0); }
    HostDialog host;
};

TEST_F(Categories, FindTheFirstItemBehindEveryHeader) {
    struct Row {
        UINT templateId;
        BOOL extended;
        ptrdiff_t firstItem;
    };
    const Row rows[] = {
        {IDD_HEADER_CLASSIC_NAMES, FALSE, 68},    {IDD_HEADER_CLASSIC_NUMBERS, FALSE, 28},
        {IDD_HEADER_CLASSIC_FIXEDSYS, FALSE, 24}, {IDD_HEADER_CLASSIC_SHELLFONT, FALSE, 52},
        {IDD_HEADER_EXTENDED_NAMES, TRUE, 80},    {IDD_HEADER_EXTENDED_NUMBERS, TRUE, 36},
        {IDD_HEADER_EXTENDED_FIXEDSYS, TRUE, 32}, {IDD_HEADER_EXTENDED_SHELLFONT, TRUE, 64},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.templateId);
        DLGCATEGORY category = loaded(row.templateId);
        const auto* start = static_cast<const BYTE*>(LockResource(category.hTemplate));
        EXPECT_EQ(category.fExtended, row.extended);
        EXPECT_EQ(category.cItems, 1);
        EXPECT_EQ(static_cast<const BYTE*>(category.pFirstItem) - start, row.firstItem);
        EXPECT_EQ(category.hControls, nullptr);
        CreationRecorder recorder(host.get());
        ASSERT_EQ(CreateDlgCategoryIndirect(&category, host.get(), IDC_ANCHOR, testModule()), 1);
        ASSERT_EQ(recorder.controls().size(), 1u);
        EXPECT_EQ(recorder.controls()[0].text, "only");
        EXPECT_EQ(recorder.controls()[0].id, static_cast<UINT_PTR>(IDC_ONLY));
        EXPECT_EQ(DeleteDlgCategory(&category), 0);
    }
}

// Everything but the window handle, for comparing two creations.
bool sameCreation(const CreatedControl& a, const CreatedControl& b) {
    return a.className == b.className && a.text == b.text && a.style == b.style &&
           a.extendedStyle == b.extendedStyle && EqualRect(&a.rect, &b.rect) && a.id == b.id &&
           a.instance == b.instance && (a.creationData == nullptr) == (b.creationData == nullptr);
}

TEST_F(Categories, GiveTheSameControlsInBothForms) {
    ForcedTheme themed(true);
    std::vector<CreatedControl> forms[2];
    const UINT templates[2] = {IDD_PAGE_CLASSIC, IDD_PAGE_EXTENDED};
    for (int form = 0; form < 2; ++form) {
        DLGCATEGORY category = loaded(templates[form]);
        EXPECT_EQ(category.fExtended, form == 1 ? TRUE : FALSE);
        CreationRecorder recorder(host.get());
        ASSERT_EQ(CreateDlgCategoryIndirect(&category, host.get(), IDC_ANCHOR, testModule()), 1);
        forms[form] = recorder.controls();
        DeleteDlgCategory(&category);
    }
    ASSERT_EQ(forms[0].size(), kPageItems);
    ASSERT_EQ(forms[1].size(), kPageItems);
    for (size_t index = 0; index < kPageItems; ++index)
        EXPECT_TRUE(sameCreation(forms[0][index], forms[1][index])) << "item " << index;
    EXPECT_EQ(forms[0][5].text, "#150");
    EXPECT_EQ(forms[0][6].text, "#40000");
    EXPECT_EQ(forms[0][7].className, "MICROSCROLL"); // as the resource compiler writes it
}

TEST_F(Categories, CreateHiddenControlsBehindTheAnchorAtItsPlace) {
    ForcedTheme themed(true);
    DLGCATEGORY category = loaded(IDD_PAGE_EXTENDED);
    CreationRecorder recorder(host.get());
    HINSTANCE instance = GetModuleHandleA("z64EVEZE.dll");
    ASSERT_EQ(CreateDlgCategoryIndirect(&category, host.get(), IDC_ANCHOR, instance), 1);
    const std::vector<HWND> handles = controlsOf(category);
    ASSERT_EQ(handles.size(), kPageItems);

    const POINT origin = anchorOrigin(host);
    RECT label{2, 2, 40, 8};
    MapDialogRect(host.get(), &label);
    const CreatedControl& first = recorder.controls()[0];
    EXPECT_EQ(first.rect.left, label.left + origin.x);
    EXPECT_EQ(first.rect.top, label.top + origin.y);
    EXPECT_EQ(first.rect.right, label.right);
    EXPECT_EQ(first.rect.bottom, label.bottom);

    const auto font = SendMessageA(host.get(), WM_GETFONT, 0, 0);
    ASSERT_NE(font, 0);
    HWND after = host.anchor();
    for (size_t index = 0; index < kPageItems; ++index) {
        SCOPED_TRACE(index);
        const CreatedControl& created = recorder.controls()[index];
        EXPECT_EQ(created.window, handles[index]);
        EXPECT_EQ(created.style & WS_VISIBLE, 0u);
        EXPECT_FALSE(IsWindowVisible(handles[index]));
        EXPECT_EQ(created.instance, instance);
        // Icon statics and micro-scroll controls keep no font.
        if (index != kIconItem && index != kScrollItem) {
            EXPECT_EQ(SendMessageA(handles[index], WM_GETFONT, 0, 0), font);
        }
        EXPECT_EQ(GetWindow(after, GW_HWNDNEXT), handles[index]) << "Z-order";
        after = handles[index];
    }
    EXPECT_EQ(GetWindow(after, GW_HWNDNEXT), GetDlgItem(host.get(), IDC_AFTER));
    // The micro-scroll item read its range from the template text "0,100,50".
    EXPECT_EQ(SendMessageA(handles[kScrollItem], MSCM_GETRANGE, 0, 0), MAKELONG(0, 100));
    EXPECT_EQ(SendMessageA(handles[kScrollItem], MSCM_GETPOS, 0, 0), 50);
    EXPECT_EQ(GetWindow(host.anchor(), GW_HWNDPREV), GetDlgItem(host.get(), IDC_BEFORE));
    EXPECT_EQ(GetDlgCtrlID(host.anchor()), IDC_ANCHOR);

    ShowDlgCategory(&category, TRUE);
    EXPECT_EQ(GetNextDlgTabItem(host.get(), GetDlgItem(host.get(), IDC_BEFORE), FALSE),
              GetDlgItem(host.get(), IDC_NAME));
    DeleteDlgCategory(&category);
}

TEST_F(Categories, PassTheCreationDataAndTheLowWordOfExtendedIds) {
    DLGCATEGORY data = loaded(IDD_CREATION_DATA);
    CreationRecorder recorder(host.get());
    ASSERT_EQ(CreateDlgCategoryIndirect(&data, host.get(), IDC_ANCHOR, testModule()), 1);
    ASSERT_EQ(recorder.controls().size(), 2u);
    const auto* bytes = static_cast<const WORD*>(recorder.controls()[0].creationData);
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[-1], 4);
    EXPECT_EQ(bytes[0], 0x1234);
    EXPECT_EQ(bytes[1], 0x5678);
    EXPECT_EQ(recorder.controls()[1].creationData, nullptr);

    DLGCATEGORY wide = loaded(IDD_EXTENDED_IDS);
    ASSERT_EQ(CreateDlgCategoryIndirect(&wide, host.get(), IDC_ANCHOR, testModule()), 1);
    EXPECT_EQ(GetDlgCtrlID(controlsOf(wide)[0]), 0x2345);
    DeleteDlgCategory(&data);
    DeleteDlgCategory(&wide);
}

TEST_F(Categories, GiveEditListAndComboBoxesTheClientEdge) {
    struct Row {
        const char* label;
        size_t item;
        RECT units; // x, y, cx, cy in the template
        bool edged;
        bool bordered; // WS_BORDER in the template
    };
    const Row rows[] = {
        {"static", 0, {2, 2, 40, 8}, false, false},
        {"Edit ordinal", 1, {44, 2, 60, 12}, true, true},
        {"EDIT name", 2, {110, 2, 40, 12}, true, true},
        {"Listbox ordinal", 3, {2, 20, 60, 40}, true, true},
        {"Combobox ordinal", 4, {70, 20, 60, 40}, true, false},
        {"button", 6, {140, 44, 40, 14}, false, false},
    };
    const int edge = GetSystemMetrics(SM_CXEDGE), border = GetSystemMetrics(SM_CXBORDER);
    const POINT origin = anchorOrigin(host);
    for (const bool themes : {false, true}) {
        ForcedTheme theme(themes);
        DLGCATEGORY category = loaded(IDD_PAGE_CLASSIC);
        CreationRecorder recorder(host.get());
        ASSERT_EQ(CreateDlgCategoryIndirect(&category, host.get(), IDC_ANCHOR, testModule()), 1);
        for (const Row& row : rows) {
            SCOPED_TRACE(::testing::Message() << row.label << (themes ? ", themed" : ""));
            const CreatedControl& created = recorder.controls()[row.item];
            EXPECT_EQ((created.extendedStyle & WS_EX_CLIENTEDGE) != 0, row.edged);
            const bool keepsBorder = row.bordered && !(themes && row.edged);
            EXPECT_EQ((created.style & WS_BORDER) != 0, keepsBorder);
            // Without themes the rectangle goes through AdjustWindowRectEx as it stands: left
            // and top move out by the frame, width and height (in right and bottom) grow by
            // it once.
            const int frame = themes ? 0 : (row.edged ? edge : 0) + (keepsBorder ? border : 0);
            RECT pixels = row.units;
            MapDialogRect(host.get(), &pixels);
            EXPECT_EQ(created.rect.left, pixels.left + origin.x - frame);
            EXPECT_EQ(created.rect.top, pixels.top + origin.y - frame);
            EXPECT_EQ(created.rect.right, pixels.right + frame);
            EXPECT_EQ(created.rect.bottom, pixels.bottom + frame);
        }
        DeleteDlgCategory(&category);
    }
}

TEST_F(Categories, ShowWithTemplateTextsAndHideEmptied) {
    DLGCATEGORY category = loaded(IDD_PAGE_CLASSIC);
    ASSERT_EQ(CreateDlgCategoryIndirect(&category, host.get(), IDC_ANCHOR, testModule()), 1);
    HWND name = GetDlgItem(host.get(), IDC_NAME);
    HWND code = GetDlgItem(host.get(), IDC_CODE);
    EXPECT_EQ(ShowDlgCategory(&category, TRUE), name);
    for (HWND control : controlsOf(category))
        EXPECT_TRUE(GetWindowLongPtrA(control, GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(textOf(code), "code");
    SetWindowTextA(code, "typed");
    EXPECT_EQ(ShowDlgCategory(&category, FALSE), name);
    const std::vector<HWND> controls = controlsOf(category);
    for (size_t index = 0; index < controls.size(); ++index) {
        EXPECT_FALSE(GetWindowLongPtrA(controls[index], GWL_STYLE) & WS_VISIBLE);
        // An icon static takes its text as an icon name and keeps no text of its own.
        if (index != kIconItem) {
            EXPECT_EQ(textOf(controls[index]), "") << index;
        }
    }
    ShowDlgCategory(&category, TRUE);
    EXPECT_EQ(textOf(code), "code");
    EXPECT_EQ(textOf(GetDlgItem(host.get(), IDC_LABEL)), "Name");
    EXPECT_EQ(ShowDlgCategory(nullptr, TRUE), nullptr);
    DeleteDlgCategory(&category);
}

TEST_F(Categories, DestroyCreateAgainAndDelete) {
    DLGCATEGORY category = loaded(IDD_PAGE_CLASSIC);
    ASSERT_EQ(CreateDlgCategoryIndirect(&category, host.get(), IDC_ANCHOR, testModule()), 1);
    const std::vector<HWND> first = controlsOf(category);
    EXPECT_EQ(DestroyDlgCategoryControls(&category), 1);
    EXPECT_EQ(category.hControls, nullptr);
    for (HWND control : first)
        EXPECT_FALSE(IsWindow(control));
    EXPECT_EQ(DestroyDlgCategoryControls(&category), 1);
    ASSERT_EQ(CreateDlgCategoryIndirect(&category, host.get(), IDC_ANCHOR, testModule()), 1);
    EXPECT_EQ(controlsOf(category).size(), kPageItems);

    category.lParam = 77;
    EXPECT_EQ(DeleteDlgCategory(&category), 0);
    EXPECT_EQ(category.hControls, nullptr);
    EXPECT_EQ(category.hTemplate, nullptr);
    EXPECT_EQ(category.cItems, 0);
    EXPECT_EQ(category.pFirstItem, nullptr);
    EXPECT_EQ(category.hInstance, testModule());
    EXPECT_EQ(category.lParam, 77);
    EXPECT_EQ(childrenOf(host.get()).size(), 3u);
    EXPECT_EQ(DeleteDlgCategory(nullptr), 0);
    EXPECT_EQ(DestroyDlgCategoryControls(nullptr), 0);
}

TEST_F(Categories, ForgetStaleHandlesAfterTheHostIsGone) {
    DLGCATEGORY category = loaded(IDD_PAGE_CLASSIC);
    ASSERT_EQ(CreateDlgCategoryIndirect(&category, host.get(), IDC_ANCHOR, testModule()), 1);
    host.destroy();
    EXPECT_EQ(DestroyDlgCategoryControls(&category), 1);
    EXPECT_EQ(category.hControls, nullptr);
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
        SCOPED_TRACE(deletesItself ? "PostNcDestroy deletes" : "plain");
        DLGCATEGORY category = loaded(IDD_PAGE_CLASSIC);
        ASSERT_EQ(CreateDlgCategoryIndirect(&category, host.get(), IDC_ANCHOR, testModule()), 1);
        int deletions = 0;
        auto* attached = new CountedControl(deletions, deletesItself);
        ASSERT_TRUE(attached->SubclassWindow(GetDlgItem(host.get(), IDC_NAME)));
        EXPECT_EQ(DestroyDlgCategoryControls(&category), 1);
        EXPECT_EQ(deletions, 1);
        EXPECT_EQ(CWnd::FromHandlePermanent(GetDlgItem(host.get(), IDC_NAME)), nullptr);
        DeleteDlgCategory(&category);
    }
}

TEST_F(Categories, RefuseWhatCannotBeCreated) {
    struct Row {
        const char* label;
        UINT templateId;
        size_t kept; // controls left in the list after the refusal
    };
    const Row rows[] = {
        {"no items", IDD_NO_ITEMS, 0},
        {"unknown class third", IDD_UNKNOWN_CLASS_THIRD, 2},
        {"ordinal 0x0086 third", IDD_ORDINAL_0086_THIRD, 2},
        {"class name longer than its buffer", IDD_LONG_CLASS, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        DLGCATEGORY category = loaded(row.templateId);
        EXPECT_EQ(CreateDlgCategoryIndirect(&category, host.get(), IDC_ANCHOR, testModule()), 0);
        size_t kept = 0;
        for (HWND control : controlsOf(category))
            kept += control != nullptr ? 1 : 0;
        EXPECT_EQ(kept, row.kept);
        EXPECT_EQ(DestroyDlgCategoryControls(&category), 1);
        EXPECT_EQ(childrenOf(host.get()).size(), 3u);
    }
}

TEST_F(Categories, RefuseMissingHostsAnchorsAndRecordsInUse) {
    DLGCATEGORY category = loaded(IDD_PAGE_CLASSIC);
    EXPECT_EQ(CreateDlgCategoryIndirect(nullptr, host.get(), IDC_ANCHOR, nullptr), 0);
    EXPECT_EQ(CreateDlgCategoryIndirect(&category, nullptr, IDC_ANCHOR, nullptr), 0);
    EXPECT_EQ(CreateDlgCategoryIndirect(&category, host.get(), 4711, nullptr), 0);
    ASSERT_EQ(CreateDlgCategoryIndirect(&category, host.get(), IDC_ANCHOR, testModule()), 1);
    const HGLOBAL list = category.hControls;
    EXPECT_EQ(CreateDlgCategoryIndirect(&category, host.get(), IDC_ANCHOR, testModule()), 0);
    EXPECT_EQ(category.hControls, list);
    EXPECT_EQ(childrenOf(host.get()).size(), 3 + kPageItems);
    DeleteDlgCategory(&category);
}

TEST_F(Categories, CutLongTextsAndRefuseTemplatesThatRunPastTheResource) {
    DLGCATEGORY longText = loaded(IDD_LONG_TEXT);
    ASSERT_EQ(CreateDlgCategoryIndirect(&longText, host.get(), IDC_ANCHOR, testModule()), 1);
    const std::string text = textOf(controlsOf(longText)[0]);
    EXPECT_EQ(text.size(), 255u);
    EXPECT_EQ(text.substr(0, 3), "abc");
    DeleteDlgCategory(&longText);

    DLGCATEGORY cut{};
    cut.hInstance = testModule();
    cut.lpszTemplate = MAKEINTRESOURCEA(IDD_CUT_SHORT);
    EXPECT_EQ(LoadDlgCategory(&cut), 0);
    DLGCATEGORY unpadded = loaded(IDD_NO_LAST_PADDING);
    EXPECT_EQ(unpadded.cItems, 1);
    DLGCATEGORY missing{};
    missing.hInstance = testModule();
    missing.lpszTemplate = "NoSuchTemplate";
    EXPECT_EQ(LoadDlgCategory(&missing), 0);
    EXPECT_EQ(LoadDlgCategory(nullptr), 0);
}

} // namespace
} // namespace dialogs_tests
