#include "report/HospitalStatsDlg.h"

using fw::CtlKind;

namespace report {
namespace {

using namespace hospitalstats;

const fw::DlgTemplate& hospitalStatsDialog() {
    static const fw::DlgTemplate tmpl{
        kHospitalStatsDialogId,
        150,
        217,
        nullptr,
        {
            {fw::kStaticId, CtlKind::Static, 16, 20, 62, 14, "年間手術数", fw::kAlignVCenter},
            {kOperations, CtlKind::Edit, 80, 20, 40, 14, "", fw::kAlignRight},
            {fw::kStaticId, CtlKind::Static, 10, 45, 68, 14, "麻酔科管理症例数", fw::kAlignVCenter},
            {kCases, CtlKind::Edit, 80, 45, 40, 14, "", fw::kReadOnly | fw::kAlignRight},
            {fw::kStaticId, CtlKind::Static, 6, 80, 142, 8, "12月第一週の1日あたりの平均の人数"},
            {fw::kStaticId, CtlKind::Static, 15, 95, 63, 14, "麻酔科専門医数", fw::kAlignVCenter},
            {kSpecialists, CtlKind::Edit, 80, 95, 40, 14, "", fw::kReadOnly | fw::kAlignRight},
            {fw::kStaticId, CtlKind::Static, 16, 120, 62, 14, "麻酔科医数", fw::kAlignVCenter},
            {kAnesthesiologists, CtlKind::Edit, 80, 120, 40, 14, "",
             fw::kReadOnly | fw::kAlignRight},
            {fw::kStaticId, CtlKind::Static, 15, 145, 63, 14, "非常勤麻酔科医", fw::kAlignVCenter},
            {kPartTime, CtlKind::Edit, 80, 145, 40, 14, "", fw::kReadOnly | fw::kAlignRight},
            {fw::kStaticId, CtlKind::Static, 15, 170, 63, 14, "ローテーター数", fw::kAlignVCenter},
            {kRotators, CtlKind::Edit, 80, 170, 40, 14, "", fw::kAlignRight},
            {fw::kIdOk, CtlKind::Push, 15, 195, 50, 14, "OK", fw::kDefault},
            {fw::kIdCancel, CtlKind::Push, 80, 195, 50, 14, "ｷｬﾝｾﾙ"},
        }};
    return tmpl;
}

} // namespace

bool RunAnnualFigures(const CQuellmarkDoc& doc, int cases, AnnualFigures& figures) {
    CHospitalStatsDlg dlg;
    dlg.m_nCases = cases;
    dlg.m_fSpecialists = doc.GetSpecialists();
    dlg.m_fAnesthesiologists = doc.GetFullTime();
    dlg.m_fPartTime = doc.GetPartTime();
    if (dlg.DoModal() != fw::kIdOk) {
        return false;
    }
    figures.operations = dlg.m_nOperations;
    figures.rotators = dlg.m_fRotators;
    return true;
}

} // namespace report

CHospitalStatsDlg::CHospitalStatsDlg() : CDialog(report::hospitalStatsDialog()) {}

void CHospitalStatsDlg::DoDataExchange(fw::CDataExchange* pDX) {
    using namespace report::hospitalstats;
    fw::DDX_Text(pDX, kOperations, m_nOperations);
    fw::DDV_MinMaxInt(pDX, m_nOperations, 0, report::kFigureMax);
    fw::DDX_Text(pDX, kCases, m_nCases);
    fw::DDX_Text(pDX, kSpecialists, m_fSpecialists);
    fw::DDX_Text(pDX, kAnesthesiologists, m_fAnesthesiologists);
    fw::DDX_Text(pDX, kPartTime, m_fPartTime);
    fw::DDX_Text(pDX, kRotators, m_fRotators);
    fw::DDV_MinMaxFloat(pDX, m_fRotators, 0, report::kFigureMax);
}
