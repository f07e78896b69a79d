#include "registry/QuellmarkDoc.h"
#include "support/CaseBuilder.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

using namespace registry;

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

using Tweak = std::function<void(CCaseRecord&)>;

struct FilterCase {
    const char* name; // the cases are dated one day apart, each later than the one before
    Tweak tweak;
};

// The names the list keeps under filter, newest first, over the whole period.
std::string kept(const std::vector<FilterCase>& cases, const CaseFilter& filter) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    int day = 1;
    for (const FilterCase& c : cases) {
        CCaseRecord r = BlankCase(c.name, 2006, 4, day++);
        r.SetnSex(0);
        c.tweak(r);
        doc.AddRecord(r);
    }
    const int n = doc.FilterDisplayIndex(doc.BuildDisplayIndex(kColDate, 0, 0), filter);
    std::string out;
    for (const CString& name : names(doc, n)) {
        if (!out.empty()) {
            out += ' ';
        }
        out += name.ToUtf8();
    }
    return out;
}

CaseFilter only(int bits) {
    CaseFilter f;
    f.nMask = kNoFilter | bits;
    return f;
}

CaseFilter withText(int bit, CString CaseFilter::*member, const char* utf8) {
    CaseFilter f = only(bit);
    CString text;
    EXPECT_TRUE(CString::FromUtf8(utf8, text));
    f.*member = text;
    return f;
}

fw::Time32 dayAt(int y, int m, int d) {
    return fw::MakeTime32(y, m, d, 12, 0, 0);
}

CString sj(const char* utf8) {
    CString text;
    CString::FromUtf8(utf8, text);
    return text;
}

struct FilterRow {
    const char* criterion;
    CaseFilter filter;
    std::vector<FilterCase> cases;
    const char* kept;
};

void expectRows(const std::vector<FilterRow>& rows) {
    for (const FilterRow& row : rows) {
        EXPECT_EQ(kept(row.cases, row.filter), row.kept) << row.criterion;
    }
}

Tweak sex(int code) {
    return [code](CCaseRecord& r) { r.SetnSex(code); };
}
Tweak asa(const char* text) {
    return [text](CCaseRecord& r) { r.SetstrAsa(text); };
}
Tweak text(void (CCaseRecord::*set)(const CString&), const char* utf8) {
    return [set, utf8](CCaseRecord& r) { (r.*set)(sj(utf8)); };
}
Tweak people(void (CCaseRecord::*set)(int, const CString&), const char* a, const char* b,
             const char* c) {
    return [set, a, b, c](CCaseRecord& r) {
        (r.*set)(0, sj(a));
        (r.*set)(1, sj(b));
        (r.*set)(2, sj(c));
    };
}
const Tweak kAsIs = [](CCaseRecord&) {};

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

TEST(DisplayIndexTest, FilterBySexIncidentEmergencyAndDrugIncident) {
    const std::vector<FilterCase> sexes = {{"m", sex(1)}, {"f", sex(0)}, {"other", sex(2)}};
    CaseFilter none = only(0);
    none.nMask = 0;
    CaseFilter male = none;
    male.nMask = kFilterMale;
    CaseFilter female = none;
    female.nMask = kFilterFemale;
    expectRows({
        {"both sexes", only(0), sexes, "other f m"},
        {"male only", male, sexes, "m"},
        {"female only: every code but 1", female, sexes, "other f"},
        {"neither", none, sexes, ""},
        {"incident",
         only(kFilterIncident),
         {{"none", kAsIs},
          {"row0", [](CCaseRecord& r) { r.SetnIncidentIndex(0); }},
          {"row5", [](CCaseRecord& r) { r.SetnIncidentIndex(5); }}},
         "row5 row0"},
        {"emergency: a capital E anywhere",
         only(kFilterEmergency),
         {{"1E", asa("1E")},
          {"6E", asa("6E")},
          {"3", asa("3")},
          {"empty", asa("")},
          {"lower", asa("2e")}},
         "6E 1E"},
        {"drug incident",
         only(kFilterDrugIncident),
         {{"note", text(&CCaseRecord::SetstrDrugIncident, "誤投与")},
          {"empty", kAsIs},
          {"space", text(&CCaseRecord::SetstrDrugIncident, " ")}},
         "space note"},
        {"contradiction with another criterion",
         [] {
             CaseFilter f = only(kFilterIncident | kFilterDrugIncident);
             f.nMask &= ~kFilterFemale;
             return f;
         }(),
         {{"both",
           [](CCaseRecord& r) {
               r.SetnIncidentIndex(0);
               r.SetstrDrugIncident(sj("誤投与"));
           }},
          {"male both",
           [](CCaseRecord& r) {
               r.SetnSex(1);
               r.SetnIncidentIndex(0);
               r.SetstrDrugIncident(sj("誤投与"));
           }},
          {"male incident",
           [](CCaseRecord& r) {
               r.SetnSex(1);
               r.SetnIncidentIndex(0);
           }}},
         "male both"},
    });
}

