#include "shortcuts_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_rows.h"
#include "key_codes.h"
#include "utf8.h"

namespace brimlow {
namespace {

using testing::FakeRows;

const std::string kFile = "C:\\x\\data\\shortcuts.ini";

// Fifty distinct lines whose fifth lines are valid states.
std::vector<std::string> ValidLines() {
    std::vector<std::string> lines;
    for (int r = 0; r < kRowCount; ++r) {
        lines.push_back(r % 2 == 0 ? "CTRL" : "PAGE UP");
        lines.push_back(std::string(1, static_cast<char>('A' + r)));
        lines.push_back("C:\\Target " + std::to_string(r) + "\\app.exe");
        lines.push_back(std::to_string(r % 3 + 1) + " - Normal");
        lines.push_back(std::to_string(r % 3));
    }
    return lines;
}

std::string Join(const std::vector<std::string>& lines, const std::string& lineEnd) {
    std::string out;
    for (const auto& line : lines) out += line + lineEnd;
    return out;
}

ShortcutRows ParseOk(std::string_view bytes) {
    ParsedShortcuts parsed = ParseShortcuts(bytes, kFile);
    if (auto* error = std::get_if<Error>(&parsed)) {
        ADD_FAILURE() << error->number << " " << error->description;
        return {};
    }
    return std::get<ShortcutRows>(parsed);
}

Error ParseError(std::string_view bytes) {
    ParsedShortcuts parsed = ParseShortcuts(bytes, kFile);
    if (!std::holds_alternative<Error>(parsed)) {
        ADD_FAILURE() << "the file was accepted";
        return {};
    }
    return std::get<Error>(parsed);
}

// --- Round trips and the written format ---------------------------------

TEST(ShortcutsFileFormat, WritesFiveLinesPerRowEachEndingInCrLf) {
    ShortcutRows rows{};
    for (auto& row : rows) row = {"CTRL", "N", "C:\\Windows\\Notepad.exe", "1 - Normal", kActiveOn};
    rows[9] = {"DELETE", "Z", "", "3 - Maximized", kActiveDimmed};
    const std::string text = FormatShortcuts(rows);

    const std::string defaultRow = "CTRL\r\nN\r\nC:\\Windows\\Notepad.exe\r\n1 - Normal\r\n1\r\n";
    std::string expected;
    for (int r = 0; r < 9; ++r) expected += defaultRow;
    expected += "DELETE\r\nZ\r\n\r\n3 - Maximized\r\n2\r\n";
    EXPECT_EQ(text, expected);
}

TEST(ShortcutsFileFormat, SavedFileLoadsIntoTheSameRowsAndSavesAgainByteForByte) {
    const std::string original = Join(ValidLines(), "\r\n");
    const ShortcutRows rows = ParseOk(original);
    const std::string saved = FormatShortcuts(rows);
    EXPECT_EQ(saved, original);
    EXPECT_EQ(ParseOk(saved), rows);
}

TEST(ShortcutsFileFormat, KeepsSpacesOddWindowStatesAndHighBytesExactly) {
    auto lines = ValidLines();
    lines[0] = " CTRL";                       // not trimmed, so it resolves to nothing later
    lines[2] = "C:\\Program Files\\\xE9t\xE9\\a b.exe  ";  // ANSI bytes and trailing spaces
    lines[3] = "";                            // an emptied window-state box
    lines[8] = "Fullscreen please";           // typed text that is no list item
    lines[13] = "\t";
    lines[16] = "a\rb";                       // a lone CR is text, not a line end
    const ShortcutRows rows = ParseOk(Join(lines, "\r\n"));
    EXPECT_EQ(rows[0].firstKey, " CTRL");
    EXPECT_EQ(rows[0].path, "C:\\Program Files\\\xE9t\xE9\\a b.exe  ");
    EXPECT_EQ(rows[0].windowState, "");
    EXPECT_EQ(rows[1].windowState, "Fullscreen please");
    EXPECT_EQ(rows[2].windowState, "\t");
    EXPECT_EQ(rows[3].letter, "a\rb");
    EXPECT_EQ(FormatShortcuts(rows), Join(lines, "\r\n"));
}

// --- What the reader accepts --------------------------------------------

TEST(ShortcutsFileReading, IgnoresLinesAfterTheFiftiethAndTheNextSaveDropsThem) {
    const std::string fifty = Join(ValidLines(), "\r\n");
    static const char kTail[] = "extra\r\nnot a number\r\n\0\r\nno line end";
    const std::string tail(kTail, sizeof kTail - 1);
    const std::string longer = fifty + tail;
    ASSERT_NE(longer.find('\0'), std::string::npos);
    const ShortcutRows rows = ParseOk(longer);
    EXPECT_EQ(FormatShortcuts(rows), fifty);
}

TEST(ShortcutsFileReading, AcceptsLoneLfAndMixedLineEnds) {
    const auto lines = ValidLines();
    const ShortcutRows expected = ParseOk(Join(lines, "\r\n"));
    EXPECT_EQ(ParseOk(Join(lines, "\n")), expected);

    std::string mixed;
    for (std::size_t i = 0; i < lines.size(); ++i) mixed += lines[i] + (i % 2 == 0 ? "\n" : "\r\n");
    EXPECT_EQ(ParseOk(mixed), expected);
}

TEST(ShortcutsFileReading, AcceptsALastLineWithoutLineEnd) {
    std::string text = Join(ValidLines(), "\r\n");
    text.resize(text.size() - 2);
    EXPECT_EQ(FormatShortcuts(ParseOk(text)), Join(ValidLines(), "\r\n"));
}

TEST(ShortcutsFileReading, ActiveLineMayHaveBlanksSignAndLeadingZeros) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"0", 0}, {"1", 1}, {"2", 2}, {" 1 ", 1}, {"\t2\t", 2}, {"+1", 1}, {"-0", 0}, {"002", 2}};
    for (const auto& [line, state] : cases) {
        auto lines = ValidLines();
        lines[49] = line;
        EXPECT_EQ(ParseOk(Join(lines, "\r\n"))[9].active, state) << '"' << line << '"';
    }
}

