#pragma once
// The program's own table and its file, which another writer may change while
// the program runs: a hand edit, a sync tool, a second machine. The program
// remembers the file as it last read or wrote it, and the rows as they were
// then, and decides from both what a change on disk and a close do, so that
// neither side's work is ever written over unseen.

#include <optional>
#include <string>

namespace brimlow {

// The file's bytes, or none for a file that is missing or cannot be read.
using TableBytes = std::optional<std::string>;

// What to do when the file has been quiet after a change on disk.
enum class ChangeAction {
    Nothing,  // the file holds what was last read or written
    Reload,   // the file changed and the rows are not edited: load it
    Adopt,    // the file holds exactly the rows: both agree, remember that
    Hold,     // both changed: keep the rows, the close keeps both versions
};

// What to do at a close.
enum class CloseAction {
    Nothing,           // the file already holds the rows, or another writer's version wins
    Write,             // write the rows over the file
    KeepCopyAndWrite,  // keep the version on disk as a dated copy, then write the rows
};

class TableSync {
public:
    // After the file was read into the rows, or the rows written to it: the
    // file's bytes then, and the bytes the rows would write then (which for a
    // table in an old code page differ from the file's).
    void Remember(TableBytes fileBytes, std::string rowsBytes);
    bool Remembered() const { return remembered_; }

    // The file's bytes differ from those remembered; a missing file has
    // changed too. Before anything is remembered nothing has changed.
    bool FileChanged(const TableBytes& fileNow) const;
    // The rows would write other bytes than they did when remembered.
    bool RowsEdited(const std::string& rowsNow) const;

    ChangeAction AtChange(const TableBytes& fileNow, const std::string& rowsNow) const;
    CloseAction AtClose(const TableBytes& fileNow, const std::string& rowsNow) const;

    // A reload failed on these bytes: true the first time, so the user hears
    // of one bad version once, however often the folder stirs.
    bool FirstReportOf(const TableBytes& fileNow);

private:
    bool remembered_ = false;
    TableBytes fileBytes_;
    std::string rowsBytes_;
    bool reported_ = false;
    TableBytes reportedBytes_;
};

// The name of a copy of the table made at this local time:
// "shortcuts-20261209-101500.ini", or "shortcuts-20261209-101500-2.ini" for
// the second copy of the same second. It ends in ".ini", so File > Open lists it.
std::string DatedCopyName(int year, int month, int day, int hour, int minute, int second, int attempt = 1);

}  // namespace brimlow
