// The society report's bytes, built by hand from the field rules and compared whole.

#include "report/SocietyReport.h"
#include "report/ReportCheck.h"
#include "support/CaseBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <string>

using report::AnnualFigures;
using report::HospitalInfo;
using report::ReportTally;
using testing_support::ReportableCase;

namespace {

std::string Repeat(const std::string& piece, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) {
        out += piece;
    }
    return out;
}

const std::string kProgram = "quellmark_vora_1.4\r\n";
// Fields 11..26 of a case without blood products: no comorbidity, five products, albumin, the
// other product.
const std::string kNoProducts = "___" + Repeat("__", 5) + "__" + "___";
const std::string kNoIncident = Repeat("_", 19);

CQuellmarkDoc EmptyDoc() {
    return CQuellmarkDoc(CQuellmarkDoc::NoFile{});
}

std::string LineOf(const CQuellmarkDoc& doc, const CCaseRecord& r) {
    return report::CaseLine(doc, r).str();
}

std::string ValueLineOf(const CQuellmarkDoc& doc, int year, AnnualFigures figures = {}) {
    return report::HospitalValueLine(report::HospitalInfoOf(doc), report::TallyYear(doc, year),
                                     figures)
        .str();
}

int AddIncident(CQuellmarkDoc& doc, std::initializer_list<std::pair<int, int>> values,
                const char* text1 = "", const char* text2 = "", const char* text3 = "") {
    const int row = doc.AddIncident();
    for (auto [k, v] : values) {
        doc.SetIncidentValue(row, k, v);
    }
    CString t;
    CString::FromUtf8(text1, t);
    doc.SetIncidentText(row, 1, t);
    CString::FromUtf8(text2, t);
    doc.SetIncidentText(row, 2, t);
    CString::FromUtf8(text3, t);
    doc.SetIncidentText(row, 3, t);
    return row;
}

// Runs a report whose annual figures are confirmed with the given values.
std::optional<CString> RunReport(const CQuellmarkDoc& doc, int year, const std::string& folder,
                                 AnnualFigures typed = {}) {
    return report::RunSocietyReport(
        doc, year,
        [typed](const ReportTally&, AnnualFigures& figures) {
            figures = typed;
            return true;
        },
        folder);
}

// The notice above a written report: the file, and the folder it is in.
std::string Written(const std::string& file, const std::string& folder) {
    CString name, where;
    CString::FromUtf8(file, name);
    CString::FromUtf8(folder, where);
    return ("報告用ファイル「"_sj + name +
            "」を以下の内容で書き出しました。\r\n保存先のフォルダー："_sj + where +
            "\r\n\r\nおかしい場合はダイアログの内容を直接テキストファイルにコピーしてください。\r\n\r\n"_sj)
        .str();
}

} // namespace

TEST(SocietyReportTest, YearWithoutCasesWritesTheHeadersAndNoFinalLineBreak) {
    CQuellmarkDoc doc = EmptyDoc();
    doc.AddRecord(ReportableCase("別の年", 2004, 12, 31));
    testing_support::TempDir dir;
    const std::optional<CString> shown = RunReport(doc, 2005, dir.Path());
    const std::string expected = report::HospitalHeaderLine().str() + "1_a_0_0_0_0_" +
                                 Repeat("0.0_", 6) + Repeat("0_", 14 + 3) + Repeat("0_", 12 + 1) +
                                 Repeat("0_", 23 + 1) + Repeat("0_", 6 + 1) + Repeat("0_", 9 + 1) +
                                 kProgram + report::CaseHeaderLine().str();
    EXPECT_EQ(testing_support::ReadFile(dir.Path() + "/KRV2006.txt"), expected);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->str(), Written("KRV2006.txt", dir.Path()) + expected);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"KRV2006.txt"});
    // 86 fields on each header and value line.
    EXPECT_EQ(report::CountSeparators(report::HospitalHeaderLine()), 85);
    EXPECT_EQ(report::CountSeparators(ValueLineOf(doc, 2005)), 85);
    EXPECT_EQ(report::CountSeparators(report::CaseHeaderLine()), report::kCaseLineSeparators);
}

TEST(SocietyReportTest, RunningAgainOverwritesTheFile) {
    CQuellmarkDoc doc = EmptyDoc();
    testing_support::TempDir dir;
    testing_support::WriteFile(dir.Path() + "/KRV2006.txt", "old report");
    RunReport(doc, 2005, dir.Path(), {120, 0});
    RunReport(doc, 2005, dir.Path(), {340, 0});
    const std::string file = testing_support::ReadFile(dir.Path() + "/KRV2006.txt");
    EXPECT_NE(file.find("\r\n1_a_0_340_0_0_"), std::string::npos);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"KRV2006.txt"});
}

