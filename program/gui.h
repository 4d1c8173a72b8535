#pragma once
// Small pieces the program's two windows share: child-window ids, the fonts
// they are drawn with and the program icon.

#include <windows.h>

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

// The program's icon at this size in pixels, shared by the system: it is
// never destroyed.
HICON ProgramIcon(int size);

}  // namespace brimlow::win
