#pragma once
// The program's table on disk while the program runs: a watch on the folder
// that holds it, so a change made by a hand edit, an editor's save by rename
// or a sync tool reaches the window, and the file's identity, its bytes now.
// What a change means is the core's business (table_sync.h).

#include <windows.h>

#include <array>
#include <string>

#include "error.h"
#include "handles.h"
#include "table_sync.h"

namespace brimlow::win {

// Watches the table's folders. The kernel marks a change on a handle of each
// folder, and the window looks at the handles now and then (one wait call):
// no file-system call, and no thread of its own, which under Wine costs the
// process a megabyte; waiting on the handles in the message loop instead
// made every tick dearer. A watch is not forever: a folder deleted and made
// again, renamed and replaced by a restore or a sync tool, or a share that
// dropped, leaves a handle that watches nothing, so Recheck, called every
// few seconds, opens again what stopped or now names another folder, and
// where no watch can be made at all it compares the table's size and time.
class TableWatch {
public:
    TableWatch() = default;
    TableWatch(const TableWatch&) = delete;
    TableWatch& operator=(const TableWatch&) = delete;

    // Marks a change at every write, rename, creation or deletion of a
    // file in the table's folder, or in the folder of the file it points to
    // when it is a symbolic link. False when no folder could be watched (a
    // folder that went away, a network folder that cannot be watched): the
    // table's size and time are compared at every Recheck instead.
    bool Start(const std::string& table);
    void Stop();
    // True while at least one folder is watched through a handle.
    bool Watching() const { return count_ > 0; }
    // Takes every change marked since the last call; true when there was one.
    bool TakeWaiting();
    // A folder whose watch stopped, or that is another folder now than when
    // it was watched, is watched again by its path; without any watch the
    // table's size and last-write time are compared with the last look's
    // (one call). True when the table may have changed: a change was seen,
    // or a folder is watched anew and may hold another table.
    bool Recheck();

private:
    // Takes the change marked on the handle at index, and watches on.
    void Take(std::size_t index);
    // Makes the list the wait call takes from the folders watched now.
    void CollectHandles();

    struct Folder {
        std::string path;
        UniqueChangeNotification watch;
        // The folder's identity when its watch was made: volume and index.
        DWORD volume = 0;
        ULONGLONG index = 0;
    };
    // Watches the folder at its path, as the folder there is now.
    static bool OpenWatch(Folder& folder);
    // The table's folder, and the folder of the file it links to.
    static constexpr DWORD kMostFolders = 2;
    std::array<Folder, kMostFolders> folders_;
    DWORD folderCount_ = 0;
    std::array<HANDLE, kMostFolders> handles_{};
    std::array<std::size_t, kMostFolders> handleFolder_{};
    DWORD count_ = 0;
    // The table as the last comparison found it, without a watch.
    std::string table_;
    WIN32_FILE_ATTRIBUTE_DATA seen_{};
    bool seenExists_ = false;
};

// The table as the comparison needs it: the file up to its fiftieth line,
// as a load reads it; not there; or there but not readable now. why, when
// given, gets the error of a read that failed.
TableOnDisk LookAtTable(const std::string& path, Error* why = nullptr);

// The local time now as a dated copy's name in the folder, one that is not
// taken yet.
std::string DatedCopyPath(const std::string& folder);

}  // namespace brimlow::win
