#pragma once
// The program's own table and its file, which another writer may change while
// the program runs: a hand edit, a sync tool, a second machine. The program
// remembers the file as it last read or wrote it, and the rows as they were
// then, and decides from both what a change on disk and a close do, so that
// neither side's work is ever written over unseen.

#include <optional>
#include <string>
#include <utility>

namespace brimlow {

// The file's bytes, or none for a file that is not there.
using TableBytes = std::optional<std::string>;

// The file as one look found it: its bytes, not there, or there but not
// readable at that moment (another program holds it without read sharing, a
// virus scanner, permissions). An unreadable file is not a missing one: a
// version no one has read must never be written over.
struct TableOnDisk {
    TableOnDisk(std::string read) : bytes(std::move(read)) {}
    TableOnDisk(std::nullopt_t) {}
    TableOnDisk(TableBytes read) : bytes(std::move(read)) {}
    static TableOnDisk Unreadable() {
        TableOnDisk file{std::nullopt};
        file.unreadable = true;
        return file;
    }
    bool operator==(const TableOnDisk& other) const {
        return unreadable == other.unreadable && bytes == other.bytes;
    }

    TableBytes bytes;  // none when missing or unreadable
    bool unreadable = false;
};

// What to do when the file has been quiet after a change on disk.
enum class ChangeAction {
    Nothing,  // the file holds what was last read or written
    Reload,   // the file changed and the rows are not edited: load it
    Adopt,    // the file holds exactly the rows: both agree, remember that
    Hold,     // both changed: keep the rows, the close keeps both versions
    ReadAgain,  // the file is there but cannot be read now: look again shortly
};

// What to do at a close.
enum class CloseAction {
    Nothing,           // the file already holds the rows, or another writer's version wins
    Write,             // write the rows over the file
    KeepCopyAndWrite,  // keep the version on disk as a dated copy, then write the rows
    CannotRead,        // the rows are edited and the file cannot be read: the save fails
};

class TableSync {
public:
    // After the file was read into the rows, or the rows written to it: the
    // file's bytes then, and the bytes the rows would write then (which for a
    // table in an old code page differ from the file's).
    void Remember(TableBytes fileBytes, std::string rowsBytes);
    bool Remembered() const { return remembered_; }

    // The file's bytes differ from those remembered; a missing file has
    // changed too. Before anything is remembered nothing has changed. An
    // unreadable file may hold anything: it counts as changed.
    bool FileChanged(const TableOnDisk& fileNow) const;
    // The rows would write other bytes than they did when remembered.
    bool RowsEdited(const std::string& rowsNow) const;

    ChangeAction AtChange(const TableOnDisk& fileNow, const std::string& rowsNow) const;
    // The caller reads an unreadable file again for a moment before it asks.
    CloseAction AtClose(const TableOnDisk& fileNow, const std::string& rowsNow) const;

    // A reload failed on this file: true the first time, so the user hears
    // of one bad version once, however often the folder stirs.
    bool FirstReportOf(const TableOnDisk& fileNow);

private:
    bool remembered_ = false;
    TableBytes fileBytes_;
    std::string rowsBytes_;
    bool reported_ = false;
    TableOnDisk reportedFile_{std::nullopt};
};

// The name of a copy of the table made at this local time:
// "shortcuts-20261209-101500.ini", or "shortcuts-20261209-101500-2.ini" for
// the second copy of the same second. It ends in ".ini", so File > Open lists it.
std::string DatedCopyName(int year, int month, int day, int hour, int minute, int second, int attempt = 1);

}  // namespace brimlow