TEST(SocietyReportTest, HospitalLineCountsTheCasesOfTheYear) {
    CQuellmarkDoc doc = EmptyDoc();
    doc.SetHospitalInfo(2, 3, 450, 2.5f, 4.0f, 1.5f);
    CCaseRecord newborn = ReportableCase("新生児", 2005, 1, 1);
    newborn.SetnAgeYears(0);
    newborn.SetnSex(registry::kSexFemale);
    doc.AddRecord(newborn);
    CCaseRecord emergency = ReportableCase("緊急", 2005, 6, 30);
    emergency.SetstrAsa("3E");
    emergency.SetnSite(23);
    emergency.SetnPosition(6);
    emergency.SetnMethod(9);
    doc.AddRecord(emergency);
    CCaseRecord unentered = testing_support::BlankCase("未入力", 2005, 12, 31);
    unentered.SetnAgeYears(86);
    unentered.SetnSex(2); // any value but 1 is female
    doc.AddRecord(unentered);
    CCaseRecord withheld = ReportableCase("停止", 2005, 3, 3);
    withheld.SetbWithhold(1);
    doc.AddRecord(withheld);
    doc.AddRecord(ReportableCase("前年", 2004, 12, 31));

    const std::string expected = "3_d_450_3200_3_1_2.5_4.0_1.5_8.0_2.0_10.0_"
                                 "0_1_0_0_0_0_0_0_1_0_0_0_0_1_" // Af, Em, Gf
                                 "1_2_3_"
                                 "1_0_0_0_0_0_0_0_1_0_0_0_2_" // "1" and "3E"
                                 "1_" +
                                 Repeat("0_", 21) + "1_2_" + "1_0_0_0_0_1_2_" + "1_" +
                                 Repeat("0_", 7) + "1_2_" + kProgram;
    EXPECT_EQ(ValueLineOf(doc, 2005, {3200, 2.0f}), expected);
}

TEST(SocietyReportTest, StaffSumsAreMadeInSinglePrecision) {
    CQuellmarkDoc doc = EmptyDoc();
    // 2^24 + 1 is not a float: each single-precision sum stays at 2^24, where double would not.
    doc.SetHospitalInfo(0, 7, 1, 16777216.0f, 1.0f, 1.0f);
    const std::string line = ValueLineOf(doc, 2005, {0, 1.0f});
    const std::string start = "1_h_1_0_0_0_16777216.0_1.0_1.0_16777216.0_1.0_16777216.0_0_";
    EXPECT_EQ(line.substr(0, start.size()), start);
}

TEST(SocietyReportTest, DefaultHospitalStartsWithOneAAndZero) {
    const CQuellmarkDoc doc = EmptyDoc();
    EXPECT_EQ(ValueLineOf(doc, 2005).substr(0, 6), "1_a_0_");
}

TEST(SocietyReportTest, AgeGroupsHaveTheirBoundaries) {
    struct Age {
        int years, months;
        char letter;
    };
    const Age ages[] = {{0, 0, 'A'},  {0, -1, 'A'},   {0, 3, 'B'},   {5, 0, 'C'},  {6, 0, 'D'},
                        {18, 0, 'D'}, {19, 0, 'E'},   {65, 0, 'E'},  {66, 0, 'F'}, {85, 11, 'F'},
                        {86, 0, 'G'}, {1000, 0, 'G'}, {-1, 0, '\0'}, {-7, 3, '\0'}};
    for (const Age& a : ages) {
        EXPECT_EQ(report::AgeGroupLetter(a.years, a.months), a.letter)
            << a.years << "/" << a.months;
    }
}

