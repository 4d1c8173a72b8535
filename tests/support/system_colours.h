#pragma once
// The desktop's colours changed while a test's windows run, as a user's
// switch to High Contrast does, and put back when the test ends: the change
// reaches every program of the session.

#include <windows.h>

#include <initializer_list>
#include <utility>
#include <vector>

namespace brimlow::testing {

// High Contrast Black's colours for what the program draws with.
inline constexpr COLORREF kContrastBlack = RGB(0, 0, 0);
inline constexpr COLORREF kContrastWhite = RGB(255, 255, 255);

class SystemColours {
public:
    explicit SystemColours(std::initializer_list<std::pair<int, COLORREF>> colours) {
        for (const auto& [element, colour] : colours) {
            elements_.push_back(element);
            old_.push_back(GetSysColor(element));
            new_.push_back(colour);
        }
        // The system tells every top-level window with WM_SYSCOLORCHANGE.
        SetSysColors(static_cast<int>(elements_.size()), elements_.data(), new_.data());
    }
    ~SystemColours() { SetSysColors(static_cast<int>(elements_.size()), elements_.data(), old_.data()); }
    SystemColours(const SystemColours&) = delete;
    SystemColours& operator=(const SystemColours&) = delete;

private:
    std::vector<int> elements_;
    std::vector<COLORREF> old_;
    std::vector<COLORREF> new_;
};

// How many pixels of the window's client area, as it is on the screen, have
// this colour. The window must be shown and painted.
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
