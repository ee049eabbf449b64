// The library's export table holds exactly the documented exports: a missing, misspelt or
// stray name is caught here before any caller trips over it.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace {

// Every named export of z64EVEZE.dll, by family.
const std::vector<std::string> kDocumentedExports = {
    // Application integration
    "GetPatchInformation",
};

std::set<std::string> exportedNames(HMODULE module) {
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    std::set<std::string> names;
    if (directory.VirtualAddress == 0)
        return names;
    const auto* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
    const auto* nameOffsets = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD index = 0; index < exports->NumberOfNames; ++index)
        names.insert(reinterpret_cast<const char*>(base + nameOffsets[index]));
    return names;
}

TEST(ExportTable, HoldsExactlyTheDocumentedNames) {
    HMODULE library = LoadLibraryW(L"z64EVEZE.dll");
    ASSERT_NE(library, nullptr);
    const std::set<std::string> actual = exportedNames(library);
    const std::set<std::string> documented(kDocumentedExports.begin(), kDocumentedExports.end());

    std::vector<std::string> missing, unexpected;
    std::set_difference(documented.begin(), documented.end(), actual.begin(), actual.end(),
                        std::back_inserter(missing));
    std::set_difference(actual.begin(), actual.end(), documented.begin(), documented.end(),
                        std::back_inserter(unexpected));
    EXPECT_TRUE(missing.empty()) << "missing: " << ::testing::PrintToString(missing);
    EXPECT_TRUE(unexpected.empty()) << "not documented: " << ::testing::PrintToString(unexpected);
}

TEST(ExportTable, KeepsTheTestEntryUnnamed) {
    HMODULE library = LoadLibraryW(L"z64EVEZE.dll");
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(GetProcAddress(library, "GetBaseLibraryBridges"), nullptr);
    EXPECT_NE(GetProcAddress(library, MAKEINTRESOURCEA(1000)), nullptr);
}

} // namespace
