// Dialog sections in a real host dialog: adding, selecting with the redraw bracket and the
// change message, thresholds and trimming, pages that cannot be created, deleting.
#include "dialogs_test_support.h"

#include <gtest/gtest.h>

namespace dialogs_tests {
namespace {

constexpr size_t kHostControls = 3;
constexpr size_t kSmallPageControls = 2;

class Sections : public ::testing::Test {
protected:
    explicit Sections(bool visible = false) : host(visible) {}
    void SetUp() override {
        ASSERT_EQ(InitDlgSection(&section, 7, host.get(), IDC_ANCHOR, 99), 1);
        host.watch(&section);
    }
    void TearDown() override { EXPECT_EQ(DeleteDlgSection(&section), 1); }

    int add(int page, int id, DWORD flags = DLGSECTION_DISCARDABLE) {
        return AddDlgSectionCategory(&section, testModule(),
                                     MAKEINTRESOURCEA(IDD_SMALL_PAGE_1 + page - 1), id, flags,
                                     1000 + id, testModule());
    }
    HWND select(int id) {
        host.messages().clear();
        return SelectDlgSectionCategory(&section, id, testModule());
    }
    [[nodiscard]] const DLGCATEGORY& page(int index) const {
        return section.pEntries[index].category;
    }
    // The positions in the list of the entries whose controls exist.
    [[nodiscard]] std::vector<int> created() const {
        std::vector<int> found;
        for (int index = 0; index < section.cCategories; ++index)
            if (page(index).hControls != nullptr)
                found.push_back(index);
        return found;
    }
    [[nodiscard]] HWND editOf(int index) const { return controlsOf(page(index))[0]; }

