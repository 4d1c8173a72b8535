#include "shortcuts_io.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "handles.h"
#include "paths.h"
#include "shortcuts_file.h"
#include "win_errors.h"

namespace brimlow::win {
namespace {

constexpr DWORD kChunk = 4096;

// How long a refused rename is tried again, and how often: a scanner or a
// sync tool holds a file for well under a second.
constexpr DWORD kReplaceRetryMs = 2000;
constexpr DWORD kReplaceRetryStepMs = 100;

// The attributes a user sets on a file that the new file carries on.
// Read-only never gets this far: it means "do not write".
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_ARCHIVE;

Error FolderInPlaceOfFile(const std::string& what, const std::string& path) {
    return Error{error_number::kPathFileAccess, what + " " + path + ": it is a folder, not a file."};
}

DWORD InjectedFailure(const SaveStepHook& hook, SaveStep step) { return hook ? hook(step) : ERROR_SUCCESS; }

// A file beside the target, held open from its creation to its rename with
// the rights the rename needs, and deleted again through that handle unless
// it has been renamed into place: so no failure leaves one behind, not even
// one whose permissions (the table's own) keep anyone from deleting it.
class TemporaryFile {
public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (path.empty()) return;
        FILE_DISPOSITION_INFO dispose{TRUE};
        const bool deleted =
            handle && SetFileInformationByHandle(handle.Get(), FileDispositionInfo, &dispose, sizeof dispose);
        handle.Reset();
        if (!deleted) DeleteFileW(ToWide(path).c_str());
    }

    // Once renamed over the target the name no longer belongs to us.
    void Release() { path.clear(); }

    std::string path;
    UniqueFile handle;
};

// The temporary file is opened with the rights to rename and delete it and
// to set its permissions: they are checked now, before the table's own
// permissions go on it, which may deny the user exactly those.
constexpr DWORD kTemporaryAccess = GENERIC_WRITE | DELETE | WRITE_DAC | READ_CONTROL | FILE_WRITE_ATTRIBUTES;

// Creates a file named after the target, with this process's id and a
// counter, that did not exist before: CREATE_NEW never opens someone else's
// file, and a leftover of an earlier run only costs one more try.
DWORD CreateTemporary(const std::string& target, const SaveStepHook& hook, TemporaryFile& temp) {
    static unsigned counter = 0;
    DWORD code = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < 100 && (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS); ++attempt) {
        const std::string name =
            target + "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++) + ".tmp";
        code = InjectedFailure(hook, SaveStep::CreateTemporary);
        if (code != ERROR_SUCCESS) continue;
        UniqueFile handle(
            CreateFileW(ToWide(name).c_str(), kTemporaryAccess, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!handle) {
            code = GetLastError();
            continue;
        }
        temp.path = name;
        temp.handle = std::move(handle);
    }
    return code;
}

DWORD WriteAll(HANDLE file, const std::string& bytes, const SaveStepHook& hook) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(kChunk, bytes.size() - written));
        DWORD code = InjectedFailure(hook, SaveStep::Write);
        if (code != ERROR_SUCCESS) return code;
        DWORD done = 0;
        if (!WriteFile(file, bytes.data() + written, chunk, &done, nullptr)) return GetLastError();
        if (done == 0) return ERROR_WRITE_FAULT;
        written += done;
    }
    return ERROR_SUCCESS;
}

// The data must be on the disk before the rename makes it the file, or a
// power cut could leave a renamed but empty file.
DWORD Flush(HANDLE file, const SaveStepHook& hook) {
    const DWORD code = InjectedFailure(hook, SaveStep::Flush);
    if (code != ERROR_SUCCESS) return code;
    return FlushFileBuffers(file) ? ERROR_SUCCESS : GetLastError();
}

// The old file's permissions and attributes onto the new one, through its
// handle. The rename would otherwise give the table the folder's inherited
// permissions, opening up a file the user had closed to others. A file
// system without permissions has nothing to carry.
void CarryOver(const std::string& from, DWORD oldAttributes, HANDLE to) {
    constexpr SECURITY_INFORMATION kWhat = DACL_SECURITY_INFORMATION;
    DWORD needed = 0;
    GetFileSecurityW(ToWide(from).c_str(), kWhat, nullptr, 0, &needed);
    if (needed != 0) {
        std::string descriptor(needed, '\0');
        if (GetFileSecurityW(ToWide(from).c_str(), kWhat, descriptor.data(), needed, &needed)) {
            SetKernelObjectSecurity(to, kWhat, descriptor.data());
        }
    }
    if ((oldAttributes & kKeptAttributes) != 0) {
        FILE_BASIC_INFO basic{};  // times of zero stay as they are
        basic.FileAttributes = oldAttributes & kKeptAttributes;
        SetFileInformationByHandle(to, FileBasicInfo, &basic, sizeof basic);
    }
}

