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

}  // namespace

bool TableWatch::Start(const std::string& table) {
    Stop();
    // Where the other writer writes: the file a symbolic link points to is
    // replaced in its own folder.
    const std::string own = FolderOf(table), target = FolderOf(ResolvedPath(table));
    for (const std::string* folder : {&own, &target}) {
        if (folder == &target && lstrcmpiA(target.c_str(), own.c_str()) == 0) break;
        folders_[count_].Reset(FindFirstChangeNotificationW(ToWide(*folder).c_str(), FALSE, kWatchedChanges));
        if (!folders_[count_]) continue;
        handles_[count_] = folders_[count_].Get();
        ++count_;
    }
    return count_ > 0;
}

void TableWatch::Stop() {
    for (auto& folder : folders_) folder.Reset();
    count_ = 0;
}

void TableWatch::Take(std::size_t index) {
    // A folder that went away signals for good: it is watched no more.
    if (index >= count_ || FindNextChangeNotification(handles_[index])) return;
    --count_;
    std::swap(folders_[index], folders_[count_]);
    std::swap(handles_[index], handles_[count_]);
    folders_[count_].Reset();
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

TableBytes TableBytesOnDisk(const std::string& path) {
    FileBytes bytes = ReadShortcutsFile(path);
    if (auto* read = std::get_if<std::string>(&bytes)) return std::move(*read);
    return std::nullopt;
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