TEST(SocietyReportTest, CaseLinesFollowTheFieldRules) {
    CQuellmarkDoc doc = EmptyDoc();
    const CCaseRecord plain = ReportableCase("単純", 2005, 4, 1);

    CCaseRecord products = ReportableCase("製剤", 2005, 4, 1);
    products.SetnAgeYears(0);
    products.SetnAgeMonths(3);
    products.SetnSex(registry::kSexFemale);
    products.SetstrAsa("3E");
    products.SetnSite(10);
    products.SetnPosition(4);
    products.SetnMethod(7);
    products.SetnPreopCode(1 + 100 * 8 + 10000 * 33);
    products.SetMap(4, 2);
    products.SetFfp(6, 2);
    products.SetPc(10, 2);
    products.SetAutologous(400, 1);
    products.SetnAlbumin(250);
    products.SetOtherProduct("ﾍﾞﾘﾌﾟﾗｽﾄ"_sj, 3, 2);
    products.SetstrTransfusionNote("術中輸血"_sj);

    CCaseRecord noAge = plain;
    noAge.SetnAgeYears(-1);

    // Codes outside their lists write empty fields and never index past a table.
    CCaseRecord damaged = plain;
    damaged.SetnSite(24);
    damaged.SetnPosition(7);
    damaged.SetnMethod(10);
    damaged.SetnPreopCode(34 + 100 * 2);

    struct Case {
        const char* what;
        const CCaseRecord& record;
        std::string line;
    };
    const Case cases[] = {
        {"without incident, empty note", plain, "E_M_1_a_1_1_A_" + kNoProducts + "_" + kNoIncident},
        {"every product", products,
         "B_F_3E_d_1_4_G_1a_2a_9y_4_2___6_2_10_2_400_1_250_1_"_sj.str() +
             "ﾍﾞﾘﾌﾟﾗｽﾄ_3_2_術中輸血_"_sj.str() + kNoIncident},
        {"no age", noAge, "M_1_a_1_1_A_" + kNoProducts + "_" + kNoIncident},
        {"codes outside their lists", damaged,
         "E_M_1___7___1b__" + Repeat("__", 5) + "__" + "___" + "_" + kNoIncident},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LineOf(doc, c.record), c.line) << c.what;
    }
    EXPECT_EQ(report::CountSeparators(cases[0].line), 45);
    EXPECT_EQ(cases[0].line.substr(cases[0].line.size() - 21), Repeat("_", 21));
}

TEST(SocietyReportTest, IncidentFieldsCarryLettersCausesAndFactors) {
    CQuellmarkDoc doc = EmptyDoc();
    const std::string base = "E_M_1_a_1_1_A_" + kNoProducts + "_";
    struct Incident {
        std::initializer_list<std::pair<int, int>> values;
        std::string fields;
    };
    const Incident incidents[] = {
        {{{0, 2}, {1, 17}, {2, 1}, {3, 7}, {4, 3}, {5, 2}, {6, 5}, {7, 1}, {8, 4}},
         "C_A_1_N_d_C_6_b_" + Repeat("_", 9)},
        {{{0, 2}, {1, 17}, {2, 1}, {3, 7}, {4, 3}, {5, 2}, {6, 5}, {7, 3}},
         "C_A_1_N_d_C_6_x_" + Repeat("_", 9)},
        {{{0, 3}, {1, 9}, {4, 8}, {5, 4}, {6, 7}, {7, 7}}, "D_x_0_Y_x_E_9_y_" + Repeat("_", 9)},
        {{{1, 4}, {5, 0}, {6, 3}, {7, 1}, {8, 1}, {9, 2}, {10, 3}, {11, 4}, {16, 2}},
         "A_x_0_Y_a_A_4_x_1_2_3_4_0_0_0_0_2_"},
    };
    for (const Incident& i : incidents) {
        CCaseRecord r = ReportableCase("偶発症", 2005, 4, 1);
        r.SetnIncidentIndex(AddIncident(doc, i.values, "追記1", "追記2", "追記3"));
        const std::string line = LineOf(doc, r);
        EXPECT_EQ(line, base + i.fields + "追記1_追記2_追記3"_sj.str());
        EXPECT_EQ(report::CountSeparators(line), 45) << line;
    }
}

TEST(SocietyReportTest, IncidentCasesComeFirstEachAfterALineBreak) {
    CQuellmarkDoc doc = EmptyDoc();
    doc.AddRecord(ReportableCase("一", 2005, 1, 1));
    CCaseRecord second = ReportableCase("二", 2005, 1, 2);
    second.SetnIncidentIndex(AddIncident(doc, {{0, 1}}));
    doc.AddRecord(second);
    doc.AddRecord(ReportableCase("三", 2005, 1, 3));
    CCaseRecord third = ReportableCase("三", 2005, 1, 3);
    third.SetnSex(registry::kSexFemale);
    doc.AddRecord(third);
    ReportTally tally = report::TallyYear(doc, 2005);
    const CString text =
        report::BuildReportText(doc, report::HospitalInfoOf(doc), tally, AnnualFigures{});
    const std::string plain = "E_M_1_a_1_1_A_" + kNoProducts + "_" + kNoIncident;
    const std::string female = "E_F_1_a_1_1_A_" + kNoProducts + "_" + kNoIncident;
    const std::string incident =
        "E_M_1_a_1_1_A_" + kNoProducts + "_B_a_0_Y_a_A_1_a_" + "0_0_0_0_0_0_0_0_0___";
    const std::string cases = report::CaseHeaderLine().str() + "\r\n" + incident + "\r\n" + plain +
                              "\r\n" + plain + "\r\n" + female;
    ASSERT_GE(text.GetLength(), int(cases.size()));
    EXPECT_EQ(text.str().substr(text.str().size() - cases.size()), cases);
    EXPECT_TRUE(tally.abnormal.empty());
}

