#pragma once
// Registry values as the program sees them, and the choices that need no
// registry: what a read of raw text bytes means, and which type and bytes a
// value is written as. The Windows layer (Module3) only moves the bytes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "text.h"

namespace brimlow {

// The two value types the program reads and writes, with the registry's
// numbers; every other type reads as the empty text.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;

// What a read gives: a text, a 32-bit number, or the empty text when there
// is nothing to give (a missing key or value, another type, a failed call).
// An existing empty text and a missing value are deliberately the same.
struct RegValue {
    std::variant<std::string, std::int32_t> data;

    RegValue() = default;
    explicit RegValue(std::string text) : data(std::move(text)) {}
    explicit RegValue(std::int32_t number) : data(number) {}

    bool IsNumber() const { return std::holds_alternative<std::int32_t>(data); }
    // Nothing for a number: callers that want text must not get "123" from a
    // DWORD by accident, since a number never equals a text.
    std::optional<std::string> Text() const;
    std::optional<std::int32_t> Number() const;

    friend bool operator==(const RegValue& a, const RegValue& b) { return a.data == b.data; }
    friend bool operator!=(const RegValue& a, const RegValue& b) { return !(a == b); }
    // Exact, case-sensitive; a number is never equal to any text, even its
    // own digits.
    friend bool operator==(const RegValue& value, std::string_view text) {
        const auto* own = std::get_if<std::string>(&value.data);
        return own != nullptr && *own == text;
    }
    friend bool operator!=(const RegValue& value, std::string_view text) { return !(value == text); }
};

// A REG_SZ value's bytes as text: up to the first NUL, or all of them when the
// value was stored without one.
std::string TextFromRegSz(std::string_view bytes);

// The type and bytes one write stores.
struct RegData {
    std::uint32_t type = kRegSz;
    std::int32_t number = 0;  // for kRegDword
    std::string text;         // for kRegSz: the bytes as stored, ending in one NUL
};

// A text that reads wholly as a decimal number (spaces around it, a sign, a
// fraction and an exponent allowed) is written as a number; anything else as
// the text without its surrounding spaces and with one NUL appended. The text
// is already in the ANSI code page, so its size is the byte length the
// registry is given. Nothing when the number does not fit 32 bits: the write
// is then skipped, like any other failed write.
std::optional<RegData> RegDataFor(std::string_view text);
std::optional<RegData> RegDataFor(double number);

// A decimal number exactly as a text spells it: digits times a power of ten.
struct DecimalNumber {
    bool negative = false;
    std::string digits;         // without leading zeros; empty for zero
    std::int64_t exponent = 0;  // the power of ten of the last digit
};

// The decimal number a whole text spells, spaces around it allowed; nothing
// for any other text (hex, "inf", "nan", thousands separators included).
std::optional<DecimalNumber> ParseDecimalNumber(std::string_view text);

// Rounded to the nearest whole number, a half to the even neighbour; nothing
// when the result lies outside the 32-bit range or the number is not finite.
std::optional<std::int32_t> RoundToInt32(double number);
// The same for a number as written, rounded from its decimal digits
// themselves: no binary fraction comes between, so "2.50000000000000000001"
// is 3 and "2147483647.49999999999999" fits.
std::optional<std::int32_t> RoundToInt32(const DecimalNumber& number);


}  // namespace brimlow
