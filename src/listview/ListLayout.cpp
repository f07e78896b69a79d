#include "listview/ListLayout.h"

#include <algorithm>
#include <array>

using namespace registry;

namespace listview {

Layout LayoutFor(int clientWidth, int clientHeight) {
    return {std::max(clientWidth, kMinLayoutWidth), std::max(clientHeight, kMinLayoutHeight)};
}

int ColumnWidth(int code) {
    static constexpr std::array<int, kColumnCodeCount> widths = {10, 14, 14, 6,  4,  20,
                                                                 20, 6,  8,  16, 10, 10};
    return code >= 1 && code <= kColumnCodeCount ? widths[std::size_t(code - 1)] : 0;
}

const CString& ColumnHeader(int code) {
    static const std::array<const CString*, kColumnCodeCount> headers = {
        &"手術日"_sj, &"ID"_sj,     &"名前"_sj,       &"年齢"_sj,
        &"性別"_sj,   &"疾患"_sj,   &"手術術式"_sj,   &"担当科"_sj,
        &"ASA-PS"_sj, &"麻酔法"_sj, &"第一麻酔医"_sj, &"麻酔指導医"_sj};
    static const CString none;
    return code >= 1 && code <= kColumnCodeCount ? *headers[std::size_t(code - 1)] : none;
}

int FirstColumnX(int topRow) {
    int digits = CString::Formatted("%d", topRow + 1).GetLength();
    return (digits + 3) * kCharWidth;
}

int RowAt(const Layout& layout, int x, int y, int topRow, int rowCount) {
    if (x < kListLeft || x > layout.width - 40 || y < kListTop + kRowHeight ||
        y > layout.height - 20) {
        return -1;
    }
    int row = topRow + (y - kListTop - kRowHeight) / kRowHeight;
    return row < rowCount ? row : -1;
}

int ScrollTarget(ScrollAction action, int pos, int thumb, int minPos, int maxPos, int page) {
    int next = pos;
    switch (action) {
    case ScrollAction::LineUp:
        next = pos - 1;
        break;
    case ScrollAction::LineDown:
        next = pos + 1;
        break;
    case ScrollAction::PageUp:
        next = pos - page;
        break;
    case ScrollAction::PageDown:
        next = pos + page;
        break;
    case ScrollAction::Thumb:
        next = thumb;
        break;
    case ScrollAction::Top:
        next = minPos;
        break;
    case ScrollAction::Bottom:
        next = maxPos;
        break;
    case ScrollAction::None:
        break;
    }
    return std::clamp(next, minPos, std::max(minPos, maxPos));
}

} // namespace listview
