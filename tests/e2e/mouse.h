#pragma once
// A real click on a control of the running program, through the system's
// input queue, as a user's mouse makes it: the program activates and the
// control takes the focus by its own handling of the click.

#include <windows.h>

#include "driver.h"

namespace brimlow::e2e {

// Clicks the middle of the control; true once it (or, for a combo box, the
// edit inside it) has the keyboard focus of the program, which is then the
// foreground window. The pointer stays on the control, and Wine has synced
// its key state for the window by then, so keys pressed next reach the
// control and stay down as long as they are held.
inline bool ClickInto(const RunningProgram& program, int id) {
    HWND control = program.Control(id);
    RECT r{};
    GetWindowRect(control, &r);
    testing::MovePointerOnto(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    INPUT clicks[2]{};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, clicks, sizeof(INPUT));
    const DWORD thread = GetWindowThreadProcessId(program.Form(), nullptr);
    return WaitUntil(
        [&] {
            GUITHREADINFO info{};
            info.cbSize = sizeof(info);
            return GetGUIThreadInfo(thread, &info) && (info.hwndFocus == control || IsChild(control, info.hwndFocus)) &&
                   GetForegroundWindow() == program.Form();
        },
        3000);
}

}  // namespace brimlow::e2e
