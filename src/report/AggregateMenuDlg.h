#pragma once
// The aggregation menu (dialog 142), the administrator's way to the hospital information, the
// society report and the per-person counts, and the loop of command 104 around it.

#include "framework/ui/Dialog.h"
#include "registry/QuellmarkDoc.h"

namespace report {

constexpr int kAggregateMenuDialogId = 142;

// Controls of the menu; the buttons' ids are also the menu's results.
namespace aggregatemenu {
enum : int {
    kHospitalInfo = 1172,
    kSocietyReport = 1173,
    kPersonCount = 1174,
    kYear = 1251,
    kBack = 1096,
};
} // namespace aggregatemenu

// Command 104: the menu again after each of its functions, until "戻る". One menu and one
// hospital information dialog serve the whole command; the year typed is taken by every
// button and shown again on return. The society report is not made for the year 0.
void RunAggregateMenu(CQuellmarkDoc& doc);

} // namespace report

class CAggregateMenuDlg : public fw::CDialog {
public:
    CAggregateMenuDlg();

    int m_nYear = 0;

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;

private:
    void leaveWith(int result);
    void societyReport();
};
