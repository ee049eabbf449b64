// The test host's safety net: a window that no script expects is closed and fails the test.
#include <afxwin.h>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "ui_driver.h"

namespace {

constexpr DWORD kShortStrayLimit = 500;

TEST(TestHost, AnUnexpectedMessageBoxIsClosedAndReported) {
    const DWORD previous = test_host::setStrayWindowLimit(kShortStrayLimit);
    int answer = 0;
    EXPECT_NONFATAL_FAILURE(answer = AfxMessageBox("Nobody answers this", MB_OKCANCEL),
                            "a window nobody expected stayed open: \"framework_tests\"");
    test_host::setStrayWindowLimit(previous);
    EXPECT_EQ(answer, IDCANCEL);
}

} // namespace
