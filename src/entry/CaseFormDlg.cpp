#include "entry/CaseFormDlg.h"

#include "entry/CaseHistoryDlg.h"
#include "entry/DrugIncidentDlg.h"
#include "entry/PreopDlg.h"
#include "incident/IncidentDlg.h"
#include "registry/CaseCodes.h"

#include <string>
#include <vector>

using namespace entry::caseform;
using fw::CtlKind;

namespace {

constexpr int kAmountMax = 999999;
constexpr int kTimeBytes = 5;
constexpr int kTransfusionNoteBytes = 100;
constexpr int kOtherNameBytes = 40;

std::vector<const char*> codeItems(int first, int last, const CString& (*text)(int)) {
    std::vector<const char*> items;
    for (int code = first; code <= last; ++code) {
        items.push_back(fw::TemplateText(text(code)));
    }
    return items;
}

std::vector<const char*> unitItems() {
    return codeItems(1, 2, registry::UnitText);
}

// Lays the form out row by row in dialog units. Controls are created, and so tabbed through, in
// the order they are added: the order in which a paper record is filled in.
class Layout {
public:
    static constexpr int kRowHeight = 14;

    void group(int y, int cy, const char* caption) {
        add({fw::kStaticId, CtlKind::Group, 5, y, 650, cy, caption});
    }
    // A label on the line of the field beside it.
    void label(int x, int y, int cx, const char* caption) {
        add({fw::kStaticId, CtlKind::Static, x, y, cx, kRowHeight, caption, fw::kAlignVCenter});
    }
    void edit(int id, int x, int y, int cx, unsigned style = fw::kNone,
              const char* name = nullptr) {
        add({id, CtlKind::Edit, x, y, cx, kRowHeight, "", style, {}, name});
    }
    void multiLine(int id, int x, int y, int cx, int cy, unsigned style) {
        add({id, CtlKind::Edit, x, y, cx, cy, "", fw::kMultiLine | fw::kVScroll | style});
    }
    void dropList(int id, int x, int y, int cx, int listHeight, std::vector<const char*> items) {
        add({id, CtlKind::DropList, x, y, cx, listHeight, "", fw::kVScroll, std::move(items)});
    }
    void combo(int id, int x, int y, int cx, int listHeight, std::vector<const char*> items = {}) {
        add({id, CtlKind::ComboEdit, x, y, cx, listHeight, "", fw::kSorted | fw::kVScroll,
             std::move(items)});
    }
    void button(int id, int x, int y, int cx, const char* caption, unsigned style = fw::kNone) {
        add({id, CtlKind::Push, x, y, cx, kRowHeight, caption, style});
    }
    void check(int id, int x, int y, int cx, const char* caption) {
        add({id, CtlKind::Check, x, y + 1, cx, 12, caption});
    }
    std::vector<fw::CtlTemplate> take() { return std::move(m_controls); }

private:
    void add(fw::CtlTemplate control) { m_controls.push_back(std::move(control)); }
    std::vector<fw::CtlTemplate> m_controls;
};

// Columns of the groups: a label at kLabelN, its field at kFieldN.
constexpr int kLabelA = 12, kFieldA = 58;
constexpr int kLabelB = 190, kFieldB = 226;
constexpr int kLabelC = 350, kFieldC = 394;
constexpr int kLabelD = 500, kFieldD = 540;
constexpr int kProcedureRight = 648; // the right edge of the widest fields

// Years, months and days side by side, as the age and the surgery date are entered, each
// part followed by its unit; a message about a part names it by what it is part of.
struct DatePart {
    int id;
    const char* unit;
    const char* name;
};

void datePartsRow(Layout& l, int y, const DatePart& first, const DatePart& second,
                  const DatePart& third) {
    l.edit(first.id, kFieldA, y, 30, fw::kAlignRight, first.name);
    l.label(90, y, 10, first.unit);
    l.edit(second.id, 102, y, 22, fw::kAlignRight, second.name);
    l.label(126, y, 18, second.unit);
    l.edit(third.id, 146, y, 22, fw::kAlignRight, third.name);
    l.label(170, y, 12, third.unit);
}

void patientGroup(Layout& l) {
    l.group(3, 47, "患者");
    l.label(kLabelA, 14, 40, "名前");
    l.edit(kName, kFieldA, 14, 120);
    l.label(kLabelB, 14, 32, "なまえ");
    l.edit(kKana, kFieldB, 14, 120);
    l.label(kLabelC, 14, 30, "ID");
    // An ID typed with Japanese input on would be stored full-width: twice the bytes, cut in
    // the list, and found by nothing typed half-width.
    l.edit(kId, kFieldC, 14, 80, fw::kHalfWidth);
    l.button(kIdButton, kFieldC + 84, 14, 24, "ID");
    l.label(kLabelA, 31, 40, "年齢");
    datePartsRow(l, 31, {kAgeYears, "歳", "年齢"}, {kAgeMonths, "ヶ月", "年齢（ヶ月）"},
                 {kAgeDays, "日", "年齢（日）"});
    l.label(kLabelB, 31, 32, "性別");
    l.dropList(kSex, kFieldB, 31, 50, 50,
               {fw::TemplateText(registry::SexText(1)), fw::TemplateText(registry::SexText(0))});
    l.label(kLabelC, 31, 36, "身長(cm)");
    l.edit(kHeight, kFieldC, 31, 44, fw::kAlignRight);
    l.label(kLabelD, 31, 38, "体重(kg)");
    l.edit(kWeight, kFieldD, 31, 44, fw::kAlignRight);
}

// The three people of a role on the columns of the fields above them, the third reaching as far
// right as the procedure.
void staffRow(Layout& l, int y, const char* caption, int first) {
    l.label(kLabelA, y, 44, caption);
    l.combo(first, kFieldA, y, kFieldB - kFieldA - 8, 120);
    l.combo(first + 1, kFieldB, y, kFieldC - kFieldB - 8, 120);
    l.combo(first + 2, kFieldC, y, kProcedureRight - kFieldC, 120);
}

void surgeryGroup(Layout& l) {
    l.group(53, 81, "手術・担当");
    l.label(kLabelA, 64, 40, "手術日");
    datePartsRow(l, 64, {kYear, "年", "手術日（年）"}, {kMonth, "月", "手術日（月）"},
                 {kDay, "日", "手術日（日）"});
    l.label(kLabelB, 64, 32, "担当科");
    l.combo(kDepartment, kFieldB, 64, 120, 120);
    l.label(kLabelC, 64, 30, "病棟");
    l.combo(kWard, kFieldC, 64, 100, 120);
    l.label(kLabelD, 64, 34, "手術室");
    l.combo(kRoom, kFieldD, 64, 108, 120);
    l.label(kLabelA, 81, 40, "疾患");
    l.edit(kDisease, kFieldA, 81, 288);
    l.label(kLabelC, 81, 30, "術式");
    l.edit(kProcedure, kFieldC, 81, kProcedureRight - kFieldC);
    staffRow(l, 98, "麻酔医", kAnesthesiologist1);
    staffRow(l, 115, "指導麻酔医", kSupervisor1);
}

void anesthesiaGroup(Layout& l) {
    l.group(137, 47, "麻酔");
    l.label(kLabelA, 148, 40, "ASA PS");
    l.dropList(kAsa, kFieldA, 148, 44, 130,
               codeItems(0, registry::kAsaCount - 1, registry::AsaText));
    l.label(kLabelB, 148, 32, "麻酔法");
    l.dropList(kMethod, kFieldB, 148, 120, 130,
               codeItems(1, registry::kMethodCount, registry::MethodText));
    l.label(kLabelC, 148, 36, "手術部位");
    l.dropList(kSite, kFieldC, 148, 150, 220,
               codeItems(1, registry::kSiteCount, registry::SiteText));
    l.label(kLabelA, 165, 40, "体位");
    l.dropList(kPosition, kFieldA, 165, 64, 90,
               codeItems(1, registry::kPositionCount, registry::PositionText));
    l.label(kLabelB, 165, 36, "麻酔時間");
    l.edit(kAnesthesiaTime, kFieldB, 165, 40, fw::kHalfWidth);
    l.label(kLabelC, 165, 36, "手術時間");
    l.edit(kSurgeryTime, kFieldC, 165, 40, fw::kHalfWidth);
}

// An amount with its unit list, in the column that starts at labelX.
void productCell(Layout& l, int labelX, int fieldX, int y, const char* caption, int amount,
                 int unit) {
    l.label(labelX, y, 34, caption);
    l.edit(amount, fieldX, y, 50, fw::kAlignRight);
    l.dropList(unit, fieldX + 54, y, 44, 40, unitItems());
}

void fluidsGroup(Layout& l) {
    l.group(187, 99, "輸液・血液製剤");
    l.label(kLabelA, 198, 40, "晶質輸液");
    l.edit(kCrystalloid, kFieldA, 198, 50, fw::kAlignRight);
    l.label(kLabelB, 198, 34, "膠質輸液");
    l.edit(kColloid, kFieldB, 198, 50, fw::kAlignRight);
    l.label(kLabelC, 198, 30, "尿量");
    l.edit(kUrine, kFieldC, 198, 50, fw::kAlignRight);
    l.label(kLabelA, 215, 40, "出血量");
    l.edit(kBloodLoss, kFieldA, 215, 50, fw::kAlignRight);
    l.label(kLabelB, 215, 34, "出血備考");
    l.combo(kBloodLossNote, kFieldB, 215, 120, 70, {"＋α", "羊水込み", "腹水、胸水込み", "およそ"});
    productCell(l, kLabelA, kFieldA, 232, "MAP", kMap, kMapUnit);
    productCell(l, kLabelB, kFieldB, 232, "FFP", kFfp, kFfpUnit);
    productCell(l, kLabelC, kFieldC, 232, "PC", kPc, kPcUnit);
    productCell(l, kLabelA, kFieldA, 249, "自己血", kAutologous, kAutologousUnit);
    productCell(l, kLabelB, kFieldB, 249, "全血", kWholeBlood, kWholeBloodUnit);
    l.label(kLabelC, 249, 42, "アルブミン");
    l.edit(kAlbumin, kFieldC, 249, 50, fw::kAlignRight);
    l.label(kFieldC + 54, 249, 12, "ml");
    l.label(kLabelA, 266, 44, "その他製剤");
    l.edit(kOtherName, kFieldA, 266, 164);
    l.edit(kOtherAmount, kFieldB, 266, 50, fw::kAlignRight, "その他製剤の量");
    l.dropList(kOtherUnit, kFieldB + 54, 266, 44, 40, unitItems());
    l.label(kLabelC, 266, 36, "輸血備考");
    l.edit(kTransfusionNote, kFieldC, 266, 254);
}

void remarksArea(Layout& l) {
    l.button(kPreopButton, 5, 292, 64, "術前合併症");
    l.multiLine(kPreopComment, 5, 308, 320, 50, fw::kReadOnly);
    l.button(kIncidentButton, 5, 364, 50, "偶発症");
    l.edit(kIncidentStatus, 58, 364, 50, fw::kReadOnly);
    l.button(kDrugIncidentButton, 120, 364, 80, "薬剤インシデント");
    l.label(335, 292, 100, "術中、術後特記事項");
    l.multiLine(kNotes, 335, 308, 320, 70, fw::kWantReturn);
    l.check(kWithhold, 335, 384, 110, "学会への供給停止症例");
    l.button(kHistoryButton, 480, 400, 55, "履歴", fw::kHidden);
    l.button(kConfirm, 540, 400, 55, "OK");
    l.button(2, 600, 400, 55, "ｷｬﾝｾﾙ");
    // Enter confirms nothing: every confirmation goes through the OK button's own steps.
    l.button(1, 0, 0, 1, "OK", fw::kDefault | fw::kHidden | fw::kDisabled);
}

const fw::DlgTemplate& caseFormTemplate() {
    static const fw::DlgTemplate tmpl = [] {
        Layout l;
        patientGroup(l);
        surgeryGroup(l);
        anesthesiaGroup(l);
        fluidsGroup(l);
        remarksArea(l);
        return fw::DlgTemplate{entry::kCaseFormId, 660, 418, "台帳", l.take()};
    }();
    return tmpl;
}

void exchangeAmount(fw::CDataExchange* pDX, int id, int& value) {
    DDX_Text(pDX, id, value);
    DDV_MinMaxInt(pDX, value, 0, kAmountMax);
}

void exchangeLimitedText(fw::CDataExchange* pDX, int id, CString& value, int maxBytes) {
    DDX_Text(pDX, id, value);
    DDV_MaxChars(pDX, value, maxBytes);
}

void exchangeAge(fw::CDataExchange* pDX, int id, int& value, int maxValue) {
    DDX_Text(pDX, id, value);
    DDV_MinMaxInt(pDX, value, -1, maxValue);
}

} // namespace

