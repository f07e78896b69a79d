#include "registry/ExportDoneDlg.h"

#include "framework/ui/ProgressDialog.h"
#include "registry/CsvExport.h"
#include "registry/WorkbookExport.h"

using fw::CtlKind;
using fw::DlgTemplate;

namespace registry {
namespace {

constexpr int kWidth = 200;
constexpr int kLongWidth = 280;
constexpr int kOkWidth = 50;

DlgTemplate noticeDialog(int width, int textHeight) {
    return DlgTemplate{
        kExportDoneDialogId,
        width,
        48 + textHeight,
        nullptr,
        {
            {kExportDoneText, CtlKind::Static, 12, 14, width - 24, textHeight,
             "vora_list.csvにデータを書き込みました。"},
            {fw::kIdOk, CtlKind::Push, (width - kOkWidth) / 2, 26 + textHeight, kOkWidth, 14, "OK",
             fw::kDefault},
            {fw::kIdCancel, CtlKind::Push, 0, 0, 10, 10, "ｷｬﾝｾﾙ", fw::kHidden | fw::kDisabled},
        }};
}

// One line; a notice of more than one line (cells the workbook shortened) gets the room of five.
const DlgTemplate& exportDoneDialog(bool longNotice) {
    static const DlgTemplate line = noticeDialog(kWidth, 8);
    static const DlgTemplate lines = noticeDialog(kLongWidth, 40);
    return longNotice ? lines : line;
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
    bool written = false;
    fw::RunWithProgress("vora_list.csv に書き出しています…"_sj, [&](fw::Progress& progress) {
        written = ExportCaseList(doc, kExportFileName, &error, progress);
    });
    reportExport(written, error, {});
}

void OnExportWorkbook(CQuellmarkDoc& doc) {
    CString error;
    bool written = false;
    ShortenedCells shortened;
    fw::RunWithProgress("vora_list.xlsx に書き出しています…"_sj, [&](fw::Progress& progress) {
        written = ExportWorkbook(doc, kWorkbookFileName, &error, progress, &shortened);
    });
    reportExport(written, error, WorkbookNotice(shortened));
}

} // namespace registry

CExportDoneDlg::CExportDoneDlg(CString notice)
    : CDialog(registry::exportDoneDialog(notice.Find("\r\n") >= 0)),
      m_strNotice(std::move(notice)) {}

bool CExportDoneDlg::OnInitDialog() {
    if (!m_strNotice.IsEmpty()) {
        SetDlgItemText(registry::kExportDoneText, m_strNotice);
    }
    return CDialog::OnInitDialog();
}
