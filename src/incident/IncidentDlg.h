#pragma once
// The incident entry dialog: the 17 codes typed one under the other, beside each the name of the
// typed value, on the right the valid codes of the focused field, below three free addenda.

#include "framework/String.h"
#include "framework/ui/Dialog.h"
#include "incident/IncidentCodes.h"

class CIncidentDlg : public fw::CDialog {
public:
    CIncidentDlg();

    // values in code order k = 0..16; texts k = 1..3 at [0..2].
    void SetIncident(const int values[incident::kValueCount],
                     const CString texts[incident::kTextCount]);
    void GetIncident(int values[incident::kValueCount], CString texts[incident::kTextCount]) const;
    // The 17 name texts from the current codes.
    void UpdateTexts();

    CString m_strTypeNote;
    CString m_strOutcomeNote;
    CString m_strCauseNote;
    int m_nCategory = 0;
    int m_nDetail = 0;
    int m_nOnset = 0;
    int m_nPrevent = 0;
    int m_nOutcome = 0;
    int m_nCause1 = 0;
    int m_nCause2 = 0;
    int m_nCause3 = 0;
    int m_nFactor[incident::kFactorCount] = {}; // a..h, x
    CString m_strText[incident::kValueCount];   // names of the codes
    CString m_strHelp;

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;

private:
    void showHelp(int k);
    void renewNames();
    int& valueAt(int k);
    int valueOf(int k) const;
    void collectValues(int values[incident::kValueCount]) const;
};
