#pragma once
// Files and folders for the Windows tests: a private folder under the
// temporary folder, whole-file reads and writes, write times.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "messages.h"
#include "object_security.h"
#include "wide_text.h"

namespace brimlow::testing {

// The names in a folder, sorted, without "." and "..".
inline std::vector<std::string> FileNames(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

// "\\?\" and the full path: no length limit in the wide calls.
inline std::wstring Unlimited(const std::string& fullPath) { return L"\\\\?\\" + Wide(fullPath); }

// Deletes a folder and everything below it, read-only files and folders
// deeper than 260 characters included.
inline void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
        const std::wstring name = found.cFileName, path = folder + L"\\" + name;
        if (name == L"." || name == L"..") continue;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileW(path.c_str())) RemoveTree(path);
    }
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    RemoveDirectoryW(folder.c_str());
}

inline void RemoveTree(const std::string& folder) { RemoveTree(Unlimited(folder)); }

// A new, empty folder "<temp>\brimlow <name> <pid>_<n>" (or in the given
// parent), removed with all it holds when the test is done. The spaces are on
// purpose: every path a test builds in it has them, as "Program Files" paths do.
class TempFolder {
public:
    explicit TempFolder(const std::string& name, const std::string& parent = std::string()) {
        static int made = 0;
        char temp[MAX_PATH] = {};
        if (parent.empty()) GetTempPathA(MAX_PATH, temp);
        path_ = (parent.empty() ? std::string(temp) : parent + "\\") + "brimlow " + name + " " + std::to_string(GetCurrentProcessId()) + "_" +
                std::to_string(++made);
        RemoveTree(path_);
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TempFolder() { RemoveTree(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string PathOf(const std::string& relative) const { return path_ + "\\" + relative; }

private:
    std::string path_;
};

inline bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

// What is left of an open file, which it closes; "" for none.
inline std::string ReadAndClose(std::FILE* file) {
    if (file == nullptr) return std::string();
    std::string bytes;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
    std::fclose(file);
    return bytes;
}

// The file's bytes, or "" if it cannot be read.
inline std::string ReadBytes(const std::string& path) { return ReadAndClose(std::fopen(path.c_str(), "rb")); }

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The same for a path the process's code page may not spell (a test
// program has no UTF-8 manifest, so its ANSI calls are code page 1252).
inline std::string ReadBytes(const std::wstring& path) { return ReadAndClose(_wfopen(path.c_str(), L"rb")); }

inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The file's last-write time, 0 if it cannot be read.
inline ULONGLONG WriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// Back-dates a file, so that a later write shows in its time whatever the
// file system's time resolution.
inline bool SetOldWriteTime(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    SYSTEMTIME old{};
    old.wYear = 2001;
    old.wMonth = 1;
    old.wDay = 1;
    FILETIME time{};
    SystemTimeToFileTime(&old, &time);
    const bool ok = SetFileTime(file, nullptr, nullptr, &time) != 0;
    CloseHandle(file);
    return ok;
}

// Runs a Linux program in the folder, as Wine does for a Linux executable,
// with the arguments split by the Windows rules. That process cannot be
// waited for from Windows: the caller waits for what it does.
inline bool RunLinux(const std::string& folder, const std::string& program, const std::string& arguments) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string command = program + " " + arguments;
    if (!CreateProcessA(("Z:" + program).c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// Lets every account write the file or folder, the Unix way: Wine makes a
// file's access list from its mode (o+w gives Everyone 0x1301ff) and keeps
// nothing SetNamedSecurityInfo sets.
inline bool LetEveryoneWrite(const std::string& path) {
    using UnixFileName = char*(CDECL*)(LPCWSTR);
    const auto unixFileName = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    char* unixPath = unixFileName != nullptr ? unixFileName(Wide(path).c_str()) : nullptr;
    if (unixPath == nullptr) return false;
    const std::string arguments = "o+w \"" + std::string(unixPath) + "\"";
    HeapFree(GetProcessHeap(), 0, unixPath);
    if (!RunLinux("C:\\", "/bin/chmod", arguments)) return false;
    return WaitUntil(
        [&] {
            const auto security = win::ReadFileSecurity(path);
            return security && security->dacl &&
                   std::any_of(security->dacl->begin(), security->dacl->end(), [](const AccessEntry& entry) {
                       return entry.kind == AccessEntry::Kind::Allow && entry.sid == "S-1-1-0" && (entry.mask & kWriteData);
                   });
        },
        10000);
}

// A symbolic link made from the Linux side, as a user keeps a table in a
// synced folder. Wine follows it, and DeleteFile on it deletes the file it
// points to: remove it with RemoveLinuxSymlink.
inline bool MakeLinuxSymlink(const std::string& folder, const std::string& target, const std::string& link) {
    if (!RunLinux(folder, "/bin/ln", "-s \"" + target + "\" \"" + link + "\"")) return false;
    for (int tries = 0; tries < 250 && !Exists(folder + "\\" + link); ++tries) Sleep(20);
    return Exists(folder + "\\" + link);
}

inline bool RemoveLinuxSymlink(const std::string& folder, const std::string& link) {
    if (!RunLinux(folder, "/bin/rm", "-f \"" + link + "\"")) return false;
    for (int tries = 0; tries < 250 && !FileNames(folder).empty(); ++tries) Sleep(20);
    return FileNames(folder).empty();
}

}  // namespace brimlow::testing
