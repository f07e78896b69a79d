#pragma once
// The incident entry dialog: the 17 codes typed one under the other, beside each the name of the
// typed value, on the right the valid codes of the focused field, below three free addenda.

#include "framework/String.h"
#include "framework/ui/Dialog.h"
#include "incident/IncidentCodes.h"

namespace incident {

constexpr int kIncidentDialogId = 148;

// Controls of the incident dialog: the code fields and their name fields in code order k, the
// three addenda, the help list and the buttons. Its results: fw::kIdOk for 偶発症に登録 (the
// button kRegister), fw::kIdCancel for 削除 (the button kDelete).
namespace incidentdlg {
constexpr int kCodeIds[kValueCount] = {1239, 1240, 1241, 1242, 1243, 1244, 1245, 1246, 1247,
                                       1248, 1210, 1211, 1212, 1213, 1214, 1215, 1216};
constexpr int kNameIds[kValueCount] = {1217, 1218, 1219, 1220, 1221, 1222, 1223, 1224, 1225,
                                       1226, 1227, 1228, 1229, 1231, 1232, 1233, 1234};
constexpr int kNoteIds[kTextCount] = {1202, 1203, 1204};
constexpr int kHelp = 1235;
constexpr int kRegister = 1096;
constexpr int kDelete = 2;
} // namespace incidentdlg

} // namespace incident

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
