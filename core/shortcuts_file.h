#pragma once
// The shortcuts file: fifty lines of text, five per row, rows 0 to 9 in
// order, written in UTF-8. This is the one place that knows its format.
// Reading checks the whole file before anything reaches the rows, so a bad
// file never leaves the table half replaced.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "error.h"
#include "row_controls.h"

namespace brimlow {

inline constexpr int kLinesPerRow = 5;
inline constexpr int kShortcutsFileLines = kLinesPerRow * kRowCount;

// One row as the file holds it. The texts are kept byte for byte: no
// trimming, so a space the user typed survives a save and a load.
struct ShortcutRow {
    std::string firstKey;
    std::string letter;
    std::string path;
    std::string windowState;
    int active = kActiveOn;

    bool operator==(const ShortcutRow& other) const {
        return firstKey == other.firstKey && letter == other.letter && path == other.path &&
               windowState == other.windowState && active == other.active;
    }
    bool operator!=(const ShortcutRow& other) const { return !(*this == other); }
};
using ShortcutRows = std::array<ShortcutRow, kRowCount>;

using ParsedShortcuts = std::variant<ShortcutRows, Error>;

// How a file that is not UTF-8 is read: as a table an earlier version wrote
// in the system's legacy ANSI code page. toUtf8 converts one line of that
// code page, or says it cannot (a byte the code page does not map). Without
// toUtf8, the program itself runs in that code page (Windows before the
// UTF-8 code page existed), so its lines are taken as they are.
struct LegacyCodePage {
    int number = 0;
    std::function<std::optional<std::string>(std::string_view line)> toUtf8;
};

// The rows the program ships with: every row as a new window shows it, with
// the Active box cleared. Ctrl+N means "new" in most programs, so a shipped
// table must not start Notepad on it until the user ticks a row.
ShortcutRows ShippedRows();

// Reads the first fifty lines; later lines are ignored. A line ends at CR LF
// or at a lone LF, and the last line may lack its line end. fileName only
// serves the error's description, which names the file and the 1-based line.
// The fifty lines are taken as UTF-8 when they are well-formed UTF-8 (after a
// UTF-8 mark, which is skipped); otherwise each line is decoded from the
// legacy code page. A file that starts with the mark but is not UTF-8, or a
// line the legacy code page cannot map, is an error naming the line.
ParsedShortcuts ParseShortcuts(std::string_view bytes, const std::string& fileName,
                               const LegacyCodePage& legacy = {});

// Exactly fifty lines of UTF-8, each followed by CR LF; the Active state as
// its decimal number. No UTF-8 mark, unless the first line begins with
// U+FEFF, which would otherwise be read back as the mark.
std::string FormatShortcuts(const ShortcutRows& rows);

ShortcutRows ReadRows(const RowControls& controls);

// Writes rows 0 to 9, each as first key, letter, path, window state, Active.
// The letter box's change event resolves the row's key codes from the
// first-key box, so the first key has to be in place before the letter is.
void ApplyRows(RowControls& controls, const ShortcutRows& rows);

// Parses the whole file and only then writes the rows: on an error no row
// changes.
Status ApplyShortcutsFile(RowControls& controls, std::string_view bytes, const std::string& fileName,
                          const LegacyCodePage& legacy);

// File > Open of a chosen file, given its whole bytes. The file is parsed
// and checked first, so a file that would not load changes nothing. Only
// then does replaceShortcutsFile write the very same bytes over the program's
// shortcuts file (atomically, like a save; lines after the fiftieth are
// copied too, and an old file stays in its code page until the next save).
// Then the rows already parsed are applied, without reading the file again,
// and every row's key codes are resolved. A failed replace leaves the rows
// and codes as they were.
Status OpenShortcutsFile(RowControls& controls, KeyCodes& codes, std::string_view chosenBytes,
                         const std::string& chosenName, const LegacyCodePage& legacy,
                         const std::function<Status(std::string_view bytes)>& replaceShortcutsFile);

}  // namespace brimlow
