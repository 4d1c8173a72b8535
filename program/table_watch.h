#pragma once
// The program's table on disk while the program runs: a watch on the folder
// that holds it, so a change made by a hand edit, an editor's save by rename
// or a sync tool reaches the window, and the file's identity, its bytes now.
// What a change means is the core's business (table_sync.h).

#include <windows.h>

#include <string>
#include <vector>

#include "handles.h"
#include "table_sync.h"

namespace brimlow::win {

// Watches folders from a thread of its own, which sleeps in the kernel until
// a folder changes and then posts the window one message: the window's 100 ms
// tick never touches the file system, and an idle program costs no more.
class TableWatch {
public:
    TableWatch() = default;
    ~TableWatch() { Stop(); }
    TableWatch(const TableWatch&) = delete;
    TableWatch& operator=(const TableWatch&) = delete;

    // Posts message to window at every write, rename, creation or deletion of
    // a file in any of the folders. False when no folder could be watched (a
    // folder that went away): the program runs on without the watch.
    bool Start(HWND window, UINT message, const std::vector<std::string>& folders);
    void Stop();
    bool Watching() const { return thread_.Valid(); }

private:
    static DWORD WINAPI Run(void* self);

    HWND window_ = nullptr;
    UINT message_ = 0;
    UniqueKernel stop_;
    UniqueKernel thread_;
    std::vector<UniqueChangeNotification> folders_;
};

// The folders to watch for the table at path: its own, and the folder of the
// file it points to when it is a symbolic link, where the other writer writes.
std::vector<std::string> FoldersOfTable(const std::string& path);

// The table's bytes now as the comparison needs them: the file up to its
// fiftieth line, as a load reads it; none for a missing or unreadable file.
TableBytes TableBytesOnDisk(const std::string& path);

// The local time now as a dated copy's name in the folder, one that is not
// taken yet.
std::string DatedCopyPath(const std::string& folder);

}  // namespace brimlow::win
