#include "incident/IncidentDlg.h"

#include <string>

using fw::CtlKind;
using fw::CtlTemplate;
using fw::DlgTemplate;
using fw::kStaticId;

namespace incident {
namespace {

using namespace incidentdlg;
constexpr int kConfirmId = kRegister;
constexpr int kHelpId = kHelp;

// The code fields stand 15 units apart from y 30 on, with a gap between them; each label sits on
// the line of its field, the two longest further to the left. The columns leave room for labels of up to
// ten full-width characters and names of up to fifteen, at 8 units each in the dialog font.
constexpr int kDialogHeight = 347;
constexpr int kCodeTop = 30;
constexpr int kRowPitch = 15;
constexpr int kCodeLeft = 75;
constexpr int kCodeWidth = 30;
constexpr int kFieldHeight = 13;
constexpr int kNameLeft = 115;
constexpr int kNameWidth = 122;
constexpr int kHelpLeft = kNameLeft + kNameWidth + 7;
constexpr int kHelpWidth = 125;
constexpr int kHelpHeight = 255;
constexpr int kNoteTop = 295;
constexpr int kNoteLeft = 80;
constexpr int kNoteWidth = kNameLeft + kNameWidth - kNoteLeft;
constexpr int kButtonLeft = kHelpLeft + kHelpWidth - 60;
constexpr int kDialogWidth = kHelpLeft + kHelpWidth + 15;
constexpr int kButtonWidth = 60;

int codeTop(int k) {
    return kCodeTop + k * kRowPitch;
}

int labelLeft(int k) {
    return (k == kFirstFactor || k == kFirstFactor + 4) ? 5 : 15;
}

void addCodeFields(std::vector<CtlTemplate>& controls) {
    for (int k = 0; k < kValueCount; ++k) {
        controls.push_back({kStaticId, CtlKind::Static, labelLeft(k), codeTop(k),
                            kCodeLeft - labelLeft(k), kFieldHeight, fw::TemplateText(ValueLabel(k)),
                            fw::kAlignVCenter});
        controls.push_back(
            {kCodeIds[k], CtlKind::Edit, kCodeLeft, codeTop(k), kCodeWidth, kFieldHeight});
    }
}

void addNoteFields(std::vector<CtlTemplate>& controls) {
    for (int i = 0; i < kTextCount; ++i) {
        const int top = kNoteTop + i * kRowPitch;
        controls.push_back({kStaticId, CtlKind::Static, 5, top, kNoteLeft - 5, kFieldHeight,
                            fw::TemplateText(TextLabel(i + 1)), fw::kAlignVCenter});
        controls.push_back({kNoteIds[i], CtlKind::Edit, kNoteLeft, top, kNoteWidth, kFieldHeight});
    }
}

// Creation order is the tab order: codes, addenda, the two buttons, then what is only read.
DlgTemplate incidentTemplate() {
    std::vector<CtlTemplate> controls = {
        {kStaticId, CtlKind::Static, 15, 5, kDialogWidth - 20, 8,
         "上から順に入力。項目を変更した場合はそれ以降を再入力してください。"},
        {kStaticId, CtlKind::Static, 15, 20, kDialogWidth - 20, 8,
         "項目間の移動はTabキーを使用すると入力し易いです。"},
    };
    addCodeFields(controls);
    addNoteFields(controls);
    controls.push_back({fw::kIdCancel, CtlKind::Push, kButtonLeft, 300, kButtonWidth, 14, "削除"});
    controls.push_back(
        {kConfirmId, CtlKind::Push, kButtonLeft, 325, kButtonWidth, 14, "偶発症に登録"});
    controls.push_back({fw::kIdOk, CtlKind::Push, 220, 270, 50, 14, "OK",
                        fw::kDefault | fw::kHidden | fw::kDisabled});
    for (int k = 0; k < kValueCount; ++k) {
        controls.push_back({kNameIds[k], CtlKind::Edit, kNameLeft, codeTop(k), kNameWidth,
                            kFieldHeight, "", fw::kReadOnly});
    }
    controls.push_back({kHelpId, CtlKind::Edit, kHelpLeft, kCodeTop, kHelpWidth, kHelpHeight, "",
                        fw::kMultiLine | fw::kReadOnly | fw::kVScroll});
    return {kIncidentDialogId, kDialogWidth, kDialogHeight, nullptr, controls};
}

const DlgTemplate& incidentDialog() {
    static const DlgTemplate tmpl = incidentTemplate();
    return tmpl;
}

using CodeMember = int CIncidentDlg::*;
constexpr CodeMember kCodeMembers[kFirstFactor] = {
    &CIncidentDlg::m_nCategory, &CIncidentDlg::m_nDetail,  &CIncidentDlg::m_nOnset,
    &CIncidentDlg::m_nPrevent,  &CIncidentDlg::m_nOutcome, &CIncidentDlg::m_nCause1,
    &CIncidentDlg::m_nCause2,   &CIncidentDlg::m_nCause3};

} // namespace
} // namespace incident

