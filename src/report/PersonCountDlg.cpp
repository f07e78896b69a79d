#include "report/PersonCountDlg.h"

#include "listview/DateDlg.h"

#include <algorithm>

using fw::CtlKind;

namespace report {
namespace {

using namespace personcount;

constexpr int kRowTop = 100;
constexpr int kRowStep = 15;
constexpr int kCountWidth = 40;
constexpr int kCountHeight = 14;

const char* const kMethodRows[registry::kMethodCount] = {
    "全身麻酔（吸入）",
    "全身麻酔（ＴＩＶＡ）",
    "全身麻酔（吸入）＋硬・脊・伝麻",
    "全身麻酔（ＴＩＶＡ）＋硬・脊・伝麻",
    "脊麻＋硬膜外麻酔（ＣＳＥＡ）",
    "硬膜外麻酔",
    "脊髄くも膜下麻酔",
    "伝達麻酔",
    "その他",
};

const char* const kSiteRows[kSiteGroupCount] = {
    "開頭", "開胸",           "心臓・大血管",   "開胸＋開腹",
    "開腹", "帝王切開",       "頭頚部・咽喉頭", "胸壁・腹壁・会陰",
    "脊椎", "四肢・末梢血管", "その他",
};

// One row of counts: its label, then the in-charge and the supervised field.
void addRow(std::vector<fw::CtlTemplate>& controls, int row, const char* label, int labelX,
            int labelWidth, int inChargeId, int inChargeX, int supervisedId, int supervisedX) {
    const int y = kRowTop + row * kRowStep;
    controls.push_back({fw::kStaticId, CtlKind::Static, labelX, y, labelWidth, kCountHeight, label,
                        fw::kAlignVCenter});
    controls.push_back({inChargeId, CtlKind::Edit, inChargeX, y, kCountWidth, kCountHeight, "",
                        fw::kReadOnly | fw::kAlignRight});
    controls.push_back({supervisedId, CtlKind::Edit, supervisedX, y, kCountWidth, kCountHeight, "",
                        fw::kReadOnly | fw::kAlignRight});
}

// Columns of the counts. The longest method label takes seventeen full-width characters, so the
// dialog is wider than the rows alone would need.
constexpr int kMethodLabelX = 12;
constexpr int kMethodLabelWidth = 146;
constexpr int kMethodInChargeX = 161;
constexpr int kMethodSupervisedX = 204;
constexpr int kSiteLabelX = 254;
constexpr int kSiteLabelWidth = 66;
constexpr int kSiteInChargeX = 322;
constexpr int kSiteSupervisedX = 365;
constexpr int kWidth = 416;

void addHeadings(std::vector<fw::CtlTemplate>& c, int inChargeX, int supervisedX) {
    c.push_back({fw::kStaticId, CtlKind::Static, inChargeX, 88, kCountWidth + 2, 8, "担当症例数"});
    c.push_back(
        {fw::kStaticId, CtlKind::Static, supervisedX, 88, kCountWidth + 2, 8, "指導症例数"});
}

fw::DlgTemplate makePersonCountDialog() {
    fw::DlgTemplate tmpl{kPersonCountDialogId, kWidth, 322, nullptr, {}};
    auto& c = tmpl.controls;
    c.push_back({fw::kStaticId, CtlKind::Group, 5, 7, 146, 56, ""});
    c.push_back({fw::kStaticId, CtlKind::Static, 12, 15, 20, 14, "名前", fw::kAlignVCenter});
    c.push_back({kPerson, CtlKind::Edit, 33, 15, 86, 14, ""});
    c.push_back({kContains, CtlKind::Radio, 10, 35, 139, 10, "名前欄の文字列を含む", fw::kGroup});
    c.push_back({kEquals, CtlKind::Radio, 10, 50, 139, 10, "名前欄の文字列と完全に一致する"});
    c.push_back({kStartButton, CtlKind::Push, 155, 15, 50, 14, "集計開始日"});
    c.push_back({kStart, CtlKind::Edit, 210, 15, 65, 14, "", fw::kReadOnly});
    c.push_back({kEndButton, CtlKind::Push, 155, 40, 50, 14, "集計終了日"});
    c.push_back({kEnd, CtlKind::Edit, 210, 40, 65, 14, "", fw::kReadOnly});
    c.push_back({fw::kStaticId, CtlKind::Group, 5, 65, kWidth - 10, 230, ""});
    c.push_back({kCount, CtlKind::Push, 15, 80, 60, 14, "集計"});
    addHeadings(c, kMethodInChargeX, kMethodSupervisedX);
    addHeadings(c, kSiteInChargeX, kSiteSupervisedX);
    for (int row = 0; row < registry::kMethodCount; ++row) {
        addRow(c, row, kMethodRows[row], kMethodLabelX, kMethodLabelWidth, kMethodInCharge[row],
               kMethodInChargeX, kMethodSupervised[row], kMethodSupervisedX);
    }
    for (int row = 0; row < kSiteGroupCount; ++row) {
        addRow(c, row, kSiteRows[row], kSiteLabelX, kSiteLabelWidth, kSiteInCharge[row],
               kSiteInChargeX, kSiteSupervised[row], kSiteSupervisedX);
    }
    c.push_back({kMessage, CtlKind::Edit, 15, 245, kMethodSupervisedX + kCountWidth - 15, 40, "",
                 fw::kMultiLine | fw::kReadOnly | fw::kVScroll});
    c.push_back({fw::kIdOk, CtlKind::Push, kWidth - 130, 280, 50, 14, "OK",
                 fw::kDefault | fw::kHidden | fw::kDisabled});
    c.push_back({kClose, CtlKind::Push, kWidth - 75, 300, 50, 14, "OK"});
    return tmpl;
}

const fw::DlgTemplate& personCountDialog() {
    static const fw::DlgTemplate tmpl = makePersonCountDialog();
    return tmpl;
}

// A limit of the period as the date dialog gave it: the normalised day, both shown and compared.
fw::PackedDate limitOf(const listview::PeriodDate& date) {
    return date.time == 0 ? 0 : fw::PackDate(date.date);
}

} // namespace

void CountPerPerson(const CQuellmarkDoc& doc) {
    CPersonCountDlg dlg;
    listview::PeriodDate start;
    listview::PeriodDate end;
    dlg.m_strStart = listview::PeriodDateText(start);
    dlg.m_strEnd = listview::PeriodDateText(end);
    for (;;) {
        switch (dlg.DoModal()) {
        case kStartButton:
            start = listview::AskDate("開始日指定"_sj, start.time);
            dlg.m_strStart = listview::PeriodDateText(start);
            break;
        case kEndButton:
            end = listview::AskDate("終了日指定"_sj, end.time);
            dlg.m_strEnd = listview::PeriodDateText(end);
            break;
        case kCount:
            dlg.SetCounts(CountPersonCases(
                doc, {dlg.m_strPerson, dlg.m_nMatch != 0, limitOf(start), limitOf(end)}));
            break;
        case kClose:
        case fw::kNoDialog: // the program is ending
            return;
        default:
            break;
        }
    }
}

} // namespace report

