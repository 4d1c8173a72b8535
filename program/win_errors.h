#pragma once
// Turning Win32 failures into the program's errors, in one place.

#include <windows.h>

#include <string>

#include "error.h"

namespace brimlow::win {

// The system's own sentence for an error code, without the trailing line end.
std::string SystemMessage(DWORD code);

// The program's error number for a failed file operation.
int ErrorNumberForFile(DWORD code);

// "<what> <file>: <system message>" with the number that fits the code.
Error FileError(DWORD code, const std::string& what, const std::string& file);

// Shows an error as the program reports every error: its number and its
// description, in a modal message box.
void ShowErrorBox(HWND owner, const Error& error);

}  // namespace brimlow::win
