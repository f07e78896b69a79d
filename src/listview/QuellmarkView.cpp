#include "listview/QuellmarkView.h"

#include "framework/ui/Dialog.h"
#include "framework/ui/ProgressDialog.h"
#include "listview/ListLayout.h"
#include "listview/ListPrint.h"

#include <algorithm>

using namespace registry;

using listview::Layout;
using namespace listview;

namespace {

constexpr fw::Rgb kTint{255, 255, 204};

struct ButtonSpec {
    int id;
    const char* caption;
    int top;
};
constexpr ButtonSpec kButtons[] = {
    {kNewCaseButton, "新規台帳", 20},          {kDisplayItemsButton, "並び替え", 80},
    {kFilterButton, "絞り込み", 140},          {kAggregateButton, "集計", 200},
    {kAdminMenuButton, "管理者メニュー", 260}, {kLogoutButton, "ログアウト", 320},
};

CString fromUtf8(const char* utf8) {
    CString text;
    CString::FromUtf8(utf8, text);
    return text;
}

listview::ScrollAction actionOf(fw::ScrollCode code) {
    switch (code) {
    case fw::kScrollLineUp:
        return listview::ScrollAction::LineUp;
    case fw::kScrollLineDown:
        return listview::ScrollAction::LineDown;
    case fw::kScrollPageUp:
        return listview::ScrollAction::PageUp;
    case fw::kScrollPageDown:
        return listview::ScrollAction::PageDown;
    case fw::kScrollThumbPosition:
    case fw::kScrollThumbTrack:
        return listview::ScrollAction::Thumb;
    case fw::kScrollTop:
        return listview::ScrollAction::Top;
    case fw::kScrollBottom:
        return listview::ScrollAction::Bottom;
    default:
        return listview::ScrollAction::None;
    }
}

} // namespace

CQuellmarkView::CQuellmarkView(CQuellmarkDoc& doc, ViewCommands commands)
    : m_doc(doc), m_commands(std::move(commands)) {
    resetDisplaySettings();
    for (const ButtonSpec& b : kButtons) {
        CreateButton(b.id, fromUtf8(b.caption), 20, b.top, 160, b.top + 40);
    }
    CreateScrollBar(kScrollBar);
    if (!m_tile.LoadPicture("background") && !m_tile.Create(80, 180)) {
        reportMemoryShortage();
    }
    SetImage(&m_dcMem);
}

void CQuellmarkView::OnInitialUpdate() {
    createImage(ClientWidth(), ClientHeight());
    RedrawImage();
    requestLogin();
}

void CQuellmarkView::createImage(int width, int height) {
    if (!m_dcMem.Create(width, height)) {
        reportMemoryShortage();
    }
}

void CQuellmarkView::reportMemoryShortage() {
    // Told once, from the event loop: the shortage shows up inside a resize or a paint, where
    // a message box has no place, and while the message is up a second one would say the same.
    if (m_memoryMessageQueued) {
        return;
    }
    m_memoryMessageQueued = true;
    fw::PostTask([this] {
        fw::ShowMessage("メモリが足りないため、一覧を描けません。ウィンドウを小さくしてください。"
                        "入力したデータは失われていません。"_sj);
        m_memoryMessageQueued = false;
    });
}

void CQuellmarkView::requestLogin() {
    if (m_nState == kLoginPending && !m_loginQueued) {
        m_loginQueued = true;
        fw::PostTask([this] { DoLogin(); });
    }
}

void CQuellmarkView::OnDraw() {
    // The login runs from the event loop right after painting, never inside it.
    if (m_nState == kLoginPending) {
        requestLogin();
    } else if (m_nState == kClosing && m_commands.closeMainWindow) {
        fw::PostTask(m_commands.closeMainWindow);
    }
}

void CQuellmarkView::DoLogin() {
    // The prompt's own event loop paints the view too; one prompt at a time.
    if (m_nState != kLoginPending || m_loginRunning) {
        return;
    }
    m_loginRunning = true;
    int generalUser = 1;
    bool matched = m_commands.login && m_commands.login(generalUser);
    m_loginRunning = false;
    m_loginQueued = false;
    if (matched) {
        m_bGeneralUser = generalUser;
        ShowCommandButtons(m_bGeneralUser != 0);
        m_nState = kLoggedIn;
        resetDisplaySettings();
        RebuildRows();
        ResetScroll();
        SetFocus();
    } else {
        m_nState = kClosing;
        if (m_commands.closeMainWindow) {
            fw::PostTask(m_commands.closeMainWindow);
        }
    }
    RedrawImage();
    Invalidate();
}

