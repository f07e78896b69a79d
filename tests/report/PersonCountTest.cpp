// The per-person counts: who matches in which role, which days count, where each site counts,
// which cases are listed as incomplete; and the quick name search against the plain one.

#include "report/PersonCount.h"
#include "support/CaseBuilder.h"

#include <gtest/gtest.h>

#include <random>

using report::PersonCounts;
using report::PersonQuery;
using report::PersonRole;
using testing_support::ReportableCase;

namespace {

CCaseRecord CaseOf(const char* anesthesiologist, const char* supervisor, int year, int month,
                   int day) {
    CCaseRecord r = ReportableCase("患者", year, month, day);
    CString name;
    CString::FromUtf8(anesthesiologist, name);
    r.SetAnesthesiologist(0, name);
    CString::FromUtf8(supervisor, name);
    r.SetSupervisor(0, name);
    return r;
}

PersonQuery Query(const char* name, bool equals = false, fw::PackedDate first = 0,
                  fw::PackedDate last = 0) {
    PersonQuery q;
    CString::FromUtf8(name, q.name);
    q.equals = equals;
    q.first = first;
    q.last = last;
    return q;
}

fw::PackedDate Day(int year, int month, int day) {
    return fw::PackDate({year, month, day});
}

int Total(const PersonCounts& c) {
    int sum = 0;
    for (int n : c.methodInCharge) {
        sum += n;
    }
    for (int n : c.methodSupervised) {
        sum += n;
    }
    return sum;
}

} // namespace

TEST(PersonCountTest, ContainsFindsPartsOfNamesAndEqualsOnlyWholeNames) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    doc.AddRecord(CaseOf("山田太郎", "", 2006, 1, 1));
    doc.AddRecord(CaseOf("山田花子", "", 2006, 1, 2));
    doc.AddRecord(CaseOf("佐藤", "山田太郎", 2006, 1, 3));
    EXPECT_EQ(report::CountPersonCases(doc, Query("山田")).methodInCharge[0], 2);
    EXPECT_EQ(report::CountPersonCases(doc, Query("山田")).methodSupervised[0], 1);
    EXPECT_EQ(Total(report::CountPersonCases(doc, Query("山田", true))), 0);
    const PersonCounts whole = report::CountPersonCases(doc, Query("山田太郎", true));
    EXPECT_EQ(whole.methodInCharge[0], 1);
    EXPECT_EQ(whole.methodSupervised[0], 1);
}

TEST(PersonCountTest, APersonInChargeIsNeverAlsoCountedAsSupervisor) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    CCaseRecord r = CaseOf("青木", "青木", 2006, 1, 1);
    r.SetAnesthesiologist(0, "");
    r.SetAnesthesiologist(2, "青木"_sj); // the third anesthesiologist counts too
    doc.AddRecord(r);
    for (bool equals : {false, true}) {
        const PersonCounts c = report::CountPersonCases(doc, Query("青木", equals));
        EXPECT_EQ(c.methodInCharge[0], 1);
        EXPECT_EQ(c.siteInCharge[0], 1);
        EXPECT_EQ(Total(c), 1);
        EXPECT_EQ(c.siteSupervised[0], 0);
    }
}

TEST(PersonCountTest, IncompleteCasesAreCountedWhereTheyCanAndListedOnce) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    CCaseRecord noMethod = CaseOf("石井", "", 2006, 4, 1);
    noMethod.SetnMethod(0);
    noMethod.SetstrId("A1");
    noMethod.SetstrName("方法無し"_sj);
    doc.AddRecord(noMethod);
    CCaseRecord neither = CaseOf("", "石井", 2007, 5, 2);
    neither.SetnMethod(0);
    neither.SetnSite(0);
    neither.SetstrId("B2");
    neither.SetstrName("両方無し"_sj);
    doc.AddRecord(neither);
    CCaseRecord damaged = CaseOf("石井", "", 2008, 6, 3);
    damaged.SetnMethod(10);
    damaged.SetnSite(24);
    damaged.SetstrId("C3");
    damaged.SetstrName("範囲外"_sj);
    doc.AddRecord(damaged);
    doc.AddRecord(CaseOf("石井", "", 2009, 7, 4));

    const PersonCounts c = report::CountPersonCases(doc, Query("石井"));
    EXPECT_EQ(c.siteInCharge[0], 2); // 開頭, also for the case without method
    EXPECT_EQ(c.methodInCharge[0], 1);
    EXPECT_EQ(Total(c), 1);
    EXPECT_EQ(c.incomplete, 3);
    EXPECT_EQ(c.message.ToUtf8(), "以下の患者で必要な情報が入力されていません。\r\n"
                                  "2006 / 4 / 1   A1   方法無し\r\n"
                                  "2007 / 5 / 2   B2   両方無し\r\n"
                                  "2008 / 6 / 3   C3   範囲外\r\n");

    const PersonCounts complete =
        report::CountPersonCases(doc, Query("石井", false, Day(2009, 1, 1)));
    EXPECT_EQ(complete.incomplete, 0);
    EXPECT_EQ(complete.message, ""); // the heading only over a list
}

