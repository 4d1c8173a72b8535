// The main window and its table on disk: a change made there while the
// program runs, and the save at a close, decided by the core (table_sync.h)
// so that neither the user's rows nor another writer's version is lost.
#include <windows.h>

#include "code_page.h"
#include "control_ids.h"
#include "form1.h"
#include "paths.h"
#include "shortcuts_file.h"
#include "shortcuts_io.h"
#include "win_errors.h"

namespace brimlow {
namespace {

// A shortcuts file is fifty short lines; a copy of anything this large is
// not made.
constexpr std::size_t kLargestKeptVersion = 16u * 1024u * 1024u;
// A file another program holds for a moment is looked at again at this many
// looks, about two seconds, before it is reported.
constexpr int kBusyReadTries = 4;
// How long a close reads a table that is there but cannot be read, and how
// often: as long as a refused rename is tried again.
constexpr ULONGLONG kBusyCloseMs = 2000;
constexpr DWORD kBusyCloseStepMs = 100;
// Where a close that could not save says where the rows went, for the next
// start to tell the user once: beside the table, in the program's folder
// under %LOCALAPPDATA%, or in the temporary folder.
constexpr const char* kLastSessionNote = "last-session.txt";
constexpr const char* kTempLastSessionNote = "Brimlow last session.txt";

std::string WithoutTrailingSlash(std::string folder) {
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
}

std::string TempFolder() {
    char temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(MAX_PATH + 1, temp);
    return WithoutTrailingSlash(std::string(temp, length <= MAX_PATH ? length : 0));
}

// %LOCALAPPDATA%\Brimlow, or "" where the variable is not set.
std::string LocalBrimlowFolder() {
    wchar_t local[MAX_PATH + 1] = {};
    const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) return std::string();
    return WithoutTrailingSlash(win::FromWide(std::wstring_view(local, length))) + "\\" + ids::kProductName;
}

// True when a file can be made in the folder now, or in its parent when the
// folder is still to be made. The file tried is gone again when its handle
// closes.
bool TakesAFile(const std::string& folder) {
    const DWORD attributes = GetFileAttributesW(win::ToWide(folder).c_str());
    std::string where = folder;
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const auto slash = folder.find_last_of('\\');
        if (slash == std::string::npos) return false;
        where = folder.substr(0, slash);
    }
    const std::string probe = where + "\\" + ids::kProductName + "-" + std::to_string(GetCurrentProcessId()) + ".probe";
    win::UniqueFile file(CreateFileW(win::ToWide(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return static_cast<bool>(file);
}

// Where the note for the next start goes, in the order it is tried and read.
std::vector<std::string> LastSessionNotes(const std::string& dataFolder) {
    std::vector<std::string> notes{dataFolder + "\\" + kLastSessionNote};
    if (const std::string local = LocalBrimlowFolder(); !local.empty()) notes.push_back(local + "\\" + kLastSessionNote);
    notes.push_back(TempFolder() + "\\" + kTempLastSessionNote);
    return notes;
}

// Only the program's own folder under %LOCALAPPDATA% is made for a file;
// the data folder and the temporary folder are never created.
void MakeLocalFolderFor(const std::string& file) {
    const std::string local = LocalBrimlowFolder();
    if (!local.empty() && file.size() > local.size() && file.compare(0, local.size(), local) == 0 &&
        file[local.size()] == '\\') {
        CreateDirectoryW(win::ToWide(local).c_str(), nullptr);
    }
}

std::string RowsBytes(const RowControls& rows) { return FormatShortcuts(ReadRows(rows)); }

}  // namespace

void Form1::StartTableWatch() {
    // Without a watch the program still runs and saves as its close decides;
    // the table's size and time are compared instead.
    tableWatch_.Start(ShortcutsPath());
    SetTableWatchTimer();
}

void Form1::SetTableWatchTimer() {
    const UINT period = tableWatch_.Watching() ? kTableRecheckMs : kTableCompareMs;
    if (period == tableWatchMs_) return;
    tableWatchMs_ = period;
    SetTimer(hwnd_, kTableWatchTimer, period, nullptr);
}

void Form1::TakeTableFolderChanges() {
    if (tableWatch_.Watching()) OnTableLook(tableWatch_.TakeWaiting());
}

void Form1::OnTableWatchTimer() {
    const bool changed = tableWatch_.Recheck();
    SetTableWatchTimer();
    // Without a watch this comparison is the look; with one, the next look
    // at the handles decides.
    if (!tableWatch_.Watching()) {
        OnTableLook(changed);
    } else if (changed) {
        tableChangePending_ = true;
    }
}

void Form1::OnTableLook(bool changed) {
    if (unloaded_) return;
    if (changed) {
        tableChangePending_ = true;
        return;
    }
    // A reload under a file dialog would put the chosen file into a table
    // the user has not seen; under Open's confirmation it would let Open
    // replace a version never shown. WM_ENABLE brings the look back.
    if (!tableChangePending_ || !IsWindowEnabled(hwnd_)) return;
    tableChangePending_ = false;
    OnTableQuiet();
}

void Form1::OnTableQuiet() {
    if (unloaded_ || !sync_.Remembered()) return;
    const std::string path = ShortcutsPath();
    Error why{};
    const TableOnDisk disk = win::LookAtTable(path, &why);
    const std::string rows = RowsBytes(rows_);
    Status failed;
    switch (sync_.AtChange(disk, rows)) {
        case ChangeAction::Nothing:
        case ChangeAction::Hold: busyReads_ = 0; return;
        case ChangeAction::Adopt:
            busyReads_ = 0;
            sync_.Remember(disk.bytes, rows);
            return;
        case ChangeAction::ReadAgain:
            // A writer still holding the file: look again at the next looks.
            if (++busyReads_ < kBusyReadTries) {
                tableChangePending_ = true;
                return;
            }
            failed = why;
            break;
        case ChangeAction::Reload:
            failed = disk.bytes ? ApplyShortcutsFile(rows_, *disk.bytes, path, win::SystemLegacyCodePage()) : Status(why);
            break;
    }
    busyReads_ = 0;
    if (failed) {
        // The rows stay as they are, and the same bad version is not
        // reported twice; a modal box would wait unseen while hidden.
        if (sync_.FirstReportOf(disk)) {
            notifyIcon_.ShowBalloon(ids::kProductName,
                                    "The shortcuts file changed but was not loaded; your rows are as they were. Error " +
                                        std::to_string(failed->number) + ": " + failed->description);
        }
        return;
    }
    ResolveKeyCodes();
    RefreshRowIcons();
    sync_.Remember(disk.bytes, RowsBytes(rows_));
}

Status Form1::Form_Unload() { return Unload(false); }

TableOnDisk Form1::ReadTable(const std::string& path, bool wait, Error& why) {
    const ULONGLONG giveUp = GetTickCount64() + (wait ? kBusyCloseMs : 0);
    for (;;) {
        TableOnDisk disk = win::LookAtTable(path, &why);
        if (!disk.unreadable || GetTickCount64() >= giveUp) return disk;
        Sleep(kBusyCloseStepMs);
    }
}

Status Form1::Unload(bool sessionEnd) {
    if (unloaded_) return std::nullopt;
    const std::string path = ShortcutsPath();
    const std::string rows = RowsBytes(rows_);
    Error why{};
    // Rows as read have nothing to save whatever the file holds; only edited
    // rows wait for the file to be readable, and not at a session's end.
    const TableOnDisk disk = ReadTable(path, !sessionEnd && sync_.RowsEdited(rows), why);
    // At the end of a session there is no time to wait for another program.
    const win::RefusedRename refused = sessionEnd ? win::RefusedRename::GiveUp : win::RefusedRename::TryAgain;
    switch (sync_.AtClose(disk, rows)) {
        case CloseAction::Nothing: break;
        case CloseAction::CannotRead:
            exitCode_ = 1;
            return Error{why.number, why.description + " Your rows are not written over a version of the file that " +
                                         ids::kProductName + " has not read."};
        case CloseAction::KeepCopyAndWrite:
            // A retried close keeps the same version once.
            if (keptCopy_.empty() || keptVersion_ != disk.bytes) {
                std::string copy;
                if (Status failed = KeepDiskVersion(path, copy)) {
                    exitCode_ = 1;
                    return failed;
                }
                keptCopy_ = copy;
                keptVersion_ = disk.bytes;
            }
            [[fallthrough]];
        case CloseAction::Write:
            if (Status failed = win::SaveShortcutsFile(path, rows, {}, refused)) {
                exitCode_ = 1;
                return failed;
            }
            sync_.Remember(rows, rows);
            break;
    }
    unloaded_ = true;
    exitCode_ = 0;
    return std::nullopt;
}

// The other writer's version, whole, as a dated copy beside the table, before
// the rows or an opened file are written over it.
Status Form1::KeepDiskVersion(const std::string& path, std::string& copy) {
    win::FileBytes whole = win::ReadWholeFile(path, kLargestKeptVersion);
    if (const Error* failed = std::get_if<Error>(&whole)) return *failed;
    copy = win::DatedCopyPath(programFolder_ + "\\data");
    return win::SaveShortcutsFile(copy, std::get<std::string>(whole));
}

std::vector<std::string> Form1::RowsCopyFolders(bool sessionEnd) const {
    std::vector<std::string> folders{programFolder_ + "\\data"};
    if (std::string local = LocalBrimlowFolder(); !local.empty()) folders.push_back(local);
    if (sessionEnd) folders.push_back(TempFolder());
    return folders;
}

std::string Form1::RowsCopyFolder() const {
    for (const std::string& folder : RowsCopyFolders(false)) {
        if (TakesAFile(folder)) return folder;
    }
    return std::string();
}

Status Form1::SaveRowsCopy(bool sessionEnd) {
    const std::string rows = RowsBytes(rows_);
    Status failed;
    for (const std::string& folder : RowsCopyFolders(sessionEnd)) {
        const std::string copy = win::DatedCopyPath(folder);
        MakeLocalFolderFor(copy);
        failed = win::SaveShortcutsFile(copy, rows, {}, win::RefusedRename::GiveUp);
        if (failed) continue;
        const std::string note = copy + "\r\n" + ShortcutsPath() + "\r\n";
        for (const std::string& place : LastSessionNotes(programFolder_ + "\\data")) {
            MakeLocalFolderFor(place);
            if (!win::SaveShortcutsFile(place, note, {}, win::RefusedRename::GiveUp)) break;
        }
        unloaded_ = true;
        exitCode_ = 0;
        return std::nullopt;
    }
    return failed;
}

Form1::FailedCloseAnswer Form1::AskAfterFailedSave(const Error& error) {
    const std::string folder = RowsCopyFolder();
    const std::string continues =
        folder.empty() ? std::string("Continue tries to keep your rows in a dated copy, but no folder takes one now.")
                       : "Continue closes Brimlow and keeps your rows in a dated copy in " + folder +
                             "; the next start says where.";
    const std::string text = "Error " + std::to_string(error.number) + "\r\n\r\n" + error.description +
                             "\r\n\r\nTry Again tries again. Cancel keeps Brimlow running with your rows as they are. " +
                             continues;
    switch (MessageBoxA(hwnd_, text.c_str(), ids::kProductName, MB_CANCELTRYCONTINUE | MB_ICONERROR)) {
        case IDTRYAGAIN: return FailedCloseAnswer::TryAgain;
        case IDCONTINUE: return FailedCloseAnswer::Continue;
        default: return FailedCloseAnswer::Cancel;
    }
}

// A close by the user: the close box, File > Exit, the icon's Exit, an
// installer's WM_CLOSE. A save that fails asks: Try Again, Cancel (which
// leaves everything as it was) or Continue (the rows go to a dated copy, and
// a copy that cannot be written asks again with that error).
void Form1::OnClose() {
    // An installer's WM_CLOSE while the box waits is the same close.
    if (closing_) return;
    closing_ = true;
    Status failed = Form_Unload();
    bool tableSaved = !failed;
    while (failed) {
        switch (AskAfterFailedSave(*failed)) {
            case FailedCloseAnswer::TryAgain:
                failed = Form_Unload();
                tableSaved = !failed;
                break;
            case FailedCloseAnswer::Cancel: closing_ = false; return;
            case FailedCloseAnswer::Continue: failed = SaveRowsCopy(false); break;
        }
    }
    if (tableSaved && !keptCopy_.empty()) {
        const std::string text = "The shortcuts file was changed outside Brimlow while you edited the rows.\r\n\r\n"
                                 "That version is kept in " +
                                 keptCopy_ + "\r\n\r\nYour rows are saved in " + ShortcutsPath() + ".";
        MessageBoxA(hwnd_, text.c_str(), ids::kProductName, MB_OK | MB_ICONINFORMATION);
    }
    DestroyWindow(hwnd_);
}

// The end of the session, or Restart Manager closing the program for an
// installer or an update (ENDSESSION_CLOSEAPP). No box may hold it up: a
// save that fails puts the rows in a copy, and the next start says where.
void Form1::OnEndSession(bool ending, LPARAM how) {
    if (!ending) return;
    tableWatch_.Stop();
    if (Unload(true).has_value()) SaveRowsCopy(true);
    notifyIcon_.Remove();
    // At a log-off the system ends the process once this returns; Restart
    // Manager waits for the program to end by itself.
    if ((how & ENDSESSION_CLOSEAPP) != 0) DestroyWindow(hwnd_);
}

// Tells once where the rows went when the last session's end, or a close
// answered with Continue, could not save them in the table, then forgets it.
void Form1::ReportLastSession() {
    for (const std::string& note : LastSessionNotes(programFolder_ + "\\data")) {
        win::FileBytes read = win::ReadWholeFile(note, 64 * 1024);
        const std::string* text = std::get_if<std::string>(&read);
        if (text == nullptr) continue;
        const auto end = text->find("\r\n");
        const std::string copy = text->substr(0, end);
        const std::string table = end == std::string::npos ? std::string() : text->substr(end + 2);
        // The folders outside the data folder are shared by every copy of
        // the program.
        if (lstrcmpiA((table.substr(0, table.find("\r\n"))).c_str(), ShortcutsPath().c_str()) != 0) continue;
        DeleteFileW(win::ToWide(note).c_str());
        notifyIcon_.ShowBalloon(ids::kProductName, "Your rows could not be saved in " + ShortcutsPath() +
                                                       " when Brimlow last closed. They are in " + copy +
                                                       "; File > Open loads them.");
        return;
    }
}

}  // namespace brimlow
