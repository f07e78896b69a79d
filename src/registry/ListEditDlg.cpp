#include "registry/ListEditDlg.h"

using fw::CtlKind;
using fw::DlgTemplate;

namespace registry {
namespace {

// The list on the left; on the right the field with its two buttons, and OK at the foot.
constexpr int kMargin = 7;
constexpr int kListWidth = 130;
constexpr int kListHeight = 150;
constexpr int kNameHeight = 12; // the list's name above it
constexpr int kSideLeft = kMargin + kListWidth + 8;
constexpr int kSideWidth = 96;
constexpr int kButtonWidth = 45;
constexpr int kButtonHeight = 14;
constexpr int kWidth = kSideLeft + kSideWidth + kMargin;
constexpr int kListTop = kMargin + kNameHeight;
constexpr int kHeight = kListTop + kListHeight + kMargin;

const DlgTemplate& listEditDialog() {
    using namespace listedit;
    static const DlgTemplate tmpl{
        kListEditDialogId,
        kWidth,
        kHeight,
        nullptr,
        {
            {kNewItem, CtlKind::Edit, kSideLeft, kListTop, kSideWidth, 14},
            // Enter in the field adds what was typed.
            {kAdd, CtlKind::Push, kSideLeft, kListTop + 20, kButtonWidth, kButtonHeight, "追加",
             fw::kDefault},
            {kDelete, CtlKind::Push, kSideLeft + kSideWidth - kButtonWidth, kListTop + 20,
             kButtonWidth, kButtonHeight, "削除"},
            {kListName, CtlKind::Static, kMargin, kMargin, kListWidth, kNameHeight - 2, ""},
            {kList, CtlKind::ListCtrl, kMargin, kListTop, kListWidth, kListHeight, "",
             fw::kMultiSelect},
            {kClose, CtlKind::Push, kSideLeft + kSideWidth - kButtonWidth,
             kHeight - kMargin - kButtonHeight, kButtonWidth, kButtonHeight, "OK"},
        }};
    return tmpl;
}

} // namespace

void RunListEditor(CStringArray& list, const CString& name,
                   std::function<bool(CStringArray& list)> changed) {
    CListEditDlg dlg;
    dlg.m_pList = &list;
    dlg.m_strListName = name;
    dlg.m_onChange = std::move(changed);
    // Escape opens the editor again; anything but that (its OK, or a dialog that could not run)
    // leaves it.
    while (dlg.DoModal() == fw::kIdCancel) {
    }
}

} // namespace registry

CListEditDlg::CListEditDlg() : CDialog(registry::listEditDialog()) {
    OnClicked(registry::listedit::kAdd, [this] { addItem(); });
    OnClicked(registry::listedit::kDelete, [this] { deleteItem(); });
    OnClicked(registry::listedit::kClose, [this] { EndDialog(registry::listedit::kClose); });
}

void CListEditDlg::DoDataExchange(fw::CDataExchange* pDX) {
    fw::DDX_Text(pDX, registry::listedit::kNewItem, m_strNewItem);
}

bool CListEditDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetDlgItemText(registry::listedit::kListName, m_strListName);
    fillList();
    return true;
}

// Each text goes in at the top, so the list shows its last text first.
void CListEditDlg::fillList() {
    ListDeleteAll(registry::listedit::kList);
    if (!m_pList) {
        return;
    }
    for (const CString& text : *m_pList) {
        ListInsertItem(registry::listedit::kList, 0, text);
    }
}

// Any text counts, as typed: no trimming, no check for a name already there, no length limit.
void CListEditDlg::addItem() {
    UpdateData(true);
    if (!m_strNewItem.IsEmpty() && m_pList) {
        m_pList->Add(m_strNewItem);
        if (keep()) {
            ListInsertItem(registry::listedit::kList, 0, m_strNewItem);
            m_strNewItem.Empty();
        }
    }
    UpdateData(false);
}

// Of several selected items the one lowest in the control goes, which is the earliest of them
// in the list; with none selected nothing happens.
void CListEditDlg::deleteItem() {
    if (!m_pList) {
        return;
    }
    const int n = m_pList->GetSize();
    int lowest = -1;
    for (int pos = 0; pos < n && pos < ListGetCount(registry::listedit::kList); ++pos) {
        if (ListIsSelected(registry::listedit::kList, pos)) {
            lowest = pos;
        }
    }
    if (lowest < 0) {
        return;
    }
    m_pList->RemoveAt(n - 1 - lowest);
    if (!keep()) {
        return;
    }
    fillList();
    // Text typed and not added goes too.
    m_strNewItem.Empty();
    UpdateData(false);
}

// A change that could not be kept leaves the list in force, shown afresh.
bool CListEditDlg::keep() {
    if (!m_onChange || m_onChange(*m_pList)) {
        return true;
    }
    fillList();
    return false;
}
