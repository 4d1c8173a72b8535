#include "start_request.h"

#include <gtest/gtest.h>

namespace brimlow {
namespace {

TEST(StartRequestOf, PauseAndResumeInAnyCaseAreRequestsEverythingElseRuns) {
    EXPECT_EQ(StartRequestOf(""), StartRequest::Run);
    EXPECT_EQ(StartRequestOf("/pause"), StartRequest::Pause);
    EXPECT_EQ(StartRequestOf(" \t/PAUSE "), StartRequest::Pause);
    EXPECT_EQ(StartRequestOf("/Resume"), StartRequest::Resume);
    EXPECT_EQ(StartRequestOf("/pause now"), StartRequest::Run);
    EXPECT_EQ(StartRequestOf("pause"), StartRequest::Run);
    EXPECT_EQ(StartRequestOf("/resumed"), StartRequest::Run);
}

}  // namespace
}  // namespace brimlow
