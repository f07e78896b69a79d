#pragma once
// The free-text note on a drug incident of a case, opened from the case form.

#include "framework/String.h"
#include "framework/ui/Dialog.h"

class CDrugIncidentDlg : public fw::CDialog {
public:
    CDrugIncidentDlg();

    CString m_strPrompt;       // the instruction above the note; it may hold a line break
    CString m_strDrugIncident; // the note

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;

private:
    void confirm();
    void erase();
};
