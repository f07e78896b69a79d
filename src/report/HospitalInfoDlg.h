#pragma once
// The hospital information (dialog 143): type, region, beds and the three staff numbers that the
// document keeps for the society report.

#include "framework/ui/Dialog.h"

#include "registry/QuellmarkDoc.h"
#include <functional>

namespace report {

constexpr int kHospitalInfoDialogId = 143;

// Controls of the hospital information dialog.
namespace hospitalinfo {
enum : int {
    kType = 1175,
    kLocation = 1176,
    kBeds = 1177,
    kSpecialists = 1178,
    kFullTime = 1051,
    kPartTime = 1179,
    kConfirm = 1096,
};
} // namespace hospitalinfo

} // namespace report

class CHospitalInfoDlg : public fw::CDialog {
public:
    CHospitalInfoDlg();

    int m_nLocation = -1;
    int m_nType = -1;
    int m_nBeds = 0;
    float m_fFullTime = 0;
    float m_fPartTime = 0;
    float m_fSpecialists = 0;

    // Called when OK has read and checked every value, before the dialog closes: false keeps
    // it open with what was typed (the change was refused and the user was told).
    void OnConfirm(std::function<bool()> keep) { m_keep = std::move(keep); }

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;

private:
    void confirm();
    std::function<bool()> m_keep;
};

namespace report {

// Shows the document's hospital information in dlg and stores what was confirmed. Closed any
// other way, the document keeps the values it had, also after a confirmation that a bad
// number refused.
void EditHospitalInfo(CQuellmarkDoc& doc, CHospitalInfoDlg& dlg);

} // namespace report