bool RefusedForAMoment(DWORD code) { return code == ERROR_SHARING_VIOLATION || code == ERROR_ACCESS_DENIED; }

// The temporary file renamed over the target through its own handle, which
// holds the right to it whatever permissions the file has been given since.
DWORD RenameOver(HANDLE file, const std::string& target) {
    const std::wstring name = ToWide(target);
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::copy(name.begin(), name.end(), rename->FileName);
    if (!SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(buffer.size()))) {
        return GetLastError();
    }
    return ERROR_SUCCESS;
}

DWORD Replace(HANDLE temp, const std::string& path, const SaveStepHook& hook, RefusedRename refused) {
    const ULONGLONG giveUp = GetTickCount64() + (refused == RefusedRename::TryAgain ? kReplaceRetryMs : 0);
    for (;;) {
        // A rename within one folder replaces the file in one step;
        // ReplaceFile is avoided because Wine moves the old file away first.
        DWORD code = InjectedFailure(hook, SaveStep::Replace);
        if (code == ERROR_SUCCESS) code = RenameOver(temp, path);
        if (!RefusedForAMoment(code) || GetTickCount64() >= giveUp) return code;
        Sleep(kReplaceRetryStepMs);
    }
}

// True when the table's own permissions refuse its replacement: they deny
// the user Delete, which a rename over it needs. Another program holding the
// file open is a sharing violation instead, and passes.
bool RefusesReplacement(const std::string& path, const SaveStepHook& hook) {
    DWORD code = InjectedFailure(hook, SaveStep::CheckReplace);
    if (code == ERROR_SUCCESS) {
        UniqueFile probe(CreateFileW(ToWide(path).c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (probe) return false;
        code = GetLastError();
    }
    return code == ERROR_ACCESS_DENIED;
}

// The bytes written over the file itself, flushed: the one save that
// permissions denying Delete allow. The file keeps its permissions, being
// the same file; a failure half-way can leave it part written.
DWORD WriteInPlace(const std::string& path, const std::string& bytes, const SaveStepHook& hook) {
    UniqueFile file(CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    DWORD code = WriteAll(file.Get(), bytes, hook);
    if (code == ERROR_SUCCESS && !SetEndOfFile(file.Get())) code = GetLastError();
    if (code == ERROR_SUCCESS) code = Flush(file.Get(), hook);
    return code;
}

// oldAttributes: the target's, or INVALID_FILE_ATTRIBUTES when there is none.
DWORD SaveSteps(const std::string& path, const std::string& bytes, DWORD oldAttributes, const SaveStepHook& hook,
                RefusedRename refused) {
    const bool hadFile = oldAttributes != INVALID_FILE_ATTRIBUTES;
    if (hadFile && RefusesReplacement(path, hook)) return WriteInPlace(path, bytes, hook);

    TemporaryFile temp;
    DWORD code = CreateTemporary(path, hook, temp);
    if (code != ERROR_SUCCESS) return code;
    code = WriteAll(temp.handle.Get(), bytes, hook);
    if (code != ERROR_SUCCESS) return code;
    code = Flush(temp.handle.Get(), hook);
    if (code != ERROR_SUCCESS) return code;
    if (hadFile) CarryOver(path, oldAttributes, temp.handle.Get());
    code = Replace(temp.handle.Get(), path, hook, refused);
    if (code != ERROR_SUCCESS) return code;
    temp.Release();
    return ERROR_SUCCESS;
}

// Reads the file chunk by chunk until its end or until enough(bytes) says
// the rest is not needed.
template <typename Enough>
FileBytes ReadFileBytes(const std::string& path, Enough enough) {
    const DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return FileError(GetLastError(), "Cannot read", path);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FolderInPlaceOfFile("Cannot read", path);

    UniqueFile file(CreateFileW(ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return FileError(GetLastError(), "Cannot read", path);

    std::string bytes;
    char buffer[kChunk];
    while (!enough(bytes)) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), buffer, kChunk, &got, nullptr)) return FileError(GetLastError(), "Cannot read", path);
        if (got == 0) break;
        bytes.append(buffer, got);
    }
    return bytes;
}

}  // namespace

