#include "reg_value.h"

#include <gtest/gtest.h>

#include "../reg_value_printer.h"

#include <cstdlib>
#include <limits>
#include <string>

namespace brimlow {
namespace {

using namespace std::string_literals;

TEST(RegValue, ANumberNeverEqualsAText) {
    EXPECT_EQ(RegValue("C:\\A\\Program.exe"s), "C:\\A\\Program.exe");
    EXPECT_NE(RegValue("C:\\A\\Program.exe"s), "c:\\a\\program.exe");
    EXPECT_NE(RegValue(std::int32_t{123}), "123");
    EXPECT_NE(RegValue(std::int32_t{0}), "");
    EXPECT_EQ(RegValue(), "");
    EXPECT_EQ(RegValue(std::int32_t{7}).Number(), 7);
    EXPECT_FALSE(RegValue(std::int32_t{7}).Text());
    EXPECT_FALSE(RegValue("7"s).Number());
}

TEST(TextFromRegSz, StopsAtTheFirstNulOrTakesEverythingWithoutOne) {
    EXPECT_EQ(TextFromRegSz("abc\0"s), "abc");
    EXPECT_EQ(TextFromRegSz("ab\0cd\0"s), "ab");
    EXPECT_EQ(TextFromRegSz("abc"), "abc");
    EXPECT_EQ(TextFromRegSz("\0abc"s), "");
    EXPECT_EQ(TextFromRegSz(""), "");
}

TEST(RoundToInt32, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundToInt32(2.5), 2);
    EXPECT_EQ(RoundToInt32(3.5), 4);
    EXPECT_EQ(RoundToInt32(-2.5), -2);
    EXPECT_EQ(RoundToInt32(-3.5), -4);
    EXPECT_EQ(RoundToInt32(0.5), 0);
    EXPECT_EQ(RoundToInt32(2.4999), 2);
    EXPECT_EQ(RoundToInt32(2.5001), 3);
    EXPECT_EQ(RoundToInt32(-0.4), 0);
}

TEST(RoundToInt32, RefusesWhatDoesNotFitThirtyTwoBits) {
    EXPECT_EQ(RoundToInt32(2147483647.0), 2147483647);
    EXPECT_EQ(RoundToInt32(-2147483648.0), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(RoundToInt32(2147483647.4), 2147483647);
    EXPECT_FALSE(RoundToInt32(2147483647.5));  // even neighbour is 2^31
    EXPECT_EQ(RoundToInt32(-2147483648.5), std::numeric_limits<std::int32_t>::min());
    EXPECT_FALSE(RoundToInt32(-2147483649.0));
    EXPECT_FALSE(RoundToInt32(4294967295.0));
    EXPECT_FALSE(RoundToInt32(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(RoundToInt32(std::numeric_limits<double>::quiet_NaN()));
}

// The number a parse gave, read back through the C library for comparison.
std::optional<double> Parsed(std::string_view text) {
    const auto number = ParseDecimalNumber(text);
    if (!number) return std::nullopt;
    const std::string written = (number->negative ? "-0" : "0") + number->digits + "e" + std::to_string(number->exponent);
    return std::strtod(written.c_str(), nullptr);
}

TEST(ParseDecimalNumber, TakesWholeDecimalNumbersWithSpacesAround) {
    EXPECT_EQ(Parsed("123"), 123.0);
    EXPECT_EQ(Parsed(" 123 "), 123.0);
    EXPECT_EQ(Parsed("-7"), -7.0);
    EXPECT_EQ(Parsed("+7"), 7.0);
    EXPECT_EQ(Parsed("2.5"), 2.5);
    EXPECT_EQ(Parsed(".5"), 0.5);
    EXPECT_EQ(Parsed("5."), 5.0);
    EXPECT_EQ(Parsed("1e3"), 1000.0);
    EXPECT_EQ(Parsed("1.5E-1"), 0.15);
    EXPECT_EQ(Parsed("0012"), 12.0);
}

// Rounded from the digits as written, where a binary fraction would have
// moved the number across a half.
TEST(RoundToInt32, ADecimalNumberIsRoundedFromItsOwnDigits) {
    const auto rounded = [](std::string_view text) { return RoundToInt32(*ParseDecimalNumber(text)); };
    EXPECT_EQ(rounded("2.50000000000000000001"), 3);
    EXPECT_EQ(rounded("2147483647.49999999999999"), 2147483647);
    EXPECT_EQ(rounded("-2147483648.5"), std::numeric_limits<std::int32_t>::min());
    EXPECT_FALSE(rounded("2147483647.5"));
    EXPECT_EQ(rounded("0e99999999999999999999"), 0);
    EXPECT_EQ(rounded("25e-1"), 2);
    EXPECT_EQ(rounded("0.049"), 0);
    EXPECT_EQ(rounded("-0.5"), 0);
    EXPECT_EQ(rounded("1000000000000000000000e-20"), 10);
    EXPECT_FALSE(rounded("1e99999999999999999999"));
}

TEST(ParseDecimalNumber, RefusesEverythingElse) {
    for (const char* text : {"", " ", "12a", "a12", "1 2", "0x1A", "&H1A", "inf", "nan", "1,000", "--1", "+", ".",
                             "e3", "1e", "1e+", "\t12", "12\t", "C:\\Program.exe"}) {
        EXPECT_FALSE(ParseDecimalNumber(text)) << '"' << text << '"';
    }
    EXPECT_FALSE(ParseDecimalNumber("12\0"s));
}

TEST(RegDataFor, NumericTextIsWrittenAsADword) {
    const auto data = RegDataFor(" 123 ");
    ASSERT_TRUE(data);
    EXPECT_EQ(data->type, kRegDword);
    EXPECT_EQ(data->number, 123);
    EXPECT_EQ(RegDataFor("2.5")->number, 2);
    EXPECT_EQ(RegDataFor("3.5")->number, 4);
    EXPECT_EQ(RegDataFor("-2.5")->number, -2);
}

TEST(RegDataFor, NumbersAreRoundedToADword) {
    EXPECT_EQ(RegDataFor(2.5)->number, 2);
    EXPECT_EQ(RegDataFor(3.5)->number, 4);
    EXPECT_EQ(RegDataFor(-2.5)->number, -2);
    EXPECT_EQ(RegDataFor(-1.0)->type, kRegDword);
}

TEST(RegDataFor, ANumberOutsideThirtyTwoBitsIsNotWritten) {
    EXPECT_FALSE(RegDataFor(3e9));
    EXPECT_FALSE(RegDataFor("3000000000"));
    EXPECT_FALSE(RegDataFor("1e400"));
}

TEST(RegDataFor, OtherTextIsTrimmedOfSpacesAndGetsOneNul) {
    const auto data = RegDataFor(" text ");
    ASSERT_TRUE(data);
    EXPECT_EQ(data->type, kRegSz);
    EXPECT_EQ(data->text, "text\0"s);
    EXPECT_EQ(data->text.size(), 5u);

    EXPECT_EQ(RegDataFor("12a")->type, kRegSz);
    EXPECT_EQ(RegDataFor("12a")->text, "12a\0"s);
    EXPECT_EQ(RegDataFor("")->text, "\0"s);
    EXPECT_EQ(RegDataFor("   ")->text, "\0"s);
    // Only spaces are trimmed; a tab belongs to the text.
    EXPECT_EQ(RegDataFor("\tx ")->text, "\tx\0"s);
    EXPECT_EQ(RegDataFor("C:\\My Programs\\Program.exe")->text, "C:\\My Programs\\Program.exe\0"s);
}

TEST(RegDataFor, TheLengthIsTheAnsiByteLength) {
    // Two double-byte characters of code page 932 and a high byte of 1252:
    // each byte counts, not each character.
    const std::string text = "C:\\\x83\x65\x83\x58\x83\x67\\\xE9.exe";
    EXPECT_EQ(RegDataFor(text)->text.size(), text.size() + 1);
}

}  // namespace
}  // namespace brimlow
