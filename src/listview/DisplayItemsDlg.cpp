#include "listview/DisplayItemsDlg.h"

#include "listview/DateDlg.h"

using namespace registry;

using fw::CtlKind;

namespace listview {
namespace {

using namespace displayitems;

constexpr int kItemWidth = 40;
// Wide enough for "1   2" in the dialog font, short of the next column.
constexpr int kOrderWidth = 28;
constexpr int kFieldHeight = 14;

// The headings are wider than their texts need in a narrow font, so that they are not cut in
// a wider one. Each item button followed by its order text, column by column as they stand, then
// the period and the buttons that close the dialog.
const fw::DlgTemplate& displayItemsDialog() {
    struct Place {
        const char* caption;
        int x, y;
    };
    // By column code - 1; the captions are the dialog's own, shorter than the list headers.
    static const Place kPlaces[kColumnCodeCount] = {
        {"手術日", 10, 30},  {"ID", 10, 55},      {"名前", 10, 80},    {"年齢", 10, 105},
        {"性別", 80, 30},    {"疾患", 80, 55},    {"術式", 80, 80},    {"担当科", 80, 105},
        {"ASA PS", 150, 30}, {"麻酔法", 150, 55}, {"麻酔医", 150, 80}, {"指導医", 150, 105},
    };
    static const fw::DlgTemplate tmpl = [] {
        fw::DlgTemplate t{kDisplayItemsDialogId, 223, 202, nullptr, {}};
        t.controls.push_back(
            {fw::kStaticId, CtlKind::Static, 15, 10, 150, 8, "表示項目（6項目）選択"});
        for (int i = 0; i < kColumnCodeCount; ++i) {
            const Place& p = kPlaces[i];
            t.controls.push_back(
                {kItems[i].button, CtlKind::Push, p.x, p.y, kItemWidth, kFieldHeight, p.caption});
            t.controls.push_back({kItems[i].order, CtlKind::Edit, p.x + kItemWidth, p.y,
                                  kOrderWidth, kFieldHeight, "", fw::kReadOnly});
        }
        t.controls.insert(
            t.controls.end(),
            {
                {fw::kStaticId, CtlKind::Static, 15, 135, 50, 8, "表示期間"},
                {kStartButton, CtlKind::Push, 10, 150, 50, kFieldHeight, "表示開始日"},
                {kStartText, CtlKind::Edit, 65, 150, 70, kFieldHeight, "", fw::kReadOnly},
                {kEndButton, CtlKind::Push, 10, 175, 50, kFieldHeight, "最終日"},
                {kEndText, CtlKind::Edit, 65, 175, 70, kFieldHeight, "", fw::kReadOnly},
                {fw::kIdOk, CtlKind::Push, 155, 150, 50, kFieldHeight, "OK", fw::kDefault},
                {fw::kIdCancel, CtlKind::Push, 155, 175, 50, kFieldHeight, "ｷｬﾝｾﾙ"},
            });
        return t;
    }();
    return tmpl;
}

} // namespace

int RunDisplayItems(int (&columns)[kColumnCount], fw::Time32& start, fw::Time32& end) {
    CDisplayItemsDlg dlg;
    dlg.Load(columns, start, end);
    const int result = dlg.DoModal();
    if (result == fw::kIdOk) {
        dlg.ApplyTo(columns, start, end);
    }
    return result;
}

} // namespace listview

CDisplayItemsDlg::CDisplayItemsDlg() : CDialog(listview::displayItemsDialog()) {
    using namespace listview::displayitems;
    for (int code = 1; code <= kColumnCodeCount; ++code) {
        OnClicked(kItems[code - 1].button, [this, code] { choose(code); });
    }
    OnClicked(kStartButton, [this] { askStart(); });
    OnClicked(kEndButton, [this] { askEnd(); });
}

void CDisplayItemsDlg::DoDataExchange(fw::CDataExchange* pDX) {
    using namespace listview::displayitems;
    for (int code = 1; code <= kColumnCodeCount; ++code) {
        fw::DDX_Text(pDX, kItems[code - 1].order, m_strOrder[code - 1]);
    }
    fw::DDX_Text(pDX, kEndText, m_strEnd);
    fw::DDX_Text(pDX, kStartText, m_strStart);
}

// Every field of this dialog is read-only and mirrors a member, so showing all members again
// loses nothing.
void CDisplayItemsDlg::choose(int code) {
    Choose(code);
    UpdateData(false);
}

void CDisplayItemsDlg::askStart() {
    listview::AskDate("表示開始日指定"_sj, m_tStart, m_strStart);
    UpdateData(false);
}

void CDisplayItemsDlg::askEnd() {
    listview::AskDate("表示最終日指定"_sj, m_tEnd, m_strEnd);
    UpdateData(false);
}
