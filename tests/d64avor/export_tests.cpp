// The library's export table holds every entry point callers import, under its decorated
// name, and the option constants are distinct bits.
#include "test_support.h"

#include <d64avor.h>

#include <gtest/gtest.h>
#include <test_host.h>

#include <set>
#include <string>
#include <vector>

TEST_HOST_APPLICATION("d64avor_tests");

namespace {

// What the application's libraries import, as the compiler decorates it.
const std::vector<std::string> kImportedNames = {
    "_Z12MakeLongPathPKw",
    "_Z15MakeStgFilePathPKw",
    "_ZN12CBalloonHelp13LaunchBalloonEPKcS1_PK7tagRECTS1_jP4CWndS1_jPFvyEym",
    "_ZN12CBalloonHelp23unCLOSE_ON_LBUTTON_DOWNE",
    "_ZN12CBalloonHelp23unCLOSE_ON_MBUTTON_DOWNE",
    "_ZN12CBalloonHelp23unCLOSE_ON_RBUTTON_DOWNE",
    "_ZN12CBalloonHelp19unCLOSE_ON_KEYPRESSE",
    "_ZN12CBalloonHelp19unSHOW_CLOSE_BUTTONE",
    "_ZN12CBalloonHelp24unFORCE_QUADRANT_TOPLEFTE",
    "_ZN12CBalloonHelp25unFORCE_QUADRANT_TOPRIGHTE",
    "_ZN12CBalloonHelp27unFORCE_QUADRANT_BOTTOMLEFTE",
    "_ZN12CBalloonHelp28unFORCE_QUADRANT_BOTTOMRIGHTE",
    "_Z14GetModalParentv",
    "_Z19GetProcessDockFramev",
    "_Z13DDX_ControlWPP13CDataExchangeiR4CWnd",
    "_Z18FlushWindowUpdatesv",
};

TEST(Exports, HoldEveryImportedName) {
    HMODULE module = GetModuleHandleA("d64avor.dll");
    ASSERT_NE(module, nullptr);
    const std::set<std::string> exported = test_support::exportedNames(module);
    for (const std::string& name : kImportedNames)
        EXPECT_TRUE(exported.contains(name)) << name;
}

struct OptionCase {
    const char* label;
    unsigned value;
};

TEST(BalloonOptions, AreDistinctSingleBits) {
    const OptionCase options[] = {
        {"unCLOSE_ON_LBUTTON_DOWN", CBalloonHelp::unCLOSE_ON_LBUTTON_DOWN},
        {"unCLOSE_ON_MBUTTON_DOWN", CBalloonHelp::unCLOSE_ON_MBUTTON_DOWN},
        {"unCLOSE_ON_RBUTTON_DOWN", CBalloonHelp::unCLOSE_ON_RBUTTON_DOWN},
        {"unCLOSE_ON_KEYPRESS", CBalloonHelp::unCLOSE_ON_KEYPRESS},
        {"unSHOW_CLOSE_BUTTON", CBalloonHelp::unSHOW_CLOSE_BUTTON},
        {"unFORCE_QUADRANT_TOPLEFT", CBalloonHelp::unFORCE_QUADRANT_TOPLEFT},
        {"unFORCE_QUADRANT_TOPRIGHT", CBalloonHelp::unFORCE_QUADRANT_TOPRIGHT},
        {"unFORCE_QUADRANT_BOTTOMLEFT", CBalloonHelp::unFORCE_QUADRANT_BOTTOMLEFT},
        {"unFORCE_QUADRANT_BOTTOMRIGHT", CBalloonHelp::unFORCE_QUADRANT_BOTTOMRIGHT},
    };
    unsigned seen = 0;
    for (const OptionCase& option : options) {
        EXPECT_NE(option.value, 0u) << option.label;
        EXPECT_EQ(option.value & (option.value - 1), 0u) << option.label << " is not one bit";
        EXPECT_EQ(seen & option.value, 0u) << option.label << " repeats a bit";
        seen |= option.value;
    }
}

} // namespace
