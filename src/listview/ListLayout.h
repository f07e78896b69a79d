#pragma once
// The arithmetic of the case list: where the list, its rows and columns and the scroll bar lie
// for a window size, which row a click hits, and where a scroll action leads.

#include "framework/String.h"
#include "registry/QuellmarkDoc.h"

namespace listview {

constexpr int kMinLayoutWidth = 640;
constexpr int kMinLayoutHeight = 480;
constexpr int kListLeft = 200;
constexpr int kListTop = 20;
constexpr int kRowHeight = 20;
constexpr int kTextOffset = 2;
constexpr int kCharWidth = 9;
constexpr int kColumnGap = 2;
constexpr int kColumnCount = 6;

// A client area smaller than the smallest layout is laid out at that size and clipped.
struct Layout {
    int width;
    int height;

    int ListWidth() const { return width - 240; }
    int ListHeight() const { return height - 40; }
    // Bands of 20 pixels in the list image; band 0 is the header.
    int Bands() const { return ListHeight() / kRowHeight; }
    // A page step: two rows fewer than fit.
    int Page() const { return Bands() - 3; }
    int ScrollBarX() const { return width - 40; }
    int ScrollBarHeight() const { return height - 60; }
};

Layout LayoutFor(int clientWidth, int clientHeight);

// Columns: width in characters of 9 pixels (a cell shows that many bytes), header text.
int ColumnWidth(int code);
const CString& ColumnHeader(int code);

// The x of the first column: it moves right as the row numbers get longer.
int FirstColumnX(int topRow);

// The row (0 = first case of the list) under a click, or -1 outside the rows.
int RowAt(const Layout& layout, int x, int y, int topRow, int rowCount);

// Scroll actions of the bar and the keys.
enum class ScrollAction { LineUp, LineDown, PageUp, PageDown, Thumb, Top, Bottom, None };
int ScrollTarget(ScrollAction action, int pos, int thumb, int minPos, int maxPos, int page);

} // namespace listview
