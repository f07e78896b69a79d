// A number the user types wrong is refused with a message that names its field. Every dialog
// is walked: each field the user can type into gets a letter while the others hold 1, and the
// message that follows must name the field as the table below does; a number field missing
// from the table, or one named otherwise, fails.

#include "app/AboutDlg.h"
#include "app/LoginDlg.h"
#include "entry/CaseFormDlg.h"
#include "entry/DrugIncidentDlg.h"
#include "entry/PreopDlg.h"
#include "incident/IncidentCodes.h"
#include "incident/IncidentDlg.h"
#include "listview/DateDlg.h"
#include "listview/DisplayItemsDlg.h"
#include "listview/FilterDlg.h"
#include "registry/AdminMenuDlg.h"
#include "registry/PasswordDlg.h"
#include "report/AggregateMenuDlg.h"
#include "report/HospitalInfoDlg.h"
#include "report/HospitalStatsDlg.h"
#include "report/PersonCountDlg.h"
#include "report/ReportTextDlg.h"
#include "support/UiTestSupport.h"

#include <map>
#include <memory>

namespace {

using testing_support::MessageCatcher;
using Names = std::map<int, std::string>;

// The name each message gives, by field, for the fields the user can type into.
Names messageNames(fw::CDialog& dlg) {
    Names names;
    testing_support::RunDialog(dlg, [&] {
        auto& controls = fw::DialogAccess::impl(dlg).controls;
        const auto typed = [](const fw::detail::Control& c) {
            return c.kind() == fw::CtlKind::Edit && !c.isMultiLine() && !c.has(fw::kReadOnly);
        };
        for (const fw::detail::Control& field : controls) {
            if (!typed(field)) {
                continue;
            }
            for (fw::detail::Control& c : controls) {
                if (c.kind() == fw::CtlKind::Edit && !c.isMultiLine()) {
                    fw::detail::writeText(c, &c == &field ? "x"_sj : "1"_sj);
                }
            }
            MessageCatcher messages;
            if (dlg.UpdateData(true)) {
                continue; // a text field
            }
            EXPECT_EQ(testing_support::FocusOf(dlg), field.widget) << field.id();
            EXPECT_EQ(messages.Texts().size(), 1u) << field.id();
            for (const std::string& text : messages.Texts()) {
                const std::size_t open = text.find("「"), close = text.find("」");
                EXPECT_EQ(open, 0u) << text;
                if (open == 0 && close != std::string::npos) {
                    names[field.id()] = text.substr(3, close - 3);
                }
            }
        }
        dlg.EndDialog(fw::kIdCancel);
    });
    return names;
}

struct Case {
    const char* dialog;
    std::function<std::unique_ptr<fw::CDialog>()> make;
    Names expected;
};

Names incidentNames() {
    Names names;
    for (int k = 0; k < incident::kValueCount; ++k) {
        names[incident::incidentdlg::kCodeIds[k]] = incident::ValueLabel(k).ToUtf8();
    }
    return names;
}

TEST(FieldMessagesUiTest, ANumberTypedWrongIsRefusedByTheNameOfItsField) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    using namespace entry::caseform;
    const Case cases[] = {
        {"case form",
         [&doc] { return std::make_unique<CCaseFormDlg>(doc); },
         {{kHeight, "身長(cm)"},
          {kWeight, "体重(kg)"},
          {kYear, "手術日（年）"},
          {kMonth, "手術日（月）"},
          {kDay, "手術日（日）"},
          {kAgeYears, "年齢"},
          {kAgeMonths, "年齢（ヶ月）"},
          {kAgeDays, "年齢（日）"},
          {kAlbumin, "アルブミン"},
          {kWholeBlood, "全血"},
          {kAutologous, "自己血"},
          {kFfp, "FFP"},
          {kMap, "MAP"},
          {kOtherAmount, "その他製剤の量"},
          {kPc, "PC"},
          {kBloodLoss, "出血量"},
          {kUrine, "尿量"},
          {kColloid, "膠質輸液"},
          {kCrystalloid, "晶質輸液"}}},
        {"date",
         [] { return std::make_unique<CDateDlg>(); },
         {{listview::datedlg::kYear, "年"},
          {listview::datedlg::kMonth, "月"},
          {listview::datedlg::kDay, "日"}}},
        {"aggregation menu",
         [] { return std::make_unique<CAggregateMenuDlg>(); },
         {{report::aggregatemenu::kYear, "集計年（西暦）"}}},
        {"hospital information",
         [] { return std::make_unique<CHospitalInfoDlg>(); },
         {{report::hospitalinfo::kBeds, "病床数"},
          {report::hospitalinfo::kSpecialists, "常勤専門医数"},
          {report::hospitalinfo::kFullTime, "常勤麻酔科医数"},
          {report::hospitalinfo::kPartTime, "非常勤麻酔科医数"}}},
        {"annual figures",
         [] { return std::make_unique<CHospitalStatsDlg>(); },
         {{report::hospitalstats::kOperations, "年間手術数"},
          {report::hospitalstats::kRotators, "ローテーター数"}}},
        {"incident", [] { return std::make_unique<CIncidentDlg>(); }, incidentNames()},
        {"person counts", [] { return std::make_unique<CPersonCountDlg>(); }, {}},
        {"filter", [&doc] { return std::make_unique<CFilterDlg>(doc); }, {}},
        {"display items", [] { return std::make_unique<CDisplayItemsDlg>(); }, {}},
        {"comorbidities", [] { return std::make_unique<CPreopDlg>(); }, {}},
        {"comorbidity note", [] { return std::make_unique<CPreopNoteDlg>(); }, {}},
        {"drug incident", [] { return std::make_unique<CDrugIncidentDlg>(); }, {}},
        {"passwords", [] { return std::make_unique<CPasswordDlg>(); }, {}},
        {"administrator menu", [] { return std::make_unique<CAdminMenuDlg>(); }, {}},
        {"report", [] { return std::make_unique<CReportTextDlg>(); }, {}},
        {"login", [] { return std::make_unique<CLoginDlg>(); }, {}},
        {"about", [] { return std::make_unique<CAboutDlg>(); }, {}},
    };
    for (const Case& c : cases) {
        const std::unique_ptr<fw::CDialog> dlg = c.make();
        EXPECT_EQ(messageNames(*dlg), c.expected) << c.dialog;
    }
}

// A limit is told with the field's name too.
TEST(FieldMessagesUiTest, RangeAndLengthMessagesNameTheField) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    CCaseFormDlg dlg(doc);
    MessageCatcher messages;
    testing_support::RunDialog(dlg, [&] {
        dlg.UpdateData(false);
        const std::pair<int, const char*> bad[] = {
            {entry::caseform::kAgeYears, "1001"},
            {entry::caseform::kAgeMonths, "13"},
            {entry::caseform::kAnesthesiaTime, "12:345"},
        };
        for (auto [id, text] : bad) {
            CString typed;
            CString::FromUtf8(text, typed);
            fw::detail::writeText(testing_support::ControlOf(dlg, id), typed);
            EXPECT_FALSE(dlg.UpdateData(true)) << id;
            fw::detail::writeText(testing_support::ControlOf(dlg, id), "0"_sj);
        }
        dlg.EndDialog(fw::kIdCancel);
    });
    EXPECT_EQ(messages.Texts(),
              (std::vector<std::string>{
                  "「年齢」には -1 から 1000 までの整数を入力してください。",
                  "「年齢（ヶ月）」には -1 から 12 までの整数を入力してください。",
                  "「麻酔時間」は 5 バイト以内で入力してください（全角文字は 2 バイトです）。"}));
}

} // namespace
