// The main window and its table on disk: a change made there while the
// program runs, and the save at a close, decided by the core (table_sync.h)
// so that neither the user's rows nor another writer's version is lost.
#include <windows.h>

#include "code_page.h"
#include "control_ids.h"
#include "form1.h"
#include "shortcuts_file.h"
#include "shortcuts_io.h"
#include "win_errors.h"

namespace brimlow {
namespace {

// A shortcuts file is fifty short lines; a copy of anything this large is
// not made.
constexpr std::size_t kLargestKeptVersion = 16u * 1024u * 1024u;
// A file another program holds for a moment is looked at again this many
// quiet periods later before it is reported.
constexpr int kBusyReadTries = 5;
// Where a session's end that could not save says where the rows went, for
// the next start to tell the user once: beside the table, or in the
// temporary folder when the data folder takes no file.
constexpr const char* kLastSessionNote = "last-session.txt";
constexpr const char* kTempLastSessionNote = "Brimlow last session.txt";

std::string TempFolder() {
    char temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(MAX_PATH + 1, temp);
    std::string folder(temp, length <= MAX_PATH ? length : 0);
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
}

std::string RowsBytes(const RowControls& rows) { return FormatShortcuts(ReadRows(rows)); }

}  // namespace

void Form1::StartTableWatch() {
    // Without a watch the program still runs and saves as its close decides;
    // it only stops noticing changes made while it runs.
    tableWatch_.Start(ShortcutsPath());
}

void Form1::TakeTableFolderChanges() {
    // Every change starts the quiet period again.
    if (tableWatch_.TakeWaiting() && !unloaded_) SetTimer(hwnd_, kTableQuietTimer, kTableQuietMs, nullptr);
}

void Form1::OnTableQuiet() {
    if (unloaded_ || !sync_.Remembered()) return;
    const std::string path = ShortcutsPath();
    win::FileBytes read = win::ReadShortcutsFile(path);
    const std::string* bytes = std::get_if<std::string>(&read);
    const TableBytes disk = bytes != nullptr ? TableBytes(*bytes) : std::nullopt;
    const std::string rows = RowsBytes(rows_);
    switch (sync_.AtChange(disk, rows)) {
        case ChangeAction::Nothing:
        case ChangeAction::Hold: return;
        case ChangeAction::Adopt: sync_.Remember(disk, rows); return;
        case ChangeAction::Reload: break;
    }
    Status failed = bytes == nullptr ? Status(std::get<Error>(read))
                                     : ApplyShortcutsFile(rows_, *bytes, path, win::SystemLegacyCodePage());
    if (failed) {
        // A writer still holding the file: look again shortly.
        if (failed->number == error_number::kPermissionDenied && ++busyReads_ < kBusyReadTries) {
            SetTimer(hwnd_, kTableQuietTimer, kTableQuietMs, nullptr);
            return;
        }
        busyReads_ = 0;
        // The rows stay as they are, and the same bad version is not
        // reported twice; a modal box would wait unseen while hidden.
        if (sync_.FirstReportOf(disk)) {
            notifyIcon_.ShowBalloon(ids::kProductName,
                                    "The shortcuts file changed but was not loaded; your rows are as they were. Error " +
                                        std::to_string(failed->number) + ": " + failed->description);
        }
        return;
    }
    busyReads_ = 0;
    ResolveKeyCodes();
    RefreshRowIcons();
    sync_.Remember(disk, RowsBytes(rows_));
}

Status Form1::Form_Unload() {
    if (unloaded_) return std::nullopt;
    const std::string path = ShortcutsPath();
    const std::string rows = RowsBytes(rows_);
    const TableBytes disk = win::TableBytesOnDisk(path);
    switch (sync_.AtClose(disk, rows)) {
        case CloseAction::Nothing: break;
        case CloseAction::KeepCopyAndWrite:
            if (Status failed = KeepDiskVersion(path, disk)) {
                exitCode_ = 1;
                return failed;
            }
            [[fallthrough]];
        case CloseAction::Write:
            if (Status failed = win::SaveShortcutsFile(path, rows)) {
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
// the rows are written over it. A retried close keeps it once.
Status Form1::KeepDiskVersion(const std::string& path, const TableBytes& disk) {
    if (!keptCopy_.empty() && keptVersion_ == disk) return std::nullopt;
    win::FileBytes whole = win::ReadWholeFile(path, kLargestKeptVersion);
    if (const Error* failed = std::get_if<Error>(&whole)) return *failed;
    const std::string copy = win::DatedCopyPath(programFolder_ + "\\data");
    if (Status failed = win::SaveShortcutsFile(copy, std::get<std::string>(whole))) return failed;
    keptCopy_ = copy;
    keptVersion_ = disk;
    return std::nullopt;
}

bool Form1::AskRetry(const Error& error) {
    const std::string text = "Error " + std::to_string(error.number) + "\r\n\r\n" + error.description +
                             "\r\n\r\nRetry tries again. Cancel keeps Brimlow running with your rows as they are.";
    return MessageBoxA(hwnd_, text.c_str(), ids::kProductName, MB_RETRYCANCEL | MB_ICONERROR) == IDRETRY;
}

// A close by the user: the close box, File > Exit, the icon's Exit, an
// installer's WM_CLOSE. A save that fails asks, and Cancel leaves everything
// as it was.
void Form1::OnClose() {
    // An installer's WM_CLOSE while the Retry box waits is the same close.
    if (closing_) return;
    closing_ = true;
    for (;;) {
        const Status failed = Form_Unload();
        if (!failed) break;
        if (!AskRetry(*failed)) {
            closing_ = false;
            return;
        }
    }
    if (!keptCopy_.empty()) {
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
    if (Form_Unload().has_value() && SaveEmergencyCopy()) exitCode_ = 0;
    notifyIcon_.Remove();
    // At a log-off the system ends the process once this returns; Restart
    // Manager waits for the program to end by itself.
    if ((how & ENDSESSION_CLOSEAPP) != 0) DestroyWindow(hwnd_);
}

bool Form1::SaveEmergencyCopy() {
    const std::string rows = RowsBytes(rows_);
    for (const std::string& folder : {programFolder_ + "\\data", TempFolder()}) {
        const std::string copy = win::DatedCopyPath(folder);
        if (win::SaveShortcutsFile(copy, rows)) continue;
        const std::string note = copy + "\r\n" + ShortcutsPath() + "\r\n";
        if (win::SaveShortcutsFile(programFolder_ + "\\data\\" + kLastSessionNote, note)) {
            win::SaveShortcutsFile(TempFolder() + "\\" + kTempLastSessionNote, note);
        }
        unloaded_ = true;
        return true;
    }
    return false;
}

// Tells once where the rows went when the last session's end could not save
// them, then forgets it.
void Form1::ReportLastSession() {
    for (const std::string& note : {programFolder_ + "\\data\\" + kLastSessionNote,
                                    TempFolder() + "\\" + kTempLastSessionNote}) {
        win::FileBytes read = win::ReadWholeFile(note, 64 * 1024);
        const std::string* text = std::get_if<std::string>(&read);
        if (text == nullptr) continue;
        const auto end = text->find("\r\n");
        const std::string copy = text->substr(0, end);
        const std::string table = end == std::string::npos ? std::string() : text->substr(end + 2);
        // The temporary folder is shared by every copy of the program.
        if (lstrcmpiA((table.substr(0, table.find("\r\n"))).c_str(), ShortcutsPath().c_str()) != 0) continue;
        DeleteFileA(note.c_str());
        notifyIcon_.ShowBalloon(ids::kProductName, "When the last session ended, your rows could not be saved in " +
                                                       ShortcutsPath() + ". They are in " + copy +
                                                       "; File > Open loads them.");
        return;
    }
}

}  // namespace brimlow
