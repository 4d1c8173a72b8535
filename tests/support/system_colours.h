#pragma once
// High Contrast Black switched on under a test's running windows, and the
// session's colours put back when the test ends.

#include <windows.h>

namespace brimlow::testing {

// The button face and the menu black, the button text white. The system tells
// every top-level window with WM_SYSCOLORCHANGE.
class HighContrastBlack {
public:
    HighContrastBlack() {
        for (int i = 0; i < 3; ++i) old_[i] = GetSysColor(kElements[i]);
        const COLORREF contrast[] = {RGB(0, 0, 0), RGB(255, 255, 255), RGB(0, 0, 0)};
        SetSysColors(3, kElements, contrast);
    }
    ~HighContrastBlack() { SetSysColors(3, kElements, old_); }

private:
    static constexpr int kElements[] = {COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_MENU};
    COLORREF old_[3] = {};
};

// Pixels of this colour in a shown window's client area, as on the screen.
inline int PixelsOf(HWND window, COLORREF colour) {
    RECT r{};
    GetClientRect(window, &r);
    HDC dc = GetDC(window);
    int count = 0;
    for (int y = 0; y < r.bottom; ++y) {
        for (int x = 0; x < r.right; ++x) count += GetPixel(dc, x, y) == colour;
    }
    ReleaseDC(window, dc);
    return count;
}

}  // namespace brimlow::testing
