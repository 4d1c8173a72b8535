#pragma once
// A window's class name and title, read in this process's own address space
// (for another process's windows, a test sends WM_GETTEXT instead).

#include <windows.h>

#include <string>

namespace brimlow::testing {

inline std::string ClassOf(HWND hwnd) {
    char name[128] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

inline std::string WindowText(HWND hwnd) {
    char text[1024] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

}  // namespace brimlow::testing
