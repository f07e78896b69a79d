#include "listview/FilterDlg.h"

#include "listview/DateDlg.h"
#include "registry/CaseCodes.h"

using namespace registry;

using fw::CtlKind;
using namespace listview::filterdlg;

namespace listview {
namespace {

constexpr int kButtonHeight = 14;
constexpr int kCheckHeight = 10;

fw::CtlTemplate check(int id, int x, int y, int cx, const char* caption) {
    return {id, CtlKind::Check, x, y, cx, kCheckHeight, caption};
}

// Fields stand to the right of the widest caption of their column, a check box caption taking
// 8 units a full-width character and 12 for the box; the rows keep their places.
constexpr int kLeftField = 73;
constexpr int kRightCheck = 145;
constexpr int kRightField = 190;
constexpr int kFieldWidth = 62;
constexpr int kWideFieldWidth = 160; // "股関節・四肢末梢（含：末梢血管）" shown whole

fw::CtlTemplate combo(int id, int x, int y, int listHeight) {
    // The master lists keep the order in which they were entered.
    return {id, CtlKind::ComboEdit, x, y, kFieldWidth, listHeight, "", fw::kVScroll};
}

fw::CtlTemplate wideDropList(int id, int y, int listHeight) {
    return {id, CtlKind::DropList, kLeftField, y, kWideFieldWidth, listHeight, "", fw::kVScroll};
}

const fw::DlgTemplate& filterDialog() {
    static const fw::DlgTemplate tmpl{
        kFilterDialogId,
        279,
        347,
        nullptr,
        {
            {kStartButton, CtlKind::Push, 15, 20, 50, kButtonHeight, "抽出開始日"},
            {kStartText, CtlKind::Edit, 70, 20, 60, kButtonHeight, "", fw::kReadOnly},
            {kEndButton, CtlKind::Push, 15, 40, 50, kButtonHeight, "最終日"},
            {kEndText, CtlKind::Edit, 70, 40, 60, kButtonHeight, "", fw::kReadOnly},
            {kAgeMinButton, CtlKind::Push, 150, 20, 70, kButtonHeight, "年齢指定（最小）",
             fw::kDisabled},
            {kAgeMin, CtlKind::Edit, 224, 20, 45, kButtonHeight, "", fw::kReadOnly | fw::kDisabled},
            {kAgeMaxButton, CtlKind::Push, 150, 40, 70, kButtonHeight, "年齢指定（最大）",
             fw::kDisabled},
            {kAgeMax, CtlKind::Edit, 224, 40, 45, kButtonHeight, "", fw::kReadOnly | fw::kDisabled},
            check(kIncident, 15, 80, 58, "偶発症例"),
            check(kMale, 75, 80, 32, "男性"),
            check(kFemale, 111, 80, 32, "女性"),
            check(kEmergency, 150, 80, 50, "緊急症例"),
            check(kDrugIncident, 200, 80, 75, "薬剤インシデント"),
            {fw::kStaticId, CtlKind::Group, 10, 100, 230, 70, ""},
            check(kPatient, 15, 115, 50, "患者抽出"),
            {kFieldId, CtlKind::Radio, 68, 110, 26, kCheckHeight, "ID", fw::kGroup},
            {kFieldName, CtlKind::Radio, 68, 125, 30, kCheckHeight, "名前"},
            {kFieldDisease, CtlKind::Radio, 68, 140, 30, kCheckHeight, "疾患"},
            {kFieldProcedure, CtlKind::Radio, 68, 155, 30, kCheckHeight, "手術"},
            {kPatientText, CtlKind::Edit, 115, 110, 75, kButtonHeight, ""},
            check(kDepartment, 15, 180, 56, "手術担当科"),
            combo(kDepartmentText, kLeftField, 175, 75),
            check(kWard, kRightCheck, 180, 42, "病棟"),
            combo(kWardText, kRightField, 175, 75),
            check(kAnesthesiologist, 15, 205, 56, "麻酔医"),
            combo(kAnesthesiologistText, kLeftField, 200, 70),
            check(kSupervisor, kRightCheck, 205, 42, "指導医"),
            combo(kSupervisorText, kRightField, 200, 70),
            // The site and method lists have a row each, wide enough for their longest names.
            check(kSite, 15, 230, 56, "手術部位"),
            wideDropList(kSiteList, 225, 70),
            check(kMethod, 15, 255, 56, "麻酔法"),
            wideDropList(kMethodList, 250, 65),
            check(kComorbidity, 15, 280, 56, "合併症"),
            {kComorbidityText, CtlKind::Edit, kLeftField, 275, kFieldWidth, kButtonHeight, ""},
            check(kNotes, 15, 305, 88, "術中、術後特記事項"),
            {kNotesText, CtlKind::Edit, 109, 300, 160, kButtonHeight, ""},
            {kApply, CtlKind::Push, 155, 325, 50, kButtonHeight, "絞り込み"},
            {kClear, CtlKind::Push, 210, 325, 55, kButtonHeight, "絞り込み解除"},
            // Enter applies nothing: the criteria are applied only with 絞り込み.
            {fw::kIdOk, CtlKind::Push, 5, 330, 50, kButtonHeight, "OK",
             fw::kDefault | fw::kHidden | fw::kDisabled},
        }};
    return tmpl;
}

} // namespace

int RunFilter(const CQuellmarkDoc& doc, CaseFilter& filter, fw::Time32& start, fw::Time32& end) {
    CFilterDlg dlg(doc);
    dlg.Load(filter, start, end);
    const int result = dlg.DoModal();
    if (result == fw::kIdOk) {
        dlg.ApplyTo(filter, start, end);
    } else {
        ClearFilter(filter, start, end);
    }
    return result;
}

} // namespace listview