TEST(DisplayIndexTest, FilterByPatientField) {
    const std::vector<FilterCase> patients = {
        {"山田",
         [](CCaseRecord& r) {
             r.SetstrId("A123");
             r.SetstrKana(sj("やまだ"));
             r.SetstrDisease(sj("胃癌"));
             r.SetstrProcedure(sj("胃切除術"));
         }},
        {"田中",
         [](CCaseRecord& r) {
             r.SetstrId("B456");
             r.SetstrKana(sj("たなか"));
             r.SetstrDisease(sj("肺癌"));
             r.SetstrProcedure(sj("肺葉切除術"));
         }},
        // stored full-width, as typed with Japanese input on
        {"鈴木", [](CCaseRecord& r) { r.SetstrId(sj("００１２３－Ｃ")); }},
    };
    auto field = [](int which, const char* utf8) {
        CaseFilter f = withText(kFilterPatient, &CaseFilter::strPatientText, utf8);
        f.nPatientField = which;
        return f;
    };
    expectRows({
        {"ID", field(0, "123"), patients, "鈴木 山田"},
        {"ID: upper and lower case differ", field(0, "a123"), patients, ""},
        {"ID: full-width found by half-width", field(0, "0123-C"), patients, "鈴木"},
        {"ID: half-width found by full-width", field(0, "Ａ１２"), patients, "山田"},
        {"ID: width and case", field(0, "ｃ"), patients, ""},
        {"name", field(1, "田"), patients, "田中 山田"},
        {"name runs into the kana", field(1, "田や"), patients, "山田"},
        {"kana", field(1, "なか"), patients, "田中"},
        {"disease", field(2, "肺"), patients, "田中"},
        {"procedure", field(3, "胃切"), patients, "山田"},
        {"the chosen field only", field(2, "切除"), patients, ""},
        {"the name keeps its width", field(1, "鈴"), patients, "鈴木"},
        {"empty text keeps all", field(3, ""), patients, "鈴木 田中 山田"},
    });
}

TEST(DisplayIndexTest, FilterByDepartmentWardCommentAndRemarks) {
    const std::vector<FilterCase> cases = {
        {"a",
         [](CCaseRecord& r) {
             r.SetstrDepartment(sj("整形外科"));
             r.SetstrWard(sj("3東"));
             r.SetstrPreopComment(sj("高血圧，糖尿病"));
             r.SetstrNotes(sj("導入時に血圧低下。\r\n術後経過良好。"));
         }},
        {"b",
         [](CCaseRecord& r) {
             r.SetstrDepartment(sj("外科"));
             r.SetstrWard(sj("ICU"));
             r.SetstrPreopComment(sj("喘息"));
         }},
        {"c", [](CCaseRecord& r) { r.SetstrDepartment(sj("内科")); }},
    };
    expectRows({
        {"department", withText(kFilterDepartment, &CaseFilter::strDepartment, "外科"), cases,
         "b a"},
        {"department, whole", withText(kFilterDepartment, &CaseFilter::strDepartment, "整形外科"),
         cases, "a"},
        {"department, empty", withText(kFilterDepartment, &CaseFilter::strDepartment, ""), cases,
         "c b a"},
        {"ward", withText(kFilterWard, &CaseFilter::strWard, "東"), cases, "a"},
        {"ward: half-width and full-width differ",
         withText(kFilterWard, &CaseFilter::strWard, "ＩＣＵ"), cases, ""},
        {"ward: case differs", withText(kFilterWard, &CaseFilter::strWard, "icu"), cases, ""},
        {"comorbidity", withText(kFilterComorbidity, &CaseFilter::strComorbidity, "糖尿病"), cases,
         "a"},
        {"comorbidity, empty", withText(kFilterComorbidity, &CaseFilter::strComorbidity, ""), cases,
         "c b a"},
        {"remarks across the line break",
         withText(kFilterNotes, &CaseFilter::strNotes, "。\r\n術後"), cases, "a"},
        {"remarks", withText(kFilterNotes, &CaseFilter::strNotes, "低下"), cases, "a"},
    });
}

