#include "entry/CaseHistoryDlg.h"

namespace entry {
namespace {

const fw::DlgTemplate& caseHistoryTemplate() {
    static const fw::DlgTemplate tmpl{
        kCaseHistoryId,
        420,
        240,
        "症例の履歴",
        {
            {fw::kStaticId, fw::CtlKind::Static, 7, 7, 406, 8,
             "この症例と偶発症の変更（新しいものから）"},
            {casehistory::kText, fw::CtlKind::Edit, 7, 18, 406, 196, "",
             fw::kReadOnly | fw::kMultiLine | fw::kVScroll},
            {fw::kIdOk, fw::CtlKind::Push, 363, 220, 50, 14, "OK", fw::kDefault},
        }};
    return tmpl;
}

} // namespace

CString HistoryText(const std::vector<registry::HistoryLine>& lines) {
    if (lines.empty()) {
        return "変更の記録はありません。"_sj;
    }
    CString text;
    for (const registry::HistoryLine& line : lines) {
        text += line.when + "　"_sj + line.who + "　"_sj + line.where + "\r\n　　"_sj + line.what +
                "\r\n"_sj;
    }
    return text;
}

} // namespace entry

CCaseHistoryDlg::CCaseHistoryDlg() : CDialog(entry::caseHistoryTemplate()) {}

void CCaseHistoryDlg::DoDataExchange(fw::CDataExchange* pDX) {
    fw::DDX_Text(pDX, entry::casehistory::kText, m_strHistory);
}
