#pragma once
// The editor of one master list: the list newest first, a field to add a name, and deletion of
// the selected one. Every change acts on the list at once; there is no cancel.

#include "framework/StringArray.h"
#include "framework/ui/Dialog.h"

#include <functional>

namespace registry {

constexpr int kListEditDialogId = 137;

namespace listedit {
enum : int {
    kNewItem = 1067,
    kClose = 1054, // "OK", also the dialog's result when it is left
    kList = 1087,
    kAdd = 1089,
    kDelete = 1090,
    kListName = 1091, // which list is open
};
} // namespace listedit

// Shows the editor on list, headed by its name, until it is left with its OK; Escape opens it
// again. keep runs after every change to the list, while the editor is open, and keeps it; when
// it cannot (the user was told), it puts the list in force into list and returns false, and
// the editor shows that list again with the typed text still in its field.
void RunListEditor(CStringArray& list, const CString& name = {},
                   std::function<bool(CStringArray& list)> keep = {});

} // namespace registry

class CListEditDlg : public fw::CDialog {
public:
    CListEditDlg();

    CString m_strNewItem;
    CStringArray* m_pList = nullptr; // the list edited, set before the dialog runs
    CString m_strListName;
    // Keeps every added or deleted text; false when it could not (see RunListEditor).
    std::function<bool(CStringArray& list)> m_onChange;

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;
    bool OnInitDialog() override;

private:
    void addItem();
    void deleteItem();
    void fillList();
    bool keep();
};