TEST(SocietyReportTest, FileNameIsTheYearAfterWithoutOverflow) {
    EXPECT_EQ(report::ReportFileName(2005), "KRV2006.txt");
    EXPECT_EQ(report::ReportFileName(0), "KRV1.txt");
    EXPECT_EQ(report::ReportFileName(-1), "KRV0.txt");
    EXPECT_EQ(report::ReportFileName(INT_MAX), "KRV2147483648.txt");
}

TEST(SocietyReportTest, YearZeroWritesKrv1) {
    CQuellmarkDoc doc = EmptyDoc();
    doc.AddRecord(ReportableCase("一", 2005, 1, 1));
    testing_support::TempDir dir;
    ASSERT_TRUE(RunReport(doc, 0, dir.Path()));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"KRV1.txt"});
}

TEST(SocietyReportTest, CancelledFiguresWriteAndShowNothing) {
    CQuellmarkDoc doc = EmptyDoc();
    doc.AddRecord(ReportableCase("一", 2005, 1, 1));
    testing_support::TempDir dir;
    int asked = 0;
    const auto shown = report::RunSocietyReport(
        doc, 2005,
        [&asked](const ReportTally& tally, AnnualFigures&) {
            ++asked;
            EXPECT_EQ(tally.counted, 1);
            return false;
        },
        dir.Path());
    EXPECT_FALSE(shown);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(dir.Entries().empty());
}

TEST(SocietyReportTest, HospitalOutsideItsListsWritesNoFile) {
    const std::pair<int, int> bad[] = {{6, 0}, {-1, 0}, {0, 8}, {0, -1}, {INT_MAX, INT_MIN}};
    for (auto [type, location] : bad) {
        CQuellmarkDoc doc = EmptyDoc();
        doc.SetHospitalInfo(type, location, 300, 1, 1, 1);
        testing_support::TempDir dir;
        bool asked = false;
        const auto shown = report::RunSocietyReport(
            doc, 2005,
            [&asked](const ReportTally&, AnnualFigures&) {
                asked = true;
                return true;
            },
            dir.Path());
        ASSERT_TRUE(shown);
        EXPECT_EQ(
            shown->str(),
            "病院情報の施設区分または所在地が正しくありません。病院情報を設定し直してください。\r\n"_sj
                .str());
        EXPECT_FALSE(asked);
        EXPECT_TRUE(dir.Entries().empty());
    }
}

TEST(SocietyReportTest, FailedWriteShowsWhyThenTheTextAndKeepsTheOldFile) {
    CQuellmarkDoc doc = EmptyDoc();
    doc.AddRecord(ReportableCase("一", 2005, 1, 1));
    ReportTally tally = report::TallyYear(doc, 2005);
    const std::string text =
        report::BuildReportText(doc, report::HospitalInfoOf(doc), tally, AnnualFigures{}).str();
    for (fw::FileStep step : testing_support::kSaveSteps) {
        testing_support::TempDir dir;
        testing_support::WriteFile(dir.Path() + "/KRV2006.txt", "old report");
        testing_support::FailingFileOps ops(step, ENOSPC);
        doc.SetFileOps(ops);
        const auto shown = RunReport(doc, 2005, dir.Path());
        doc.SetFileOps(fw::SystemFileOps());
        ASSERT_TRUE(shown);
        const std::string message = "「KRV2006.txt」を保存できません（"_sj.str();
        EXPECT_EQ(shown->str().substr(0, message.size()), message);
        const std::size_t blank = shown->str().find("\r\n\r\n");
        ASSERT_NE(blank, std::string::npos);
        EXPECT_EQ(shown->str().substr(blank + 4), text);
        EXPECT_EQ(shown->str().find("\r\n"), blank); // the message is one line
        EXPECT_EQ(testing_support::ReadFile(dir.Path() + "/KRV2006.txt"), "old report");
        EXPECT_EQ(dir.Entries(), std::vector<std::string>{"KRV2006.txt"});
    }
}