CCaseFormDlg::CCaseFormDlg(CQuellmarkDoc& doc)
    : fw::CDialog(caseFormTemplate()), m_pDoc(&doc),
      m_pAnesthesiologistList(&doc.GetAnesthesiologistList()),
      m_pSupervisorList(&doc.GetSupervisorList()), m_pWardList(&doc.GetWardList()),
      m_pRoomList(&doc.GetRoomList()), m_pDepartmentList(&doc.GetDepartmentList()) {
    OnClicked(kConfirm, [this] { confirm(); });
    OnClicked(kPreopButton, [this] { editComorbidities(); });
    OnClicked(kDrugIncidentButton, [this] { editDrugIncident(); });
    OnClicked(kIncidentButton, [this] { editIncident(); });
    OnClicked(kIdButton, [this] { fillFromSameId(); });
    OnClicked(kHistoryButton, [this] { showHistory(); });
}

void CCaseFormDlg::DoDataExchange(fw::CDataExchange* pDX) {
    exchangePatient(pDX);
    exchangeAmounts(pDX);
    exchangeVolumesAndUnits(pDX);
}

// The order of the exchange is the order of validation, which decides which members a failed
// confirmation has already read; it is not the order of the controls on the form.
void CCaseFormDlg::exchangePatient(fw::CDataExchange* pDX) {
    DDX_CBString(pDX, kMethod, m_strMethod);
    DDX_CBString(pDX, kAsa, m_strAsa);
    DDX_Text(pDX, kDisease, m_strDisease);
    DDX_Text(pDX, kId, m_strId);
    DDX_Text(pDX, kIncidentStatus, m_strIncidentStatus);
    DDX_Text(pDX, kName, m_strName);
    DDX_Text(pDX, kProcedure, m_strProcedure);
    DDX_Text(pDX, kHeight, m_fHeight);
    DDX_Text(pDX, kWeight, m_fWeight);
    DDX_CBString(pDX, kSex, m_strSex);
    DDX_Text(pDX, kYear, m_nYear);
    DDX_Text(pDX, kMonth, m_nMonth);
    DDX_Text(pDX, kDay, m_nDay);
    DDX_CBString(pDX, kPosition, m_strPosition);
    DDX_CBString(pDX, kSite, m_strSite);
    exchangeLimitedText(pDX, kAnesthesiaTime, m_strAnesthesiaTime, kTimeBytes);
    DDX_Text(pDX, kKana, m_strKana);
    exchangeLimitedText(pDX, kSurgeryTime, m_strSurgeryTime, kTimeBytes);
    exchangeAge(pDX, kAgeYears, m_nAgeYears, 1000);
    exchangeAge(pDX, kAgeMonths, m_nAgeMonths, 12);
    exchangeAge(pDX, kAgeDays, m_nAgeDays, 31);
    DDX_Text(pDX, kPreopComment, m_strPreopComment);
}

