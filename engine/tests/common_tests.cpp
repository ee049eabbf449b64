#include "common/error.h"

#include <gtest/gtest.h>

#include <thread>

namespace engine {
namespace {

TEST(StatusTest, CarriesTheStructuredStorageResultValues) {
    EXPECT_EQ(toHresult(Status::docfileCorrupt), static_cast<std::int32_t>(0x80030109u));
    EXPECT_TRUE(succeeded(Status::ok));
    EXPECT_TRUE(succeeded(Status::falseResult));
    EXPECT_TRUE(failed(Status::fileNotFound));
}

TEST(FailureReportTest, KeepsTheMessagePerThread) {
    clearLastFailure();
    EXPECT_EQ(fail(Status::invalidHeader, describe("sector shift ", 13, " is not 9 or 12")),
              Status::invalidHeader);
    EXPECT_EQ(lastFailureMessage(), "sector shift 13 is not 9 or 12");

    std::string seenByOtherThread = "unset";
    std::thread([&] { seenByOtherThread = lastFailureMessage(); }).join();
    EXPECT_EQ(seenByOtherThread, "");
}

Status failsThenStops(int* reached) {
    ENGINE_RETURN_IF_FAILED(Status::readFault);
    *reached = 1;
    return Status::ok;
}

TEST(FailureReportTest, ReturnIfFailedStopsAtTheFirstFailure) {
    int reached = 0;
    EXPECT_EQ(failsThenStops(&reached), Status::readFault);
    EXPECT_EQ(reached, 0);
}

} // namespace
} // namespace engine
