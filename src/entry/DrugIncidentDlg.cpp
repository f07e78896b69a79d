#include "entry/DrugIncidentDlg.h"

using fw::CtlKind;
using fw::DlgTemplate;

namespace entry {
namespace {

constexpr int kDrugIncidentDialogId = 145;
constexpr int kPromptId = 1067;
constexpr int kNoteId = 1182;
constexpr int kEraseId = 1181;
constexpr int kConfirmId = 1096;

constexpr int kWidth = 260;
constexpr int kMargin = 7;
constexpr int kInner = kWidth - 2 * kMargin;
constexpr int kPromptHeight = 24; // two lines of the instruction
constexpr int kNoteTop = kMargin + kPromptHeight + 4;
constexpr int kNoteHeight = 110;
constexpr int kButtonTop = kNoteTop + kNoteHeight + 7;
constexpr int kButtonWidth = 55;
constexpr int kButtonHeight = 14;
constexpr int kHeight = kButtonTop + kButtonHeight + kMargin;

// The note comes first in the tab order so that it holds the focus when the dialog opens; the
// read-only instruction comes last.
const DlgTemplate& drugIncidentDialog() {
    static const DlgTemplate tmpl{
        kDrugIncidentDialogId,
        kWidth,
        kHeight,
        "薬剤インシデント",
        {
            {kNoteId, CtlKind::Edit, kMargin, kNoteTop, kInner, kNoteHeight, "",
             fw::kMultiLine | fw::kWantReturn | fw::kVScroll},
            {kEraseId, CtlKind::Push, kMargin, kButtonTop, kButtonWidth, kButtonHeight, "消去"},
            {kConfirmId, CtlKind::Push, kWidth - kMargin - kButtonWidth, kButtonTop, kButtonWidth,
             kButtonHeight, "OK"},
            {kPromptId, CtlKind::Edit, kMargin, kMargin, kInner, kPromptHeight, "",
             fw::kMultiLine | fw::kReadOnly},
            // Enter belongs to the note, so the default button confirms nothing.
            {fw::kIdOk, CtlKind::Push, 0, 0, 10, 10, "OK", fw::kDefault | fw::kHidden | fw::kDisabled},
        }};
    return tmpl;
}

} // namespace
} // namespace entry

CDrugIncidentDlg::CDrugIncidentDlg() : CDialog(entry::drugIncidentDialog()) {
    OnClicked(entry::kConfirmId, [this] { confirm(); });
    OnClicked(entry::kEraseId, [this] { erase(); });
}

void CDrugIncidentDlg::DoDataExchange(fw::CDataExchange* pDX) {
    fw::DDX_Text(pDX, entry::kPromptId, m_strPrompt);
    fw::DDX_Text(pDX, entry::kNoteId, m_strDrugIncident);
}

void CDrugIncidentDlg::confirm() {
    UpdateData(true);
    EndDialog(fw::kIdOk);
}

void CDrugIncidentDlg::erase() {
    m_strDrugIncident.Empty();
    EndDialog(fw::kIdOk);
}
