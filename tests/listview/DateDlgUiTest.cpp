// The date dialog: what it starts with, what it refuses, and what each way of closing it means.

#include "listview/DateDlg.h"
#include "support/UiTestSupport.h"

namespace {

using namespace listview::datedlg;
using testing_support::MessageCatcher;
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

TEST(DateDlgUiTest, StartsFromTheGivenDayOrTodayAndNormalisesWhatIsTyped) {
    fw::Time32 time = listview::PeriodDateOf(2006, 4, 1).time;
    CString text;
    WhenOpen([] {
        EXPECT_EQ(Shown(kMessage), "表示開始日指定");
        EXPECT_EQ(Shown(kYear) + "/" + Shown(kMonth) + "/" + Shown(kDay), "2006/4/1");
        TypeInto(Active(), kMonth, "2");
        TypeInto(Active(), kDay, "30");
        Press(Active(), kConfirm);
    });
    listview::AskDate("表示開始日指定"_sj, time, text);
    EXPECT_EQ(text.ToUtf8(), "2006 / 3 / 2");
    EXPECT_EQ(fw::LocalDateOf(time), (fw::LocalDate{2006, 3, 2}));

    const fw::LocalDateTime now = fw::LocalNow();
    WhenOpen([] { Press(Active(), kConfirm); });
    listview::PeriodDate today = listview::AskDate("表示最終日指定"_sj, 0);
    EXPECT_EQ(today.date, (fw::LocalDate{now.year, now.month, now.day}));
}

TEST(DateDlgUiTest, RefusesDaysOutsideTheRangeAndTodayThenWorks) {
    MessageCatcher messages;
    WhenOpen([] {
        TypeInto(Active(), kDay, "32"); // the day is read first
        TypeInto(Active(), kYear, "1960");
        Press(Active(), kConfirm);
        EXPECT_EQ(fw::ActiveDialog()->GetTemplateId(), listview::kDateDialogId);
        TypeInto(Active(), kDay, "1");
        Press(Active(), kConfirm);
        EXPECT_EQ(Shown(kMessage), "日付の指定が正しくありません");
        Press(Active(), kToday);
        Press(Active(), kConfirm);
    });
    listview::PeriodDate date = listview::AskDate("表示開始日指定"_sj, 0);
    ASSERT_EQ(messages.Texts().size(), 1u); // the day's range, named in the message
    EXPECT_NE(messages.Texts()[0].find("31"), std::string::npos);
    const fw::LocalDateTime now = fw::LocalNow();
    EXPECT_EQ(date.date, (fw::LocalDate{now.year, now.month, now.day}));
    EXPECT_NE(date.time, 0);
}

TEST(DateDlgUiTest, EveryOtherWayOfClosingMeansNoDate) {
    const std::function<void()> closes[] = {
        [] { Press(Active(), kNoDate); },
        [] { Active().EndDialog(fw::kIdCancel); }, // Escape
    };
    for (const auto& close : closes) {
        fw::Time32 time = listview::PeriodDateOf(2006, 4, 1).time;
        CString text = "2006 / 4 / 1"_sj;
        WhenOpen(close);
        listview::AskDate("表示開始日指定"_sj, time, text);
        EXPECT_EQ(time, 0);
        EXPECT_EQ(text.ToUtf8(), "指定無し");
    }
}

} // namespace
