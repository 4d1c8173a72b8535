#pragma once
// The program's table on disk while the program runs: a watch on the folder
// that holds it, so a change made by a hand edit, an editor's save by rename
// or a sync tool reaches the window, and the file's identity, its bytes now.
// What a change means is the core's business (table_sync.h).

#include <windows.h>

#include <array>
#include <string>

#include "handles.h"
#include "table_sync.h"

namespace brimlow::win {

// Watches the table's folders. The kernel marks a change on a handle of each
// folder, and the window looks at the handles now and then (one wait call):
// no file-system call, and no thread of its own, which under Wine costs the
// process a megabyte; waiting on the handles in the message loop instead
// made every tick dearer.
class TableWatch {
public:
    TableWatch() = default;
    TableWatch(const TableWatch&) = delete;
    TableWatch& operator=(const TableWatch&) = delete;

    // Marks a change at every write, rename, creation or deletion of a
    // file in the table's folder, or in the folder of the file it points to
    // when it is a symbolic link. False when no folder could be watched (a
    // folder that went away): the program runs on without the watch.
    bool Start(const std::string& table);
    void Stop();
    // Takes every change marked since the last call; true when there was one.
    bool TakeWaiting();

private:
    // Takes the change marked on the handle at index, and watches on.
    void Take(std::size_t index);

    // The table's folder, and the folder of the file it links to.
    static constexpr DWORD kMostFolders = 2;
    std::array<UniqueChangeNotification, kMostFolders> folders_;
    std::array<HANDLE, kMostFolders> handles_{};
    DWORD count_ = 0;
};

// The table's bytes now as the comparison needs them: the file up to its
// fiftieth line, as a load reads it; none for a missing or unreadable file.
TableBytes TableBytesOnDisk(const std::string& path);

// The local time now as a dated copy's name in the folder, one that is not
// taken yet.
std::string DatedCopyPath(const std::string& folder);

}  // namespace brimlow::win
