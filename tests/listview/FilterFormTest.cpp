// The filter dialog's values against the list's criteria: what the dialog opens with, what
// "絞り込み" hands back, and what every other way out leaves.

#include "listview/FilterForm.h"
#include "listview/PeriodDate.h"

#include <gtest/gtest.h>

using namespace registry;

namespace {

using listview::FilterForm;

// Each criterion: its bit, its box in the dialog, and (for those with a value) how a value is
// put in the list's criteria and read in the dialog.
struct Criterion {
    int bit;
    int FilterForm::*box;
    CString CaseFilter::*listText = nullptr;
    CString FilterForm::*formText = nullptr;
    int CaseFilter::*listIndex = nullptr;
    int FilterForm::*formIndex = nullptr;
};
const Criterion kCriteria[] = {
    {kFilterIncident, &FilterForm::m_bIncident},
    {kFilterMale, &FilterForm::m_bMale},
    {kFilterFemale, &FilterForm::m_bFemale},
    {kFilterEmergency, &FilterForm::m_bEmergency},
    {kFilterPatient, &FilterForm::m_bPatient, &CaseFilter::strPatientText,
     &FilterForm::m_strPatientText},
    {kFilterDepartment, &FilterForm::m_bDepartment, &CaseFilter::strDepartment,
     &FilterForm::m_strDepartment},
    {kFilterWard, &FilterForm::m_bWard, &CaseFilter::strWard, &FilterForm::m_strWard},
    {kFilterAnesthesiologist, &FilterForm::m_bAnesthesiologist, &CaseFilter::strAnesthesiologist,
     &FilterForm::m_strAnesthesiologist},
    {kFilterSupervisor, &FilterForm::m_bSupervisor, &CaseFilter::strSupervisor,
     &FilterForm::m_strSupervisor},
    {kFilterSite, &FilterForm::m_bSite, nullptr, nullptr, &CaseFilter::nSiteIndex,
     &FilterForm::m_nSiteIndex},
    {kFilterMethod, &FilterForm::m_bMethod, nullptr, nullptr, &CaseFilter::nMethodIndex,
     &FilterForm::m_nMethodIndex},
    {kFilterComorbidity, &FilterForm::m_bComorbidity, &CaseFilter::strComorbidity,
     &FilterForm::m_strComorbidity},
    {kFilterNotes, &FilterForm::m_bNotes, &CaseFilter::strNotes, &FilterForm::m_strNotes},
    {kFilterDrugIncident, &FilterForm::m_bDrugIncident},
};

// Criteria whose every value differs from the start values of the dialog.
CaseFilter everyValue(int mask) {
    CaseFilter f;
    f.nMask = mask;
    f.nPatientField = 2;
    for (const Criterion& c : kCriteria) {
        if (c.listText) {
            f.*c.listText = CString::Formatted("v%x", c.bit);
        }
        if (c.listIndex) {
            f.*c.listIndex = c.bit == kFilterSite ? 22 : 8;
        }
    }
    return f;
}

TEST(FilterFormTest, OpensAfterLoginWithBothSexesTheIdFieldAndNothingElse) {
    FilterForm form;
    form.Load(CaseFilter{}, 0, 0);
    for (const Criterion& c : kCriteria) {
        const bool sex = c.bit == kFilterMale || c.bit == kFilterFemale;
        EXPECT_EQ(form.*c.box, sex ? 1 : 0) << c.bit;
    }
    EXPECT_EQ(form.m_nPatientField, 0);
    EXPECT_EQ(form.m_nSiteIndex, -1);
    EXPECT_EQ(form.m_nMethodIndex, -1);
    EXPECT_EQ(form.m_strStart.ToUtf8(), "指定無し");
    EXPECT_EQ(form.m_strEnd.ToUtf8(), "指定無し");
    EXPECT_EQ(form.Mask(), kNoFilter);
}

TEST(FilterFormTest, OpensWithTheValueOfEachSetBitOnly) {
    for (const Criterion& set : kCriteria) {
        FilterForm form;
        form.Load(everyValue(set.bit), listview::PeriodDateOf(2006, 4, 1).time, 0);
        EXPECT_EQ(form.m_nPatientField, 2) << set.bit; // whatever the mask
        EXPECT_EQ(form.m_strStart.ToUtf8(), "2006 / 4 / 1");
        EXPECT_EQ(form.Mask(), set.bit);
        for (const Criterion& c : kCriteria) {
            const bool on = &c == &set;
            if (c.formText) {
                EXPECT_EQ(form.*c.formText, on ? everyValue(0).*c.listText : CString())
                    << set.bit << " " << c.bit;
            }
            if (c.formIndex) {
                EXPECT_EQ(form.*c.formIndex, on ? everyValue(0).*c.listIndex : -1)
                    << set.bit << " " << c.bit;
            }
        }
    }
}

TEST(FilterFormTest, ApplyCopiesTheTickedValuesAndLeavesTheOthers) {
    for (const Criterion& ticked : kCriteria) {
        FilterForm form;
        form.Load(CaseFilter{}, 0, 0);
        form.m_bMale = 0;
        form.m_bFemale = 0;
        form.*ticked.box = 1;
        for (const Criterion& c : kCriteria) {
            if (c.formText) {
                form.*c.formText = "typed";
            }
            if (c.formIndex) {
                form.*c.formIndex = -1; // ticked without a choice
            }
        }
        form.m_nPatientField = 3;
        form.m_tStart = listview::PeriodDateOf(2006, 4, 1).time;
        form.m_tEnd = listview::PeriodDateOf(2006, 4, 30).time;

        CaseFilter list = everyValue(kNoFilter);
        fw::Time32 start = 0;
        fw::Time32 end = 0;
        form.ApplyTo(list, start, end);
        EXPECT_EQ(list.nMask, ticked.bit);
        EXPECT_EQ(list.nPatientField, 3);
        EXPECT_EQ(start, form.m_tStart);
        EXPECT_EQ(end, form.m_tEnd);
        for (const Criterion& c : kCriteria) {
            const bool on = &c == &ticked;
            if (c.listText) {
                EXPECT_EQ(list.*c.listText, on ? CString("typed") : everyValue(0).*c.listText)
                    << ticked.bit << " " << c.bit;
            }
            if (c.listIndex) {
                EXPECT_EQ(list.*c.listIndex, on ? -1 : everyValue(0).*c.listIndex)
                    << ticked.bit << " " << c.bit;
            }
        }
    }
}

TEST(FilterFormTest, BothSexesAloneIsNoFilterAndClearingResetsEverything) {
    FilterForm form;
    form.Load(everyValue(kFilterIncident | kFilterWard), 0, 0);
    form.m_bIncident = 0;
    form.m_bWard = 0;
    form.m_bMale = 1;
    form.m_bFemale = 1;
    CaseFilter list;
    fw::Time32 start = 0;
    fw::Time32 end = 0;
    form.ApplyTo(list, start, end);
    EXPECT_EQ(list.nMask, kNoFilter);

    list = everyValue(kFilterNotes);
    start = listview::PeriodDateOf(2006, 4, 1).time;
    end = start;
    listview::ClearFilter(list, start, end);
    EXPECT_EQ(list.nMask, kNoFilter);
    EXPECT_EQ(list.nPatientField, 0);
    EXPECT_EQ(list.nSiteIndex, 0);
    EXPECT_EQ(list.nMethodIndex, 0);
    for (const Criterion& c : kCriteria) {
        if (c.listText) {
            EXPECT_TRUE((list.*c.listText).IsEmpty()) << c.bit;
        }
    }
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 0);
}

} // namespace