using incident::kTextCount;
using incident::kValueCount;

CIncidentDlg::CIncidentDlg() : CDialog(incident::incidentDialog()) {
    for (int k = 0; k < kValueCount; ++k) {
        OnEditChange(incident::kCodeIds[k], [this] { renewNames(); });
        OnSetFocus(incident::kCodeIds[k], [this, k] { showHelp(k); });
    }
    OnClicked(incident::kConfirmId, [this] { OnOK(); });
}

int& CIncidentDlg::valueAt(int k) {
    return k < incident::kFirstFactor ? this->*incident::kCodeMembers[k]
                                      : m_nFactor[k - incident::kFirstFactor];
}

int CIncidentDlg::valueOf(int k) const {
    return const_cast<CIncidentDlg*>(this)->valueAt(k);
}

void CIncidentDlg::collectValues(int values[kValueCount]) const {
    for (int k = 0; k < kValueCount; ++k) {
        values[k] = valueOf(k);
    }
}

void CIncidentDlg::SetIncident(const int values[kValueCount], const CString texts[kTextCount]) {
    for (int k = 0; k < kValueCount; ++k) {
        valueAt(k) = values[k];
    }
    m_strTypeNote = texts[0];
    m_strOutcomeNote = texts[1];
    m_strCauseNote = texts[2];
}

void CIncidentDlg::GetIncident(int values[kValueCount], CString texts[kTextCount]) const {
    collectValues(values);
    texts[0] = m_strTypeNote;
    texts[1] = m_strOutcomeNote;
    texts[2] = m_strCauseNote;
}

void CIncidentDlg::UpdateTexts() {
    int values[kValueCount];
    collectValues(values);
    incident::IncidentNames(values, m_strText);
}

void CIncidentDlg::DoDataExchange(fw::CDataExchange* pDX) {
    fw::DDX_Text(pDX, incident::kNoteIds[0], m_strTypeNote);
    fw::DDX_Text(pDX, incident::kNoteIds[1], m_strOutcomeNote);
    fw::DDX_Text(pDX, incident::kNoteIds[2], m_strCauseNote);
    for (int k = 0; k < kValueCount; ++k) {
        fw::DDX_Text(pDX, incident::kCodeIds[k], valueAt(k));
    }
    for (int k = 0; k < kValueCount; ++k) {
        fw::DDX_Text(pDX, incident::kNameIds[k], m_strText[k]);
    }
    fw::DDX_Text(pDX, incident::kHelpId, m_strHelp);
}

// A field that is not a whole number has been reported by the exchange and shows its previous
// value again once the members are written back.
void CIncidentDlg::renewNames() {
    UpdateData(true);
    UpdateTexts();
    UpdateData(false);
}

// Codes that select no list leave the help of the previous field in place.
void CIncidentDlg::showHelp(int k) {
    UpdateData(true);
    int values[kValueCount];
    collectValues(values);
    if (const CString* help = incident::HelpText(k, values)) {
        m_strHelp = *help;
    }
    UpdateData(false);
}
