#include "layout.h"

#include <gtest/gtest.h>

namespace brimlow::layout {
namespace {

TEST(TwipsToPixels, FifteenTwipsArePixelAt96Dpi) {
    EXPECT_EQ(TwipsToPixels(8145, 96), 543);
    EXPECT_EQ(TwipsToPixels(615, 96), 41);
    EXPECT_EQ(TwipsToPixels(615, 144), 62);  // 61.5 rounds up
    EXPECT_EQ(TwipsToPixels(1440, 120), 120);
    EXPECT_EQ(TwipsToPixels(0, 144), 0);
}

TEST(RowControl, RowsKeepTheirSpacingAndTheIconSitsAboveTheRow) {
    EXPECT_EQ(RowControl(Column::FirstKey, 0).top, 765);
    EXPECT_EQ(RowControl(Column::FirstKey, 4).top - RowControl(Column::FirstKey, 3).top, 600);
    EXPECT_EQ(RowControl(Column::FirstKey, 9).top - RowControl(Column::FirstKey, 8).top, 720);
    EXPECT_EQ(RowControl(Column::Icon, 0).top, 645);
    EXPECT_EQ(RowControl(Column::WindowState, 2).top, kRowTops[2] + 15);
    // The "+" stands midway between the two key boxes and overlaps neither.
    const TwipsRect first = RowControl(Column::FirstKey, 5);
    const TwipsRect plus = RowControl(Column::Plus, 5);
    const TwipsRect letter = RowControl(Column::Letter, 5);
    EXPECT_GT(plus.left, first.left + first.width);
    EXPECT_EQ(plus.left - (first.left + first.width), letter.left - (plus.left + plus.width));
    // Everything fits inside the client area.
    for (int row = 0; row < kRowCount; ++row) {
        for (Column c : {Column::Icon, Column::FirstKey, Column::Plus, Column::Letter, Column::Path,
                         Column::WindowState, Column::Active}) {
            const TwipsRect r = RowControl(c, row);
            EXPECT_LE(r.left + r.width, kClientWidth);
            EXPECT_LE(r.top + r.height, kHideButton.top);
            EXPECT_GE(r.top, kToolbar.top + kToolbar.height);
        }
    }
    EXPECT_LE(kHideButton.top + kHideButton.height, kClientHeight);
}

}  // namespace
}  // namespace brimlow::layout
