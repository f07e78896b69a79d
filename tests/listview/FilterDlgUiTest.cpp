// The filter dialog as a user works it: what it opens with, what "絞り込み" hands back, and
// that every other way out clears the filter and the period.

#include "framework/ui/DialogImpl.h"
#include "listview/DateEntry.h"
#include "listview/FilterDlg.h"
#include "registry/CaseCodes.h"
#include "support/UiTestSupport.h"

#include <QTest>

#include <string>
#include <vector>

using namespace registry;

namespace {

using namespace listview::filterdlg;
using testing_support::ControlOf;
using testing_support::Press;
using testing_support::TypeInto;
using testing_support::WhenOpen;

fw::CDialog& Active() {
    return *fw::ActiveDialog();
}

// As a script sees it: check state, chosen item, or text.
std::string Shown(int id) {
    return fw::detail::scriptText(ControlOf(Active(), id)).ToUtf8();
}

std::vector<std::string> Items(int id) {
    const fw::detail::Control& c = ControlOf(Active(), id);
    std::vector<std::string> out;
    for (int i = 0; i < fw::detail::itemCount(c); ++i) {
        out.push_back(fw::detail::itemText(c, i).ToUtf8());
    }
    return out;
}

void Check(int id, bool on) {
    auto* box = testing_support::WidgetOf<QAbstractButton>(Active(), id);
    if (box->isChecked() != on) {
        box->click();
    }
}

void Pick(int id, int index) {
    fw::detail::selectItem(ControlOf(Active(), id), index);
}

CString sj(const char* utf8) {
    CString text;
    CString::FromUtf8(utf8, text);
    return text;
}

CQuellmarkDoc& DocWithLists() {
    static CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    if (doc.GetWardList().IsEmpty()) {
        for (const char* name : {"青木", "石井", "上田"}) {
            doc.GetAnesthesiologistList().Add(sj(name));
        }
        doc.GetSupervisorList().Add(sj("遠藤"));
        for (const char* ward : {"5東", "3東", "ICU"}) {
            doc.GetWardList().Add(sj(ward));
        }
        for (const char* department : {"整形外科", "外科"}) {
            doc.GetDepartmentList().Add(sj(department));
        }
    }
    return doc;
}

struct Criteria {
    CaseFilter filter;
    fw::Time32 start = 0;
    fw::Time32 end = 0;
    int Run() { return listview::RunFilter(DocWithLists(), filter, start, end); }
};

TEST(FilterDlgUiTest, OpensAfterLoginWithBothSexesIdAndTheMasterLists) {
    Criteria c;
    WhenOpen([] {
        EXPECT_EQ(fw::ActiveDialog()->GetTemplateId(), listview::kFilterDialogId);
        for (int id : {kIncident, kEmergency, kDrugIncident, kPatient, kDepartment, kWard,
                       kAnesthesiologist, kSupervisor, kSite, kMethod, kComorbidity, kNotes}) {
            EXPECT_EQ(Shown(id), "0") << id;
        }
        EXPECT_EQ(Shown(kMale), "1");
        EXPECT_EQ(Shown(kFemale), "1");
        EXPECT_EQ(Shown(kFieldId), "1");
        EXPECT_EQ(Shown(kFieldName), "0");
        EXPECT_EQ(Shown(kStartText), "指定無し");
        EXPECT_EQ(Shown(kEndText), "指定無し");
        for (int id : {kSiteList, kMethodList, kPatientText, kDepartmentText, kWardText,
                       kAnesthesiologistText, kSupervisorText, kComorbidityText, kNotesText}) {
            EXPECT_EQ(Shown(id), "") << id;
        }
        // The master lists in their own order, not sorted.
        EXPECT_EQ(Items(kAnesthesiologistText), (std::vector<std::string>{"青木", "石井", "上田"}));
        EXPECT_EQ(Items(kSupervisorText), (std::vector<std::string>{"遠藤"}));
        EXPECT_EQ(Items(kWardText), (std::vector<std::string>{"5東", "3東", "ICU"}));
        EXPECT_EQ(Items(kDepartmentText), (std::vector<std::string>{"整形外科", "外科"}));
        const std::vector<std::string> sites = Items(kSiteList);
        ASSERT_EQ(sites.size(), 23u);
        for (int code = 1; code <= 23; ++code) {
            EXPECT_EQ(sites[std::size_t(code - 1)], registry::SiteText(code).ToUtf8());
        }
        EXPECT_EQ(Items(kMethodList).size(), 9u);
        EXPECT_EQ(Items(kMethodList)[2], "全身麻酔＋硬膜外麻酔");
        for (int id : {kAgeMinButton, kAgeMin, kAgeMaxButton, kAgeMax}) {
            EXPECT_FALSE(ControlOf(Active(), id).widget->isEnabled()) << id;
        }
        Press(Active(), kApply);
    });
    EXPECT_EQ(c.Run(), fw::kIdOk);
    EXPECT_EQ(c.filter.nMask, kNoFilter);
}

TEST(FilterDlgUiTest, OpensOnTheCriteriaInForceAndAppliesWhatIsShown) {
    Criteria c;
    c.filter.nMask = kFilterMale | kFilterWard | kFilterSite | kFilterPatient;
    c.filter.strWard = sj("病棟X");
    c.filter.nSiteIndex = 3;
    c.filter.nPatientField = 1;
    c.filter.strPatientText = sj("山田");
    c.filter.strDepartment = sj("未使用"); // its bit is clear
    c.start = listview::PeriodDateOf(2006, 4, 1).time;
    WhenOpen([] {
        EXPECT_EQ(Shown(kFemale), "0");
        EXPECT_EQ(Shown(kWard), "1");
        EXPECT_EQ(Shown(kWardText), "病棟X");
        EXPECT_EQ(Shown(kSiteList), "CABG（Off Pump)");
        EXPECT_EQ(Shown(kFieldName), "1");
        EXPECT_EQ(Shown(kPatientText), "山田");
        EXPECT_EQ(Shown(kDepartmentText), "");
        EXPECT_EQ(Shown(kStartText), "2006 / 4 / 1");
        Check(kWard, false);
        Check(kMethod, true); // without a choice
        Check(kDepartment, true);
        TypeInto(Active(), kDepartmentText, "外"); // not a list entry
        Check(kAnesthesiologist, true);
        fw::detail::selectItem(ControlOf(Active(), kAnesthesiologistText), 1);
        Pick(kSiteList, 22);
        Press(Active(), kFieldProcedure);
        Press(Active(), kApply);
    });
    EXPECT_EQ(c.Run(), fw::kIdOk);
    EXPECT_EQ(c.filter.nMask, kFilterMale | kFilterSite | kFilterPatient | kFilterMethod |
                                  kFilterDepartment | kFilterAnesthesiologist);
    EXPECT_EQ(c.filter.strDepartment.ToUtf8(), "外");
    EXPECT_EQ(c.filter.strAnesthesiologist.ToUtf8(), "石井");
    EXPECT_EQ(c.filter.nSiteIndex, 22);
    EXPECT_EQ(c.filter.nMethodIndex, -1);
    EXPECT_EQ(c.filter.nPatientField, 3);
    EXPECT_EQ(c.filter.strWard.ToUtf8(), "病棟X"); // unticked: left as it was
    EXPECT_EQ(fw::LocalDateOf(c.start), (fw::LocalDate{2006, 4, 1}));
}

// Asking for a day shows the dialog's members again; what was ticked and typed before must
// survive that.
TEST(FilterDlgUiTest, ADateButtonKeepsWhatWasTickedAndTyped) {
    Criteria c;
    WhenOpen([] {
        Check(kIncident, true);
        Check(kFemale, false);
        TypeInto(Active(), kNotesText, "低下");
        Check(kNotes, true);
        TypeInto(Active(), kWardText, "4西");
        Check(kWard, true);
        Pick(kMethodList, 0);
        Press(Active(), kFieldDisease);
        testing_support::EnterDayInNextDialog("2006", "4", "30");
        Press(Active(), kEndButton);
        EXPECT_EQ(Shown(kEndText), "2006 / 4 / 30");
        EXPECT_EQ(Shown(kIncident), "1");
        EXPECT_EQ(Shown(kFemale), "0");
        EXPECT_EQ(Shown(kNotesText), "低下");
        EXPECT_EQ(Shown(kWardText), "4西");
        EXPECT_EQ(Shown(kMethodList), "全身麻酔");
        EXPECT_EQ(Shown(kFieldDisease), "1");
        Press(Active(), kApply);
    });
    c.Run();
    EXPECT_EQ(c.filter.nMask, kFilterIncident | kFilterMale | kFilterNotes | kFilterWard);
    EXPECT_EQ(c.filter.strNotes.ToUtf8(), "低下");
    EXPECT_EQ(c.filter.strWard.ToUtf8(), "4西");
    EXPECT_EQ(c.filter.nPatientField, 2);
    EXPECT_EQ(c.start, 0);
    EXPECT_EQ(fw::LocalDateOf(c.end), (fw::LocalDate{2006, 4, 30}));
}

TEST(FilterDlgUiTest, EveryOtherWayOutClearsTheFilterAndThePeriod) {
    const std::function<void()> leaves[] = {
        [] { Press(Active(), kClear); },
        [] { QTest::keyClick(fw::DialogAccess::impl(Active()).window, Qt::Key_Escape); },
        [] { fw::DialogAccess::impl(Active()).window->close(); },
    };
    for (const auto& leave : leaves) {
        Criteria c;
        c.filter.nMask = kFilterIncident | kFilterNotes;
        c.filter.strNotes = sj("低下");
        c.filter.nPatientField = 3;
        c.filter.nSiteIndex = 5;
        c.start = listview::PeriodDateOf(2006, 4, 1).time;
        c.end = c.start;
        WhenOpen([&] {
            Check(kWard, true); // what is ticked inside counts for nothing either
            leave();
        });
        EXPECT_EQ(c.Run(), fw::kIdCancel);
        EXPECT_EQ(c.filter.nMask, kNoFilter);
        EXPECT_TRUE(c.filter.strNotes.IsEmpty());
        EXPECT_EQ(c.filter.nPatientField, 0);
        EXPECT_EQ(c.filter.nSiteIndex, 0);
        EXPECT_EQ(c.start, 0);
        EXPECT_EQ(c.end, 0);
    }
}

} // namespace
