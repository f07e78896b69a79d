#pragma once
// The screen the user works on: six command buttons, the list of cases and its scroll bar. The
// view also carries the login state: it asks for a password before it shows anything, shows
// the buttons of the role that logged in, and after a logout hides everything and asks again.

#include "framework/ui/Window.h"
#include "registry/QuellmarkDoc.h"

#include <functional>
#include <vector>

namespace listview {

// The view's command buttons, which are also its commands, and its scroll bar.
enum ViewControl : int {
    kNewCaseButton = 101,
    kDisplayItemsButton = 102,
    kFilterButton = 103,
    kAggregateButton = 104,
    kAdminMenuButton = 105,
    kLogoutButton = 106,
    kScrollBar = 107,
};

} // namespace listview

class CQuellmarkView;

namespace listview {

// What the view starts but does not own: the dialogs of the other parts of the program.
struct ViewCommands {
    // Shows the login prompt; true with generalUser set when a password matched.
    std::function<bool(int& generalUser)> login;
    std::function<void()> newCase;                 // kNewCaseButton
    std::function<void(int recordIndex)> openCase; // a click on a row
    // The column, period and filter dialogs change the view's display settings.
    std::function<void(CQuellmarkView&)> displayItems; // kDisplayItemsButton
    std::function<void(CQuellmarkView&)> filter;       // kFilterButton
    std::function<void()> aggregate;                   // kAggregateButton
    std::function<void()> adminMenu;                   // kAdminMenuButton
    std::function<void()> closeMainWindow;             // after a cancelled login
};

} // namespace listview

class CQuellmarkView : public fw::CViewWnd {
public:
    enum State { kLoginPending = 1, kLoggedIn = 2, kClosing = 4 };

    CQuellmarkView(CQuellmarkDoc& doc, listview::ViewCommands commands);

    // Creates the image; the first login follows from the event loop.
    void OnInitialUpdate();
    void RedrawImage();
    void DrawList(fw::CDC& dc, int width, int height);
    void RebuildRows();
    void ResetScroll();
    // The document changed under the list (another workstation's change): the rows are built
    // again with the same case at the top, or the top still at the top.
    void OnDocumentChanged();
    void ShowCommandButtons(bool generalUser);
    void HideCommandButtons();
    void DoLogin();
    void OnLogout();

    int GetState() const { return m_nState; }
    bool IsGeneralUser() const { return m_bGeneralUser != 0; }
    int GetRowCount() const { return m_nRowCount; }
    // The text that row (0 = first case of the list) shows in column (0 to 5).
    CString GetCellText(int row, int column) const;
    const fw::CDC& GetImage() const { return m_dcMem; }
    // The whole list as it is printed: every row with its number and its six cells whole (the
    // page, not the screen's columns, decides how much of a text it shows), the title, period
    // and filter above it, the day of printing below.
    fw::PrintedList GetPrintedList() const;

    // The view's display settings, which the column, period and filter dialogs change.
    static constexpr int kDefaultColumns[6] = {registry::kColDate, registry::kColId,
                                               registry::kColName, registry::kColAge,
                                               registry::kColSex,  registry::kColDisease};
    int m_nColumn[6]{};
    fw::Time32 m_tStart = 0;
    fw::Time32 m_tEnd = 0;
    registry::CaseFilter m_filter;

    // Scroll bar actions and keys, as the window or a script sends them.
    void Scroll(fw::ScrollCode code, int thumb);

protected:
    void OnDraw() override;
    void OnSize(int width, int height) override;
    void OnLButtonDown(int x, int y) override;
    void OnKeyDown(fw::ViewKey key, int repeat) override;
    void OnVScroll(fw::ScrollCode code, int pos) override;
    void OnMouseWheel(int steps) override;
    void OnCommand(int id) override;

private:
    void resetDisplaySettings();
    void moveTo(int pos);
    void scrollBy(int rows);
    void afterListChange(bool resetScroll);
    void requestLogin();
    void createImage(int width, int height);
    void reportMemoryShortage();

    CQuellmarkDoc& m_doc;
    listview::ViewCommands m_commands;
    fw::CDC m_dcMem;
    fw::CDC m_dcList;
    fw::CDC m_tile;
    int m_nRowCount = 0;
    std::vector<int> m_pRows;
    int m_bGeneralUser = 1;
    int m_nState = kLoginPending;
    bool m_loginQueued = false;
    bool m_loginRunning = false;
    bool m_memoryMessageQueued = false;
};
