// Days of the display period and the count limits, as the date dialog turns them into times.

#include "listview/PeriodDate.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

using listview::PeriodDateOf;

TEST(PeriodDateTest, DaysAreNormalisedAndCheckedAtNoon) {
    struct Case {
        int year, month, day;
        const char* shown; // nullptr: outside the 32-bit range
    };
    const Case cases[] = {
        {2006, 2, 30, "2006 / 3 / 2"}, {2005, 13, 1, "2006 / 1 / 1"}, {2006, 4, 31, "2006 / 5 / 1"},
        // The first and the last day of the range, whatever the hour now.
        {1970, 1, 1, "1970 / 1 / 1"},  {2038, 1, 19, "2038 / 1 / 19"},
        {1969, 12, 31, nullptr},       {2038, 1, 20, nullptr},
        {1960, 4, 1, nullptr},         {2100, 1, 1, nullptr},
    };
    for (const Case& c : cases) {
        listview::PeriodDate date = PeriodDateOf(c.year, c.month, c.day);
        if (!c.shown) {
            EXPECT_EQ(date.time, fw::kNoTime) << c.year;
            continue;
        }
        ASSERT_NE(date.time, fw::kNoTime) << c.year;
        ASSERT_NE(date.time, 0) << c.year; // the first day must not read as "no date"
        EXPECT_EQ(listview::PeriodDateText(date).ToUtf8(), c.shown);
        EXPECT_EQ(fw::LocalDateOf(date.time), date.date);
    }
    EXPECT_EQ(listview::PeriodDateText(0).ToUtf8(), "指定無し");
    EXPECT_EQ(listview::PeriodDateText(PeriodDateOf(2006, 4, 1).time).ToUtf8(), "2006 / 4 / 1");
}

// Where local time is twelve hours ahead of UTC, noon of the first day of the range is time 0,
// which means no date; the first day must still be a day.
TEST(PeriodDateTest, FirstDayIsADayWhereNoonIsTimeZero) {
    const char* before = std::getenv("TZ");
    const std::string saved = before ? before : "";
    setenv("TZ", "XYZ-12", 1);
    tzset();
    listview::PeriodDate date = PeriodDateOf(1970, 1, 1);
    EXPECT_NE(date.time, 0);
    EXPECT_NE(date.time, fw::kNoTime);
    EXPECT_EQ(listview::PeriodDateText(date).ToUtf8(), "1970 / 1 / 1");
    EXPECT_EQ(fw::LocalDateOf(date.time), (fw::LocalDate{1970, 1, 1}));
    if (before) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

} // namespace
