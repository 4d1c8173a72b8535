#include "shortcuts_file.h"

#include <cstddef>

#include "key_codes.h"
#include "utf8.h"

namespace brimlow {
namespace {

// Splits off one line at a time. A line ends at LF; a CR just before it
// belongs to the line end. A lone CR is text, as the boxes keep it.
class LineReader {
public:
    explicit LineReader(std::string_view bytes) : bytes_(bytes) {}

    bool Next(std::string_view& line) {
        if (pos_ >= bytes_.size()) return false;
        const std::size_t end = bytes_.find('\n', pos_);
        if (end == std::string_view::npos) {
            // The last line may lack its line end.
            line = bytes_.substr(pos_);
            pos_ = bytes_.size();
            return true;
        }
        line = bytes_.substr(pos_, end - pos_);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos_ = end + 1;
        return true;
    }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The line as the error quotes it: short enough for a message box.
std::string Quoted(std::string_view line) {
    constexpr std::size_t kMaxQuoted = 40;
    if (line.size() > kMaxQuoted) return "\"" + std::string(line.substr(0, kMaxQuoted)) + "...\"";
    return "\"" + std::string(line) + "\"";
}

Error LineError(int number, const std::string& fileName, int lineNumber, const std::string& what) {
    return Error{number, fileName + ", line " + std::to_string(lineNumber) + ": " + what};
}

// The Active box's state: a whole decimal number with optional sign and
// blanks around it. Fractions, exponents and other notations are refused
// rather than rounded, so a damaged line is reported instead of guessed at.
std::variant<int, Error> ParseActive(std::string_view line, const std::string& fileName, int lineNumber) {
    std::string_view text = line;
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);

    std::string_view digits = text;
    bool negative = false;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    bool wholeNumber = !digits.empty();
    for (char c : digits) wholeNumber = wholeNumber && IsDigit(c);
    if (!wholeNumber) {
        return LineError(error_number::kTypeMismatch, fileName, lineNumber,
                         Quoted(line) + " is not a whole number; the fifth line of a row holds the state of its "
                                        "Active box (0, 1 or 2).");
    }

