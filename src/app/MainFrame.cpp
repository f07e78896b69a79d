#include "app/MainFrame.h"

#include "app/AboutDlg.h"
#include "listview/QuellmarkView.h"

using namespace app;

namespace {

const std::vector<fw::MenuSpec>& mainMenu() {
    static const std::vector<fw::MenuSpec> menus = {
        {"ﾌｧｲﾙ(&F)",
         {{kCmdExportList, "患者リストのエクスポート(&E)"},
          {kCmdExportWorkbook, "患者リストのエクスポート（Excel 形式）(&W)"},
          {0, nullptr},
          {kCmdPrint, "印刷(&P)...\tCtrl+P"},
          {kCmdPrintPreview, "印刷プレビュー(&V)"},
          {0, nullptr},
          {kCmdForcedExit, "強制終了(&X)"}}},
        {"編集(&E)",
         {{kCmdUndo, "元に戻す(&U)\tCtrl+Z"},
          {0, nullptr},
          {kCmdCut, "切り取り(&T)\tCtrl+X"},
          {kCmdCopy, "ｺﾋﾟｰ(&C)\tCtrl+C"},
          {kCmdPaste, "貼り付け(&P)\tCtrl+V"}}},
        {"表示(&V)", {{kCmdStatusBar, "ｽﾃｰﾀｽ ﾊﾞｰ(&S)"}}},
        {"ﾍﾙﾌﾟ(&H)", {{kCmdAbout, "ﾊﾞｰｼﾞｮﾝ情報 (&A)..."}}},
    };
    return menus;
}

} // namespace

CMainFrame::CMainFrame() = default;

void CMainFrame::Create(CQuellmarkView& view, std::function<void()> exportList,
                        std::function<void()> exportWorkbook) {
    m_view = &view;
    m_exportList = std::move(exportList);
    m_exportWorkbook = std::move(exportWorkbook);
    CFrameWnd::Create("ヴォラ１．４１号", 800, 500, mainMenu(), view, "ﾚﾃﾞｨ",
                      {"ｶﾅ", "CAP", "NUM", "SCRL"});
    // Printing is the one accelerator with work to do; new, open and save have no part in a
    // registry that keeps exactly one data file, so they are not bound at all.
    AddAccelerator("Ctrl+P", kCmdPrint);
}

bool CMainFrame::OnUpdateCommand(int id, bool& checked) {
    switch (id) {
    case kCmdExportList:
    case kCmdExportWorkbook:
        return isAdministratorAtWork();
    case kCmdStatusBar:
        checked = IsStatusBarVisible();
        return true;
    case kCmdForcedExit:
    case kCmdAbout:
        return true;
    case kCmdPrint:
    case kCmdPrintDirect:
    case kCmdPrintPreview:
        return m_view->GetState() == CQuellmarkView::kLoggedIn;
    default:
        return false;
    }
}

void CMainFrame::OnCommand(int id) {
    switch (id) {
    case kCmdExportList:
        // The patient data leave the program only in the administrator's hands.
        if (m_exportList && isAdministratorAtWork()) {
            m_exportList();
        }
        break;
    case kCmdExportWorkbook:
        if (m_exportWorkbook && isAdministratorAtWork()) {
            m_exportWorkbook();
        }
        break;
    case kCmdForcedExit:
        // Ends at once; whatever changed since the last logout is not saved, and not kept for
        // the next start either.
        if (m_discard) {
            m_discard();
        }
        Destroy();
        break;
    case kCmdStatusBar:
        ShowStatusBar(!IsStatusBarVisible());
        break;
    case kCmdAbout: {
        CAboutDlg about;
        about.DoModal();
        break;
    }
    case kCmdPrint:
    case kCmdPrintDirect:
        fw::PrintList(m_view->GetPrintedList(), false);
        break;
    case kCmdPrintPreview:
        fw::PrintList(m_view->GetPrintedList(), true);
        break;
    default:
        break;
    }
}

bool CMainFrame::OnCloseRequest() {
    // Neither the caption's close button nor the window system closes the window; only a
    // cancelled login or the forced exit end the program.
    return m_view->GetState() == CQuellmarkView::kClosing;
}

bool CMainFrame::isAdministratorAtWork() const {
    return m_view->GetState() == CQuellmarkView::kLoggedIn && !m_view->IsGeneralUser();
}

bool CMainFrame::isCommand(int id) const {
    return HasMenuItem(id) || id == kCmdPrint || id == kCmdPrintDirect || id == kCmdPrintPreview;
}

bool CMainFrame::press(int id, std::string& error) {
    if (id < listview::kNewCaseButton || id > listview::kLogoutButton) {
        error = "no button " + std::to_string(id) + " in the main window";
        return false;
    }
    if (!m_view->IsControlVisible(id) || !m_view->IsControlEnabled(id)) {
        error = "button " + std::to_string(id) + " is hidden or disabled";
        return false;
    }
    m_view->ClickControl(id);
    return true;
}

bool CMainFrame::menu(int commandId, std::string& error) {
    if (!isCommand(commandId)) {
        error = "no menu command " + std::to_string(commandId);
        return false;
    }
    if (!IsCommandEnabled(commandId)) {
        error = "menu command " + std::to_string(commandId) + " is disabled";
        return false;
    }
    RunCommand(commandId);
    return true;
}

bool CMainFrame::printPdf(const std::string& path, std::string& error) {
    if (m_view->GetState() != CQuellmarkView::kLoggedIn) {
        error = "no list to print before a login";
        return false;
    }
    return fw::PrintListToPdf(m_view->GetPrintedList(), path, error);
}

bool CMainFrame::click(int x, int y, std::string&) {
    m_view->ClickAt(x, y);
    return true;
}

bool CMainFrame::key(const std::string& name, int repeat, std::string& error) {
    return m_view->SendKey(name, repeat, error);
}

bool CMainFrame::scroll(fw::ScrollCode code, int pos, std::string&) {
    m_view->Scroll(code, pos);
    return true;
}

bool CMainFrame::resize(int width, int height, std::string& error) {
    if (width <= 0 || height <= 0) {
        error = "a size must be positive";
        return false;
    }
    SetClientSize(width, height);
    return true;
}

void CMainFrame::close() {
    RequestClose();
}

bool CMainFrame::enabled(int id, bool& value, std::string& error) {
    if (m_view->HasControl(id)) {
        value = m_view->IsControlEnabled(id);
        return true;
    }
    if (isCommand(id)) {
        value = IsCommandEnabled(id);
        return true;
    }
    error = "no control or command " + std::to_string(id);
    return false;
}

bool CMainFrame::visible(int id, bool& value, std::string& error) {
    if (m_view->HasControl(id)) {
        value = m_view->IsControlVisible(id);
        return true;
    }
    if (isCommand(id)) {
        value = true;
        return true;
    }
    error = "no control or command " + std::to_string(id);
    return false;
}

int CMainFrame::rows() {
    return m_view->GetRowCount();
}

std::string CMainFrame::statusText() {
    return GetStatusText().ToUtf8();
}

bool CMainFrame::cell(int row, int col, std::string& utf8, std::string& error) {
    if (row < 1 || row > m_view->GetRowCount() || col < 1 || col > 6) {
        error = "no cell " + std::to_string(row) + "," + std::to_string(col);
        return false;
    }
    utf8 = m_view->GetCellText(row - 1, col - 1).ToUtf8();
    return true;
}