void CCaseFormDlg::exchangeAmounts(fw::CDataExchange* pDX) {
    exchangeLimitedText(pDX, kTransfusionNote, m_strTransfusionNote, kTransfusionNoteBytes);
    exchangeAmount(pDX, kAlbumin, m_nAlbumin);
    exchangeAmount(pDX, kWholeBlood, m_nWholeBlood);
    exchangeAmount(pDX, kAutologous, m_nAutologous);
    exchangeAmount(pDX, kFfp, m_nFfp);
    exchangeAmount(pDX, kMap, m_nMap);
    exchangeAmount(pDX, kOtherAmount, m_nOtherProduct);
    exchangeAmount(pDX, kPc, m_nPc);
    exchangeLimitedText(pDX, kOtherName, m_strOtherProductName, kOtherNameBytes);
}

void CCaseFormDlg::exchangeVolumesAndUnits(fw::CDataExchange* pDX) {
    DDX_Text(pDX, kBloodLoss, m_nBloodLoss);
    DDX_Text(pDX, kUrine, m_nUrine);
    DDX_CBString(pDX, kWholeBloodUnit, m_strWholeBloodUnit);
    DDX_CBString(pDX, kAutologousUnit, m_strAutologousUnit);
    DDX_CBString(pDX, kFfpUnit, m_strFfpUnit);
    DDX_CBString(pDX, kMapUnit, m_strMapUnit);
    DDX_CBString(pDX, kOtherUnit, m_strOtherUnit);
    DDX_CBString(pDX, kPcUnit, m_strPcUnit);
    DDX_Text(pDX, kColloid, m_nColloid);
    DDX_Text(pDX, kCrystalloid, m_nCrystalloid);
    DDX_Text(pDX, kNotes, m_strNotes);
    DDX_CBString(pDX, kBloodLossNote, m_strBloodLossNote);
    DDX_Check(pDX, kWithhold, m_bWithhold);
}