TEST(DisplayIndexTest, FilterByAnesthesiologistAndSupervisorInAnySlot) {
    const auto anesth = [](const char* a, const char* b, const char* c) {
        return people(&CCaseRecord::SetAnesthesiologist, a, b, c);
    };
    const auto sup = [](const char* a, const char* b, const char* c) {
        return people(&CCaseRecord::SetSupervisor, a, b, c);
    };
    // The newest case has long names, so that a shorter one after it would show any bytes
    // left over from joining the one before.
    const std::vector<FilterCase> byAnesth = {{"third", anesth("", "", "青木")},
                                              {"short", anesth("石井", "", "")},
                                              {"long", anesth("上田", "石井", "青木")}};
    const std::vector<FilterCase> bySup = {{"first", sup("青木", "", "")},
                                           {"second", sup("", "青木", "")},
                                           {"none", sup("石井", "上田", "")}};
    expectRows({
        {"anesthesiologist 1, 2 or 3",
         withText(kFilterAnesthesiologist, &CaseFilter::strAnesthesiologist, "青木"), byAnesth,
         "long third"},
        {"anesthesiologist, across two slots",
         withText(kFilterAnesthesiologist, &CaseFilter::strAnesthesiologist, "井青"), byAnesth,
         "long"},
        {"anesthesiologist, across an empty slot",
         withText(kFilterAnesthesiologist, &CaseFilter::strAnesthesiologist, "石井青木"),
         {{"gap", anesth("石井", "", "青木")}, {"apart", anesth("石井", "上田", "青木")}},
         "gap"},
        {"anesthesiologist, empty",
         withText(kFilterAnesthesiologist, &CaseFilter::strAnesthesiologist, ""), byAnesth,
         "long short third"},
        {"supervisor 1 or 2", withText(kFilterSupervisor, &CaseFilter::strSupervisor, "青木"),
         bySup, "second first"},
        {"supervisor, across two slots",
         withText(kFilterSupervisor, &CaseFilter::strSupervisor, "井上"), bySup, "none"},
        {"supervisor does not look at the anesthesiologists",
         withText(kFilterSupervisor, &CaseFilter::strSupervisor, "青木"), byAnesth, ""},
    });
}

TEST(DisplayIndexTest, FilterBySiteAndMethodCodes) {
    const auto site = [](int code) { return [code](CCaseRecord& r) { r.SetnSite(code); }; };
    const auto method = [](int code) { return [code](CCaseRecord& r) { r.SetnMethod(code); }; };
    const auto index = [](int bit, int CaseFilter::*member, int value) {
        CaseFilter f = only(bit);
        f.*member = value;
        return f;
    };
    const std::vector<FilterCase> sites = {
        {"none", site(0)}, {"CABG", site(3)}, {"OffPump", site(4)}, {"other", site(23)}};
    const std::vector<FilterCase> methods = {
        {"none", method(0)}, {"GA", method(1)}, {"GA+epi", method(3)}, {"other", method(9)}};
    expectRows({
        {"site 3", index(kFilterSite, &CaseFilter::nSiteIndex, 2), sites, "CABG"},
        {"site 23", index(kFilterSite, &CaseFilter::nSiteIndex, 22), sites, "other"},
        {"no site chosen keeps the cases without one",
         index(kFilterSite, &CaseFilter::nSiteIndex, -1), sites, "none"},
        {"method 1", index(kFilterMethod, &CaseFilter::nMethodIndex, 0), methods, "GA"},
        {"method 9", index(kFilterMethod, &CaseFilter::nMethodIndex, 8), methods, "other"},
        {"no method chosen keeps the cases without one",
         index(kFilterMethod, &CaseFilter::nMethodIndex, -1), methods, "none"},
    });
}

// A match counts only where it starts on a character: the second byte of a double-byte
// character may look like a letter or a backslash, and must not be found as one.
TEST(DisplayIndexTest, FilterTextNeverMatchesInsideADoubleByteCharacter) {
    const std::vector<FilterCase> cases = {
        {"hyo", text(&CCaseRecord::SetstrDepartment, "表")},    // 0x95 0x5C
        {"a", text(&CCaseRecord::SetstrDepartment, "ア")},      // 0x83 0x41
        {"kana", text(&CCaseRecord::SetstrDepartment, "ｱ")},    // 0xB1, one byte
        {"mixed", text(&CCaseRecord::SetstrDepartment, "ソA")}, // 0x83 0x5C 0x41
    };
    expectRows({
        {"backslash", withText(kFilterDepartment, &CaseFilter::strDepartment, "\\"), cases, ""},
        {"letter", withText(kFilterDepartment, &CaseFilter::strDepartment, "A"), cases, "mixed"},
        {"half-width katakana", withText(kFilterDepartment, &CaseFilter::strDepartment, "ｱ"), cases,
         "kana"},
    });
    // Nor across the end of the name and the start of the kana.
    CaseFilter f = withText(kFilterPatient, &CaseFilter::strPatientText, "\\");
    f.nPatientField = 1;
    EXPECT_EQ(kept({{"ソ", text(&CCaseRecord::SetstrKana, "ｿ")}}, f), "");
}