// --- What the reader refuses, before any row changes ------------------

TEST(ShortcutsFileErrors, ShortFileNamesTheFileAndTheFirstMissingLine) {
    auto lines = ValidLines();
    lines.pop_back();
    const Error error = ParseError(Join(lines, "\r\n"));
    EXPECT_EQ(error.number, error_number::kInputPastEnd);
    EXPECT_EQ(error.description,
              "C:\\x\\data\\shortcuts.ini, line 50: the file ends here; a shortcuts file has 50 lines.");

    const Error empty = ParseError("");
    EXPECT_EQ(empty.number, error_number::kInputPastEnd);
    EXPECT_NE(empty.description.find(", line 1:"), std::string::npos);
}

TEST(ShortcutsFileErrors, FortyNineLinesChangeNoRowAndRaiseNoLetterChange) {
    FakeRows rows;
    rows.Set(9, "UP", "Q", "C:\\old.exe", "2 - Minimized", kActiveOff);
    int letterChanges = 0;
    rows.onLetterChange = [&](int) { ++letterChanges; };
    const ShortcutRows before = ReadRows(rows);

    auto lines = ValidLines();
    lines.pop_back();
    const Status status = ApplyShortcutsFile(rows, Join(lines, "\r\n"), kFile, {});

    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->number, error_number::kInputPastEnd);
    EXPECT_EQ(ReadRows(rows), before);
    EXPECT_EQ(letterChanges, 0);
}