bool CCaseFormDlg::OnInitDialog() {
    fw::CDialog::OnInitDialog();
    showComboTexts();
    fillComboLists();
    ShowDlgItem(kHistoryButton, m_nRecordIndex >= 0 && m_pDoc->GetStore().HasHistory());
    return true;
}

void CCaseFormDlg::showHistory() {
    std::vector<registry::HistoryLine> lines;
    CString error;
    if (!m_pDoc->GetStore().HistoryOf(*m_pDoc, m_nRecordIndex, lines, error)) {
        fw::ShowMessage("履歴を読めません（"_sj + error + "）。"_sj);
        return;
    }
    CCaseHistoryDlg dlg;
    dlg.m_strHistory = entry::HistoryText(lines);
    dlg.DoModal();
}

void CCaseFormDlg::showComboTexts() {
    for (int i = 0; i < kPeople; ++i) {
        SetDlgItemText(kAnesthesiologist1 + i, m_strAnesthesiologist[i]);
        SetDlgItemText(kSupervisor1 + i, m_strSupervisor[i]);
    }
    SetDlgItemText(kWard, m_strWard);
    SetDlgItemText(kRoom, m_strOperatingRoom);
    SetDlgItemText(kDepartment, m_strDepartment);
}

void CCaseFormDlg::fillComboLists() {
    const auto fill = [this](int id, const CStringArray& list) { ComboAddStrings(id, list); };
    for (int i = 0; i < kPeople; ++i) {
        fill(kAnesthesiologist1 + i, *m_pAnesthesiologistList);
        fill(kSupervisor1 + i, *m_pSupervisorList);
    }
    fill(kWard, *m_pWardList);
    fill(kRoom, *m_pRoomList);
    fill(kDepartment, *m_pDepartmentList);
}

