#include "listview/DateDlg.h"

using fw::CtlKind;

namespace listview {
namespace {

using namespace datedlg;

// The fields come first in the tab order, so the year holds the focus when the dialog opens.
// Each unit stands before its field in the template, so that a message names the field by it.
const fw::DlgTemplate& dateDialog() {
    static const fw::DlgTemplate tmpl{
        kDateDialogId,
        179,
        174,
        nullptr,
        {
            {fw::kStaticId, CtlKind::Static, 74, 78, 12, 8, "年"},
            {kYear, CtlKind::Edit, 30, 75, 40, 14, "", fw::kAlignRight},
            {fw::kStaticId, CtlKind::Static, 74, 103, 12, 8, "月"},
            {kMonth, CtlKind::Edit, 30, 100, 40, 14, "", fw::kAlignRight},
            {fw::kStaticId, CtlKind::Static, 74, 128, 12, 8, "日"},
            {kDay, CtlKind::Edit, 30, 125, 40, 14, "", fw::kAlignRight},
            {kConfirm, CtlKind::Push, 100, 125, 50, 14, "OK"},
            {kToday, CtlKind::Push, 100, 100, 50, 14, "今日"},
            {kNoDate, CtlKind::Push, 30, 45, 90, 14, "日付指定無し"},
            {kMessage, CtlKind::Edit, 30, 15, 120, 14, "", fw::kReadOnly},
            // Enter confirms nothing: a day is confirmed only with OK.
            {fw::kIdOk, CtlKind::Push, 0, 160, 50, 14, "OK",
             fw::kDefault | fw::kHidden | fw::kDisabled},
        }};
    return tmpl;
}

} // namespace
} // namespace listview

CDateDlg::CDateDlg() : CDialog(listview::dateDialog()) {
    OnClicked(listview::datedlg::kConfirm, [this] { confirm(); });
    OnClicked(listview::datedlg::kToday, [this] { today(); });
}

void CDateDlg::DoDataExchange(fw::CDataExchange* pDX) {
    using namespace listview::datedlg;
    fw::DDX_Text(pDX, kDay, m_nDay);
    fw::DDV_MinMaxInt(pDX, m_nDay, 1, 31);
    fw::DDX_Text(pDX, kMessage, m_strMessage);
    fw::DDX_Text(pDX, kMonth, m_nMonth);
    fw::DDV_MinMaxInt(pDX, m_nMonth, 1, 12);
    fw::DDX_Text(pDX, kYear, m_nYear);
}

void CDateDlg::confirm() {
    if (!UpdateData(true)) {
        return;
    }
    m_date = listview::PeriodDateOf(m_nYear, m_nMonth, m_nDay);
    if (m_date.time == fw::kNoTime) {
        m_strMessage = "日付の指定が正しくありません"_sj;
        UpdateData(false);
        return;
    }
    EndDialog(listview::datedlg::kConfirm);
}

void CDateDlg::today() {
    const fw::LocalDateTime now = fw::LocalNow();
    m_nYear = now.year;
    m_nMonth = now.month;
    m_nDay = now.day;
    UpdateData(false);
}

namespace listview {

PeriodDate AskDate(const CString& title, fw::Time32 current) {
    CDateDlg dlg;
    dlg.m_strMessage = title;
    fw::LocalDate start;
    if (current != 0) {
        start = fw::LocalDateOf(current);
    } else {
        const fw::LocalDateTime now = fw::LocalNow();
        start = {now.year, now.month, now.day};
    }
    dlg.m_nYear = start.year;
    dlg.m_nMonth = start.month;
    dlg.m_nDay = start.day;
    if (dlg.DoModal() != datedlg::kConfirm) {
        return {};
    }
    return dlg.GetDate();
}

void AskDate(const CString& title, fw::Time32& time, CString& text) {
    const PeriodDate date = AskDate(title, time);
    time = date.time;
    text = PeriodDateText(date);
}

} // namespace listview
