#pragma once
// Small pieces the program's two windows share: child-window ids, the fonts
// they are drawn with and the program icon.

#include <windows.h>

#include <atomic>

#include "handles.h"

namespace brimlow::win {

// A child window's id where CreateWindowEx takes a menu handle.
inline HMENU ChildId(int id) { return reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)); }

// A font of this face at this size in hundredths of a point (825 is 8.25
// points), for a window at this DPI.
UniqueGdi MakeFont(const char* face, int hundredthsOfAPoint, int dpi, bool bold);

// The dialog font the windows use for their controls, "MS Shell Dlg 2" at
// 8 points, normal or bold.
UniqueGdi DialogFont(int dpi, bool bold = false);

// The program's icon at this size in pixels, the caller's to keep. Never
// loaded shared: the system's cache of shared icons hands back the first size
// it loaded under the name, whatever size is asked later, and stretches it.
UniqueIcon ProgramIcon(int size);

// The number of a registered window message, kept in cache after the first
// call. The cache is a constant-initialised atomic, never a function-local
// static with a computed value: that one's guard alone brings the threading
// library's 20 KB into the program.
UINT RegisteredMessage(std::atomic<UINT>& cache, const wchar_t* name);

// The width and height of an icon's image; 0 x 0 for no icon.
SIZE IconSize(HICON icon);

// The two icons of a window at its DPI: the large one for Alt+Tab and the
// small one in the caption and the taskbar.
struct WindowIcons {
    UniqueIcon large;
    UniqueIcon small;
};
// Gives the window the program's icons at the sizes of this DPI and hands
// them to the caller to keep while the window shows them; the window lets go
// of the icons it held before.
WindowIcons SetWindowIcons(HWND window, int dpi);

}  // namespace brimlow::win
