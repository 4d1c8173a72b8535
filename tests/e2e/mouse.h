#pragma once
// A real click on a control of the running program, through the system's
// input queue, as a user's mouse makes it: the program activates and the
// control takes the focus by its own handling of the click.

#include <windows.h>

#include "driver.h"

namespace brimlow::e2e {

// Clicks the middle of the control; true once it (or, for a combo box, the
// edit inside it) has the keyboard focus of the program, which is then the
// foreground window.
inline bool ClickInto(const RunningProgram& program, int id) {
    HWND control = program.Control(id);
    RECT r{};
    GetWindowRect(control, &r);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    Wait(30);
    INPUT clicks[2]{};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, clicks, sizeof(INPUT));
    const DWORD thread = GetWindowThreadProcessId(program.Form(), nullptr);
    const bool focused = WaitUntil(
        [&] {
            GUITHREADINFO info{};
            info.cbSize = sizeof(info);
            return GetGUIThreadInfo(thread, &info) && (info.hwndFocus == control || IsChild(control, info.hwndFocus)) &&
                   GetForegroundWindow() == program.Form();
        },
        3000);
    // When its window gains the X focus, Wine brings its key state in line
    // with the X keyboard, where no key is down: a key pressed before that
    // news arrives is forgotten. A user's hand is never that quick.
    Wait(300);
    return focused;
}

}  // namespace brimlow::e2e
