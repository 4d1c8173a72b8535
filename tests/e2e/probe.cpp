// The target that hot keys open in the end-to-end tests. Every start appends
// one line to probe.log beside it: the show state its STARTUPINFO carries and
// its command line. Then it ends at once.
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoA(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : -1;

    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string log(path, length);
    log = log.substr(0, log.find_last_of('\\')) + "\\probe.log";

    // The creation time orders the starts the way the launcher made them,
    // whatever order the probes then get to write their lines in.
    FILETIME created{}, exited{}, kernel{}, user{};
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const unsigned long long createdTicks =
        (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    const std::string name(path + (std::string(path, length).find_last_of('\\') + 1), path + length);

    char line[1024];
    const int size = std::snprintf(line, sizeof line, "name=%s show=%d created=%llu args=%s\r\n", name.c_str(), show,
                                   createdTicks, GetCommandLineA());
    // FILE_APPEND_DATA makes each line one atomic append, even when several
    // probes start in the same tick.
    HANDLE file = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, line, static_cast<DWORD>(size > 0 ? size : 0), &written, nullptr);
        CloseHandle(file);
    }
    return 0;
}
