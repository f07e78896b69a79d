// The head of a printed list tells which cases it holds: their period and the filter in force,
// in the words of the filter dialog.

#include "listview/ListPrint.h"

#include <gtest/gtest.h>

using namespace registry;

TEST(ListPrint, TitleNamesThePeriodAndTheFilterInForce) {
    CaseFilter none;
    CaseFilter male;
    male.nMask = kFilterMale;
    CaseFilter neither;
    neither.nMask = kFilterIncident;
    CaseFilter values;
    values.nMask = kNoFilter | kFilterPatient | kFilterSite | kFilterMethod | kFilterWard;
    values.nPatientField = 1;
    CString::FromUtf8("山田", values.strPatientText);
    values.nSiteIndex = 15; // code 16
    values.nMethodIndex = 0;
    CString::FromUtf8("５階東", values.strWard);
    const struct {
        const CaseFilter& filter;
        const char* line;
    } kCases[] = {
        {none, "絞り込み なし"},
        {male, "絞り込み 男性"},
        {neither, "絞り込み 偶発症例、男性・女性を除く"},
        {values, "絞り込み 患者抽出（名前 山田）、病棟 ５階東、手術部位 帝王切開、麻酔法 全身麻酔"},
    };
    for (const auto& c : kCases) {
        const std::vector<CString> lines = listview::PrintTitleLines(3, 0, 0, c.filter);
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[0].ToUtf8(), "症例一覧（3 件）");
        EXPECT_EQ(lines[1].ToUtf8(), "表示期間 指定無し ～ 指定無し");
        EXPECT_EQ(lines[2].ToUtf8(), c.line);
    }
    const fw::Time32 start = fw::MakeTime32(2025, 4, 1, 12);
    const fw::Time32 end = fw::MakeTime32(2025, 9, 30, 12);
    EXPECT_EQ(listview::PrintTitleLines(0, start, end, none)[1].ToUtf8(),
              "表示期間 2025/4/1 ～ 2025/9/30");
}
