#include "report/ReportTextDlg.h"

#include "report/HospitalStatsDlg.h"
#include "report/SocietyReport.h"

using fw::CtlKind;

namespace report {
namespace {

const fw::DlgTemplate& reportTextDialog() {
    static const fw::DlgTemplate tmpl{
        kReportTextDialogId,
        234,
        192,
        nullptr,
        {
            // Return stays in the text, so that only the button closes the display.
            {reporttext::kText, CtlKind::Edit, 15, 20, 200, 130, "",
             fw::kMultiLine | fw::kReadOnly | fw::kVScroll | fw::kWantReturn},
            {fw::kIdOk, CtlKind::Push, 160, 160, 50, 14, "OK", fw::kDefault},
        }};
    return tmpl;
}

} // namespace

void WriteSocietyReport(const CQuellmarkDoc& doc, int year) {
    const std::optional<CString> shown =
        RunSocietyReport(doc, year, [&doc](const ReportTally& tally, AnnualFigures& figures) {
            return RunAnnualFigures(doc, tally.counted, figures);
        });
    if (!shown) {
        return;
    }
    CReportTextDlg display;
    display.m_strText = *shown;
    display.DoModal();
}

} // namespace report

CReportTextDlg::CReportTextDlg() : CDialog(report::reportTextDialog()) {}

void CReportTextDlg::DoDataExchange(fw::CDataExchange* pDX) {
    fw::DDX_Text(pDX, report::reporttext::kText, m_strText);
}