    HostDialog host;
    DLGSECTION section{};
};

TEST_F(Sections, StartEmptyAndCountTheirCategories) {
    EXPECT_EQ(section.dwUser, 7u);
    EXPECT_EQ(section.lUser, 99);
    EXPECT_EQ(section.idCurrent, -1);
    EXPECT_EQ(section.pEntries, nullptr);
    DLGSECTION refused{};
    EXPECT_EQ(InitDlgSection(nullptr, 0, host.get(), IDC_ANCHOR, 0), 0);
    EXPECT_EQ(InitDlgSection(&refused, 0, nullptr, IDC_ANCHOR, 0), 0);
    EXPECT_EQ(InitDlgSection(&refused, 0, host.get(), 4711, 0), 0);

    EXPECT_EQ(add(1, 10), 1);
    EXPECT_EQ(add(2, 20), 2);
    EXPECT_EQ(AddDlgSectionCategory(&section, testModule(), "NoSuchPage", 30, 0, 0, nullptr), 0);
    EXPECT_EQ(AddDlgSectionCategory(&section, nullptr, MAKEINTRESOURCEA(IDD_SMALL_PAGE_3), 30, 0, 0,
                                    nullptr),
              0);
    EXPECT_EQ(AddDlgSectionCategory(nullptr, testModule(), MAKEINTRESOURCEA(IDD_SMALL_PAGE_3), 30,
                                    0, 0, nullptr),
              0);
    EXPECT_EQ(add(3, 30), 3);
    EXPECT_EQ(section.pEntries[2].id, 30);
    EXPECT_EQ(section.pEntries[2].dwFlags, static_cast<DWORD>(DLGSECTION_DISCARDABLE));
    EXPECT_EQ(page(2).lParam, 1030);
    EXPECT_TRUE(created().empty()) << "controls are made at the first selection";
}

TEST_F(Sections, SelectInAHiddenHostWithoutRedrawing) {
    add(1, 10);
    add(2, 20);
    EXPECT_EQ(select(10), nullptr);
    EXPECT_EQ(section.idCurrent, 10);
    ASSERT_EQ(host.received(WM_DLGSECTIONCHANGED).size(), 1u);
    EXPECT_EQ(host.received(WM_DLGSECTIONCHANGED)[0].currentId, 10);
    EXPECT_TRUE(host.received(WM_SETREDRAW).empty());
    EXPECT_TRUE(GetWindowLongPtrA(editOf(0), GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(textOf(controlsOf(page(0))[1]), "Page 1");

    EXPECT_EQ(select(10), nullptr);
    EXPECT_TRUE(host.messages().empty()) << "the current id again does nothing";

    EXPECT_EQ(select(20), editOf(0)) << "the first tab stop of the page hidden";
    EXPECT_EQ(host.received(WM_DLGSECTIONCHANGED)[0].currentId, 20);
    EXPECT_TRUE(host.received(WM_SETREDRAW).empty());
    EXPECT_FALSE(GetWindowLongPtrA(editOf(0), GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(GetWindowLongPtrA(editOf(1), GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(section.cCreated, 2);
    RECT pending{};
    EXPECT_FALSE(GetUpdateRect(host.get(), &pending, FALSE));
}

TEST_F(Sections, TrimDiscardablePagesDownToTheLowerThreshold) {
    add(1, 1, 0); // never trimmed, but counted
    for (int page = 2; page <= 6; ++page)
        add(page, page);
    EXPECT_EQ(SetDlgSectionThreshold(&section, 2, 4), 1);
    for (int id = 1; id <= 4; ++id)
        select(id);
    EXPECT_EQ(created(), (std::vector<int>{0, 1, 2, 3}));
    select(5);
    EXPECT_EQ(section.cCreated, 2);
    EXPECT_EQ(created(), (std::vector<int>{0, 4}));
    EXPECT_EQ(childrenOf(host.get()).size(), kHostControls + 2 * kSmallPageControls);

    select(2); // made again, shown with its template texts
    EXPECT_EQ(created(), (std::vector<int>{0, 1, 4}));
    EXPECT_EQ(textOf(controlsOf(page(1))[1]), "Page 2");
    EXPECT_EQ(section.cCreated, 3);
}

TEST_F(Sections, NeverTrimThePageBeingAddedOrWithoutALowerThreshold) {
    EXPECT_EQ(SetDlgSectionThreshold(&section, 0, 0), 1);
    add(1, 1, DLGSECTION_DISCARDABLE | DLGSECTION_CREATENOW);
    add(2, 2, DLGSECTION_DISCARDABLE | DLGSECTION_CREATENOW);
    EXPECT_EQ(created(), (std::vector<int>{0, 1})) << "nTrimTo 0 never trims";
    EXPECT_FALSE(IsWindowVisible(editOf(1)));

    EXPECT_EQ(SetDlgSectionThreshold(&section, 1, 1), 1);
    EXPECT_EQ(created(), (std::vector<int>{1}));
    add(3, 3, DLGSECTION_DISCARDABLE | DLGSECTION_CREATENOW);
    EXPECT_EQ(created(), (std::vector<int>{2}));
    EXPECT_EQ(section.cCreated, 1);
}

TEST_F(Sections, RefuseThresholdsOutOfOrder) {
    struct Row {
        const char* label;
        int trimTo, trimAbove;
    };
    const Row rows[] = {
        {"upper below lower", 3, 2}, {"negative lower", -1, 5}, {"both negative", -2, -1}};
    ASSERT_EQ(SetDlgSectionThreshold(&section, 2, 4), 1);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(SetDlgSectionThreshold(&section, row.trimTo, row.trimAbove), 0);
        EXPECT_EQ(section.nTrimTo, 2);
        EXPECT_EQ(section.nTrimAbove, 4);
    }
    EXPECT_EQ(SetDlgSectionThreshold(nullptr, 1, 2), 0);
}

TEST_F(Sections, SelectOnlyTheFirstOfTwoEqualIds) {
    add(1, 5);
    add(2, 5);
    select(5);
    EXPECT_EQ(created(), (std::vector<int>{0}));
}

TEST_F(Sections, CarryOnAfterAnIdWithoutPage) {
    add(1, 1);
    add(2, 2);
    select(1);
    EXPECT_EQ(select(42), editOf(0));
    EXPECT_EQ(section.idCurrent, 42);
    EXPECT_EQ(host.received(WM_DLGSECTIONCHANGED).size(), 1u);
    EXPECT_EQ(select(2), nullptr) << "nothing was shown, so nothing is hidden";
    EXPECT_EQ(section.idCurrent, 2);
    EXPECT_TRUE(GetWindowLongPtrA(editOf(1), GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(select(-1), editOf(1));
    EXPECT_EQ(section.idCurrent, -1);
    EXPECT_FALSE(GetWindowLongPtrA(editOf(1), GWL_STYLE) & WS_VISIBLE);
}

TEST_F(Sections, LeaveNothingOfAPageThatCannotBeCreated) {
    add(1, 1);
    select(1);
    EXPECT_EQ(AddDlgSectionCategory(&section, testModule(),
                                    MAKEINTRESOURCEA(IDD_UNKNOWN_CLASS_THIRD), 9,
                                    DLGSECTION_CREATENOW, 0, testModule()),
              0);
    EXPECT_EQ(section.cCategories, 1);
    ASSERT_EQ(AddDlgSectionCategory(&section, testModule(),
                                    MAKEINTRESOURCEA(IDD_UNKNOWN_CLASS_THIRD), 9, 0, 0,
                                    testModule()),
              2);
    for (int attempt = 0; attempt < 2; ++attempt) {
        SCOPED_TRACE(attempt);
        if (attempt == 1)
            select(1);
        select(9);
        EXPECT_EQ(section.idCurrent, 9);
        EXPECT_EQ(page(1).hControls, nullptr);
        EXPECT_EQ(section.cCreated, 1);
        EXPECT_EQ(childrenOf(host.get()).size(), kHostControls + kSmallPageControls);
        EXPECT_EQ(host.received(WM_DLGSECTIONCHANGED).size(), 1u);
    }
}

TEST_F(Sections, DeleteEveryPage) {
    add(1, 1);
    add(2, 2);
    select(1);
    select(2);
    EXPECT_EQ(DeleteDlgSection(&section), 1);
    EXPECT_EQ(section.pEntries, nullptr);
    EXPECT_EQ(section.cCategories, 0);
    EXPECT_EQ(childrenOf(host.get()).size(), kHostControls);
    EXPECT_EQ(DeleteDlgSection(nullptr), 0);
}

class VisibleSections : public Sections {
protected:
    VisibleSections() : Sections(true) {}
    // The WM_SETREDRAW values the host received, in order.
    std::vector<WPARAM> redraws() {
        std::vector<WPARAM> values;
        for (const HostMessage& each : host.received(WM_SETREDRAW))
            values.push_back(each.wParam);
        return values;
    }
};

TEST_F(VisibleSections, SwitchOffRedrawingAndRepaintTheAnchorArea) {
    add(1, 1);
    add(2, 2);
    RECT anchor{};
    GetWindowRect(host.anchor(), &anchor);
    MapWindowPoints(nullptr, host.get(), reinterpret_cast<POINT*>(&anchor), 2);
    InflateRect(&anchor, -3, -3);
    for (const int id : {1, 2}) {
        SCOPED_TRACE(id);
        UpdateWindow(host.get());
        select(id);
        const std::vector<WPARAM> expected = id == 1
                                                 ? std::vector<WPARAM>{FALSE, TRUE}
                                                 : std::vector<WPARAM>{FALSE, TRUE, FALSE, TRUE};
        EXPECT_EQ(redraws(), expected);
        EXPECT_EQ(host.messages().back().message, static_cast<UINT>(WM_DLGSECTIONCHANGED));
        EXPECT_TRUE(GetWindowLongPtrA(host.get(), GWL_STYLE) & WS_VISIBLE) << "redraw on";
        RECT pending{}, united{};
        ASSERT_TRUE(GetUpdateRect(host.get(), &pending, FALSE));
        UnionRect(&united, &pending, &anchor);
        EXPECT_TRUE(EqualRect(&united, &pending)) << "the anchor area is to be painted";
    }
}

} // namespace
} // namespace dialogs_tests
