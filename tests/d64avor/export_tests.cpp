// The library's export table holds every entry point callers import, under its decorated
// name.
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

} // namespace
