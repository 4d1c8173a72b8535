#pragma once
// A row's icon box: a child window backed by its own bitmap, so what is drawn
// into it survives repaints, hiding and showing, and drawing before the window
// was ever shown.

#include <windows.h>

#include "handles.h"

namespace brimlow::win {

class IconBox {
public:
    static bool RegisterClass(HINSTANCE instance);

    IconBox() = default;
    IconBox(const IconBox&) = delete;
    IconBox& operator=(const IconBox&) = delete;

    HWND Create(HWND parent, int id, const RECT& bounds, HINSTANCE instance);
    // Moves and resizes the box without drawing it; the picture is cleared,
    // as the caller redraws it.
    void Move(const RECT& bounds);

    // Removes the picture: the surface goes back to the background colour.
    void Clear();
    // The drawing surface. Draw at (0, 0), then call Invalidate.
    HDC Dc() const { return dc_.Get(); }
    void Invalidate();
    HWND Hwnd() const { return hwnd_; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void MakeSurface(int width, int height);
    void Paint();

    HWND hwnd_ = nullptr;
    UniqueDc dc_;
    UniqueGdi bitmap_;
    HGDIOBJ originalBitmap_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace brimlow::win
