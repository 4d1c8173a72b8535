#pragma once
// Shortcuts files as the tests write and expect them, built here rather than
// by the program's own writer, so a test that compares the program's file
// with one of these compares two independent writers.

#include <string>
#include <vector>

namespace brimlow::testing {

// One row: the five lines it takes in the file.
struct Row {
    std::string firstKey = "CTRL";
    std::string letter = "N";
    std::string path;
    std::string windowState = "1 - Normal";
    std::string active = "0";
};

// The row that fills every row a test does not name: inactive, on keys no
// test presses.
inline Row FillerRow() { return Row{"UP", "Q", "", "1 - Normal", "0"}; }

// The rows given, then filler rows up to ten.
inline std::vector<Row> TenRows(std::vector<Row> rows) {
    rows.resize(10, FillerRow());
    return rows;
}

// The fifty lines of a shortcuts file, with CR LF after each.
inline std::string ShortcutsFile(const std::vector<Row>& rows) {
    std::string bytes;
    for (const Row& row : TenRows(rows)) {
        for (const std::string* line : {&row.firstKey, &row.letter, &row.path, &row.windowState, &row.active}) {
            bytes += *line + "\r\n";
        }
    }
    return bytes;
}

// The file cut after its first `lines` lines.
inline std::string FirstLines(const std::string& file, int lines) {
    std::string::size_type end = 0;
    for (int i = 0; i < lines && end != std::string::npos; ++i) {
        end = file.find("\r\n", end);
        if (end != std::string::npos) end += 2;
    }
    return end == std::string::npos ? file : file.substr(0, end);
}

}  // namespace brimlow::testing
