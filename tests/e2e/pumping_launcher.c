/* A stand-in for Ostrad.dll that runs a message loop of its own for 300 ms
   in each call, as the shell's security warning of a downloaded file does,
   and logs its depth: "depth=2" is a launch from a tick inside that loop. */
#include <windows.h>

static LONG depth;

LONG WINAPI Ostrad(LPCSTR file, SHORT showCmd, LPCSTR directory) {
    const ULONGLONG end = GetTickCount64() + 300;
    HANDLE log = CreateFileA("launcher.log", FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS, 0, NULL);
    char line[32];
    DWORD written;
    MSG msg;
    (void)file, (void)showCmd, (void)directory;
    WriteFile(log, line, (DWORD)wsprintfA(line, "depth=%ld\r\n", ++depth), &written, NULL);
    CloseHandle(log);
    while (GetTickCount64() < end) {
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
    return --depth, 33;
}
