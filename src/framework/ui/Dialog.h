#pragma once
// Modal dialogs with data exchange. A dialog class derives from CDialog, hands it its template,
// exchanges its members with the controls in DoDataExchange and binds handlers to control ids.
// Which windows stand behind the controls is the framework's business alone.

#include "framework/String.h"
#include "framework/StringArray.h"
#include "framework/ui/DialogTemplate.h"

#include <functional>
#include <memory>

namespace fw {

class CDialog;

class CDataExchange {
public:
    CDataExchange(CDialog* dialog, bool saveAndValidate)
        : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

    bool m_bSaveAndValidate; // true: controls to members, with validation
    CDialog* m_pDlgWnd;
    int m_idLastControl = 0; // the control a following validation speaks of

    void PrepareCtrl(int id) { m_idLastControl = id; }
    // Abandons the exchange; when reading, the last prepared control takes the focus.
    [[noreturn]] void Fail();
};

class CDialog {
public:
    explicit CDialog(const DlgTemplate& tmpl);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Builds the windows, runs OnInitDialog, runs modally; returns the value given to EndDialog.
    int DoModal();
    void EndDialog(int result);
    // Reads (true) or fills (false) the controls; false when a value failed and was reported.
    bool UpdateData(bool saveAndValidate = true);
    int GetTemplateId() const;

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual bool OnInitDialog(); // fills the controls; false when it placed the focus itself
    virtual void OnOK();         // reads the controls and ends with 1 when they are valid
    virtual void OnCancel();     // ends with 2

    // Handlers bound to control ids; a handler bound to 1 or 2 replaces OnOK or OnCancel.
    void OnClicked(int id, std::function<void()> handler);
    // Runs when the user (or a script) changes the text of an edit or editable combo box, not
    // when the program writes it, so a handler may write controls without calling itself again.
    void OnEditChange(int id, std::function<void()> handler);
    // Runs when the focus moves to the control inside the dialog; not when the dialog window
    // itself is activated again, and not while the controls are being read or filled.
    void OnSetFocus(int id, std::function<void()> handler);

    // Controls by id, valid while the dialog runs. Multi-line edits hold CR LF line breaks.
    CString GetDlgItemText(int id) const;
    void SetDlgItemText(int id, const CString& text);
    void EnableDlgItem(int id, bool enable);
    void ShowDlgItem(int id, bool show);
    void FocusDlgItem(int id);
    void ComboAddString(int id, const CString& text);
    // The same for a whole list at once, with the same order, in O(N log N).
    void ComboAddStrings(int id, const CStringArray& texts);
    void ComboResetContent(int id);
    void ListInsertItem(int id, int pos, const CString& text);
    void ListDeleteAll(int id);
    int ListGetCount(int id) const;
    bool ListIsSelected(int id, int pos) const;

public:
    struct Impl;

private:
    friend struct DialogAccess;
    std::unique_ptr<Impl> m_impl;
};

void DDX_Text(CDataExchange* pDX, int id, CString& value);
void DDX_Text(CDataExchange* pDX, int id, int& value);
void DDX_Text(CDataExchange* pDX, int id, float& value);
void DDX_Check(CDataExchange* pDX, int id, int& value);
// The index of the chosen button in the group that starts at firstId, -1 for none.
void DDX_Radio(CDataExchange* pDX, int firstId, int& value);
void DDX_CBIndex(CDataExchange* pDX, int id, int& index);
// Reads the shown text. Writes by choosing the item whose whole text equals value; an editable
// combo box shows value even without such an item, a drop-down list then shows no item.
void DDX_CBString(CDataExchange* pDX, int id, CString& value);
void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal);
// A finite number from minVal to maxVal (a negative zero is below 0); limits are whole numbers.
void DDV_MinMaxFloat(CDataExchange* pDX, float value, int minVal, int maxVal);
// Counts cp932 bytes; when filling, it also keeps the user from typing beyond the limit.
void DDV_MaxChars(CDataExchange* pDX, const CString& value, int maxBytes);

// A modal message box with one button. In scripts it is the dialog `message`, its text is the
// control `text`, its button is 1.
void ShowMessage(const CString& text);

// Template and control ids of the message box, as scripts address it.
constexpr int kMessageDialogId = -100;
constexpr int kMessageTextId = -2;

// The innermost running dialog, or nullptr when only the main window is there.
CDialog* ActiveDialog();

} // namespace fw