void CQuellmarkView::resetDisplaySettings() {
    m_tStart = 0;
    m_tEnd = 0;
    m_filter = CaseFilter{};
    std::copy(std::begin(kDefaultColumns), std::end(kDefaultColumns), m_nColumn);
}

void CQuellmarkView::OnLogout() {
    HideCommandButtons();
    CString error;
    CString notice;
    bool saved = false;
    registry::ChangeStore& store = m_doc.GetStore();
    if (store.EndsSessionAtOnce()) {
        saved = store.EndSession(m_doc, error, notice, fw::Progress::None());
    } else {
        // A large registry takes a second or two (a million cases, a file of 280 MB).
        fw::RunWithProgress("データを保存しています…"_sj, [&](fw::Progress& progress) {
            saved = store.EndSession(m_doc, error, notice, progress);
        });
    }
    if (!saved) {
        // Nothing may be lost: the user stays logged in and can try again. The state changes
        // only after a save, so that no login prompt opens over the message.
        fw::ShowMessage(error);
        ShowCommandButtons(m_bGeneralUser != 0);
        return;
    }
    if (!notice.IsEmpty()) {
        fw::ShowMessage(notice);
    }
    m_nState = kLoginPending;
    RedrawImage();
    Invalidate();
    requestLogin();
}

void CQuellmarkView::ShowCommandButtons(bool generalUser) {
    for (const ButtonSpec& b : kButtons) {
        ShowControl(b.id, true);
        bool adminOnly = b.id == kAggregateButton || b.id == kAdminMenuButton;
        EnableControl(b.id, !(adminOnly && generalUser));
    }
    ShowControl(kScrollBar, true);
    EnableControl(kScrollBar, true);
}

void CQuellmarkView::HideCommandButtons() {
    for (const ButtonSpec& b : kButtons) {
        ShowControl(b.id, false);
        EnableControl(b.id, false);
    }
    ShowControl(kScrollBar, false);
    EnableControl(kScrollBar, false);
}

void CQuellmarkView::RedrawImage() {
    Layout layout = listview::LayoutFor(ClientWidth(), ClientHeight());
    // The layout keeps the window's real size; tiles beyond the image would be cut off anyway.
    const int width = std::min(layout.width, m_dcMem.Width());
    const int height = std::min(layout.height, m_dcMem.Height());
    for (int y = 0; m_tile.Height() > 0 && y < height; y += m_tile.Height()) {
        for (int x = 0; m_tile.Width() > 0 && x < width; x += m_tile.Width()) {
            m_dcMem.BitBlt(x, y, m_tile.Width(), m_tile.Height(), m_tile, 0, 0);
        }
    }
    if (m_nState == kLoggedIn) {
        DrawList(m_dcMem, layout.width, layout.height);
    }
}

