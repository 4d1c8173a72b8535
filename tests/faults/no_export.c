/* A well-formed DLL that lacks the launcher's export: Ostrad.dll must
   name the missing function instead of calling nothing. */
#include <windows.h>

__declspec(dllexport) LONG WINAPI NotOstrad(void) { return 0; }
