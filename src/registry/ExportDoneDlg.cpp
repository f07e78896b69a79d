#include "registry/ExportDoneDlg.h"

#include "registry/CsvExport.h"

using fw::CtlKind;
using fw::DlgTemplate;

namespace registry {
namespace {

constexpr int kWidth = 180;
constexpr int kOkWidth = 50;

const DlgTemplate& exportDoneDialog() {
    static const DlgTemplate tmpl{
        kExportDoneDialogId,
        kWidth,
        56,
        nullptr,
        {
            {fw::kStaticId, CtlKind::Static, 12, 14, kWidth - 24, 8,
             "vora_list.csvにデータを書き込みました。"},
            {fw::kIdOk, CtlKind::Push, (kWidth - kOkWidth) / 2, 34, kOkWidth, 14, "OK",
             fw::kDefault},
            {fw::kIdCancel, CtlKind::Push, 0, 0, 10, 10, "ｷｬﾝｾﾙ", fw::kHidden | fw::kDisabled},
        }};
    return tmpl;
}

} // namespace

void OnExportList(CQuellmarkDoc& doc) {
    CString error;
    if (!ExportCaseList(doc, kExportFileName, &error)) {
        fw::ShowMessage(error);
        return;
    }
    CExportDoneDlg done;
    done.DoModal();
}

} // namespace registry

CExportDoneDlg::CExportDoneDlg() : CDialog(registry::exportDoneDialog()) {}