CPersonCountDlg::CPersonCountDlg() : CDialog(report::personCountDialog()) {
    using namespace report::personcount;
    // Every button takes the name and the match choice first, so that they are still there
    // when the dialog comes back.
    for (int id : {kStartButton, kEndButton, kCount}) {
        OnClicked(id, [this, id] { takeAndEnd(id); });
    }
}

void CPersonCountDlg::SetCounts(const report::PersonCounts& counts) {
    std::copy(counts.methodInCharge.begin(), counts.methodInCharge.end(), m_nMethodInCharge);
    std::copy(counts.methodSupervised.begin(), counts.methodSupervised.end(), m_nMethodSupervised);
    std::copy(counts.siteInCharge.begin(), counts.siteInCharge.end(), m_nSiteInCharge);
    std::copy(counts.siteSupervised.begin(), counts.siteSupervised.end(), m_nSiteSupervised);
    m_strMessage = counts.message;
}

void CPersonCountDlg::DoDataExchange(fw::CDataExchange* pDX) {
    using namespace report::personcount;
    fw::DDX_Text(pDX, kStart, m_strStart);
    fw::DDX_Text(pDX, kEnd, m_strEnd);
    fw::DDX_Radio(pDX, kContains, m_nMatch);
    fw::DDX_Text(pDX, kPerson, m_strPerson);
    fw::DDX_Text(pDX, kMessage, m_strMessage);
    for (int row = 0; row < registry::kMethodCount; ++row) {
        fw::DDX_Text(pDX, kMethodInCharge[row], m_nMethodInCharge[row]);
    }
    for (int row = 0; row < registry::kMethodCount; ++row) {
        fw::DDX_Text(pDX, kMethodSupervised[row], m_nMethodSupervised[row]);
    }
    for (int row = 0; row < report::kSiteGroupCount; ++row) {
        fw::DDX_Text(pDX, kSiteInCharge[row], m_nSiteInCharge[row]);
    }
    for (int row = 0; row < report::kSiteGroupCount; ++row) {
        fw::DDX_Text(pDX, kSiteSupervised[row], m_nSiteSupervised[row]);
    }
}

void CPersonCountDlg::takeAndEnd(int result) {
    if (UpdateData(true)) {
        EndDialog(result);
    }
}
