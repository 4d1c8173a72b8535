#pragma once
// A text assertion for EXPECT_TRUE and ASSERT_TRUE, whose failure shows the
// whole text and what it lacks, and the running test's name.

#include <gtest/gtest.h>

#include <string>

namespace brimlow::testing {

inline ::testing::AssertionResult Includes(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << text << "\" lacks \"" << part << "\"";
}

// The running test's name, for folders and files named after it.
inline std::string CurrentTestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

}  // namespace brimlow::testing
