#include "registry/PasswordDlg.h"

using fw::CtlKind;
using fw::CtlTemplate;
using fw::DlgTemplate;

namespace registry {
namespace {

// Two group boxes one above the other, each with the two entries on the left, "変更" beside
// them and the result on the right.
constexpr int kMargin = 7;
constexpr int kWidth = 370; // the result field holds its longest text on one line
constexpr int kGroupWidth = kWidth - 2 * kMargin;
constexpr int kGroupHeight = 56;
constexpr int kFirstGroupTop = 20;
constexpr int kGroupPitch = kGroupHeight + 6;
constexpr int kEditLeft = kMargin + 8;
constexpr int kEditWidth = 96;
constexpr int kRowHeight = 14;
constexpr int kChangeLeft = kEditLeft + kEditWidth + 6;
constexpr int kChangeWidth = 40;
constexpr int kMessageLeft = kChangeLeft + kChangeWidth + 6;
constexpr int kMessageWidth = kMargin + kGroupWidth - 8 - kMessageLeft;
constexpr int kOkTop = kFirstGroupTop + 2 * kGroupPitch + 2;
constexpr int kOkWidth = 50;
constexpr int kHeight = kOkTop + kRowHeight + kMargin;

struct Group {
    const char* caption;
    int newId, confirmId, changeId, messageId;
};

void addGroup(std::vector<CtlTemplate>& controls, int top, const Group& g) {
    const int first = top + 14;
    const int second = first + kRowHeight + 6;
    controls.push_back(
        {fw::kStaticId, CtlKind::Group, kMargin, top, kGroupWidth, kGroupHeight, g.caption});
    controls.push_back(
        {g.newId, CtlKind::Edit, kEditLeft, first, kEditWidth, kRowHeight, "", fw::kPassword});
    controls.push_back(
        {g.confirmId, CtlKind::Edit, kEditLeft, second, kEditWidth, kRowHeight, "", fw::kPassword});
    controls.push_back(
        {g.changeId, CtlKind::Push, kChangeLeft, first, kChangeWidth, kRowHeight, "変更"});
    controls.push_back({g.messageId, CtlKind::Edit, kMessageLeft, first, kMessageWidth,
                        second + kRowHeight - first, "", fw::kReadOnly | fw::kMultiLine});
}

DlgTemplate passwordTemplate() {
    using namespace passworddlg;
    std::vector<CtlTemplate> controls = {{fw::kStaticId, CtlKind::Static, kMargin, 7, kGroupWidth,
                                          8, "確認のため、二回パスワードを入力してください"}};
    addGroup(controls, kFirstGroupTop,
             {"管理者パスワードの変更", kAdminNew, kAdminConfirm, kAdminChange, kAdminMessage});
    addGroup(controls, kFirstGroupTop + kGroupPitch,
             {"ユーザーパスワードの変更", kUserNew, kUserConfirm, kUserChange, kUserMessage});
    controls.push_back(
        {kClose, CtlKind::Push, kWidth - kMargin - kOkWidth, kOkTop, kOkWidth, kRowHeight, "OK"});
    // Enter confirms nothing: a password is taken only by its "変更".
    controls.push_back(
        {fw::kIdOk, CtlKind::Push, 0, 0, 10, 10, "OK", fw::kDefault | fw::kHidden | fw::kDisabled});
    return {kPasswordDialogId, kWidth, kHeight, nullptr, controls};
}

const DlgTemplate& passwordDialog() {
    static const DlgTemplate tmpl = passwordTemplate();
    return tmpl;
}

} // namespace
} // namespace registry

CPasswordDlg::CPasswordDlg() : CDialog(registry::passwordDialog()) {
    using namespace registry::passworddlg;
    OnClicked(kAdminChange, [this] {
        UpdateData(true);
        change(m_strAdminNew, m_strAdminConfirm, m_strAdminPassword, m_strAdminMessage);
        UpdateData(false);
    });
    OnClicked(kUserChange, [this] {
        UpdateData(true);
        change(m_strUserNew, m_strUserConfirm, m_strUserPassword, m_strUserMessage);
        UpdateData(false);
    });
    OnClicked(kClose, [this] { EndDialog(fw::kIdOk); });
}

void CPasswordDlg::DoDataExchange(fw::CDataExchange* pDX) {
    using namespace registry::passworddlg;
    fw::DDX_Text(pDX, kAdminNew, m_strAdminNew);
    fw::DDX_Text(pDX, kAdminConfirm, m_strAdminConfirm);
    fw::DDX_Text(pDX, kUserNew, m_strUserNew);
    fw::DDX_Text(pDX, kUserConfirm, m_strUserConfirm);
    fw::DDX_Text(pDX, kAdminMessage, m_strAdminMessage);
    fw::DDX_Text(pDX, kUserMessage, m_strUserMessage);
}

// Exact comparison; an empty password is never taken, and a refused one leaves the old.
void CPasswordDlg::change(const CString& entered, const CString& repeated, CString& password,
                          CString& message) {
    if (entered != repeated) {
        message = "入力されているパスワードが一致しません"_sj;
    } else if (entered.IsEmpty()) {
        message = "パスワードが入力されていません"_sj;
    } else {
        const CString inForce = password;
        password = entered;
        if (m_keep && !m_keep()) {
            password = inForce;
            message = "パスワードは変更されていません"_sj;
            return;
        }
        message = "パスワードは変更されました"_sj;
    }
}