CFilterDlg::CFilterDlg(const CQuellmarkDoc& doc)
    : CDialog(listview::filterDialog()), m_pAnesthesiologistList(&doc.GetAnesthesiologistList()),
      m_pDepartmentList(&doc.GetDepartmentList()), m_pWardList(&doc.GetWardList()),
      m_pSupervisorList(&doc.GetSupervisorList()) {
    OnClicked(kApply, [this] { apply(); });
    OnClicked(kStartButton, [this] { askDate("表示開始日指定"_sj, m_tStart, m_strStart); });
    OnClicked(kEndButton, [this] { askDate("表示最終日指定"_sj, m_tEnd, m_strEnd); });
}

void CFilterDlg::DoDataExchange(fw::CDataExchange* pDX) {
    fw::DDX_Text(pDX, kStartText, m_strStart);
    fw::DDX_Text(pDX, kEndText, m_strEnd);
    fw::DDX_CBIndex(pDX, kMethodList, m_nMethodIndex);
    fw::DDX_Check(pDX, kAnesthesiologist, m_bAnesthesiologist);
    fw::DDX_Check(pDX, kMethod, m_bMethod);
    fw::DDX_Check(pDX, kComorbidity, m_bComorbidity);
    fw::DDX_Check(pDX, kDepartment, m_bDepartment);
    fw::DDX_Check(pDX, kEmergency, m_bEmergency);
    fw::DDX_Check(pDX, kNotes, m_bNotes);
    fw::DDX_Check(pDX, kPatient, m_bPatient);
    fw::DDX_Check(pDX, kIncident, m_bIncident);
    fw::DDX_Check(pDX, kMale, m_bMale);
    fw::DDX_Check(pDX, kSite, m_bSite);
    fw::DDX_Check(pDX, kWard, m_bWard);
    fw::DDX_Check(pDX, kSupervisor, m_bSupervisor);
    fw::DDX_Text(pDX, kAgeMax, m_strAgeMax);
    fw::DDX_Text(pDX, kAgeMin, m_strAgeMin);
    fw::DDX_Text(pDX, kComorbidityText, m_strComorbidity);
    fw::DDX_Text(pDX, kNotesText, m_strNotes);
    fw::DDX_Text(pDX, kPatientText, m_strPatientText);
    fw::DDX_Check(pDX, kFemale, m_bFemale);
    fw::DDX_CBIndex(pDX, kSiteList, m_nSiteIndex);
    fw::DDX_Radio(pDX, kFieldId, m_nPatientField);
    fw::DDX_Check(pDX, kDrugIncident, m_bDrugIncident);
}

bool CFilterDlg::OnInitDialog() {
    // The code lists first, so that the exchange finds the items it chooses.
    fillCodeLists();
    fw::CDialog::OnInitDialog();
    showComboTexts();
    fillComboLists();
    return true;
}

// Code = position + 1, as the case form offers them.
void CFilterDlg::fillCodeLists() {
    for (int code = 1; code <= registry::kSiteCount; ++code) {
        ComboAddString(kSiteList, registry::SiteText(code));
    }
    for (int code = 1; code <= registry::kMethodCount; ++code) {
        ComboAddString(kMethodList, registry::MethodText(code));
    }
}

void CFilterDlg::showComboTexts() {
    SetDlgItemText(kAnesthesiologistText, m_strAnesthesiologist);
    SetDlgItemText(kSupervisorText, m_strSupervisor);
    SetDlgItemText(kWardText, m_strWard);
    SetDlgItemText(kDepartmentText, m_strDepartment);
}

void CFilterDlg::fillComboLists() {
    const auto fill = [this](int id, const CStringArray& list) { ComboAddStrings(id, list); };
    fill(kAnesthesiologistText, *m_pAnesthesiologistList);
    fill(kSupervisorText, *m_pSupervisorList);
    fill(kWardText, *m_pWardList);
    fill(kDepartmentText, *m_pDepartmentList);
}

void CFilterDlg::readComboTexts() {
    m_strAnesthesiologist = GetDlgItemText(kAnesthesiologistText);
    m_strSupervisor = GetDlgItemText(kSupervisorText);
    m_strWard = GetDlgItemText(kWardText);
    m_strDepartment = GetDlgItemText(kDepartmentText);
}

void CFilterDlg::apply() {
    readComboTexts();
    OnOK();
}

// What is ticked and typed elsewhere in the dialog is read first, so that showing the members
// again with the new day keeps it.
void CFilterDlg::askDate(const CString& title, fw::Time32& time, CString& text) {
    UpdateData(true);
    listview::AskDate(title, time, text);
    UpdateData(false);
}