void CCaseFormDlg::readComboTexts() {
    for (int i = 0; i < kPeople; ++i) {
        m_strAnesthesiologist[i] = GetDlgItemText(kAnesthesiologist1 + i);
        m_strSupervisor[i] = GetDlgItemText(kSupervisor1 + i);
    }
    m_strWard = GetDlgItemText(kWard);
    m_strOperatingRoom = GetDlgItemText(kRoom);
    m_strDepartment = GetDlgItemText(kDepartment);
}

// After a button has changed some members. When reading the controls stopped at a bad value,
// the members after it still hold their old values, and showing all of them would silently
// throw away what the user typed there; then only the members the button changed are shown.
void CCaseFormDlg::showMembers(bool readSucceeded, std::initializer_list<int> changed) {
    if (readSucceeded) {
        UpdateData(false);
        return;
    }
    for (int id : changed) {
        showMember(id);
    }
}

void CCaseFormDlg::showMember(int id) {
    switch (id) {
    case kPreopComment:
        return SetDlgItemText(id, m_strPreopComment);
    case kIncidentStatus:
        return SetDlgItemText(id, m_strIncidentStatus);
    case kName:
        return SetDlgItemText(id, m_strName);
    case kKana:
        return SetDlgItemText(id, m_strKana);
    case kHeight:
        return SetDlgItemText(id, CString::Formatted("%g", double(m_fHeight)));
    case kWeight:
        return SetDlgItemText(id, CString::Formatted("%g", double(m_fWeight)));
    case kSex:
        return SetDlgItemText(id, m_strSex);
    default:
        return;
    }
}

