#include "listview/ListLayout.h"

#include <gtest/gtest.h>

using namespace listview;

TEST(ListLayoutTest, SmallestLayoutAndItsPageStep) {
    Layout small = LayoutFor(300, 200); // smaller windows are laid out at 640 × 480
    EXPECT_EQ(small.width, 640);
    EXPECT_EQ(small.height, 480);
    EXPECT_EQ(small.ListWidth(), 400);
    EXPECT_EQ(small.ListHeight(), 440);
    EXPECT_EQ(small.Bands(), 22); // the header and 21 rows
    EXPECT_EQ(small.Page(), 19);
    EXPECT_EQ(small.ScrollBarX(), 600);
    EXPECT_EQ(small.ScrollBarHeight(), 420);
    Layout big = LayoutFor(1920, 1080);
    EXPECT_EQ(big.Bands(), 52);
    EXPECT_EQ(LayoutFor(800, 509).Bands(), 23); // partial bands do not count
}

TEST(ListLayoutTest, FirstColumnMovesWithTheDigitsOfTheTopRow) {
    EXPECT_EQ(FirstColumnX(0), 36);   // row 1
    EXPECT_EQ(FirstColumnX(8), 36);   // row 9
    EXPECT_EQ(FirstColumnX(9), 45);   // row 10: one digit more, 9 pixels further
    EXPECT_EQ(FirstColumnX(999), 63); // row 1000
}

TEST(ListLayoutTest, ColumnsHaveTheirWidthsAndHeaders) {
    const int widths[] = {10, 14, 14, 6, 4, 20, 20, 6, 8, 16, 10, 10};
    for (int code = 1; code <= 12; ++code) {
        EXPECT_EQ(ColumnWidth(code), widths[code - 1]) << code;
        EXPECT_FALSE(ColumnHeader(code).IsEmpty()) << code;
    }
    EXPECT_EQ(ColumnHeader(7), "手術術式"_sj);
    EXPECT_EQ(ColumnHeader(9), "ASA-PS"_sj);
    EXPECT_EQ(ColumnWidth(0), 0);
    EXPECT_TRUE(ColumnHeader(13).IsEmpty());
}

TEST(ListLayoutTest, ClicksHitRowsInsideTheListOnly) {
    Layout layout = LayoutFor(640, 480);
    EXPECT_EQ(RowAt(layout, 200, 40, 0, 5), 0);
    EXPECT_EQ(RowAt(layout, 600, 59, 0, 5), 0);
    EXPECT_EQ(RowAt(layout, 300, 60, 0, 5), 1);
    EXPECT_EQ(RowAt(layout, 300, 60, 10, 50), 11); // scrolled: counted from the top row
    EXPECT_EQ(RowAt(layout, 199, 50, 0, 5), -1);   // left of the list
    EXPECT_EQ(RowAt(layout, 601, 50, 0, 5), -1);   // right of it
    EXPECT_EQ(RowAt(layout, 300, 39, 0, 5), -1);   // the header
    EXPECT_EQ(RowAt(layout, 300, 461, 0, 50), -1); // below the list
    EXPECT_EQ(RowAt(layout, 300, 140, 0, 5), -1);  // below the last case
    EXPECT_EQ(RowAt(layout, 300, 50, 0, 0), -1);   // no cases
}

TEST(ListLayoutTest, ScrollActionsStayInsideTheRange) {
    using A = ScrollAction;
    EXPECT_EQ(ScrollTarget(A::LineDown, 0, 0, 0, 99, 19), 1);
    EXPECT_EQ(ScrollTarget(A::LineUp, 0, 0, 0, 99, 19), 0);
    EXPECT_EQ(ScrollTarget(A::PageDown, 10, 0, 0, 99, 19), 29);
    EXPECT_EQ(ScrollTarget(A::PageDown, 90, 0, 0, 99, 19), 99); // the last case alone on top
    EXPECT_EQ(ScrollTarget(A::PageUp, 10, 0, 0, 99, 19), 0);
    EXPECT_EQ(ScrollTarget(A::Thumb, 10, 57, 0, 99, 19), 57);
    EXPECT_EQ(ScrollTarget(A::Thumb, 10, 570, 0, 99, 19), 99);
    EXPECT_EQ(ScrollTarget(A::Top, 50, 0, 0, 99, 19), 0);
    EXPECT_EQ(ScrollTarget(A::Bottom, 50, 0, 0, 99, 19), 99);
    EXPECT_EQ(ScrollTarget(A::None, 50, 0, 0, 99, 19), 50);
    EXPECT_EQ(ScrollTarget(A::PageDown, 0, 0, 0, 0, 19), 0); // no rows: range 0 .. 0
}
