#include "utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace brimlow {
namespace {

TEST(Utf8, AcceptsEveryWellFormedLengthUpToTheLastCodePoint) {
    for (const std::string text : {"", "plain ASCII \r\n\t~", "Jos\xC3\xA9",  // é
                                   "\xE6\x97\xA5\xE6\x9C\xAC",                // 日本
                                   "\xF0\x9F\x9A\x80",                        // U+1F680
                                   "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80",
                                   "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF"}) {
        EXPECT_TRUE(IsUtf8(text)) << text;
    }
    EXPECT_TRUE(IsUtf8(std::string("a\0b", 3)));
}

TEST(Utf8, RefusesOverlongFormsSurrogatesCodePointsPastTheLastAndCutSequences) {
    for (const std::string text : {
             "\xC0\x80", "\xC1\xBF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF",  // overlong
             "\xED\xA0\x80", "\xED\xBF\xBF",                              // surrogates
             "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF",              // past U+10FFFF
             "\xE6\x97", "abc\xF0\x9F\x9A", "\xC3",                       // cut short
             "\x80", "a\xBF" "b", "\xC3\x28", "\xE6\x97\x28",             // stray or missing continuation
             "Jos\xE9", "\x95\x5C",                                       // code page 1252 and 932 text
         }) {
        EXPECT_FALSE(IsUtf8(text)) << ::testing::PrintToString(text);
    }
}

TEST(Utf8, LengthCountsCharactersNotBytes) {
    EXPECT_EQ(Utf8Length(""), 0u);
    EXPECT_EQ(Utf8Length("C:\\a"), 4u);
    EXPECT_EQ(Utf8Length("\xC5\x81ukasz \xCE\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x9A\x80"), 13u);
}

}  // namespace
}  // namespace brimlow
