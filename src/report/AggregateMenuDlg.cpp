#include "report/AggregateMenuDlg.h"

#include "report/HospitalInfoDlg.h"
#include "report/PersonCountDlg.h"
#include "report/ReportTextDlg.h"

using fw::CtlKind;

namespace report {
namespace {

using namespace aggregatemenu;

const fw::DlgTemplate& aggregateMenuDialog() {
    static const fw::DlgTemplate tmpl{
        kAggregateMenuDialogId,
        140,
        184,
        nullptr,
        {
            {kHospitalInfo, CtlKind::Push, 30, 20, 80, 20, "病院情報"},
            // The label takes its seven full-width characters, the field follows it.
            {fw::kStaticId, CtlKind::Static, 10, 55, 58, 14, "集計年（西暦）", fw::kAlignVCenter},
            {kYear, CtlKind::Edit, 69, 55, 36, 14, "", fw::kAlignRight},
            {fw::kStaticId, CtlKind::Static, 109, 55, 12, 14, "年", fw::kAlignVCenter},
            {kSocietyReport, CtlKind::Push, 30, 75, 80, 20, "学会集計"},
            {kPersonCount, CtlKind::Push, 30, 110, 80, 20, "個人別集計"},
            {kBack, CtlKind::Push, 30, 145, 80, 20, "戻る"},
            {fw::kIdOk, CtlKind::Push, 0, 160, 80, 20, "戻る",
             fw::kDefault | fw::kHidden | fw::kDisabled},
        }};
    return tmpl;
}

} // namespace

void RunAggregateMenu(CQuellmarkDoc& doc) {
    CAggregateMenuDlg menu;
    CHospitalInfoDlg hospital;
    for (;;) {
        switch (menu.DoModal()) {
        case kHospitalInfo:
            EditHospitalInfo(doc, hospital);
            break;
        case kSocietyReport:
            WriteSocietyReport(doc, menu.m_nYear);
            break;
        case kPersonCount:
            CountPerPerson(doc);
            break;
        case fw::kIdOk:
        case fw::kNoDialog: // the program is ending
            return;
        default: // Escape shows the menu again
            break;
        }
    }
}

} // namespace report

CAggregateMenuDlg::CAggregateMenuDlg() : CDialog(report::aggregateMenuDialog()) {
    using namespace report::aggregatemenu;
    // Every way on takes the year, so that the menu shows it again when it comes back.
    OnClicked(kHospitalInfo, [this] { leaveWith(kHospitalInfo); });
    OnClicked(kSocietyReport, [this] { societyReport(); });
    OnClicked(kPersonCount, [this] { leaveWith(kPersonCount); });
    OnClicked(kBack, [this] { OnOK(); });
}

void CAggregateMenuDlg::DoDataExchange(fw::CDataExchange* pDX) {
    fw::DDX_Text(pDX, report::aggregatemenu::kYear, m_nYear);
}

void CAggregateMenuDlg::leaveWith(int result) {
    if (UpdateData(true)) {
        EndDialog(result);
    }
}

// The year 0 is what the field shows before anything is typed: a report for it would hold no
// case and be written as if it were done.
void CAggregateMenuDlg::societyReport() {
    using namespace report::aggregatemenu;
    if (!UpdateData(true)) {
        return;
    }
    if (m_nYear == 0) {
        fw::ShowMessage("集計年（西暦）を入力してください。"_sj);
        FocusDlgItem(kYear);
        return;
    }
    EndDialog(kSocietyReport);
}
