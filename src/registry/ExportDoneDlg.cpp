#include "registry/ExportDoneDlg.h"

#include "registry/CsvExport.h"
#include "registry/WorkbookExport.h"

using fw::CtlKind;
using fw::DlgTemplate;

namespace registry {
namespace {

constexpr int kWidth = 200;
constexpr int kOkWidth = 50;

const DlgTemplate& exportDoneDialog() {
    static const DlgTemplate tmpl{
        kExportDoneDialogId,
        kWidth,
        56,
        nullptr,
        {
            {kExportDoneText, CtlKind::Static, 12, 14, kWidth - 24, 8,
             "vora_list.csvにデータを書き込みました。"},
            {fw::kIdOk, CtlKind::Push, (kWidth - kOkWidth) / 2, 34, kOkWidth, 14, "OK",
             fw::kDefault},
            {fw::kIdCancel, CtlKind::Push, 0, 0, 10, 10, "ｷｬﾝｾﾙ", fw::kHidden | fw::kDisabled},
        }};
    return tmpl;
}

// The notice after a written file, or the message why it was not written.
void reportExport(bool written, const CString& error, const CString& notice) {
    if (!written) {
        fw::ShowMessage(error);
        return;
    }
    CExportDoneDlg done(notice);
    done.DoModal();
}

} // namespace

void OnExportList(CQuellmarkDoc& doc) {
    CString error;
    const bool written = ExportCaseList(doc, kExportFileName, &error);
    reportExport(written, error, {});
}

void OnExportWorkbook(CQuellmarkDoc& doc) {
    CString error;
    const bool written = ExportWorkbook(doc, kWorkbookFileName, &error);
    reportExport(written, error, "vora_list.xlsxにデータを書き込みました。"_sj);
}

} // namespace registry

CExportDoneDlg::CExportDoneDlg(CString notice)
    : CDialog(registry::exportDoneDialog()), m_strNotice(std::move(notice)) {}

bool CExportDoneDlg::OnInitDialog() {
    if (!m_strNotice.IsEmpty()) {
        SetDlgItemText(registry::kExportDoneText, m_strNotice);
    }
    return CDialog::OnInitDialog();
}
