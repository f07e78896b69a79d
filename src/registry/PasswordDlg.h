#pragma once
// The change of the two passwords: each new password typed twice, "変更" takes it when both
// entries agree and are not empty, and says so in the field beside it.

#include "framework/String.h"
#include "framework/ui/Dialog.h"

#include <functional>

namespace registry {

constexpr int kPasswordDialogId = 141;

namespace passworddlg {
enum : int {
    kAdminNew = 1091,
    kAdminConfirm = 1092,
    kUserNew = 1093,
    kUserConfirm = 1094,
    kClose = 1096, // "OK"
    kAdminChange = 1168,
    kUserChange = 1169,
    kAdminMessage = 1170,
    kUserMessage = 1171,
};
} // namespace passworddlg

} // namespace registry

class CPasswordDlg : public fw::CDialog {
public:
    CPasswordDlg();

    // Called when "変更" has taken a password, before the dialog says it is changed, so that
    // the opener keeps it first; false when it could not be kept (the user was told), and the
    // password in force stays.
    void OnPasswordChanged(std::function<bool()> keep) { m_keep = std::move(keep); }

    // The passwords in force: set by the opener, changed by "変更", read back after closing.
    CString m_strUserPassword;
    CString m_strAdminPassword;
    CString m_strAdminNew;
    CString m_strAdminConfirm;
    CString m_strUserNew;
    CString m_strUserConfirm;
    CString m_strAdminMessage;
    CString m_strUserMessage;

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;

private:
    void change(const CString& entered, const CString& repeated, CString& password,
                CString& message);

    std::function<bool()> m_keep;
};
