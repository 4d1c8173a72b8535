#pragma once
// Where the main window's controls sit, in twips (1/1440 inch), and their
// conversion to pixels for a given DPI. The menu is a native menu bar above
// the client area, so everything sits 435 twips higher than it would below a
// menu drawn inside the window.

#include <array>

#include "row_controls.h"

namespace brimlow::layout {

struct TwipsRect {
    int left, top, width, height;
};

struct PixelRect {
    int left, top, width, height;
};

inline constexpr int kTwipsPerInch = 1440;

inline constexpr int kClientWidth = 8145;
inline constexpr int kClientHeight = 8235;

inline constexpr TwipsRect kToolbar{0, 0, kClientWidth, 435};
inline constexpr TwipsRect kHideButton{5640, 7725, 2295, 375};

// Row tops, 720 apart except 600 between rows 3 and 4.
inline constexpr std::array<int, kRowCount> kRowTops{765, 1485, 2205, 2925, 3525, 4245, 4965, 5685, 6405, 7125};

enum class Column { Icon, FirstKey, Plus, Letter, Path, WindowState, Active };

TwipsRect RowControl(Column column, int row);

// Rounds to the nearest pixel, so 15 twips are one pixel at 96 dpi.
int TwipsToPixels(int twips, int dpi);
PixelRect ToPixels(const TwipsRect& rect, int dpi);

}  // namespace brimlow::layout