    // Anything above the largest state is out of range however long it is,
    // so the value is capped rather than allowed to overflow.
    int value = 0;
    for (char c : digits) {
        value = value * 10 + (c - '0');
        if (value > kActiveDimmed) break;
    }
    if (negative) value = -value;
    if (value != kActiveOff && value != kActiveOn && value != kActiveDimmed) {
        return LineError(error_number::kInvalidValue, fileName, lineNumber,
                         Quoted(text) + " is no state of the Active box; its states are 0, 1 and 2.");
    }
    return value;
}

// The bytes the fifty lines take, line ends included; what follows is never
// read, so it cannot decide how the lines are decoded.
std::string_view UsedBytes(std::string_view bytes) {
    std::size_t end = 0;
    for (int line = 0; line < kShortcutsFileLines; ++line) {
        const std::size_t lineEnd = bytes.find('\n', end);
        if (lineEnd == std::string_view::npos) return bytes;
        end = lineEnd + 1;
    }
    return bytes.substr(0, end);
}

// The number of the first line that is not UTF-8.
int FirstLineNotUtf8(std::string_view text) {
    LineReader reader(text);
    std::string_view line;
    for (int number = 1; reader.Next(line); ++number) {
        if (!IsUtf8(line)) return number;
    }
    return 1;
}

// A table is UTF-8 or else in the legacy code page as a whole: one line of
// each would mean a file no version of the program wrote.
enum class Encoding { Utf8, Legacy };

void AppendLine(std::string& out, std::string_view text) {
    out.append(text);
    out.append("\r\n");
}

}  // namespace

ParsedShortcuts ParseShortcuts(std::string_view bytes, const std::string& fileName, const LegacyCodePage& legacy) {
    std::string_view text = UsedBytes(bytes);
    const bool marked = text.substr(0, kUtf8Bom.size()) == kUtf8Bom;
    if (marked) text.remove_prefix(kUtf8Bom.size());
    Encoding encoding = Encoding::Utf8;
    if (!IsUtf8(text)) {
        // The mark says UTF-8; decoding such a file in another code page
        // would turn the damage into wrong text and save it.
        if (marked) {
            return LineError(error_number::kInvalidValue, fileName, FirstLineNotUtf8(text),
                             "the file begins with the UTF-8 mark, but this line is not UTF-8.");
        }
        if (legacy.toUtf8) encoding = Encoding::Legacy;
    }

    ShortcutRows rows{};
    LineReader reader(text);
    std::string decoded;
    for (int lineIndex = 0; lineIndex < kShortcutsFileLines; ++lineIndex) {
        const int lineNumber = lineIndex + 1;
        std::string_view line;
        if (!reader.Next(line)) {
            return LineError(error_number::kInputPastEnd, fileName, lineNumber,
                             "the file ends here; a shortcuts file has " + std::to_string(kShortcutsFileLines) +
                                 " lines.");
        }
        // A text box ends its text at the first NUL, so loading such a line
        // would quietly drop the rest of it; say so instead.
        if (line.find('\0') != std::string_view::npos) {
            return LineError(error_number::kInvalidValue, fileName, lineNumber,
                             "the line holds a NUL byte, which the row's boxes cannot keep.");
        }
        // Line ends are plain LF in every ANSI code page: no double-byte
        // character has 0A as its second byte, so splitting before decoding
        // never cuts a character.
        if (encoding == Encoding::Legacy) {
            std::optional<std::string> converted = legacy.toUtf8(line);
            if (!converted) {
                return LineError(error_number::kInvalidValue, fileName, lineNumber,
                                 "the line is neither UTF-8 nor text in this system's code page (" +
                                     std::to_string(legacy.number) + ").");
            }
            decoded = std::move(*converted);
            line = decoded;
        }

        ShortcutRow& row = rows[static_cast<std::size_t>(lineIndex / kLinesPerRow)];
        switch (lineIndex % kLinesPerRow) {
            case 0: row.firstKey = std::string(line); break;
            case 1: row.letter = std::string(line); break;
            case 2: row.path = std::string(line); break;
            case 3: row.windowState = std::string(line); break;
            default: {
                auto active = ParseActive(line, fileName, lineNumber);
                if (auto* error = std::get_if<Error>(&active)) return *error;
                row.active = std::get<int>(active);
                break;
            }
        }
    }
    return rows;
}

std::string FormatShortcuts(const ShortcutRows& rows) {
    std::string out;
    // The file has no UTF-8 mark, except before a first key that itself
    // begins with U+FEFF: read back, that would be taken for the mark and
    // skipped, and the key would lose it.
    if (rows[0].firstKey.compare(0, kUtf8Bom.size(), kUtf8Bom) == 0) out.append(kUtf8Bom);
    for (const ShortcutRow& row : rows) {
        AppendLine(out, row.firstKey);
        AppendLine(out, row.letter);
        AppendLine(out, row.path);
        AppendLine(out, row.windowState);
        AppendLine(out, std::to_string(row.active));
    }
    return out;
}

ShortcutRows ReadRows(const RowControls& controls) {
    ShortcutRows rows{};
    for (int r = 0; r < kRowCount; ++r) {
        ShortcutRow& row = rows[static_cast<std::size_t>(r)];
        row.firstKey = controls.Text(Box::FirstKey, r);
        row.letter = controls.Text(Box::Letter, r);
        row.path = controls.Text(Box::Path, r);
        row.windowState = controls.Text(Box::WindowState, r);
        row.active = controls.Active(r);
    }
    return rows;
}

void ApplyRows(RowControls& controls, const ShortcutRows& rows) {
    for (int r = 0; r < kRowCount; ++r) {
        const ShortcutRow& row = rows[static_cast<std::size_t>(r)];
        controls.SetText(Box::FirstKey, r, row.firstKey);
        controls.SetText(Box::Letter, r, row.letter);
        controls.SetText(Box::Path, r, row.path);
        controls.SetText(Box::WindowState, r, row.windowState);
        controls.SetActive(r, row.active);
    }
}

Status ApplyShortcutsFile(RowControls& controls, std::string_view bytes, const std::string& fileName,
                          const LegacyCodePage& legacy) {
    ParsedShortcuts parsed = ParseShortcuts(bytes, fileName, legacy);
    if (auto* error = std::get_if<Error>(&parsed)) return *error;
    ApplyRows(controls, std::get<ShortcutRows>(parsed));
    return std::nullopt;
}

Status OpenShortcutsFile(RowControls& controls, KeyCodes& codes, std::string_view chosenBytes,
                         const std::string& chosenName, const LegacyCodePage& legacy,
                         const std::function<Status(std::string_view bytes)>& replaceShortcutsFile) {
    ParsedShortcuts parsed = ParseShortcuts(chosenBytes, chosenName, legacy);
    if (auto* error = std::get_if<Error>(&parsed)) return *error;
    if (Status failed = replaceShortcutsFile(chosenBytes)) return failed;
    ApplyRows(controls, std::get<ShortcutRows>(parsed));
    ResolveKeyCodes(controls, codes);
    return std::nullopt;
}

ShortcutRows ShippedRows() {
    ShortcutRows rows;
    rows.fill(ShortcutRow{kInitialFirstKey, kInitialLetter, kInitialPath, kInitialWindowState, kActiveOff});
    return rows;
}

}  // namespace brimlow
