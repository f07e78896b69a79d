#pragma once
// The comorbidity dialogs of the case form: CPreopDlg picks up to three coded comorbidities for
// the society report, CPreopNoteDlg edits the free comment that goes with them.

#include "entry/PreopCodes.h"
#include "framework/String.h"
#include "framework/ui/Dialog.h"

class CPreopDlg : public fw::CDialog {
public:
    CPreopDlg();
    // Before the dialog runs: the case's packed code and comment.
    void Initialise(int packedCode, const CString& comment);
    // After it has run, however it was closed: the slots and comment as the buttons left them.
    int GetPackedCode() const;
    CString GetComment() const;

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;
    bool OnInitDialog() override;

private:
    void addComorbidity(int code);
    void clearSlots();
    void editComment();
    void showSelection();

    entry::PreopSelection m_selection;
    CString m_strSlot[entry::kPreopSlotCount];
};

class CPreopNoteDlg : public fw::CDialog {
public:
    CPreopNoteDlg();

    CString m_strComment;

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;

private:
    void appendQuickNote(const CString& text);
    void closeWith(int result);
};

namespace entry {
// Result of CPreopNoteDlg when the user goes back to the slot selection.
constexpr int kBackToSelection = 1335;
} // namespace entry
