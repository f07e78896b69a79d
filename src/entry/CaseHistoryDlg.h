#pragma once
// The history of a case, for the administrator of a department's server: every change of the
// case and of its incident row, newest first, with when, who, from which workstation and what.

#include "framework/String.h"
#include "framework/ui/Dialog.h"
#include "registry/ChangeStore.h"

#include <vector>

namespace entry {
constexpr int kCaseHistoryId = 161;
namespace casehistory {
enum : int {
    kText = 1000,
};
} // namespace casehistory

// The lines the dialog shows, one change a line.
CString HistoryText(const std::vector<registry::HistoryLine>& lines);
} // namespace entry

class CCaseHistoryDlg : public fw::CDialog {
public:
    CCaseHistoryDlg();

    CString m_strHistory;

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;
};
