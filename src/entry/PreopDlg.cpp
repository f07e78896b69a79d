#include "entry/PreopDlg.h"

#include <iterator>
#include <string>

using fw::CtlKind;
using fw::CtlTemplate;
using fw::DlgTemplate;
using fw::kStaticId;

namespace entry {
namespace {

constexpr int kSelectionDialogId = 140;
constexpr int kNoteDialogId = 156;

constexpr int kClearSlotsId = 1090;
constexpr int kToNoteId = 1145;
constexpr int kSlotIds[kPreopSlotCount] = {1135, 1136, 1137};

constexpr int kCommentId = 1152;
constexpr int kNoteOkId = 1334;

// Layout of the selection dialog: the five group boxes side by side as columns, the standalone
// codes in a row below them, the report slots at the bottom.
constexpr int kMargin = 7;
constexpr int kColumnPitch = 92;
constexpr int kColumnWidth = 88;
constexpr int kGroupTop = 28;
constexpr int kGroupHeight = 144;
constexpr int kButtonInset = 6;
constexpr int kButtonTop = 12;
constexpr int kButtonPitch = 16;
constexpr int kButtonHeight = 14;
constexpr int kStandaloneTop = kGroupTop + kGroupHeight + 6;
constexpr int kSlotTop = kStandaloneTop + kButtonHeight + 8;
constexpr int kSlotLeft = 80;
constexpr int kSlotPitch = 128;
constexpr int kSlotWidth = 124;
constexpr int kCommandTop = kSlotTop + kButtonHeight + 8;
constexpr int kCommandWidth = 60;
constexpr int kSelectionWidth = 2 * kMargin + 4 * kColumnPitch + kColumnWidth;
constexpr int kSelectionHeight = kCommandTop + kButtonHeight + kMargin;

constexpr PreopGroup kColumns[] = {PreopGroup::HemorrhagicShock, PreopGroup::Cardiovascular,
                                   PreopGroup::Respiratory, PreopGroup::CentralNervous,
                                   PreopGroup::Metabolic};

int columnLeft(int column) {
    return kMargin + column * kColumnPitch;
}

void addColumn(std::vector<CtlTemplate>& controls, int column) {
    const PreopGroup group = kColumns[column];
    const int left = columnLeft(column);
    controls.push_back({kStaticId, CtlKind::Group, left, kGroupTop, kColumnWidth, kGroupHeight,
                        fw::TemplateText(PreopGroupCaption(group))});
    int row = 0;
    for (int code = 1; code <= kPreopCodeCount; ++code) {
        if (PreopGroupOf(code) == group) {
            controls.push_back({PreopButtonId(code), CtlKind::Push, left + kButtonInset,
                                kGroupTop + kButtonTop + row++ * kButtonPitch,
                                kColumnWidth - 2 * kButtonInset, kButtonHeight,
                                fw::TemplateText(PreopButtonCaption(code))});
        }
    }
}

void addStandaloneRow(std::vector<CtlTemplate>& controls) {
    int column = 0;
    for (int code = 1; code <= kPreopCodeCount; ++code) {
        if (PreopGroupOf(code) == PreopGroup::Standalone) {
            controls.push_back({PreopButtonId(code), CtlKind::Push, columnLeft(column++),
                                kStandaloneTop, kColumnWidth, kButtonHeight,
                                fw::TemplateText(PreopButtonCaption(code))});
        }
    }
}

void addSlots(std::vector<CtlTemplate>& controls) {
    controls.push_back({kStaticId, CtlKind::Static, kMargin, kSlotTop + 3, kSlotLeft - kMargin - 2,
                        8, "学会報告用合併症"});
    for (int slot = 0; slot < kPreopSlotCount; ++slot) {
        controls.push_back({kSlotIds[slot], CtlKind::Edit, kSlotLeft + slot * kSlotPitch, kSlotTop,
                            kSlotWidth, kButtonHeight, "", fw::kReadOnly});
    }
}

DlgTemplate selectionTemplate() {
    std::vector<CtlTemplate> controls = {
        {kStaticId, CtlKind::Static, kMargin, 6, kSelectionWidth - 2 * kMargin, 18,
         "学会報告用（フリーコメントに記載する場合も、学会報告用に該当する項目を選択しておいてくだ"
         "さい。）"}};
    for (int column = 0; column < int(std::size(kColumns)); ++column) {
        addColumn(controls, column);
    }
    addStandaloneRow(controls);
    controls.push_back({kClearSlotsId, CtlKind::Push, kSlotLeft, kCommandTop, kCommandWidth,
                        kButtonHeight, "削除"});
    controls.push_back({kToNoteId, CtlKind::Push, kSelectionWidth - kMargin - kCommandWidth,
                        kCommandTop, kCommandWidth, kButtonHeight, "OK"});
    // The slots are read-only, so they come last in the tab order.
    addSlots(controls);
    // Enter must not end the dialog: the way out is through the free comment.
    controls.push_back(
        {fw::kIdOk, CtlKind::Push, 0, 0, 10, 10, "OK", fw::kDefault | fw::kHidden | fw::kDisabled});
    return {kSelectionDialogId, kSelectionWidth, kSelectionHeight, "術前合併症", controls};
}

const DlgTemplate& selectionDialog() {
    static const DlgTemplate tmpl = selectionTemplate();
    return tmpl;
}

// Layout of the free comment dialog: the edit on top, the quick-entry buttons in their box, then
// the two exits.
constexpr int kNoteWidth = 280;
constexpr int kCommentTop = 30;
constexpr int kCommentHeight = 110;
constexpr int kQuickBoxTop = kCommentTop + kCommentHeight + 6;
constexpr int kQuickBoxHeight = 30;
constexpr int kQuickLeft = 15;
constexpr int kQuickPitch = 51;
constexpr int kQuickWidth = 46;
constexpr int kNoteCommandTop = kQuickBoxTop + kQuickBoxHeight + 8;
constexpr int kNoteHeight = kNoteCommandTop + kButtonHeight + kMargin;
constexpr int kNoteOkWidth = 60;
constexpr int kBackWidth = 80;

DlgTemplate noteTemplate() {
    const int inner = kNoteWidth - 2 * kMargin;
    std::vector<CtlTemplate> controls = {
        {kStaticId, CtlKind::Static, kMargin, 6, inner, 8, "フリーコメント"},
        {kStaticId, CtlKind::Static, kMargin, 17, inner, 8,
         "学会報告とは別物です。面倒でもそれぞれ入力してください。"},
        {kCommentId, CtlKind::Edit, kMargin, kCommentTop, inner, kCommentHeight, "",
         fw::kMultiLine | fw::kWantReturn | fw::kVScroll},
        {kStaticId, CtlKind::Group, kMargin, kQuickBoxTop, inner, kQuickBoxHeight,
         "フリーコメント編集ボタン"},
    };
    for (int i = 0; i < kQuickNoteCount; ++i) {
        const QuickNote& note = QuickNoteAt(i);
        controls.push_back({note.buttonId, CtlKind::Push, kQuickLeft + i * kQuickPitch,
                            kQuickBoxTop + 11, kQuickWidth, kButtonHeight,
                            fw::TemplateText(note.caption)});
    }
    const int okLeft = kNoteWidth - kMargin - kNoteOkWidth;
    controls.push_back(
        {kNoteOkId, CtlKind::Push, okLeft, kNoteCommandTop, kNoteOkWidth, kButtonHeight, "OK"});
    controls.push_back({kBackToSelection, CtlKind::Push, okLeft - 6 - kBackWidth, kNoteCommandTop,
                        kBackWidth, kButtonHeight, "学会報告用に戻る"});
    const unsigned hidden = fw::kHidden | fw::kDisabled;
    controls.push_back({fw::kIdOk, CtlKind::Push, 0, 0, 10, 10, "OK", fw::kDefault | hidden});
    controls.push_back({fw::kIdCancel, CtlKind::Push, 0, 0, 10, 10, "ｷｬﾝｾﾙ", hidden});
    return {kNoteDialogId, kNoteWidth, kNoteHeight, "フリーコメント", controls};
}

const DlgTemplate& noteDialog() {
    static const DlgTemplate tmpl = noteTemplate();
    return tmpl;
}

} // namespace
} // namespace entry