TEST(DisplayIndexTest, FilterCombinesCriteriaAndKeepsTheOrderOfThePeriod) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    const char* const departments[] = {"外科", "内科", "外科", "外科", "外科"};
    const int days[] = {3, 10, 1, 30, 10};
    for (int i = 0; i < 5; ++i) {
        CCaseRecord r = BlankCase(std::to_string(i).c_str(), 2006, 4, days[i]);
        r.SetstrDepartment(sj(departments[i]));
        r.SetstrAsa(i == 2 ? "2" : "2E");
        doc.AddRecord(r);
    }
    doc.AddRecord(BlankCase("outside", 2006, 5, 1));
    CaseFilter f =
        withText(kFilterDepartment | kFilterEmergency, &CaseFilter::strDepartment, "外科");
    const int inApril = doc.BuildDisplayIndex(kColDate, dayAt(2006, 4, 1), dayAt(2006, 4, 30));
    const int n = doc.FilterDisplayIndex(inApril, f);
    EXPECT_EQ(names(doc, n), (std::vector<CString>{"3", "4", "0"}));
}

// A long list is filtered in one run that reads ahead and reuses one buffer for joined texts;
// it must keep what filtering each day by itself keeps, a few cases at a time with a fresh
// buffer.
TEST(DisplayIndexTest, FilterOverALongListKeepsWhatEachDayKeeps) {
    // Added one by one, so that each day is one stretch of the date order.
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    std::mt19937 rng(5);
    for (int i = 0; i < 3000; ++i) {
        CCaseRecord r = testing_support::RealisticCase(rng);
        if (i % 40 == 7) {
            r.SetnIncidentIndex(doc.AddIncident());
        }
        doc.AddRecord(r);
    }
    std::vector<CaseFilter> filters;
    CaseFilter f = only(kFilterPatient | kFilterAnesthesiologist);
    f.nPatientField = 1;
    f.strPatientText = sj("郎や"); // across the end of the name and the start of the kana
    filters.push_back(f);
    f = only(kFilterAnesthesiologist);
    f.strAnesthesiologist = sj("木石"); // across the first two anesthesiologists
    filters.push_back(f);
    f = only(kFilterDepartment | kFilterWard | kFilterSupervisor | kFilterNotes);
    f.nMask &= ~kFilterMale;
    f.strDepartment = sj("外科");
    f.strWard = sj("東");
    f.strSupervisor = sj("上");
    f.strNotes = sj("良好");
    filters.push_back(f);
    f = only(kFilterIncident | kFilterComorbidity);
    f.strComorbidity = sj("糖尿");
    filters.push_back(f);
    f = only(kFilterMethod | kFilterSite);
    f.nMethodIndex = 2;
    f.nSiteIndex = 13;
    filters.push_back(f);
    for (const CaseFilter& filter : filters) {
        const int all = doc.FilterDisplayIndex(doc.BuildDisplayIndex(kColDate, 0, 0), filter);
        std::vector<int> inOneRun;
        for (int i = 0; i < all; ++i) {
            inOneRun.push_back(doc.GetDisplayIndexEntry(i));
        }
        std::vector<int> dayByDay;
        fw::PackedDate last = -1;
        for (int pos = 0; pos < doc.GetRecordCount(); ++pos) {
            const fw::PackedDate day = doc.GetSurgeryDate(doc.GetSortIndexEntry(kKeyDate, pos));
            if (day == last) {
                continue;
            }
            last = day;
            const fw::LocalDate d = fw::UnpackDate(day);
            const fw::Time32 t = dayAt(d.year, d.month, d.day);
            const int n = doc.FilterDisplayIndex(doc.BuildDisplayIndex(kColDate, t, t), filter);
            for (int i = 0; i < n; ++i) {
                dayByDay.push_back(doc.GetDisplayIndexEntry(i));
            }
        }
        EXPECT_GT(inOneRun.size(), 8u) << "the filter should keep more than it reads ahead";
        EXPECT_LT(inOneRun.size(), 1000u);
        EXPECT_EQ(inOneRun, dayByDay);
    }
}
