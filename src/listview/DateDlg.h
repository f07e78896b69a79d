#pragma once
// The small dialog in which one day is entered (dialog 149), and the one way the list's period,
// the filter and the per-person counts ask for a day through it.

#include "framework/String.h"
#include "framework/ui/Dialog.h"
#include "listview/PeriodDate.h"

namespace listview {

constexpr int kDateDialogId = 149;

// Controls of the date dialog.
namespace datedlg {
enum : int {
    kMessage = 1250,
    kYear = 1251,
    kMonth = 1252,
    kDay = 1253,
    kToday = 1249,
    kConfirm = 1096, // also the result that means a day was entered
    kNoDate = 2,     // 日付指定無し
};
} // namespace datedlg

} // namespace listview

class CDateDlg : public fw::CDialog {
public:
    CDateDlg();

    int m_nDay = 0;
    CString m_strMessage; // the caller's title, or what was wrong with the day
    int m_nMonth = 0;
    int m_nYear = 0;

    // The day that confirmed the dialog.
    const listview::PeriodDate& GetDate() const { return m_date; }

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;

private:
    void confirm();
    void today();

    listview::PeriodDate m_date;
};

namespace listview {

// Asks for a day with the title, starting from the day of current (today when it is 0).
// Confirmed with OK, the answer is the normalised day; closed any other way, no date (time 0).
PeriodDate AskDate(const CString& title, fw::Time32 current);

// The same for a date member and the text that shows it, as the dialogs with date buttons
// keep them.
void AskDate(const CString& title, fw::Time32& time, CString& text);

} // namespace listview
