// The report check: which cases hold the report back, how often, in which order, and the list
// the user sees instead of the report.

#include "report/ReportCheck.h"
#include "report/SocietyReport.h"
#include "support/CaseBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using report::AnnualFigures;
using report::ReportTally;
using testing_support::ReportableCase;

namespace {

CCaseRecord Named(const char* name, int month, int day) {
    CCaseRecord r = ReportableCase(name, 2005, month, day);
    r.SetstrId(CString::Formatted("ID%d%d", month, day));
    return r;
}

int AddIncident(CQuellmarkDoc& doc, int cause3, const CString& text1, const CString& text2) {
    const int row = doc.AddIncident();
    doc.SetIncidentValue(row, 7, cause3);
    doc.SetIncidentText(row, 1, text1);
    doc.SetIncidentText(row, 2, text2);
    return row;
}

std::optional<CString> RunReport(const CQuellmarkDoc& doc, const std::string& folder) {
    return report::RunSocietyReport(
        doc, 2005, [](const ReportTally&, AnnualFigures&) { return true; }, folder);
}

} // namespace

TEST(ReportCheckTest, AbnormalCasesAreListedInTheOrderTheyFailed) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    CCaseRecord noAsa = Named("ASA無し", 1, 2);
    noAsa.SetstrAsa("");
    noAsa.SetnPosition(0); // a second missing entry lists it no second time
    doc.AddRecord(noAsa);
    CCaseRecord noAge = Named("年齢無し", 2, 3);
    noAge.SetnAgeYears(-1);
    doc.AddRecord(noAge);
    CCaseRecord underscore = Named("下線", 3, 4);
    underscore.SetstrTransfusionNote("MAP_2"_sj);
    doc.AddRecord(underscore);
    CCaseRecord katakana = Named("ダ追記", 4, 5);
    katakana.SetnIncidentIndex(AddIncident(doc, 0, "ダブル"_sj, ""));
    doc.AddRecord(katakana);
    // A cause 3 outside its list leaves one cause field out; the underscore typed into the
    // addendum makes the count right again, and the case is still listed.
    CCaseRecord madeUp = Named("原因不完全", 5, 6);
    madeUp.SetnIncidentIndex(AddIncident(doc, 99, "", "a_b"));
    doc.AddRecord(madeUp);
    CCaseRecord withheld = Named("停止", 6, 7);
    withheld.SetstrAsa("");
    withheld.SetbWithhold(1);
    doc.AddRecord(withheld);
    CCaseRecord otherYear = ReportableCase("前年", 2004, 7, 8);
    otherYear.SetnAgeYears(-1);
    doc.AddRecord(otherYear);
    doc.AddRecord(Named("正常", 8, 9));

    testing_support::TempDir dir;
    testing_support::WriteFile(dir.Path() + "/KRV2006.txt", "last year's try");
    const std::optional<CString> shown = RunReport(doc, dir.Path());
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->ToUtf8(), "以下の患者で入力項目に異常が検出されました。\r\n\r\n"
                               "1 / 2   ID12   ASA無し\r\n"
                               "2 / 3   ID23   年齢無し\r\n"
                               "4 / 5   ID45   ダ追記\r\n"
                               "5 / 6   ID56   原因不完全\r\n"
                               "2 / 3   ID23   年齢無し\r\n"
                               "3 / 4   ID34   下線\r\n");
    EXPECT_EQ(testing_support::ReadFile(dir.Path() + "/KRV2006.txt"), "last year's try");
}

TEST(ReportCheckTest, FirstCheckWantsEveryEntryTheSocietyNeeds) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    doc.AddIncident();
    struct Entry {
        const char* what;
        void (*change)(CCaseRecord&);
        bool lacks;
    };
    const Entry entries[] = {
        {"complete", [](CCaseRecord&) {}, false},
        {"no ASA", [](CCaseRecord& r) { r.SetstrAsa(""); }, true},
        {"ASA outside the list", [](CCaseRecord& r) { r.SetstrAsa("7"); }, true},
        {"ASA 6E", [](CCaseRecord& r) { r.SetstrAsa("6E"); }, false},
        {"no site", [](CCaseRecord& r) { r.SetnSite(0); }, true},
        {"site 24", [](CCaseRecord& r) { r.SetnSite(24); }, true},
        {"no position", [](CCaseRecord& r) { r.SetnPosition(0); }, true},
        {"position 7", [](CCaseRecord& r) { r.SetnPosition(7); }, true},
        {"no method", [](CCaseRecord& r) { r.SetnMethod(0); }, true},
        {"method -3", [](CCaseRecord& r) { r.SetnMethod(-3); }, true},
        {"age not entered", [](CCaseRecord& r) { r.SetnAgeYears(-1); }, true},
        {"age 0", [](CCaseRecord& r) { r.SetnAgeYears(0); }, false},
        {"incident row 0", [](CCaseRecord& r) { r.SetnIncidentIndex(0); }, false},
        {"incident row past the table", [](CCaseRecord& r) { r.SetnIncidentIndex(1); }, true},
        {"incident index -2", [](CCaseRecord& r) { r.SetnIncidentIndex(-2); }, true},
    };
    for (const Entry& e : entries) {
        CCaseRecord r = ReportableCase("患者", 2005, 1, 1);
        e.change(r);
        EXPECT_EQ(report::LacksRequiredEntry(doc, r), e.lacks) << e.what;
    }
}

TEST(ReportCheckTest, AMissingIncidentRowReadsAsZerosAndIsListed) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    CCaseRecord r = Named("行無し", 9, 10);
    r.SetnIncidentIndex(3);
    doc.AddRecord(r);
    ReportTally tally = report::TallyYear(doc, 2005);
    EXPECT_EQ(tally.incidentCases, std::vector<int>{0});
    EXPECT_EQ(tally.abnormal, std::vector<int>{0});
    const std::string line = report::CaseLine(doc, r).str();
    EXPECT_EQ(line.substr(line.find("A_a_")), "A_a_0_Y_a_A_1_a_0_0_0_0_0_0_0_0_0___");
}

TEST(ReportCheckTest, LineCheckCountsSeparatorBytesAndWantsACompleteCause) {
    const std::string good(45, '_');
    EXPECT_TRUE(report::IsWellFormedCaseLine(good, true));
    EXPECT_FALSE(report::IsWellFormedCaseLine(good, false));
    EXPECT_FALSE(report::IsWellFormedCaseLine(good + "_", true));
    EXPECT_FALSE(report::IsWellFormedCaseLine(good.substr(1), true));
    EXPECT_EQ(report::CountSeparators("ダ"_sj), 1); // its second byte is 0x5F
}

TEST(ReportCheckTest, CasesThatPassLeaveTheListEmpty) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    doc.AddRecord(Named("正常", 8, 9));
    CCaseRecord incident = Named("偶発症", 8, 10);
    incident.SetnIncidentIndex(AddIncident(doc, 16, "追記"_sj, ""));
    doc.AddRecord(incident);
    testing_support::TempDir dir;
    const std::optional<CString> shown = RunReport(doc, dir.Path());
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->Find("報告用ファイル「KRV2006.txt」を以下の内容で書き出しました。"_sj), 0);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"KRV2006.txt"});
}