FileBytes ReadShortcutsFile(const std::string& path) {
    std::size_t counted = 0;
    long lineEnds = 0;
    return ReadFileBytes(path, [&](const std::string& bytes) {
        lineEnds += static_cast<long>(std::count(bytes.begin() + static_cast<std::ptrdiff_t>(counted), bytes.end(), '\n'));
        counted = bytes.size();
        return lineEnds >= kShortcutsFileLines;
    });
}

FileBytes ReadWholeFile(const std::string& path, std::size_t limit) {
    FileBytes bytes = ReadFileBytes(path, [limit](const std::string& read) { return read.size() > limit; });
    if (const auto* read = std::get_if<std::string>(&bytes); read != nullptr && read->size() > limit) {
        return Error{error_number::kFileTooLarge, "Cannot read " + path + ": the file is larger than " +
                                                      std::to_string(limit / (1024 * 1024)) +
                                                      " MB; a shortcuts file is fifty short lines."};
    }
    return bytes;
}

std::string ResolvedPath(const std::string& path) {
    UniqueFile file(CreateFileW(ToWide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) return path;
    std::wstring wide(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(file.Get(), wide.data(), static_cast<DWORD>(wide.size()), 0);
    if (length >= wide.size()) {
        wide.resize(length + 1);
        length = GetFinalPathNameByHandleW(file.Get(), wide.data(), static_cast<DWORD>(wide.size()), 0);
    }
    if (length == 0 || length >= wide.size()) return path;
    wide.resize(length);
    // The name comes back in the long form "\\?\C:\..." or "\\?\UNC\server\...".
    if (wide.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        wide.replace(0, 8, L"\\\\");
    } else if (wide.rfind(L"\\\\?\\", 0) == 0) {
        wide.erase(0, 4);
    }
    const std::string resolved = FromWide(wide);
    // The same file by another spelling (letter case, short names): the
    // path as given names it in messages and in the temporary file's name.
    return resolved.empty() || lstrcmpiA(resolved.c_str(), path.c_str()) == 0 ? path : resolved;
}

Status SaveShortcutsFile(const std::string& path, const std::string& bytes, const SaveStepHook& hook,
                         RefusedRename refused) {
    if (path.empty()) return std::nullopt;

    // A link stays a link: the file it points to is replaced, beside itself.
    const std::string target = ResolvedPath(path);
    const DWORD attributes = GetFileAttributesW(ToWide(target).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FolderInPlaceOfFile("Cannot save", path);
        // Writing a read-only file in place is refused on Windows; renaming
        // over it must not get round that.
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return FileError(ERROR_ACCESS_DENIED, "Cannot save", path);
    }

    const DWORD code = SaveSteps(target, bytes, attributes, hook, refused);
    if (code != ERROR_SUCCESS) return FileError(code, "Cannot save", path);
    return std::nullopt;
}

void RemoveLeftTemporaries(const std::string& table) {
    const auto slash = table.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? std::string(".") : table.substr(0, slash);
    const std::wstring prefix = ToWide(table.substr(slash == std::string::npos ? 0 : slash + 1) + ".");
    WIN32_FIND_DATAW found{};
    UniqueFind search(FindFirstFileW(ToWide(table + ".*.tmp").c_str(), &found));
    if (!search) return;
    do {
        // "<table>.<digits>-<digits>.tmp" and nothing else: a file of
        // another program's naming is never touched.
        const std::wstring name = found.cFileName;
        if (name.size() <= prefix.size() + 4 || _wcsnicmp(name.c_str(), prefix.c_str(), prefix.size()) != 0) continue;
        const std::wstring middle = name.substr(prefix.size(), name.size() - prefix.size() - 4);
        const auto dash = middle.find(L'-');
        const bool ours = name.compare(name.size() - 4, 4, L".tmp") == 0 && dash != std::wstring::npos && dash > 0 &&
                          dash + 1 < middle.size() &&
                          middle.find_first_not_of(L"0123456789-") == std::wstring::npos &&
                          middle.find(L'-', dash + 1) == std::wstring::npos;
        if (ours && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            DeleteFileW((ToWide(folder) + L"\\" + name).c_str());
        }
    } while (FindNextFileW(search.Get(), &found));
}

}  // namespace brimlow::win
