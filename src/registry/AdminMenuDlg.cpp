#include "registry/AdminMenuDlg.h"

#include "registry/ListEditDlg.h"
#include "registry/PasswordDlg.h"

using fw::CtlKind;
using fw::DlgTemplate;

namespace registry {
namespace {

// One column of buttons: the five lists, the passwords a little apart, OK at the foot.
constexpr int kWidth = 120;
constexpr int kButtonLeft = 12;
constexpr int kButtonWidth = kWidth - 2 * kButtonLeft;
constexpr int kButtonHeight = 16;
constexpr int kTop = 10;
constexpr int kPitch = 20;
constexpr int kPasswordTop = kTop + 5 * kPitch + 6;
constexpr int kOkTop = kPasswordTop + kPitch + 10;
constexpr int kOkWidth = 50;
constexpr int kHeight = kOkTop + 14 + 8;

constexpr int listTop(int row) {
    return kTop + row * kPitch;
}

const DlgTemplate& adminMenuDialog() {
    using namespace adminmenu;
    static const DlgTemplate tmpl{
        kAdminMenuDialogId,
        kWidth,
        kHeight,
        nullptr,
        {
            {kAnesthesiologists, CtlKind::Push, kButtonLeft, listTop(0), kButtonWidth,
             kButtonHeight, "麻酔科医"},
            {kSupervisors, CtlKind::Push, kButtonLeft, listTop(1), kButtonWidth, kButtonHeight,
             "指導医"},
            {kWards, CtlKind::Push, kButtonLeft, listTop(2), kButtonWidth, kButtonHeight,
             "病棟リスト"},
            {kRooms, CtlKind::Push, kButtonLeft, listTop(3), kButtonWidth, kButtonHeight, "オペ室"},
            {kDepartments, CtlKind::Push, kButtonLeft, listTop(4), kButtonWidth, kButtonHeight,
             "手術担当科"},
            {kPasswords, CtlKind::Push, kButtonLeft, kPasswordTop, kButtonWidth, kButtonHeight,
             "パスワード変更"},
            {fw::kIdOk, CtlKind::Push, kWidth - kButtonLeft - kOkWidth, kOkTop, kOkWidth, 14, "OK",
             fw::kDefault},
        }};
    return tmpl;
}

constexpr int kMenuButtons[] = {
    adminmenu::kAnesthesiologists, adminmenu::kSupervisors, adminmenu::kWards, adminmenu::kRooms,
    adminmenu::kDepartments,       adminmenu::kPasswords};

CStringArray* listOf(CQuellmarkDoc& doc, int button) {
    switch (button) {
    case adminmenu::kAnesthesiologists:
        return &doc.GetAnesthesiologistList();
    case adminmenu::kSupervisors:
        return &doc.GetSupervisorList();
    case adminmenu::kWards:
        return &doc.GetWardList();
    case adminmenu::kRooms:
        return &doc.GetRoomList();
    case adminmenu::kDepartments:
        return &doc.GetDepartmentList();
    default:
        return nullptr;
    }
}

// The list's name as its button in the menu gives it.
CString listName(int button) {
    for (const fw::CtlTemplate& c : adminMenuDialog().controls) {
        if (c.id == button) {
            CString name;
            CString::FromUtf8(c.caption, name);
            return name;
        }
    }
    return {};
}

void changePasswords(CQuellmarkDoc& doc, CPasswordDlg& dlg) {
    dlg.m_strAdminPassword = doc.GetAdminPassword();
    dlg.m_strUserPassword = doc.GetUserPassword();
    // What "変更" takes is the document's at once, whichever way the dialog is left, and is
    // journaled before the dialog says it is changed.
    ChangeBase base = doc.BaseOf({JournalKind::Passwords, -1});
    dlg.OnPasswordChanged([&doc, &dlg, &base] {
        if (dlg.m_strAdminPassword == doc.GetAdminPassword() &&
            dlg.m_strUserPassword == doc.GetUserPassword()) {
            return true;
        }
        JournalEntry change;
        change.kind = JournalKind::Passwords;
        change.adminPassword = dlg.m_strAdminPassword;
        change.userPassword = dlg.m_strUserPassword;
        CString message;
        if (doc.Confirm(change, base, message)) {
            return true;
        }
        fw::ShowMessage(message);
        return false;
    });
    dlg.DoModal();
    // The other password may have changed meanwhile: the dialog shows the ones in force.
    dlg.m_strAdminPassword = doc.GetAdminPassword();
    dlg.m_strUserPassword = doc.GetUserPassword();
}

// The editor works on a copy, so that the document's list changes only through its store.
void editList(CQuellmarkDoc& doc, const CStringArray& inForce, const CString& name) {
    CStringArray edited = inForce;
    JournalEntry change = ListChangeEntry(doc, inForce);
    ChangeBase base = doc.BaseOf(TargetOf(change));
    RunListEditor(edited, name, [&](CStringArray& list) {
        change.items = list;
        CString message;
        if (doc.Confirm(change, base, message)) {
            return true;
        }
        fw::ShowMessage(message);
        list = inForce;
        return false;
    });
}

} // namespace

void OnAdminMenu(CQuellmarkDoc& doc) {
    CAdminMenuDlg menu;
    // One password dialog for the whole visit, so that what it shows stays between openings.
    CPasswordDlg passwords;
    for (;;) {
        const int result = menu.DoModal();
        if (CStringArray* list = listOf(doc, result)) {
            editList(doc, *list, listName(result));
        } else if (result == adminmenu::kPasswords) {
            changePasswords(doc, passwords);
        } else if (result != fw::kIdCancel) {
            // OK; or the menu could not run at all, which must not turn into an endless loop.
            return;
        }
        // Escape shows the menu again: only OK leaves it.
    }
}

} // namespace registry

CAdminMenuDlg::CAdminMenuDlg() : CDialog(registry::adminMenuDialog()) {
    for (int id : registry::kMenuButtons) {
        OnClicked(id, [this, id] { EndDialog(id); });
    }
}
