// Calendar times of 32 bits: the edges of the range and values no form should be able to break.

#include "framework/Time32.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct Case {
    int year, month, day, hour, minute, second;
    fw::Time32 expected;
};

// Run under TZ=Asia/Tokyo, nine hours ahead of UTC.
TEST(Time32Test, MakeTime32KeepsToTheRangeAndNeverOverflows) {
    const Case cases[] = {
        {1970, 1, 1, 9, 0, 0, 0},
        {1970, 1, 1, 8, 59, 59, fw::kNoTime},
        {2038, 1, 19, 12, 14, 7, INT32_MAX},
        {2038, 1, 19, 12, 14, 8, fw::kNoTime},
        {2006, 2, 30, 9, 0, 0, 1141257600}, // normalised to 2006-03-02
        {2005, 13, 1, 9, 0, 0, 1136073600}, // normalised to 2006-01-01
        {INT_MIN, 1, 1, 0, 0, 0, fw::kNoTime},
        {INT_MAX, 1, 1, 0, 0, 0, fw::kNoTime},
        {2006, INT_MIN, 1, 0, 0, 0, fw::kNoTime},
        {2006, INT_MAX, 1, 0, 0, 0, fw::kNoTime},
        {2006, 1, INT_MIN, 0, 0, 0, fw::kNoTime},
        {2006, 1, INT_MAX, 0, 0, 0, fw::kNoTime},
        {2006, 1, 1, INT_MIN, INT_MIN, INT_MIN, fw::kNoTime},
        {2006, 1, 1, INT_MAX, INT_MAX, INT_MAX, fw::kNoTime},
        {INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, fw::kNoTime},
        {INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX, INT_MAX, fw::kNoTime},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fw::MakeTime32(c.year, c.month, c.day, c.hour, c.minute, c.second), c.expected)
            << c.year << "/" << c.month << "/" << c.day << " " << c.hour << ":" << c.minute << ":"
            << c.second;
    }
    EXPECT_EQ(fw::LocalDateOf(1141257600), (fw::LocalDate{2006, 3, 2}));
}

} // namespace