TEST(ShortcutsFileErrors, BadActiveLinesAreRefusedWithNumberAndLine) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"", error_number::kTypeMismatch},     {"x", error_number::kTypeMismatch},
        {"1.5", error_number::kTypeMismatch},  {"1e0", error_number::kTypeMismatch},
        {"0x1", error_number::kTypeMismatch},  {"+", error_number::kTypeMismatch},
        {"1 1", error_number::kTypeMismatch},  {"\xA0" "1", error_number::kTypeMismatch},
        {"3", error_number::kInvalidValue},    {"-1", error_number::kInvalidValue},
        {"99999999999999999999", error_number::kInvalidValue},
    };
    for (const auto& [line, number] : cases) {
        auto lines = ValidLines();
        lines[24] = line;  // row 4's Active line
        const Error error = ParseError(Join(lines, "\r\n"));
        EXPECT_EQ(error.number, number) << '"' << line << '"';
        EXPECT_EQ(error.description.rfind(kFile + ", line 25: ", 0), 0u) << error.description;
    }
}

TEST(ShortcutsFileErrors, ABadLineLateInTheFileStillChangesNoRow) {
    FakeRows rows;
    const ShortcutRows before = ReadRows(rows);
    auto lines = ValidLines();
    lines[49] = "3";
    const Status status = ApplyShortcutsFile(rows, Join(lines, "\r\n"), kFile, {});
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->number, error_number::kInvalidValue);
    EXPECT_EQ(ReadRows(rows), before);
}

TEST(ShortcutsFileErrors, ALineWithANulByteIsRefusedRatherThanCut) {
    auto lines = ValidLines();
    lines[12] = std::string("C:\\a\0b.exe", 10);
    const Error error = ParseError(Join(lines, "\r\n"));
    EXPECT_EQ(error.number, error_number::kInvalidValue);
    EXPECT_NE(error.description.find(", line 13: "), std::string::npos);
    EXPECT_NE(error.description.find("NUL"), std::string::npos);
}

// --- UTF-8 and the legacy code page --------------------------------------

// Stands in for code page 1252 (Latin-1 here), and for the one double-byte
// pair 95 5C of code page 932; 81 maps to nothing. Counts its calls, so a
// test sees whether the file was taken as UTF-8.
struct FakeLegacy {
    int calls = 0;
    LegacyCodePage CodePage() {
        return {1252, [this](std::string_view line) -> std::optional<std::string> {
                    ++calls;
                    std::string utf8;
                    for (std::size_t i = 0; i < line.size(); ++i) {
                        const auto byte = static_cast<unsigned char>(line[i]);
                        if (byte == 0x81) return std::nullopt;
                        if (byte == 0x95 && i + 1 < line.size() && line[i + 1] == '\\') {
                            utf8 += "\xE8\xA1\xA8";  // 表
                            ++i;
                        } else if (byte < 0x80) {
                            utf8 += static_cast<char>(byte);
                        } else {
                            utf8 += static_cast<char>(0xC0 | (byte >> 6));
                            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
                        }
                    }
                    return utf8;
                }};
    }
};

const std::string kUtf8Path = "C:\\users\\\xC5\x81ukasz \xCE\xA9\\\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x9A\x80\\a.exe";

TEST(ShortcutsFileEncoding, AUtf8FileIsTakenAsItIsWithOrWithoutTheMarkAndWrittenWithout) {
    auto lines = ValidLines();
    lines[2] = kUtf8Path;
    lines[6] = "\xC3\xA9";
    // Past the fiftieth line nothing is read, so it decides nothing.
    const std::string file = Join(lines, "\r\n");
    FakeLegacy legacy;
    for (const std::string& bytes : {file, std::string(kUtf8Bom) + file, file + "\xE9 tail"}) {
        const ParsedShortcuts parsed = ParseShortcuts(bytes, kFile, legacy.CodePage());
        ASSERT_TRUE(std::holds_alternative<ShortcutRows>(parsed));
        const auto& rows = std::get<ShortcutRows>(parsed);
        EXPECT_EQ(rows[0].path, kUtf8Path);
        EXPECT_EQ(rows[1].letter, "\xC3\xA9");
        EXPECT_EQ(rows[0].firstKey, "CTRL") << "the mark is no part of the first key";
        EXPECT_EQ(FormatShortcuts(rows), file);
    }
    EXPECT_EQ(legacy.calls, 0);

    // A first key that begins with U+FEFF keeps it across a save and a load.
    lines[0] = std::string(kUtf8Bom) + "CTRL";
    const ShortcutRows marked = ParseOk(std::string(kUtf8Bom) + Join(lines, "\r\n"));
    EXPECT_EQ(marked[0].firstKey, lines[0]);
    EXPECT_EQ(ParseOk(FormatShortcuts(marked)), marked);
}

