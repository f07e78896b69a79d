#pragma once
// The administrator menu (button 105 of the list): the five master lists and the passwords.

#include "framework/ui/Dialog.h"
#include "registry/QuellmarkDoc.h"

namespace registry {

constexpr int kAdminMenuDialogId = 136;

// The menu's buttons, which are also its results; OK (fw::kIdOk) leaves the menu.
namespace adminmenu {
enum : int {
    kPasswords = 1000,
    kWards = 1011,
    kRooms = 1012,
    kDepartments = 1023,
    kAnesthesiologists = 1085,
    kSupervisors = 1086,
};
} // namespace adminmenu

// Runs the menu until its OK: each list button opens the list editor on that list of doc, the
// password button the password dialog, whose passwords doc takes however it was closed.
void OnAdminMenu(CQuellmarkDoc& doc);

} // namespace registry

class CAdminMenuDlg : public fw::CDialog {
public:
    CAdminMenuDlg();
};
