// The target that hot keys open in the end-to-end tests. Every start appends
// one line to probe.log beside it: its file name, the show state its
// STARTUPINFO carries, its creation time, its full path and its command
// line. Then it ends at once. The names come through the wide calls and are
// written in UTF-8, so the log shows exactly where the probe ran from,
// whatever code page it runs in.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* text, int length) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : -1;

    wchar_t path[32768];
    const DWORD length = GetModuleFileNameW(nullptr, path, 32768);
    const std::wstring self(path, length);
    const std::wstring log = self.substr(0, self.find_last_of(L'\\')) + L"\\probe.log";

    // The creation time orders the starts the way the launcher made them,
    // whatever order the probes then get to write their lines in.
    FILETIME created{}, exited{}, kernel{}, user{};
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const unsigned long long createdTicks =
        (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    const std::wstring name = self.substr(self.find_last_of(L'\\') + 1);

    char fields[64];
    std::snprintf(fields, sizeof fields, " show=%d created=%llu path=", show, createdTicks);
    const std::string line = "name=" + Utf8(name.data(), static_cast<int>(name.size())) + fields +
                             Utf8(self.data(), static_cast<int>(self.size())) + " args=" + Utf8(GetCommandLineW(), -1);
    // -1 counted the command line's NUL; the line ends in CR LF instead.
    const std::string record = line.substr(0, line.find('\0')) + "\r\n";
    // FILE_APPEND_DATA makes each line one atomic append, even when several
    // probes start in the same tick.
    HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
        CloseHandle(file);
    }
    return 0;
}
