#include "reg_value.h"

#include <cmath>
#include <cstdlib>
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

std::optional<double> ParseDecimalNumber(std::string_view text) {
    const std::string_view number = TrimSpaces(text);
    // Checked by hand first: strtod alone would also take hex, "inf", "nan"
    // and leading blanks of other kinds, none of which is a decimal number.
    std::size_t at = 0;
    if (at < number.size() && (number[at] == '+' || number[at] == '-')) ++at;
    bool hasDigits = SkipDigits(number, at);
    if (at < number.size() && number[at] == '.') {
        ++at;
        hasDigits = SkipDigits(number, at) || hasDigits;
    }
    if (!hasDigits) return std::nullopt;
    if (at < number.size() && (number[at] == 'e' || number[at] == 'E')) {
        ++at;
        if (at < number.size() && (number[at] == '+' || number[at] == '-')) ++at;
        if (!SkipDigits(number, at)) return std::nullopt;
    }
    if (at != number.size()) return std::nullopt;
    // The program never changes the C locale, so the decimal point is '.'.
    // Too large a number comes back infinite and is refused by the rounding.
    const std::string copy(number);
    return std::strtod(copy.c_str(), nullptr);
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

std::optional<RegData> RegDataFor(double number) {
    const auto rounded = RoundToInt32(number);
    if (!rounded) return std::nullopt;
    RegData data;
    data.type = kRegDword;
    data.number = *rounded;
    return data;
}

std::optional<RegData> RegDataFor(std::string_view text) {
    if (const auto number = ParseDecimalNumber(text)) return RegDataFor(*number);
    RegData data;
    data.type = kRegSz;
    data.text = std::string(TrimSpaces(text));
    data.text.push_back('\0');
    return data;
}

}  // namespace brimlow
