#pragma once
// The program's notification-area icon as the shell sees it, asked from any
// process: Shell_NotifyIconW answers for the icons it holds, whoever added
// them.

#include <windows.h>
#include <shellapi.h>

namespace brimlow::testing {

// True while the shell holds an icon of this window with this number: a
// modify that changes nothing succeeds only for an icon that is there.
inline bool NotifyIconExists(HWND window, UINT id) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = id;
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

}  // namespace brimlow::testing
