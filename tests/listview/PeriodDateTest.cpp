// Days of the display period and the count limits, as the date dialog turns them into times.

#include "listview/PeriodDate.h"

#include <gtest/gtest.h>

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

} // namespace
