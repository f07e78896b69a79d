#include "app/LoginDlg.h"

namespace {

const fw::DlgTemplate kLoginTemplate{
    130,
    150,
    62,
    nullptr,
    {
        {fw::kStaticId, fw::CtlKind::Static, 12, 14, 40, 8, "パスワード"},
        {1000, fw::CtlKind::Edit, 55, 11, 84, 14, "", fw::kPassword},
        {1, fw::CtlKind::Push, 22, 38, 50, 14, "login", fw::kDefault},
        {2, fw::CtlKind::Push, 80, 38, 50, 14, "終了"},
    }};

} // namespace

CLoginDlg::CLoginDlg() : CDialog(kLoginTemplate) {}

void CLoginDlg::DoDataExchange(fw::CDataExchange* pDX) {
    fw::DDX_Text(pDX, 1000, m_strPassword);
}

void CLoginDlg::OnOK() {
    if (!UpdateData(true)) {
        return;
    }
    if (m_check) {
        const int role = m_check(m_strPassword);
        if (role >= 0) {
            m_bGeneralUser = role;
            EndDialog(fw::kIdOk);
        }
        return;
    }
    // Exact, case-sensitive comparisons; when both passwords are the same text the second test
    // wins and the administrator logs in. A wrong password is silently ignored.
    bool matched = false;
    if (m_strPassword == m_strUserPassword) {
        m_bGeneralUser = 1;
        matched = true;
    }
    if (m_strPassword == m_strAdminPassword) {
        m_bGeneralUser = 0;
        matched = true;
    }
    if (matched) {
        EndDialog(fw::kIdOk);
    }
}
