#include <z64eveze.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace {

TEST(GetPatchInformation, LeavesTheEmptyStringAndReturnsZero) {
    for (const int size : {16, 1, 1024}) {
        SCOPED_TRACE(size);
        char buffer[1024];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(GetPatchInformation(buffer, size), 0);
        EXPECT_STREQ(buffer, "");
    }
}

TEST(GetPatchInformation, RefusesANullBufferOrANonPositiveSize) {
    EXPECT_EQ(GetPatchInformation(nullptr, 16), EINVAL);
    char buffer[4] = {'a', 'b', 'c', '\0'};
    EXPECT_EQ(GetPatchInformation(buffer, 0), EINVAL);
    EXPECT_EQ(GetPatchInformation(buffer, -5), EINVAL);
    EXPECT_STREQ(buffer, "abc");
}

} // namespace
