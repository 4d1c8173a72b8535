#include "layout.h"

namespace brimlow::layout {

TwipsRect RowControl(Column column, int row) {
    const int top = kRowTops[static_cast<std::size_t>(row)];
    switch (column) {
        case Column::Icon: return {120, top - 120, 615, 615};
        case Column::FirstKey: return {840, top, 855, 285};
        case Column::Plus: return {1800, top, 135, 255};
        case Column::Letter: return {2040, top, 615, 285};
        case Column::Path: return {2880, top, 2535, 285};
        case Column::WindowState: return {5640, top + 15, 1335, 315};
        case Column::Active: return {7080, top + 15, 975, 255};
    }
    return {};
}

int TwipsToPixels(int twips, int dpi) {
    const long long scaled = static_cast<long long>(twips) * dpi;
    const long long half = kTwipsPerInch / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / kTwipsPerInch : -((-scaled + half) / kTwipsPerInch));
}

PixelRect ToPixels(const TwipsRect& rect, int dpi) {
    return {TwipsToPixels(rect.left, dpi), TwipsToPixels(rect.top, dpi), TwipsToPixels(rect.width, dpi),
            TwipsToPixels(rect.height, dpi)};
}

}  // namespace brimlow::layout
