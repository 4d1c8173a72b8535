#include "table_watch.h"

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

bool TableWatch::Start(HWND window, UINT message, const std::vector<std::string>& folders) {
    Stop();
    window_ = window;
    message_ = message;
    for (const std::string& folder : folders) {
        UniqueChangeNotification watch(FindFirstChangeNotificationW(WidePath(folder).c_str(), FALSE, kWatchedChanges));
        if (watch) folders_.push_back(std::move(watch));
    }
    if (folders_.empty()) return false;
    stop_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (stop_) thread_.Reset(CreateThread(nullptr, 0, &TableWatch::Run, this, 0, nullptr));
    if (!thread_) {
        folders_.clear();
        stop_.Reset();
        return false;
    }
    return true;
}

void TableWatch::Stop() {
    if (thread_) {
        SetEvent(stop_.Get());
        WaitForSingleObject(thread_.Get(), INFINITE);
        thread_.Reset();
    }
    stop_.Reset();
    folders_.clear();
}

DWORD WINAPI TableWatch::Run(void* self) {
    auto* watch = static_cast<TableWatch*>(self);
    std::vector<HANDLE> handles{watch->stop_.Get()};
    for (const auto& folder : watch->folders_) handles.push_back(folder.Get());
    for (;;) {
        const DWORD woken =
            WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
        const DWORD index = woken - WAIT_OBJECT_0;
        if (index == 0 || index >= handles.size()) return 0;
        // The window waits for the folder to be quiet; one message per
        // change is all it needs to know.
        PostMessageW(watch->window_, watch->message_, 0, 0);
        if (!FindNextChangeNotification(handles[index])) return 0;
    }
}

std::vector<std::string> FoldersOfTable(const std::string& path) {
    std::vector<std::string> folders{FolderOf(path)};
    const std::string targetFolder = FolderOf(ResolvedPath(path));
    if (lstrcmpiA(targetFolder.c_str(), folders.front().c_str()) != 0) folders.push_back(targetFolder);
    return folders;
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
        if (GetFileAttributesW(WidePath(path).c_str()) == INVALID_FILE_ATTRIBUTES) break;
    }
    return path;
}

}  // namespace brimlow::win