TEST(PersonCountTest, ThePeriodIncludesBothEndsAndEveryCase) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    doc.AddRecord(CaseOf("上田", "", 2006, 3, 31));
    doc.AddRecord(CaseOf("上田", "", 2006, 4, 1));
    CCaseRecord withheld = CaseOf("上田", "", 2006, 4, 15);
    withheld.SetbWithhold(1);
    doc.AddRecord(withheld);
    doc.AddRecord(CaseOf("上田", "", 2006, 4, 30));
    doc.AddRecord(CaseOf("上田", "", 2006, 5, 1));
    struct Period {
        fw::PackedDate first, last;
        int cases;
    };
    const Period periods[] = {
        {Day(2006, 4, 1), Day(2006, 4, 30), 3},
        {Day(2006, 4, 1), 0, 4},
        {0, Day(2006, 4, 30), 4},
        {0, 0, 5},
        {Day(2006, 5, 2), 0, 0},
    };
    for (const Period& p : periods) {
        EXPECT_EQ(Total(report::CountPersonCases(doc, Query("上田", false, p.first, p.last))),
                  p.cases)
            << p.first << " " << p.last;
    }
}

TEST(PersonCountTest, AnEmptyNameCountsAndListsNothing) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    CCaseRecord r = CaseOf("", "", 2006, 1, 1);
    r.SetnMethod(0);
    doc.AddRecord(r);
    const PersonCounts c = report::CountPersonCases(doc, Query(""));
    EXPECT_EQ(Total(c), 0);
    EXPECT_EQ(c.incomplete, 0);
    EXPECT_EQ(c.message, "");
}

TEST(PersonCountTest, SiteGroupsFollowTheRowLabels) {
    const int groups[] = {0, 1, 2, 3, 3, 3, 3, 3,  3,  3,  4,  4, 5,
                          5, 5, 5, 6, 7, 8, 9, 10, 11, 11, 11, 0};
    for (int site = 0; site < int(std::size(groups)); ++site) {
        EXPECT_EQ(report::SiteGroupOf(site), groups[site]) << site;
    }
    EXPECT_EQ(report::SiteGroupOf(-1), 0);
}

// The plain rule: the three names joined by CR LF, searched at character boundaries.
PersonRole PlainRole(const CCaseRecord& r, const PersonQuery& q) {
    auto found = [&q](const CString& a, const CString& b, const CString& c) {
        if (q.equals) {
            return a == q.name || b == q.name || c == q.name;
        }
        CString joined = a;
        joined += "\r\n";
        joined += b;
        joined += "\r\n";
        joined += c;
        return joined.Find(q.name) >= 0;
    };
    if (found(r.GetAnesthesiologist(0), r.GetAnesthesiologist(1), r.GetAnesthesiologist(2))) {
        return PersonRole::InCharge;
    }
    if (found(r.GetSupervisor(0), r.GetSupervisor(1), r.GetSupervisor(2))) {
        return PersonRole::Supervising;
    }
    return PersonRole::None;
}

TEST(PersonCountTest, QuickSearchAgreesWithThePlainRule) {
    // Pieces whose bytes meet in the middle of characters ("ダ" ends in 0x5F, "ア" starts with
    // 0x83), a lead byte left dangling at the end, and names that only match across the CR LF.
    const char* const pieces[] = {"ダ", "_", "ア", "山", "田", "a", "\x83", "\r\n", "\n", ""};
    const char* const queries[] = {"_", "ダ", "山田",     "田\r\n山", "\n",
                                   "a", "ア", "\x83\x5F", "田a"};
    std::mt19937 rng(7);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    auto name = [&] {
        std::string s;
        for (int i = 0, n = int(rng() % 4); i < n; ++i) {
            s += pieces[pick(rng)];
        }
        return CString(s);
    };
    int inCharge = 0, supervising = 0, none = 0;
    for (int i = 0; i < 20000; ++i) {
        CCaseRecord r;
        for (int k = 0; k < CCaseRecord::kPeople; ++k) {
            r.SetAnesthesiologist(k, name());
            r.SetSupervisor(k, name());
        }
        PersonQuery q;
        q.name = CString(queries[rng() % std::size(queries)]);
        q.equals = rng() % 4 == 0;
        const PersonRole role = report::RoleOf(r, q);
        ASSERT_EQ(role, PlainRole(r, q)) << i;
        (role == PersonRole::InCharge      ? inCharge
         : role == PersonRole::Supervising ? supervising
                                           : none)++;
    }
    // Every outcome occurs, so the comparison covered each of them.
    EXPECT_GT(inCharge, 100);
    EXPECT_GT(supervising, 100);
    EXPECT_GT(none, 100);
}
