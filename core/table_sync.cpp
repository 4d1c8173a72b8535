#include "table_sync.h"

#include <cstddef>
#include <string>

namespace brimlow {

void TableSync::Remember(TableBytes fileBytes, std::string rowsBytes) {
    remembered_ = true;
    fileBytes_ = std::move(fileBytes);
    rowsBytes_ = std::move(rowsBytes);
    reported_ = false;
    reportedFile_ = std::nullopt;
}

bool TableSync::FileChanged(const TableOnDisk& fileNow) const {
    if (!remembered_) return false;
    return !fileNow.bytes || fileNow.bytes != fileBytes_;
}

bool TableSync::RowsEdited(const std::string& rowsNow) const { return remembered_ && rowsNow != rowsBytes_; }

ChangeAction TableSync::AtChange(const TableOnDisk& fileNow, const std::string& rowsNow) const {
    if (!FileChanged(fileNow)) return ChangeAction::Nothing;
    if (fileNow.unreadable) return ChangeAction::ReadAgain;
    if (fileNow.bytes == rowsNow) return ChangeAction::Adopt;
    return RowsEdited(rowsNow) ? ChangeAction::Hold : ChangeAction::Reload;
}

CloseAction TableSync::AtClose(const TableOnDisk& fileNow, const std::string& rowsNow) const {
    // Nothing to write makes a read-only table with nothing to save close
    // quietly, and leaves the file's time alone.
    if (fileNow.bytes == rowsNow) return CloseAction::Nothing;
    // Rows as read lose nothing by staying unwritten; edited rows must not
    // go over a version that may have come since and that no one has seen.
    if (fileNow.unreadable) return RowsEdited(rowsNow) ? CloseAction::CannotRead : CloseAction::Nothing;
    if (!FileChanged(fileNow)) return CloseAction::Write;
    if (!RowsEdited(rowsNow)) return CloseAction::Nothing;
    // A file that went away leaves no other version to keep.
    return fileNow.bytes ? CloseAction::KeepCopyAndWrite : CloseAction::Write;
}

bool TableSync::FirstReportOf(const TableOnDisk& fileNow) {
    if (reported_ && reportedFile_ == fileNow) return false;
    reported_ = true;
    reportedFile_ = fileNow;
    return true;
}

std::string DatedCopyName(int year, int month, int day, int hour, int minute, int second, int attempt) {
    // Digits by hand: snprintf would bring MinGW's whole printf into the
    // program, a tenth of its size.
    char name[] = "shortcuts-00000000-000000";
    const auto put = [&name](std::size_t last, int value, int width) {
        for (; width > 0; --width, value /= 10) name[last--] = static_cast<char>('0' + value % 10);
    };
    put(13, year, 4);
    put(15, month, 2);
    put(17, day, 2);
    put(20, hour, 2);
    put(22, minute, 2);
    put(24, second, 2);
    std::string result = name;
    if (attempt > 1) result += "-" + std::to_string(attempt);
    return result + ".ini";
}

}  // namespace brimlow
