/* A stand-in for Ostrad.dll that does what the shell may do inside a launch:
   run a message loop of its own, here for 300 ms, as the security warning of
   a downloaded file does. Each call appends its depth to launcher.log beside
   the DLL: "depth=1" for a call from an ordinary tick, more for one made by a
   tick delivered inside that loop. */
#include <windows.h>

static HMODULE self;
static LONG depth;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) self = instance;
    return TRUE;
}

static void AppendDepth(void) {
    char path[MAX_PATH];
    char line[32];
    DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    HANDLE log;
    DWORD written;
    while (length > 0 && path[length - 1] != '\\') --length;
    lstrcpyA(path + length, "launcher.log");
    log = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, 0, NULL);
    if (log == INVALID_HANDLE_VALUE) return;
    wsprintfA(line, "depth=%ld\r\n", depth);
    WriteFile(log, line, (DWORD)lstrlenA(line), &written, NULL);
    CloseHandle(log);
}

LONG WINAPI Ostrad(LPCSTR file, SHORT showCmd, LPCSTR directory) {
    const ULONGLONG end = GetTickCount64() + 300;
    MSG msg;
    (void)file;
    (void)showCmd;
    (void)directory;
    ++depth;
    AppendDepth();
    while (GetTickCount64() < end) {
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
    --depth;
    return 33;
}
