#include "table_watch.h"

#include <cstddef>
#include <utility>

#include "paths.h"
#include "shortcuts_io.h"

namespace brimlow::win {
namespace {

constexpr DWORD kWatchedChanges =
    FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE;

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// The folder's identity: its volume and index. False for a folder that is
// not there, or that cannot be opened.
bool IdentifyFolder(const std::string& folder, DWORD& volume, ULONGLONG& index) {
    UniqueFile handle(CreateFileW(ToWide(folder).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!handle || !GetFileInformationByHandle(handle.Get(), &info)) return false;
    volume = info.dwVolumeSerialNumber;
    index = (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

bool SameAttributes(const WIN32_FILE_ATTRIBUTE_DATA& a, const WIN32_FILE_ATTRIBUTE_DATA& b) {
    return a.nFileSizeHigh == b.nFileSizeHigh && a.nFileSizeLow == b.nFileSizeLow &&
           CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) == 0;
}

}  // namespace

bool TableWatch::OpenWatch(Folder& folder) {
    if (!IdentifyFolder(folder.path, folder.volume, folder.index)) return false;
    folder.watch.Reset(FindFirstChangeNotificationW(ToWide(folder.path).c_str(), FALSE, kWatchedChanges));
    return static_cast<bool>(folder.watch);
}

bool TableWatch::Start(const std::string& table) {
    Stop();
    table_ = table;
    // Where the other writer writes: the file a symbolic link points to is
    // replaced in its own folder.
    const std::string own = FolderOf(table), target = FolderOf(ResolvedPath(table));
    folders_[folderCount_++].path = own;
    if (lstrcmpiA(target.c_str(), own.c_str()) != 0) folders_[folderCount_++].path = target;
    for (DWORD i = 0; i < folderCount_; ++i) OpenWatch(folders_[i]);
    CollectHandles();
    seenExists_ = GetFileAttributesExW(ToWide(table_).c_str(), GetFileExInfoStandard, &seen_) != FALSE;
    return count_ > 0;
}

void TableWatch::Stop() {
    for (auto& folder : folders_) folder = Folder{};
    folderCount_ = 0;
    count_ = 0;
}

void TableWatch::CollectHandles() {
    count_ = 0;
    for (std::size_t i = 0; i < folderCount_; ++i) {
        if (!folders_[i].watch) continue;
        handles_[count_] = folders_[i].watch.Get();
        handleFolder_[count_] = i;
        ++count_;
    }
}

void TableWatch::Take(std::size_t index) {
    // A folder that went away signals for good: its watch is let go here
    // and made again by the next Recheck that finds the folder.
    if (index >= count_ || FindNextChangeNotification(handles_[index])) return;
    folders_[handleFolder_[index]].watch.Reset();
    CollectHandles();
}

bool TableWatch::TakeWaiting() {
    // The wait names the first marked handle; each is taken once at most.
    bool changed = false;
    for (DWORD pass = 0; pass < kMostFolders && count_ > 0; ++pass) {
        const DWORD marked = WaitForMultipleObjects(count_, handles_.data(), FALSE, 0);
        if (marked >= WAIT_OBJECT_0 + count_) break;
        changed = true;
        Take(marked - WAIT_OBJECT_0);
    }
    return changed;
}

bool TableWatch::Recheck() {
    bool changed = false;
    for (std::size_t i = 0; i < folderCount_; ++i) {
        Folder& folder = folders_[i];
        if (folder.watch) {
            DWORD volume = 0;
            ULONGLONG index = 0;
            // A watch follows its folder when it is renamed: another folder
            // at the path is not watched by it.
            if (IdentifyFolder(folder.path, volume, index) && volume == folder.volume && index == folder.index) continue;
            folder.watch.Reset();
            changed = true;
        }
        if (OpenWatch(folder)) changed = true;
    }
    CollectHandles();
    if (count_ > 0) return changed;
    WIN32_FILE_ATTRIBUTE_DATA now{};
    const bool exists = GetFileAttributesExW(ToWide(table_).c_str(), GetFileExInfoStandard, &now) != FALSE;
    if (exists != seenExists_ || (exists && !SameAttributes(now, seen_))) changed = true;
    seen_ = now;
    seenExists_ = exists;
    return changed;
}

TableOnDisk LookAtTable(const std::string& path, Error* why) {
    FileBytes bytes = ReadShortcutsFile(path);
    if (auto* read = std::get_if<std::string>(&bytes)) return std::move(*read);
    if (why != nullptr) *why = std::get<Error>(bytes);
    // Asked after the failure, so a file deleted between the two counts as
    // gone: only "not found" is missing, anything else is there but locked,
    // denied, or a folder.
    if (GetFileAttributesW(ToWide(path).c_str()) == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return std::nullopt;
    }
    return TableOnDisk::Unreadable();
}

std::string DatedCopyPath(const std::string& folder) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    std::string path;
    for (int attempt = 1; attempt < 100; ++attempt) {
        path = folder + "\\" +
               DatedCopyName(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, attempt);
        if (GetFileAttributesW(ToWide(path).c_str()) == INVALID_FILE_ATTRIBUTES) break;
    }
    return path;
}

}  // namespace brimlow::win
