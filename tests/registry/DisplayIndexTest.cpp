#include "registry/QuellmarkDoc.h"
#include "support/CaseBuilder.h"

#include <gtest/gtest.h>

using testing_support::BlankCase;

namespace {

CCaseRecord aged(int years, int months, int days) {
    CCaseRecord r = BlankCase("a");
    r.SetnAgeYears(years);
    r.SetnAgeMonths(months);
    r.SetnAgeDays(days);
    return r;
}

std::vector<CString> names(CQuellmarkDoc& doc, int count) {
    std::vector<CString> out;
    for (int i = 0; i < count; ++i) {
        out.push_back(doc.GetRecord(doc.GetDisplayIndexEntry(i)).GetstrName());
    }
    return out;
}

} // namespace

TEST(DisplayIndexTest, CellsOfEveryColumn) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    CCaseRecord r = BlankCase("山田", 2006, 4, 1);
    r.SetstrId("A1");
    r.SetstrDisease("胃癌"_sj);
    r.SetstrProcedure("幽門側胃切除術"_sj);
    r.SetstrDepartment("外科"_sj);
    r.SetstrAsa("2E");
    r.SetnMethod(3);
    r.SetAnesthesiologist(0, "青木"_sj);
    r.SetAnesthesiologist(1, "石井"_sj);
    r.SetSupervisor(0, "上田"_sj);
    r.SetnSex(2);
    doc.AddRecord(r);
    EXPECT_EQ(doc.FormatCell(0, 1), "2006/4/1");
    EXPECT_EQ(doc.FormatCell(0, 2), "A1");
    EXPECT_EQ(doc.FormatCell(0, 3), "山田"_sj);
    EXPECT_EQ(doc.FormatCell(0, 5), "女性"_sj); // any sex but 1 reads as female
    EXPECT_EQ(doc.FormatCell(0, 6), "胃癌"_sj);
    EXPECT_EQ(doc.FormatCell(0, 7), "幽門側胃切除術"_sj);
    EXPECT_EQ(doc.FormatCell(0, 8), "外科"_sj);
    EXPECT_EQ(doc.FormatCell(0, 9), "2E");
    EXPECT_EQ(doc.FormatCell(0, 10), "全身麻酔＋硬膜外麻酔"_sj);
    EXPECT_EQ(doc.FormatCell(0, 11), "青木"_sj);
    EXPECT_EQ(doc.FormatCell(0, 12), "上田"_sj);
    r.SetnMethod(0);
    r.SetnSex(1);
    doc.ReplaceRecord(0, r);
    EXPECT_EQ(doc.FormatCell(0, 10), "");
    EXPECT_EQ(doc.FormatCell(0, 5), "男性"_sj);
    r.SetnMethod(10);
    doc.ReplaceRecord(0, r);
    EXPECT_EQ(doc.FormatCell(0, 10), "");
}

TEST(DisplayIndexTest, AgeShowsYearsThenMonthsThenDays) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    doc.AddRecord(aged(-1, 0, 0));
    doc.AddRecord(aged(0, 3, 5));
    doc.AddRecord(aged(0, 0, 0));
    doc.AddRecord(aged(42, 7, 1));
    doc.AddRecord(aged(0, 0, 12));
    EXPECT_EQ(doc.FormatCell(0, 4), "-1");
    EXPECT_EQ(doc.FormatCell(1, 4), "3ヶ月"_sj);
    EXPECT_EQ(doc.FormatCell(2, 4), "0日"_sj);
    EXPECT_EQ(doc.FormatCell(3, 4), "42");
    EXPECT_EQ(doc.FormatCell(4, 4), "12日"_sj);
}

TEST(DisplayIndexTest, PeriodKeepsBothEndsAndTheDateOrder) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    doc.AddRecord(BlankCase("march", 2006, 3, 31));
    doc.AddRecord(BlankCase("first", 2006, 4, 1));
    doc.AddRecord(BlankCase("last", 2006, 4, 30));
    doc.AddRecord(BlankCase("may", 2006, 5, 1));
    doc.AddRecord(BlankCase("first2", 2006, 4, 1));
    // The period ends are compared by date only, whatever their time of day.
    fw::Time32 start = fw::MakeTime32(2006, 4, 1, 23, 59, 0);
    fw::Time32 end = fw::MakeTime32(2006, 4, 30, 0, 0, 1);
    int n = doc.BuildDisplayIndex(1, start, end);
    EXPECT_EQ(names(doc, n), (std::vector<CString>{"last", "first2", "first"}));
    n = doc.BuildDisplayIndex(7, start, 0); // the sort key does not change the order
    EXPECT_EQ(names(doc, n), (std::vector<CString>{"may", "last", "first2", "first"}));
    n = doc.BuildDisplayIndex(1, 0, end);
    EXPECT_EQ(n, 4);
    EXPECT_EQ(doc.BuildDisplayIndex(1, end, start), 0); // start after end: nothing
    EXPECT_EQ(doc.BuildDisplayIndex(1, 0, 0), 5);
}

TEST(DisplayIndexTest, FilterKeepsTheOrderAndCombinesCriteria) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    CCaseRecord a = BlankCase("a", 2006, 1, 1);
    a.SetstrAsa("3E");
    CCaseRecord b = BlankCase("b", 2006, 1, 2);
    b.SetnSex(0);
    b.SetAnesthesiologist(2, "青木"_sj);
    CCaseRecord c = BlankCase("c", 2006, 1, 3);
    c.SetstrKana("やまだ"_sj);
    c.SetstrName("山田"_sj);
    doc.AddRecord(a);
    doc.AddRecord(b);
    doc.AddRecord(c);
    auto run = [&](const CaseFilter& f) {
        int n = doc.BuildDisplayIndex(1, 0, 0);
        return doc.FilterDisplayIndex(n, f);
    };
    CaseFilter f;
    f.nMask = 0x0002; // male only
    EXPECT_EQ(run(f), 2);
    f.nMask = 0x0004; // female only
    EXPECT_EQ(run(f), 1);
    f.nMask = 0;
    EXPECT_EQ(run(f), 0);
    f.nMask = 6 | 0x0008; // emergency
    EXPECT_EQ(run(f), 1);
    f.nMask = 6 | 0x0080;
    f.strAnesthesiologist = "青木"_sj; // anesthesiologist 3 counts too
    EXPECT_EQ(run(f), 1);
    f.nMask = 6 | 0x0010;
    f.nPatientField = 1;
    f.strPatientText = "田や"_sj; // across the end of the name and the start of the kana
    EXPECT_EQ(run(f), 1);
    f.nMask = 6 | 0x0200; // site filter with no site chosen keeps cases without a site
    f.nSiteIndex = -1;
    EXPECT_EQ(run(f), 3);
}