TEST(ShortcutsFileEncoding, AnOldTableIsDecodedLineByLineAndWrittenBackAsUtf8) {
    auto lines = ValidLines();
    lines[2] = "C:\\Users\\Jos\xE9\\Documents\\Liste \xE0 faire.txt";
    // A double-byte character whose second byte is a backslash stays whole:
    // the line reaches the code page in one piece.
    lines[7] = "C:\\\x95\\\\b.exe";
    FakeLegacy legacy;
    const ParsedShortcuts parsed = ParseShortcuts(Join(lines, "\r\n"), kFile, legacy.CodePage());
    ASSERT_TRUE(std::holds_alternative<ShortcutRows>(parsed));
    const auto& rows = std::get<ShortcutRows>(parsed);
    EXPECT_EQ(rows[0].path, "C:\\Users\\Jos\xC3\xA9\\Documents\\Liste \xC3\xA0 faire.txt");
    EXPECT_EQ(rows[1].path, "C:\\\xE8\xA1\xA8\\b.exe");
    EXPECT_EQ(legacy.calls, kShortcutsFileLines);
    lines[2] = rows[0].path;
    lines[7] = rows[1].path;
    EXPECT_EQ(FormatShortcuts(rows), Join(lines, "\r\n"));
}

TEST(ShortcutsFileEncoding, ALineNeitherUtf8NorInTheCodePageIsAnErrorNamingIt) {
    auto lines = ValidLines();
    lines[22] = "C:\\\xE9\x81.exe";
    FakeLegacy legacy;
    ParsedShortcuts parsed = ParseShortcuts(Join(lines, "\r\n"), kFile, legacy.CodePage());
    ASSERT_TRUE(std::holds_alternative<Error>(parsed));
    EXPECT_EQ(std::get<Error>(parsed).number, error_number::kInvalidValue);
    EXPECT_EQ(std::get<Error>(parsed).description,
              kFile + ", line 23: the line is neither UTF-8 nor text in this system's code page (1252).");

    // The UTF-8 mark promises UTF-8, so such a file is not guessed at.
    lines[22] = "C:\\\xE9.exe";
    parsed = ParseShortcuts(std::string(kUtf8Bom) + Join(lines, "\r\n"), kFile, legacy.CodePage());
    ASSERT_TRUE(std::holds_alternative<Error>(parsed));
    EXPECT_NE(std::get<Error>(parsed).description.find(", line 23: "), std::string::npos);
    EXPECT_NE(std::get<Error>(parsed).description.find("UTF-8 mark"), std::string::npos);
}

// --- Rows in and out of the controls -----------------------------------

// Logs every write, so the order the letter box's change event relies on
// is visible.
class RecordingRows final : public RowControls {
public:
    std::string Text(Box box, int row) const override { return texts[row][static_cast<int>(box)]; }
    void SetText(Box box, int row, const std::string& text) override {
        texts[row][static_cast<int>(box)] = text;
        log.push_back(std::to_string(row) + ":" + std::to_string(static_cast<int>(box)) + "=" + text);
    }
    int Active(int row) const override { return active[row]; }
    void SetActive(int row, int state) override {
        active[row] = state;
        log.push_back(std::to_string(row) + ":active=" + std::to_string(state));
    }
    std::string texts[kRowCount][4];
    int active[kRowCount] = {};
    std::vector<std::string> log;
};

