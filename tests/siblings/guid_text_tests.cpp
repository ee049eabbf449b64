#include <x64Quorpb32.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr GUID kSummaryInformation = {
    0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9}};
constexpr GUID kAllBitsSet = {
    0xFFFFFFFF, 0xFFFF, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
constexpr GUID kDistinctBytes = {
    0x01234567, 0x89AB, 0xCDEF, {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE}};

TEST(GuidText, WritesTheRegistryFormAndReadsItBackInEitherCaseWithOrWithoutBraces) {
    char text[1024];
    std::memset(text, 'x', sizeof text);
    EXPECT_TRUE(GUIDToString(&kSummaryInformation, text));
    EXPECT_STREQ(text, "{F29F85E0-4FF9-1068-AB91-08002B27B3D9}");
    for (const GUID& id : {kSummaryInformation, kAllBitsSet, kDistinctBytes, GUID{}}) {
        ASSERT_TRUE(GUIDToString(&id, text));
        GUID parsed = kAllBitsSet;
        EXPECT_TRUE(StringToGUID(text, &parsed) && IsEqualGUID(parsed, id)) << text;
    }
    for (const char* other :
         {"{f29f85e0-4ff9-1068-ab91-08002b27b3d9}", "F29F85E0-4FF9-1068-AB91-08002B27B3D9"}) {
        GUID parsed{};
        EXPECT_TRUE(StringToGUID(other, &parsed) && IsEqualGUID(parsed, kSummaryInformation))
            << other;
    }
}

TEST(GuidText, MalformedTextsAndNullArgumentsAreRefused) {
    // clang-format off
    const struct { const char* label; const char* text; } cases[] = {
        {"null", nullptr},
        {"empty", ""},
        {"missing closing brace", "{F29F85E0-4FF9-1068-AB91-08002B27B3D9"},
        {"missing opening brace", "F29F85E0-4FF9-1068-AB91-08002B27B3D9}"},
        {"trailing character", "{F29F85E0-4FF9-1068-AB91-08002B27B3D9}x"},
        {"leading space", " {F29F85E0-4FF9-1068-AB91-08002B27B3D9}"},
        {"not a hex digit", "{F29F85E0-4FF9-1068-AB91-08002B27B3DG}"},
        {"hyphen moved", "{F29F85E04-FF9-1068-AB91-08002B27B3D9}"},
        {"sign inside a field", "{+29F85E0-4FF9-1068-AB91-08002B27B3D9}"},
        {"one digit short", "{F29F85E0-4FF9-1068-AB91-08002B27B3D}"},
        {"parentheses", "(F29F85E0-4FF9-1068-AB91-08002B27B3D9)"},
    };
    // clang-format on
    for (const auto& row : cases) {
        GUID parsed = kAllBitsSet;
        EXPECT_FALSE(StringToGUID(row.text, &parsed)) << row.label;
        EXPECT_TRUE(IsEqualGUID(parsed, GUID{})) << row.label;
    }
    EXPECT_FALSE(StringToGUID("{F29F85E0-4FF9-1068-AB91-08002B27B3D9}", nullptr));
    EXPECT_FALSE(GUIDToString(&kSummaryInformation, nullptr));
    char text[8] = "unset";
    EXPECT_FALSE(GUIDToString(nullptr, text));
    EXPECT_STREQ(text, "");
}

} // namespace