CPreopDlg::CPreopDlg() : CDialog(entry::selectionDialog()) {
    for (int code = 1; code <= entry::kPreopCodeCount; ++code) {
        OnClicked(entry::PreopButtonId(code), [this, code] { addComorbidity(code); });
    }
    OnClicked(entry::kClearSlotsId, [this] { clearSlots(); });
    OnClicked(entry::kToNoteId, [this] { editComment(); });
}

void CPreopDlg::Initialise(int packedCode, const CString& comment) {
    m_selection.Initialise(packedCode, comment);
}

int CPreopDlg::GetPackedCode() const {
    return m_selection.Packed();
}

CString CPreopDlg::GetComment() const {
    return m_selection.Comment();
}

void CPreopDlg::DoDataExchange(fw::CDataExchange* pDX) {
    for (int slot = 0; slot < entry::kPreopSlotCount; ++slot) {
        fw::DDX_Text(pDX, entry::kSlotIds[slot], m_strSlot[slot]);
    }
}

bool CPreopDlg::OnInitDialog() {
    showSelection();
    return true;
}

void CPreopDlg::showSelection() {
    for (int slot = 0; slot < entry::kPreopSlotCount; ++slot) {
        m_strSlot[slot] = m_selection.SlotText(slot);
    }
    UpdateData(false);
}

void CPreopDlg::addComorbidity(int code) {
    m_selection.Add(code);
    showSelection();
}

void CPreopDlg::clearSlots() {
    m_selection.Clear();
    showSelection();
}

// The comment comes back from the note dialog however it closed; only its OK ends this one too.
void CPreopDlg::editComment() {
    CPreopNoteDlg note;
    note.m_strComment = m_selection.Comment();
    const int result = note.DoModal();
    m_selection.SetComment(note.m_strComment);
    showSelection();
    if (result == fw::kIdOk) {
        EndDialog(fw::kIdOk);
    }
}

CPreopNoteDlg::CPreopNoteDlg() : CDialog(entry::noteDialog()) {
    for (int i = 0; i < entry::kQuickNoteCount; ++i) {
        const entry::QuickNote& note = entry::QuickNoteAt(i);
        OnClicked(note.buttonId, [this, &note] { appendQuickNote(note.text); });
    }
    OnClicked(entry::kNoteOkId, [this] { closeWith(1); });
    OnClicked(entry::kBackToSelection, [this] { closeWith(entry::kBackToSelection); });
    // Escape and the close box go back to the selection, keeping what was typed.
    OnClicked(2, [this] { closeWith(entry::kBackToSelection); });
}

void CPreopNoteDlg::DoDataExchange(fw::CDataExchange* pDX) {
    fw::DDX_Text(pDX, entry::kCommentId, m_strComment);
}

void CPreopNoteDlg::appendQuickNote(const CString& text) {
    UpdateData(true);
    m_strComment += text;
    UpdateData(false);
}

void CPreopNoteDlg::closeWith(int result) {
    UpdateData(true);
    EndDialog(result);
}