TEST(ShortcutsRows, ApplyWritesEachRowFirstKeyLetterPathStateActiveInRowOrder) {
    const ShortcutRows rows = ParseOk(Join(ValidLines(), "\r\n"));
    RecordingRows controls;
    ApplyRows(controls, rows);

    std::vector<std::string> expected;
    for (int r = 0; r < kRowCount; ++r) {
        const auto& row = rows[static_cast<std::size_t>(r)];
        const std::string prefix = std::to_string(r) + ":";
        expected.push_back(prefix + "0=" + row.firstKey);
        expected.push_back(prefix + "1=" + row.letter);
        expected.push_back(prefix + "2=" + row.path);
        expected.push_back(prefix + "3=" + row.windowState);
        expected.push_back(prefix + "active=" + std::to_string(row.active));
    }
    EXPECT_EQ(controls.log, expected);
}

TEST(ShortcutsRows, LetterChangeDuringALoadSeesTheRowsNewFirstKey) {
    FakeRows controls;
    const ShortcutRows rows = ParseOk(Join(ValidLines(), "\r\n"));
    std::vector<int> changedRows;
    controls.onLetterChange = [&](int row) {
        changedRows.push_back(row);
        EXPECT_EQ(controls.Text(Box::FirstKey, row), rows[static_cast<std::size_t>(row)].firstKey);
        EXPECT_EQ(controls.Text(Box::Letter, row), rows[static_cast<std::size_t>(row)].letter);
    };
    ASSERT_FALSE(ApplyShortcutsFile(controls, Join(ValidLines(), "\r\n"), kFile, {}).has_value());
    EXPECT_EQ(changedRows, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(ReadRows(controls), rows);
}

// --- File > Open ----------------------------------------------------------

// Open copies the chosen file whole and applies the rows it parsed; a file
// that would not load, or a copy that fails, changes neither the shortcuts
// file nor a row nor a key code.
TEST(OpenShortcutsFile, CopiesTheWholeFileAppliesTheParsedRowsAndResolvesOrChangesNothing) {
    std::vector<std::string> lines = ValidLines();
    lines.push_back("a fifty-first line, kept by the copy");
    const std::string chosen = Join(lines, "\r\n") + "no line end at the end";
    const auto open = [&](std::string_view bytes, FakeRows& controls, KeyCodes& codes, Status replaceResult,
                          std::vector<std::string>& replaced) {
        return OpenShortcutsFile(controls, codes, bytes, "C:\\chosen.ini", {}, [&](std::string_view content) {
            replaced.emplace_back(content);
            return replaceResult;
        });
    };

    {
        FakeRows controls;
        KeyCodes codes;
        std::vector<std::string> replaced;
        ASSERT_FALSE(open(chosen, controls, codes, std::nullopt, replaced).has_value());
        EXPECT_EQ(replaced, std::vector<std::string>{chosen}) << "copied once, byte for byte, past line 50";
        EXPECT_EQ(ReadRows(controls), ParseOk(chosen));
        EXPECT_EQ(codes.first[1], 33) << "PAGE UP";
        EXPECT_EQ(codes.second[1], 'B');
        EXPECT_EQ(codes.first[10], 0);
    }
    const struct {
        const char* what;
        std::string bytes;
        Status replaceResult;
        std::size_t replaces;
    } refused[] = {
        {"49 lines", Join(std::vector<std::string>(lines.begin(), lines.begin() + 49), "\r\n"), std::nullopt, 0},
        {"a bad Active line", Join(ValidLines(), "\r\n").replace(0, 0, "CTRL\r\nN\r\nx\r\n1 - Normal\r\nyes\r\n"),
         std::nullopt, 0},
        {"a failed copy", chosen, Error{error_number::kDiskFull, "Cannot save C:\\data\\shortcuts.ini: full."}, 1},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.what);
        FakeRows controls;
        KeyCodes codes;
        std::vector<std::string> replaced;
        const ShortcutRows before = ReadRows(controls);
        EXPECT_TRUE(open(c.bytes, controls, codes, c.replaceResult, replaced).has_value());
        EXPECT_EQ(replaced.size(), c.replaces);
        EXPECT_EQ(ReadRows(controls), before);
        EXPECT_EQ(codes.first, KeyCodes{}.first);
        EXPECT_EQ(codes.second, KeyCodes{}.second);
    }
}

}  // namespace
}  // namespace brimlow
