// The layout check against a dialog made to have each fault once, beside controls that
// only look like faults (a fitting text with prefix marks, an ellipsis text, a hidden
// control, a group box around its member).
#include "layout_check_tests.h"

#include <layout_check.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace {

INT_PTR CALLBACK quietProcedure(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

using gallery::FaultKind;
using gallery::LayoutFault;

TEST(LayoutCheck, FindsEachFaultOnceAndNothingElse) {
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_LAYOUT_FAULTS),
                                     nullptr, quietProcedure, 0);
    ASSERT_NE(dialog, nullptr);
    const std::vector<LayoutFault> faults = gallery::checkLayout(dialog);
    // clang-format off
    const struct { const char* label; FaultKind kind; int controlId, otherId; } rows[] = {
        {"wrapped text taller than its static", FaultKind::CutText, IDC_WRAPPED_CUT, 0},
        {"single line wider than its static", FaultKind::CutText, IDC_LINE_CUT, 0},
        {"push button text", FaultKind::CutText, IDC_BUTTON_CUT, 0},
        {"check box text beside its square", FaultKind::CutText, IDC_CHECK_CUT, 0},
        {"button past the right edge", FaultKind::Outside, IDC_OUTSIDE, 0},
        {"edit over edit", FaultKind::Overlap, IDC_EDIT_UNDER, IDC_EDIT_OVER},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        const auto found = std::find_if(faults.begin(), faults.end(), [&](const LayoutFault& f) {
            return f.kind == row.kind && f.controlId == row.controlId && f.otherId == row.otherId;
        });
        ASSERT_NE(found, faults.end());
        if (row.kind == FaultKind::CutText) {
            EXPECT_TRUE(found->needed.cx > found->has.cx || found->needed.cy > found->has.cy)
                << gallery::describe(*found);
        }
    }
    std::string all;
    for (const LayoutFault& fault : faults)
        all += gallery::describe(fault) + "\n";
    EXPECT_EQ(faults.size(), std::size(rows)) << all;
    DestroyWindow(dialog);
}

} // namespace
