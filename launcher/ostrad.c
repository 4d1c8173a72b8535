/* The launcher library: one export that asks the shell to open a file.
 * It is built without the C runtime so that its only import is SHELL32.dll;
 * nothing here may call into a C library. */
#include <windows.h>
#include <shellapi.h>

/* Loading and unloading do nothing beyond reporting success. */
BOOL WINAPI DllEntry(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}

/* The strings belong to the caller and go to the shell untouched: no copy,
 * no quoting, no conversion. The 16-bit show command is sign-extended, so a
 * negative value stays negative. */
LONG WINAPI Ostrad(LPCSTR file, SHORT showCmd, LPCSTR directory) {
    HINSTANCE result = ShellExecuteA(NULL, NULL, file, NULL, directory, (INT)showCmd);
    return (LONG)(INT_PTR)result;
}
