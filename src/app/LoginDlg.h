#pragma once
// The password prompt: the general user's password or the administrator's decides the role.

#include "framework/ui/Dialog.h"

#include <functional>

class CLoginDlg : public fw::CDialog {
public:
    CLoginDlg();

    int m_bGeneralUser =
        1; // after OK: 1 for the general user's password, 0 for the administrator's
    CString m_strAdminPassword;
    CString m_strUserPassword;
    CString m_strPassword;
    // Where the passwords are not known here (a department server knows them): says whose
    // password was typed, 0 the administrator's, 1 the general user's, -1 neither.
    std::function<int(const CString& password)> m_check;

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;
    void OnOK() override;
};
