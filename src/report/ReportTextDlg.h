#pragma once
// The report display (dialog 152): the outcome of a society report run, as a text the user can
// select and copy; and the report run itself, which asks for the annual figures and shows it.

#include "framework/String.h"
#include "framework/ui/Dialog.h"
#include "registry/QuellmarkDoc.h"

namespace report {

constexpr int kReportTextDialogId = 152;

// Controls of the report display.
namespace reporttext {
enum : int {
    kText = 1291,
};
} // namespace reporttext

// The society report for year: counts the cases, asks for the annual figures, writes
// KRV<year+1>.txt when every case passes the check, and shows what happened. Cancelling the
// annual figures ends it with nothing written and nothing shown.
void WriteSocietyReport(const CQuellmarkDoc& doc, int year);

} // namespace report

class CReportTextDlg : public fw::CDialog {
public:
    CReportTextDlg();

    CString m_strText;

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;
};
