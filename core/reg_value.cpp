#include "reg_value.h"

#include <cmath>
#include <limits>

namespace brimlow {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Advances past a run of digits; tells whether there was at least one.
bool SkipDigits(std::string_view text, std::size_t& at) {
    const std::size_t start = at;
    while (at < text.size() && IsDigit(text[at])) ++at;
    return at > start;
}

// A number that does not fit 32 bits is not written.
std::optional<RegData> DwordData(std::optional<std::int32_t> rounded) {
    if (!rounded) return std::nullopt;
    RegData data;
    data.type = kRegDword;
    data.number = *rounded;
    return data;
}

}  // namespace

std::optional<std::string> RegValue::Text() const {
    if (const auto* text = std::get_if<std::string>(&data)) return *text;
    return std::nullopt;
}

std::optional<std::int32_t> RegValue::Number() const {
    if (const auto* number = std::get_if<std::int32_t>(&data)) return *number;
    return std::nullopt;
}

std::string TextFromRegSz(std::string_view bytes) {
    const auto nul = bytes.find('\0');
    return std::string(nul == std::string_view::npos ? bytes : bytes.substr(0, nul));
}

std::optional<DecimalNumber> ParseDecimalNumber(std::string_view text) {
    const std::string_view number = TrimSpaces(text);
    // Read by hand, not with strtod: that would also take hex, "inf", "nan"
    // and leading blanks of other kinds, none of which is a decimal number,
    // and would round the digits to a binary fraction before they are
    // rounded to a whole number.
    DecimalNumber result;
    std::size_t at = 0;
    if (at < number.size() && (number[at] == '+' || number[at] == '-')) result.negative = number[at++] == '-';
    const std::size_t wholeStart = at;
    bool hasDigits = SkipDigits(number, at);
    std::string digits(number.substr(wholeStart, at - wholeStart));
    if (at < number.size() && number[at] == '.') {
        const std::size_t fractionStart = ++at;
        hasDigits = SkipDigits(number, at) || hasDigits;
        digits += number.substr(fractionStart, at - fractionStart);
        result.exponent = -static_cast<std::int64_t>(at - fractionStart);
    }
    if (!hasDigits) return std::nullopt;
    if (at < number.size() && (number[at] == 'e' || number[at] == 'E')) {
        ++at;
        bool negativeExponent = false;
        if (at < number.size() && (number[at] == '+' || number[at] == '-')) negativeExponent = number[at++] == '-';
        const std::size_t exponentStart = at;
        if (!SkipDigits(number, at)) return std::nullopt;
        // Past a billion the number is zero or far outside 32 bits either
        // way; the bound keeps the sum below from overflowing.
        std::int64_t exponent = 0;
        for (std::size_t i = exponentStart; i < at && exponent < 1'000'000'000; ++i) {
            exponent = exponent * 10 + (number[i] - '0');
        }
        result.exponent += negativeExponent ? -exponent : exponent;
    }
    if (at != number.size()) return std::nullopt;
    const std::size_t first = digits.find_first_not_of('0');
    if (first != std::string::npos) result.digits = digits.substr(first);
    return result;
}

std::optional<std::int32_t> RoundToInt32(double number) {
    if (!std::isfinite(number)) return std::nullopt;
    const double floor = std::floor(number);
    const double fraction = number - floor;
    double rounded = floor;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0.0)) rounded = floor + 1.0;
    if (rounded < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(rounded);
}

std::optional<std::int32_t> RoundToInt32(const DecimalNumber& number) {
    if (number.digits.empty()) return 0;
    const std::int64_t length = static_cast<std::int64_t>(number.digits.size());
    const std::int64_t wholeLength = length + number.exponent;
    // Ten digits before the point reach 2^31 at the least; more never fit.
    if (wholeLength > 10) return std::nullopt;
    std::int64_t whole = 0;
    for (std::int64_t i = 0; i < wholeLength; ++i) {
        whole = whole * 10 + (i < length ? number.digits[static_cast<std::size_t>(i)] - '0' : 0);
    }
    // The digits after the point against one half: a first digit above 5, or
    // 5 with anything after it, rounds up; 5 alone is a half, which goes to
    // the even neighbour. A number below one tenth rounds to zero.
    if (wholeLength >= 0 && wholeLength < length) {
        const std::string_view fraction = std::string_view(number.digits).substr(static_cast<std::size_t>(wholeLength));
        const bool aboveHalf = fraction[0] > '5' ||
                               (fraction[0] == '5' && fraction.find_first_not_of('0', 1) != std::string_view::npos);
        const bool half = fraction[0] == '5' && !aboveHalf;
        if (aboveHalf || (half && whole % 2 != 0)) ++whole;
    }
    const std::int64_t value = number.negative ? -whole : whole;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::optional<RegData> RegDataFor(double number) { return DwordData(RoundToInt32(number)); }

std::optional<RegData> RegDataFor(std::string_view text) {
    if (const auto number = ParseDecimalNumber(text)) return DwordData(RoundToInt32(*number));
    RegData data;
    data.type = kRegSz;
    data.text = std::string(TrimSpaces(text));
    data.text.push_back('\0');
    return data;
}

}  // namespace brimlow