void CQuellmarkView::DrawList(fw::CDC& dc, int width, int height) {
    const Layout layout{width, height};
    // The list image needs to reach no further than the image it is copied into.
    const int listWidth =
        std::max(std::min(layout.ListWidth(), dc.Width() - listview::kListLeft), 1);
    const int listHeight =
        std::max(std::min(layout.ListHeight(), dc.Height() - listview::kListTop), 1);
    if ((m_dcList.Width() != listWidth || m_dcList.Height() != listHeight) &&
        !m_dcList.Create(listWidth, listHeight)) {
        reportMemoryShortage();
    }
    dc.FillSolidRect(listview::kListLeft - 1, listview::kListTop - 1, width - 238, height - 38,
                     fw::kBlackRgb);
    m_dcList.FillSolidRect(0, 0, layout.ListWidth(), layout.ListHeight(), fw::kWhiteRgb);

    const int top = GetScrollPos();
    const int firstX = listview::FirstColumnX(top);
    m_dcList.SetBkColor(fw::kWhiteRgb);
    int x = firstX;
    for (int code : m_nColumn) {
        m_dcList.TextOut(x, 0, listview::ColumnHeader(code));
        x += listview::ColumnWidth(code) * listview::kCharWidth + listview::kColumnGap;
    }
    const int bands = layout.Bands();
    for (int j = 1; j < bands; ++j) {
        if ((top + j) % 2 == 0) {
            m_dcList.FillSolidRect(0, listview::kRowHeight * j, layout.ListWidth(),
                                   listview::kRowHeight, kTint);
        }
    }
    m_dcList.MoveTo(0, listview::kRowHeight);
    m_dcList.LineTo(layout.ListWidth(), listview::kRowHeight);
    // Only the rows that fit are formatted, however many cases there are.
    for (int i = 1; i < bands && top + i - 1 < m_nRowCount; ++i) {
        int y = listview::kRowHeight * i + listview::kTextOffset;
        m_dcList.SetBkColor((top + i) % 2 == 0 ? kTint : fw::kWhiteRgb);
        m_dcList.TextOut(0, y, CString::Formatted("%d", top + i));
        x = firstX;
        for (int column = 0; column < listview::kColumnCount; ++column) {
            m_dcList.TextOut(x, y, GetCellText(top + i - 1, column));
            x += listview::ColumnWidth(m_nColumn[column]) * listview::kCharWidth +
                 listview::kColumnGap;
        }
    }
    dc.BitBlt(listview::kListLeft, listview::kListTop, layout.ListWidth(), layout.ListHeight(),
              m_dcList, 0, 0);
    MoveControl(kScrollBar, layout.ScrollBarX(), 40, 24, layout.ScrollBarHeight());
}

CString CQuellmarkView::GetCellText(int row, int column) const {
    if (row < 0 || row >= m_nRowCount || column < 0 || column >= listview::kColumnCount) {
        return {};
    }
    int code = m_nColumn[column];
    return m_doc.FormatCell(m_pRows[std::size_t(row)], code).LeftWhole(listview::ColumnWidth(code));
}

fw::PrintedList CQuellmarkView::GetPrintedList() const {
    fw::PrintedList list;
    std::vector<CString> title = listview::PrintTitleLines(m_nRowCount, m_tStart, m_tEnd, m_filter);
    list.title = title.front();
    list.headLines.assign(title.begin() + 1, title.end());
    list.headers.push_back("No.");
    for (int code : m_nColumn) {
        list.headers.push_back(listview::ColumnHeader(code));
    }
    list.rowCount = m_nRowCount;
    // The list is printed while the print dialog or the preview is open; another
    // workstation's change may rebuild the view's rows meanwhile, so the pages keep the rows
    // as they were asked for (a record index names its case for good). The page has room the
    // screen's columns have not, so the cells go whole and the page decides what it shows.
    list.rowAt = [this, rows = m_pRows,
                  columns = std::vector<int>(std::begin(m_nColumn), std::end(m_nColumn))](int row) {
        std::vector<CString> cells;
        cells.reserve(columns.size() + 1);
        cells.push_back(CString::Formatted("%d", row + 1));
        for (int code : columns) {
            cells.push_back(m_doc.FormatCell(rows[std::size_t(row)], code));
        }
        return cells;
    };
    const fw::LocalDateTime now = fw::LocalNow();
    list.footer = listview::PrintDateText({now.year, now.month, now.day});
    return list;
}

void CQuellmarkView::RebuildRows() {
    int count = m_doc.BuildDisplayIndex(m_nColumn[0], m_tStart, m_tEnd);
    if (m_filter.nMask != kNoFilter) {
        count = m_doc.FilterDisplayIndex(count, m_filter);
    }
    m_pRows.resize(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        m_pRows[std::size_t(i)] = m_doc.GetDisplayIndexEntry(i);
    }
    m_nRowCount = count;
}

void CQuellmarkView::OnDocumentChanged() {
    if (m_nState != kLoggedIn) {
        return; // the login builds the rows afresh
    }
    const int pos = GetScrollPos();
    const int top = pos > 0 && pos < m_nRowCount ? m_pRows[std::size_t(pos)] : -1;
    RebuildRows();
    int next = 0;
    if (top >= 0) {
        const auto at = std::find(m_pRows.begin(), m_pRows.end(), top);
        next = at != m_pRows.end() ? int(at - m_pRows.begin()) : std::min(pos, m_nRowCount - 1);
    }
    SetScrollRange(0, std::max(m_nRowCount - 1, 0));
    SetScrollPos(std::max(next, 0));
    RedrawImage();
    Invalidate();
}

