#pragma once
// Widget tests of the dialogs with date buttons: a day entered in the date dialog that the
// next press opens.

#include "listview/DateDlg.h"
#include "support/UiTestSupport.h"

namespace testing_support {

inline void EnterDayInNextDialog(const char* year, const char* month, const char* day) {
    InNextDialog([=](fw::CDialog& date) {
        TypeInto(date, listview::datedlg::kYear, year);
        TypeInto(date, listview::datedlg::kMonth, month);
        TypeInto(date, listview::datedlg::kDay, day);
        Press(date, listview::datedlg::kConfirm);
    });
}

} // namespace testing_support
