// The display items dialog as a user works it: order texts beside the item buttons, the days
// asked for through the date dialog, and what OK and cancel leave in the list's settings.

#include "listview/DateEntry.h"
#include "listview/DisplayItemsDlg.h"
#include "support/UiTestSupport.h"

#include <string>
#include <vector>

using namespace registry;

namespace {

using namespace listview::displayitems;
using testing_support::InNextDialog;
using testing_support::Press;
using testing_support::TextOf;
using testing_support::TypeInto;
using testing_support::WhenOpen;

fw::CDialog& Active() {
    return *fw::ActiveDialog();
}

std::string Shown(int id) {
    return TextOf(Active(), id).ToUtf8();
}

int ButtonOf(int code) {
    return kItems[code - 1].button;
}
int OrderOf(int code) {
    return kItems[code - 1].order;
}

// Presses the date button and enters the day in the date dialog it opens.
void EnterDay(int button, const char* year, const char* month, const char* day) {
    testing_support::EnterDayInNextDialog(year, month, day);
    Press(Active(), button);
}

struct Settings {
    int columns[6] = {1, 2, 3, 4, 5, 6};
    fw::Time32 start = 0;
    fw::Time32 end = 0;
    int Run() { return listview::RunDisplayItems(columns, start, end); }
    std::vector<int> Columns() const { return {std::begin(columns), std::end(columns)}; }
};

TEST(DisplayItemsDlgUiTest, PressesShowTheOrderAndOkAppliesColumnsAndDays) {
    Settings s;
    WhenOpen([] {
        EXPECT_EQ(fw::ActiveDialog()->GetTemplateId(), listview::kDisplayItemsDialogId);
        for (int code = 1; code <= 12; ++code) {
            EXPECT_EQ(Shown(OrderOf(code)), code <= 6 ? std::to_string(code) : "") << code;
        }
        EXPECT_EQ(Shown(kStartText), "指定無し");
        EXPECT_EQ(Shown(kEndText), "指定無し");
        Press(Active(), ButtonOf(kColMethod));
        Press(Active(), ButtonOf(kColDate));
        Press(Active(), ButtonOf(kColMethod));
        EXPECT_EQ(Shown(OrderOf(kColMethod)), "   1");
        EXPECT_EQ(Shown(OrderOf(kColDate)), "1   2");
        for (int code : {kColSupervisor, kColAsa, kColName, kColProcedure, kColId}) {
            Press(Active(), ButtonOf(code));
        }
        EXPECT_EQ(Shown(OrderOf(kColProcedure)), "   6");
        EXPECT_EQ(Shown(OrderOf(kColId)), "2"); // the seventh press
        EnterDay(kStartButton, "2006", "4", "1");
        EnterDay(kEndButton, "2006", "2", "30");
        EXPECT_EQ(Shown(kStartText), "2006 / 4 / 1");
        EXPECT_EQ(Shown(kEndText), "2006 / 3 / 2");
        Press(Active(), fw::kIdOk);
    });
    EXPECT_EQ(s.Run(), fw::kIdOk);
    EXPECT_EQ(s.Columns(), (std::vector<int>{10, 1, 12, 9, 3, 7}));
    EXPECT_EQ(fw::LocalDateOf(s.start), (fw::LocalDate{2006, 4, 1}));
    EXPECT_EQ(fw::LocalDateOf(s.end), (fw::LocalDate{2006, 3, 2}));
}

TEST(DisplayItemsDlgUiTest, OkWithFewerThanSixKeepsTheColumnsButTakesTheDays) {
    Settings s;
    s.start = listview::PeriodDateOf(2006, 4, 1).time;
    WhenOpen([] {
        EXPECT_EQ(Shown(kStartText), "2006 / 4 / 1");
        Press(Active(), ButtonOf(kColSex));
        // Closing the date dialog without its OK clears the day.
        InNextDialog([](fw::CDialog& date) { Press(date, listview::datedlg::kNoDate); });
        Press(Active(), kStartButton);
        EXPECT_EQ(Shown(kStartText), "指定無し");
        EnterDay(kEndButton, "2006", "4", "30");
        Press(Active(), fw::kIdOk);
    });
    s.Run();
    EXPECT_EQ(s.Columns(), (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(s.start, 0);
    EXPECT_EQ(fw::LocalDateOf(s.end), (fw::LocalDate{2006, 4, 30}));
}

TEST(DisplayItemsDlgUiTest, CancelKeepsColumnsAndPeriod) {
    Settings s;
    const fw::Time32 end = listview::PeriodDateOf(2007, 1, 31).time;
    s.end = end;
    WhenOpen([] {
        for (int code : {12, 11, 10, 9, 8, 7}) {
            Press(Active(), ButtonOf(code));
        }
        EnterDay(kStartButton, "2006", "4", "1");
        Press(Active(), fw::kIdCancel);
    });
    EXPECT_EQ(s.Run(), fw::kIdCancel);
    EXPECT_EQ(s.Columns(), (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(s.start, 0);
    EXPECT_EQ(s.end, end);
}

} // namespace
