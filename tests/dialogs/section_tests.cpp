// Dialog sections in a real host dialog: adding, selecting with the redraw bracket and the
// change message, thresholds and trimming, pages that cannot be created, deleting.
#include "dialogs_test_support.h"

#include <gtest/gtest.h>

namespace dialogs_tests {
namespace {

constexpr size_t kHostControls = 3, kSmallPageControls = 2;
constexpr DWORD kDiscardable = DLGSECTION_DISCARDABLE;
constexpr DWORD kNow = DLGSECTION_DISCARDABLE | DLGSECTION_CREATENOW;

class Sections : public ::testing::Test {
protected:
    explicit Sections(bool shown = false) : host(shown) {}
    void SetUp() override {
        ASSERT_EQ(InitDlgSection(&section, 7, host.get(), IDC_ANCHOR, 99), 1);
        host.section = &section;
    }
    void TearDown() override { EXPECT_EQ(DeleteDlgSection(&section), 1); }
    int add(int page, int id, DWORD flags = kDiscardable, UINT first = IDD_SMALL_PAGE_1) {
        return AddDlgSectionCategory(&section, testModule(), MAKEINTRESOURCEA(first + page - 1), id,
                                     flags, 1000 + id, testModule());
    }
    HWND select(int id) {
        host.log.clear();
        return SelectDlgSectionCategory(&section, id, testModule());
    }
    [[nodiscard]] const DLGCATEGORY& page(int index) const {
        return section.pEntries[index].category;
    }
    // The list positions of the entries whose controls exist.
    [[nodiscard]] std::vector<int> created() const {
        std::vector<int> found;
        for (int index = 0; index < section.cCategories; ++index)
            if (page(index).hControls != nullptr)
                found.push_back(index);
        return found;
    }
    [[nodiscard]] HWND editOf(int index) const { return controlsOf(page(index)).at(0); }
    HostDialog host;
    DLGSECTION section{};
};

using Positions = std::vector<int>;

TEST_F(Sections, AddCountingAndSelectInAHiddenHostWithoutRedrawing) {
    EXPECT_EQ(section.dwUser + section.lUser + section.idCurrent, 7u + 99 - 1);
    DLGSECTION refused{};
    EXPECT_EQ(InitDlgSection(nullptr, 0, host.get(), IDC_ANCHOR, 0), 0);
    EXPECT_EQ(InitDlgSection(&refused, 0, nullptr, IDC_ANCHOR, 0), 0);
    EXPECT_EQ(InitDlgSection(&refused, 0, host.get(), 4711, 0), 0);
    EXPECT_EQ(add(1, 10), 1);
    EXPECT_EQ(AddDlgSectionCategory(&section, testModule(), "NoSuchPage", 3, 0, 0, nullptr), 0);
    EXPECT_EQ(AddDlgSectionCategory(&section, nullptr, "x", 3, 0, 0, nullptr), 0);
    EXPECT_EQ(AddDlgSectionCategory(nullptr, testModule(), "x", 3, 0, 0, nullptr), 0);
    EXPECT_EQ(add(2, 20), 2);
    EXPECT_EQ(page(1).lParam, 1020);
    EXPECT_EQ(created(), Positions{}) << "controls are made at the first selection";

    EXPECT_EQ(select(10), nullptr);
    EXPECT_EQ(host.log, "S10 "); // no redrawing in a hidden host; the message sees the new id
    EXPECT_EQ(windowText(controlsOf(page(0)).at(1)), "Page 1");
    EXPECT_EQ(select(10), nullptr);
    EXPECT_EQ(host.log, "") << "the current id again does nothing";
    EXPECT_EQ(select(20), editOf(0)) << "the first tab stop of the page hidden";
    EXPECT_EQ(host.log, "S20 ");
    EXPECT_FALSE(visible(editOf(0)));
    EXPECT_TRUE(visible(editOf(1)));
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
    EXPECT_EQ(created(), (Positions{0, 1, 2, 3}));
    select(5);
    EXPECT_EQ(created(), (Positions{0, 4}));
    EXPECT_EQ(section.cCreated, 2);
    EXPECT_EQ(childCount(host.get()), kHostControls + 2 * kSmallPageControls);
    select(2); // made again and shown with its template texts
    EXPECT_EQ(created(), (Positions{0, 1, 4}));
    EXPECT_EQ(windowText(controlsOf(page(1)).at(1)), "Page 2");
}

TEST_F(Sections, NeverTrimThePageBeingAddedNorWithoutALowerThreshold) {
    EXPECT_EQ(SetDlgSectionThreshold(&section, 0, 0), 1);
    add(1, 1, kNow);
    add(2, 2, kNow);
    EXPECT_EQ(created(), (Positions{0, 1}));
    EXPECT_FALSE(visible(editOf(1)));
    EXPECT_EQ(SetDlgSectionThreshold(&section, 1, 1), 1);
    EXPECT_EQ(created(), (Positions{1}));
    add(3, 3, kNow);
    EXPECT_EQ(created(), (Positions{2}));
    for (const auto& [trimTo, trimAbove] : {std::pair{3, 2}, {-1, 5}, {-2, -1}})
        EXPECT_EQ(SetDlgSectionThreshold(&section, trimTo, trimAbove), 0) << trimTo;
    EXPECT_EQ(section.nTrimTo + section.nTrimAbove, 2);
    EXPECT_EQ(SetDlgSectionThreshold(nullptr, 1, 2), 0);
}

TEST_F(Sections, SelectTheFirstOfEqualIdsAndCarryOnAfterAnIdWithoutPage) {
    add(1, 5);
    add(2, 5);
    add(3, 3);
    select(5);
    EXPECT_EQ(created(), (Positions{0}));
    EXPECT_EQ(select(42), editOf(0));
    EXPECT_EQ(host.log, "S42 ");
    EXPECT_EQ(select(3), nullptr) << "nothing was shown, so nothing is hidden";
    EXPECT_TRUE(visible(editOf(2)));
    EXPECT_EQ(select(-1), editOf(2));
    EXPECT_FALSE(visible(editOf(2)));
}

TEST_F(Sections, LeaveNothingOfAPageThatCannotBeCreated) {
    add(1, 1);
    select(1);
    EXPECT_EQ(add(1, 9, kNow, IDD_UNKNOWN_CLASS_THIRD), 0);
    ASSERT_EQ(add(1, 9, 0, IDD_UNKNOWN_CLASS_THIRD), 2);
    for (const int from : {1, 9}) {
        if (from == 9)
            select(1);
        select(9);
        EXPECT_EQ(host.log, "S9 ");
        EXPECT_EQ(page(1).hControls, nullptr);
        EXPECT_EQ(section.cCreated, 1);
        EXPECT_EQ(childCount(host.get()), kHostControls + kSmallPageControls);
    }
    EXPECT_EQ(DeleteDlgSection(&section), 1);
    EXPECT_EQ(section.pEntries, nullptr);
    EXPECT_EQ(section.cCategories, 0);
    EXPECT_EQ(childCount(host.get()), kHostControls);
    EXPECT_EQ(DeleteDlgSection(nullptr), 0);
}

class VisibleSections : public Sections {
protected:
    VisibleSections() : Sections(true) {}
};

TEST_F(VisibleSections, SwitchOffRedrawingAndRepaintTheAnchorArea) {
    add(1, 1);
    add(2, 2);
    RECT area = anchorRect(host);
    InflateRect(&area, -3, -3);
    for (const int id : {1, 2}) {
        UpdateWindow(host.get());
        select(id);
        EXPECT_EQ(host.log, id == 1 ? "R0 R1 S1 " : "R0 R1 R0 R1 S2 ");
        EXPECT_TRUE(visible(host.get())) << "redrawing is on again";
        RECT pending{}, united{};
        ASSERT_TRUE(GetUpdateRect(host.get(), &pending, FALSE));
        UnionRect(&united, &pending, &area);
        EXPECT_TRUE(EqualRect(&united, &pending)) << "the anchor area waits to be painted";
    }
}

} // namespace
} // namespace dialogs_tests
