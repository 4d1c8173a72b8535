#pragma once
// The shortcuts file on disk: its bytes in, its bytes out. What the bytes
// mean is the core's business (shortcuts_file.h).

#include <windows.h>

#include <functional>
#include <string>
#include <variant>

#include "error.h"

namespace brimlow::win {

using FileBytes = std::variant<std::string, Error>;

// The file's bytes up to the end of its fiftieth line: lines after it are
// never used, so a huge file costs no more memory than a normal one. The
// file is never created; a missing file, a folder in its place or a denied
// read is an error that names the file.
FileBytes ReadShortcutsFile(const std::string& path);

// The whole file, for a copy that must keep every byte; a file larger than
// limit bytes is refused with an error that names it.
FileBytes ReadWholeFile(const std::string& path, std::size_t limit);

// The file a path names in the end: the target of a symbolic link (followed
// to its end), or the path itself for a plain file or one that does not exist.
std::string ResolvedPath(const std::string& path);

// The steps of a save, in order; Write happens once per chunk written.
// CheckReplace comes first: whether the table's permissions let it be
// replaced (a failure of ERROR_ACCESS_DENIED there means they do not).
enum class SaveStep { CreateTemporary, Write, Flush, Replace, CheckReplace };

// What a save does when another program holds the table for a moment.
enum class RefusedRename { TryAgain, GiveUp };

// Asked before each step. A nonzero Win32 error code makes that step fail
// with that code as if the system had returned it; tests use it to prove
// that every failure leaves the old file alone. Normal callers pass none.
using SaveStepHook = std::function<DWORD(SaveStep)>;

// Writes the bytes to a new file beside the target and only then renames it
// over the target, so the target is either the old file byte for byte or the
// whole new one, never a half-written mix. On any failure the temporary file
// is removed and the error names the target. An empty path means there is
// nothing to save. The folder is never created.
// What the user set on the old file stays: its attributes (hidden, system)
// and its permissions go onto the new file before the rename (through the
// new file's handle, opened with the rights its rename needs, so permissions
// that deny the user Delete still let it be renamed), and a path that is a
// symbolic link keeps the link, with the file it points to replaced beside
// itself. A table whose own permissions refuse its replacement (they deny
// Delete) is written in place and flushed, the only save they allow. A
// read-only file is never written. A rename refused because another program
// holds the file for a moment (a virus scanner, the indexer, a sync tool) is
// tried again for about two seconds, unless refused says GiveUp (the end of
// a session has no time for it).
Status SaveShortcutsFile(const std::string& path, const std::string& bytes, const SaveStepHook& hook = {},
                         RefusedRename refused = RefusedRename::TryAgain);

// Removes the temporary files a save that never ended (a crash, a power cut)
// left beside the table: "<table>.<process>-<count>.tmp", of this
// program's own naming only.
void RemoveLeftTemporaries(const std::string& table);

}  // namespace brimlow::win
