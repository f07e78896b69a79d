// Choosing the list's columns by pressing item buttons in turn, and what OK hands back.

#include "listview/DisplayItems.h"
#include "listview/PeriodDate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace registry;

namespace {

using listview::DisplayItems;

constexpr int kDefault[6] = {kColDate, kColId, kColName, kColAge, kColSex, kColDisease};

// The order texts of codes 1 to 12, with "_" for a space so that the three spaces show.
std::vector<std::string> orders(const DisplayItems& items) {
    std::vector<std::string> out;
    for (int code = 1; code <= kColumnCodeCount; ++code) {
        std::string text = items.OrderText(code).str();
        for (char& c : text) {
            c = c == ' ' ? '_' : c;
        }
        out.push_back(text);
    }
    return out;
}

TEST(DisplayItemsTest, OpensWithTheCurrentPositionsAndPeriod) {
    DisplayItems items;
    items.Load(kDefault, 0, 0);
    EXPECT_EQ(orders(items),
              (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "", "", "", "", "", ""}));
    EXPECT_EQ(items.m_strStart.ToUtf8(), "指定無し");
    EXPECT_EQ(items.m_strEnd.ToUtf8(), "指定無し");

    const int shuffled[6] = {kColSupervisor, kColMethod, kColDate, kColAsa, kColId, 0};
    const fw::Time32 april = listview::PeriodDateOf(2006, 4, 1).time;
    items.Load(shuffled, april, 0);
    EXPECT_EQ(orders(items),
              (std::vector<std::string>{"3", "5", "", "", "", "", "", "", "4", "2", "", "1"}));
    EXPECT_EQ(items.m_strStart.ToUtf8(), "2006 / 4 / 1");
    EXPECT_EQ(items.m_nChosenCount, 0);
}

TEST(DisplayItemsTest, PressesAppendTheNewPositionAndOnlyGrowToSix) {
    DisplayItems items;
    items.Load(kDefault, 0, 0);
    EXPECT_TRUE(items.Choose(kColMethod));
    EXPECT_TRUE(items.Choose(kColDate));
    EXPECT_FALSE(items.Choose(kColMethod)); // chosen already
    EXPECT_EQ(items.OrderText(kColMethod).str(), "   1");
    EXPECT_EQ(items.OrderText(kColDate).str(), "1   2");
    for (int code : {kColSupervisor, kColAsa, kColName, kColProcedure}) {
        EXPECT_TRUE(items.Choose(code));
    }
    const std::vector<std::string> six = orders(items);
    EXPECT_FALSE(items.Choose(kColId)); // a seventh press
    EXPECT_FALSE(items.Choose(0));
    EXPECT_FALSE(items.Choose(13));
    EXPECT_EQ(orders(items), six);
    EXPECT_EQ(items.m_nChosenCount, 6);
    EXPECT_EQ(six[kColName - 1], "3___5");
    EXPECT_EQ(six[kColProcedure - 1], "___6");
}

TEST(DisplayItemsTest, OkAppliesSixChoicesAndAlwaysThePeriod) {
    const fw::Time32 start = listview::PeriodDateOf(2006, 4, 1).time;
    const fw::Time32 end = listview::PeriodDateOf(2006, 4, 30).time;
    struct Case {
        std::vector<int> presses;
        std::vector<int> columns;
    };
    const Case cases[] = {
        {{}, {1, 2, 3, 4, 5, 6}},
        {{10, 1, 11, 12, 2}, {1, 2, 3, 4, 5, 6}}, // five are not enough
        {{10, 1, 11, 12, 2, 7}, {10, 1, 11, 12, 2, 7}},
        {{12, 11, 10, 9, 8, 7, 6}, {12, 11, 10, 9, 8, 7}},
    };
    for (const Case& c : cases) {
        DisplayItems items;
        items.Load(kDefault, 0, 0);
        for (int code : c.presses) {
            items.Choose(code);
        }
        items.m_tStart = start;
        items.m_tEnd = end;
        int columns[6];
        std::copy(std::begin(kDefault), std::end(kDefault), columns);
        fw::Time32 viewStart = 0;
        fw::Time32 viewEnd = 0;
        items.ApplyTo(columns, viewStart, viewEnd);
        EXPECT_EQ(std::vector<int>(std::begin(columns), std::end(columns)), c.columns);
        EXPECT_EQ(viewStart, start);
        EXPECT_EQ(viewEnd, end);
    }
}

} // namespace
