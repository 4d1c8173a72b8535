#include "table_sync.h"

#include <cstdio>

namespace brimlow {

void TableSync::Remember(TableBytes fileBytes, std::string rowsBytes) {
    remembered_ = true;
    fileBytes_ = std::move(fileBytes);
    rowsBytes_ = std::move(rowsBytes);
    reported_ = false;
    reportedBytes_.reset();
}

bool TableSync::FileChanged(const TableBytes& fileNow) const {
    if (!remembered_) return false;
    return !fileNow || fileNow != fileBytes_;
}

bool TableSync::RowsEdited(const std::string& rowsNow) const { return remembered_ && rowsNow != rowsBytes_; }

ChangeAction TableSync::AtChange(const TableBytes& fileNow, const std::string& rowsNow) const {
    if (!FileChanged(fileNow)) return ChangeAction::Nothing;
    if (fileNow == rowsNow) return ChangeAction::Adopt;
    return RowsEdited(rowsNow) ? ChangeAction::Hold : ChangeAction::Reload;
}

CloseAction TableSync::AtClose(const TableBytes& fileNow, const std::string& rowsNow) const {
    // Nothing to write makes a read-only table with nothing to save close
    // quietly, and leaves the file's time alone.
    if (fileNow == rowsNow) return CloseAction::Nothing;
    if (!FileChanged(fileNow)) return CloseAction::Write;
    if (!RowsEdited(rowsNow)) return CloseAction::Nothing;
    // A file that went away leaves no other version to keep.
    return fileNow ? CloseAction::KeepCopyAndWrite : CloseAction::Write;
}

bool TableSync::FirstReportOf(const TableBytes& fileNow) {
    if (reported_ && reportedBytes_ == fileNow) return false;
    reported_ = true;
    reportedBytes_ = fileNow;
    return true;
}

std::string DatedCopyName(int year, int month, int day, int hour, int minute, int second, int attempt) {
    char name[64];
    std::snprintf(name, sizeof name, "shortcuts-%04d%02d%02d-%02d%02d%02d", year, month, day, hour, minute, second);
    std::string result = name;
    if (attempt > 1) result += "-" + std::to_string(attempt);
    return result + ".ini";
}

}  // namespace brimlow
