// The example registry of the user's guide gives the pictures the guide describes: the filled
// case at the top of the list, a written report for one year and the list of incomplete cases
// for another, the same bytes every time.

#include "support/ExampleRegistry.h"

#include "report/HospitalInfo.h"
#include "report/ReportCheck.h"
#include "report/SocietyReport.h"
#include "support/CaseBuilder.h"

#include <gtest/gtest.h>

#include <vector>

using testing_support::FillExampleDocument;

namespace {

CQuellmarkDoc ExampleDoc() {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    FillExampleDocument(doc);
    return doc;
}

// The abnormal list of a report run for year, after both checks.
std::vector<int> AbnormalCases(const CQuellmarkDoc& doc, int year) {
    report::ReportTally tally = report::TallyYear(doc, year);
    report::BuildReportText(doc, report::HospitalInfoOf(doc), tally, {1250, 3.0f});
    return tally.abnormal;
}

TEST(ExampleRegistry, IsTheSameEveryTime) {
    CQuellmarkDoc first = ExampleDoc();
    CQuellmarkDoc second = ExampleDoc();
    EXPECT_EQ(testing_support::StoredBytes(first), testing_support::StoredBytes(second));
}

TEST(ExampleRegistry, SpreadsItsCasesOverThreeYearsWithTheFilledCaseOnTop) {
    CQuellmarkDoc doc = ExampleDoc();
    ASSERT_EQ(doc.GetRecordCount(), testing_support::kExampleCaseCount);
    int perYear[3] = {};
    for (int i = 0; i < doc.GetRecordCount(); ++i) {
        const fw::LocalDate d = fw::UnpackDate(doc.GetSurgeryDate(i));
        ASSERT_TRUE(d.year >= 2024 && d.year <= 2026) << "case " << i;
        ASSERT_TRUE(d.year < 2026 || d.month <= 11) << "case " << i;
        ++perYear[d.year - 2024];
    }
    for (int n : perYear) {
        EXPECT_GT(n, 80);
    }
    ASSERT_GT(doc.BuildDisplayIndex(1, 0, 0), 0);
    const CCaseRecord& top = doc.RecordAt(doc.GetDisplayIndexEntry(0));
    EXPECT_EQ(top.GetstrName().ToUtf8(), "山田花子");
    EXPECT_NE(top.GetnIncidentIndex(), -1);
    EXPECT_NE(top.GetnPreopCode(), 0);
    EXPECT_FALSE(top.GetstrDrugIncident().IsEmpty());
    EXPECT_FALSE(top.GetstrNotes().IsEmpty());
    EXPECT_GE(doc.GetIncidentCount(), 3);
    EXPECT_GT(doc.GetAnesthesiologistList().GetSize(), 0);
    EXPECT_EQ(doc.GetBeds(), 420);
}

TEST(ExampleRegistry, WritesTheReportOfTheCompleteYearsAndListsTheIncompleteOne) {
    CQuellmarkDoc doc = ExampleDoc();
    EXPECT_TRUE(AbnormalCases(doc, testing_support::kExampleCompleteYear).empty());
    EXPECT_TRUE(AbnormalCases(doc, 2026).empty());
    EXPECT_GT(report::TallyYear(doc, testing_support::kExampleCompleteYear).withheld, 0);

    // Without ASA status, without method, without age; the last twice, since its line also
    // lacks the age field.
    const std::vector<int> abnormal = AbnormalCases(doc, testing_support::kExampleIncompleteYear);
    ASSERT_EQ(abnormal.size(), 4u);
    EXPECT_TRUE(doc.RecordAt(abnormal[0]).GetstrAsa().IsEmpty());
    EXPECT_EQ(doc.RecordAt(abnormal[1]).GetnMethod(), 0);
    EXPECT_EQ(doc.RecordAt(abnormal[2]).GetnAgeYears(), -1);
    EXPECT_EQ(abnormal[3], abnormal[2]);
}

} // namespace