void CQuellmarkView::ResetScroll() {
    SetScrollRange(0, std::max(m_nRowCount - 1, 0));
    SetScrollPos(0);
}

void CQuellmarkView::OnSize(int width, int height) {
    // A new image of the new size; before a login it shows the background alone.
    createImage(width, height);
    RedrawImage();
}

void CQuellmarkView::moveTo(int pos) {
    SetScrollPos(pos);
    RedrawImage();
    Layout layout = listview::LayoutFor(ClientWidth(), ClientHeight());
    InvalidateRect(listview::kListLeft, listview::kListTop, layout.width - 40, layout.height - 20);
}

void CQuellmarkView::Scroll(fw::ScrollCode code, int thumb) {
    Layout layout = listview::LayoutFor(ClientWidth(), ClientHeight());
    int minPos = 0;
    int maxPos = 0;
    GetScrollRange(minPos, maxPos);
    moveTo(listview::ScrollTarget(actionOf(code), GetScrollPos(), thumb, minPos, maxPos,
                                  layout.Page()));
}

void CQuellmarkView::OnVScroll(fw::ScrollCode code, int pos) {
    Scroll(code, pos);
}

void CQuellmarkView::scrollBy(int rows) {
    int minPos = 0;
    int maxPos = 0;
    GetScrollRange(minPos, maxPos);
    // A key's repeat count may be anything up to the largest int.
    const long long target = static_cast<long long>(GetScrollPos()) + rows;
    moveTo(int(std::clamp<long long>(target, minPos, std::max(minPos, maxPos))));
}

void CQuellmarkView::OnKeyDown(fw::ViewKey key, int repeat) {
    switch (key) {
    case fw::kKeyUp:
        return scrollBy(-repeat);
    case fw::kKeyDown:
        return scrollBy(repeat);
    case fw::kKeyPageUp:
        return Scroll(fw::kScrollPageUp, 0);
    case fw::kKeyPageDown:
        return Scroll(fw::kScrollPageDown, 0);
    case fw::kKeyHome:
        return Scroll(fw::kScrollTop, 0);
    case fw::kKeyEnd:
        return Scroll(fw::kScrollBottom, 0);
    case fw::kKeyOther:
        // Every key repaints the list, the others without moving it.
        return scrollBy(0);
    }
}

void CQuellmarkView::OnMouseWheel(int steps) {
    if (m_nState == kLoggedIn) {
        scrollBy(-3 * steps);
    }
}

void CQuellmarkView::OnLButtonDown(int x, int y) {
    if (m_nState != kLoggedIn) {
        return;
    }
    Layout layout = listview::LayoutFor(ClientWidth(), ClientHeight());
    int row = listview::RowAt(layout, x, y, GetScrollPos(), m_nRowCount);
    if (row < 0) {
        return;
    }
    if (m_commands.openCase) {
        m_commands.openCase(m_pRows[std::size_t(row)]);
    }
    afterListChange(false);
}

void CQuellmarkView::afterListChange(bool resetScroll) {
    RebuildRows();
    if (resetScroll) {
        ResetScroll();
    }
    RedrawImage();
    Invalidate();
}

void CQuellmarkView::OnCommand(int id) {
    switch (id) {
    case kNewCaseButton:
        if (m_commands.newCase) {
            m_commands.newCase();
        }
        afterListChange(true);
        break;
    case kDisplayItemsButton:
    case kFilterButton:
        if (auto& command =
                id == kDisplayItemsButton ? m_commands.displayItems : m_commands.filter) {
            command(*this);
            afterListChange(true);
        }
        break;
    case kAggregateButton:
        if (m_commands.aggregate) {
            m_commands.aggregate();
        }
        break;
    case kAdminMenuButton:
        if (m_commands.adminMenu) {
            m_commands.adminMenu();
        }
        break;
    case kLogoutButton:
        OnLogout();
        break;
    default:
        break;
    }
}