// A date the data file cannot hold would be stored as -1 and show up as a date in 1970; the
// user is told and corrects it instead.
bool CCaseFormDlg::surgeryDateFits() {
    if (m_strName.IsEmpty() || entry::SurgeryTime(*this, m_confirmedAt) != fw::kNoTime) {
        return true;
    }
    fw::ShowMessage("日付の指定が正しくありません"_sj);
    FocusDlgItem(kYear);
    return false;
}

void CCaseFormDlg::confirm() {
    readComboTexts();
    if (!UpdateData(true)) {
        return;
    }
    m_confirmedAt = fw::LocalNow();
    if (surgeryDateFits() && (!m_keep || m_keep())) {
        EndDialog(fw::kIdOk);
    }
}

void CCaseFormDlg::editComorbidities() {
    const bool read = UpdateData(true);
    CPreopDlg dlg;
    dlg.Initialise(m_nPreopCode, m_strPreopComment);
    dlg.DoModal();
    m_nPreopCode = dlg.GetPackedCode();
    m_strPreopComment = dlg.GetComment();
    showMembers(read, {kPreopComment});
}

void CCaseFormDlg::editDrugIncident() {
    CDrugIncidentDlg dlg;
    dlg.m_strPrompt = "薬剤インシデントについてできるだけ詳細に書いてください。\n"
                      "人、薬剤、投与経路、時間、量など。"_sj;
    dlg.m_strDrugIncident = m_strDrugIncident;
    dlg.DoModal();
    m_strDrugIncident = dlg.m_strDrugIncident;
}

void CCaseFormDlg::editIncident() {
    const bool read = UpdateData(true);
    int values[kIncidentValues];
    CString texts[kIncidentTexts];
    entry::IncidentToEdit(*this, values, texts);
    CIncidentDlg dlg;
    dlg.SetIncident(values, texts);
    dlg.UpdateTexts();
    const int result = dlg.DoModal();
    dlg.GetIncident(values, texts);
    entry::TakeIncidentResult(*this, result, values, texts);
    showMembers(read, {kIncidentStatus});
}

void CCaseFormDlg::fillFromSameId() {
    const bool read = UpdateData(true);
    if (entry::FillFromSameId(*this, *m_pDoc)) {
        showMembers(read, {kName, kKana, kHeight, kWeight, kSex, kPreopComment});
    } else {
        showMembers(read, {});
    }
}

namespace entry {

namespace {

// Keeps the confirmed form's case at recordIndex (-1: a new one) through the document's store;
// a form without a patient name keeps nothing. False, after telling the user, when the store
// refused it.
bool keepCase(CCaseFormDlg& dlg, CQuellmarkDoc& doc, const CCaseRecord& opened, int recordIndex,
              registry::ChangeBase& base) {
    CCaseRecord record = opened;
    if (dlg.m_strName.IsEmpty() || !WriteCase(dlg, record, dlg.GetConfirmedAt())) {
        return true;
    }
    registry::JournalEntry change =
        CaseChange(dlg, record, recordIndex, opened.GetnIncidentIndex(), doc);
    CString message;
    if (doc.Confirm(change, base, message)) {
        return true;
    }
    fw::ShowMessage(message);
    return false;
}

} // namespace

int RunNewCase(CQuellmarkDoc& doc) {
    CCaseFormDlg dlg(doc);
    const fw::LocalDateTime now = fw::LocalNow();
    InitNewCase(dlg, {now.year, now.month, now.day});
    CCaseRecord fresh;
    fresh.SetnIncidentIndex(kIncidentNone);
    registry::ChangeBase base;
    dlg.OnConfirm([&] { return keepCase(dlg, doc, fresh, -1, base); });
    return dlg.DoModal();
}

int RunExistingCase(CQuellmarkDoc& doc, int recordIndex) {
    if (recordIndex < 0 || recordIndex >= doc.GetRecordCount()) {
        return -1;
    }
    const CCaseRecord record = doc.GetRecord(recordIndex);
    registry::ChangeBase base = doc.BaseOf({registry::JournalKind::Case, recordIndex});
    CCaseFormDlg dlg(doc);
    dlg.m_nRecordIndex = recordIndex;
    ReadCase(dlg, record, doc);
    dlg.OnConfirm([&] { return keepCase(dlg, doc, record, recordIndex, base); });
    return dlg.DoModal();
}

} // namespace entry
