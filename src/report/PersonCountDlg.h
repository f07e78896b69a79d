#pragma once
// The per-person counts (dialog 155): a name, how it must match, a period, and the cases that
// person handled and supervised by method and by site group; and the loop that runs it.

#include "framework/String.h"
#include "framework/ui/Dialog.h"
#include "registry/CaseCodes.h"
#include "registry/QuellmarkDoc.h"
#include "report/PersonCount.h"

namespace report {

constexpr int kPersonCountDialogId = 155;

// Controls of the per-person counts; the three buttons' ids are also the dialog's results.
namespace personcount {
enum : int {
    kStart = 1278,
    kEnd = 1279,
    kContains = 1298,
    kEquals = 1299,
    kStartButton = 1301,
    kEndButton = 1300,
    kCount = 1302,
    kMessage = 1332,
    kPerson = 1333,
    kClose = 2,
};
// The count fields, row by row.
constexpr int kMethodInCharge[registry::kMethodCount] = {1067, 1068, 1069, 1070, 1072,
                                                         1073, 1074, 1075, 1076};
constexpr int kMethodSupervised[registry::kMethodCount] = {1077, 1078, 1079, 1304, 1305,
                                                           1306, 1307, 1308, 1309};
constexpr int kSiteInCharge[kSiteGroupCount] = {1310, 1311, 1312, 1313, 1314, 1315,
                                                1316, 1317, 1318, 1319, 1320};
constexpr int kSiteSupervised[kSiteGroupCount] = {1321, 1322, 1323, 1324, 1325, 1326,
                                                  1327, 1328, 1329, 1330, 1331};
} // namespace personcount

// The per-person counts of the aggregation menu, from an empty name and no period, until the
// dialog is closed.
void CountPerPerson(const CQuellmarkDoc& doc);

} // namespace report

class CPersonCountDlg : public fw::CDialog {
public:
    CPersonCountDlg();

    CString m_strStart;
    CString m_strEnd;
    int m_nMatch = 0; // 0: the recorded name contains the typed one; else they are equal
    CString m_strPerson;
    CString m_strMessage;
    int m_nMethodInCharge[registry::kMethodCount]{};
    int m_nMethodSupervised[registry::kMethodCount]{};
    int m_nSiteInCharge[report::kSiteGroupCount]{};
    int m_nSiteSupervised[report::kSiteGroupCount]{};

    // Shows counts in the count members and the list of incomplete cases.
    void SetCounts(const report::PersonCounts& counts);

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;

private:
    void takeAndEnd(int result);
};
