#include "framework/ui/DialogImpl.h"
#include "incident/IncidentCodes.h"
#include "incident/IncidentDlg.h"

#include "support/UiTestSupport.h"

#include <QAbstractButton>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using fw::CDialog;
using fw::DialogAccess;

using testing_support::MessageCatcher;
using testing_support::RunDialog;
using testing_support::TypeInto;
using testing_support::WidgetOf;

namespace {

using namespace incident::incidentdlg;
constexpr int kCategory = kCodeIds[incident::kCategory];
constexpr int kDetail = kCodeIds[incident::kTypeDetail];
constexpr int kOnset = kCodeIds[incident::kOnset];
constexpr int kCause1 = kCodeIds[incident::kCause1];
constexpr int kFactorE = kCodeIds[incident::kFirstFactor + 4];
constexpr int kTypeNote = kNoteIds[0];
constexpr int kCauseNote = kNoteIds[2];

std::string Shown(CDialog& dialog, int id) {
    return testing_support::TextOf(dialog, id).ToUtf8();
}

// A focus move by the Tab key, as the user goes from field to field.
void TabInto(CDialog& dialog, int id) {
    WidgetOf(dialog, id)->setFocus(Qt::TabFocusReason);
}

int IdOfFocus(CDialog& dialog) {
    const CDialog::Impl& d = DialogAccess::impl(dialog);
    QWidget* focus = d.window->focusWidget();
    for (const fw::detail::Control& c : d.controls) {
        if (c.widget == focus) {
            return c.id();
        }
    }
    return 0;
}

struct Incident {
    int values[17] = {};
    CString texts[3];
};

void Open(CIncidentDlg& dlg, const Incident& incident) {
    dlg.SetIncident(incident.values, incident.texts);
    dlg.UpdateTexts();
}

TEST(IncidentDlg, ANewIncidentShowsTheNamesOfAllZerosAndNoHelp) {
    CIncidentDlg dlg;
    Open(dlg, Incident{});
    std::vector<std::string> names, codes;
    std::string help = "?";
    RunDialog(dlg, [&] {
        for (int k = 0; k < 17; ++k) {
            names.push_back(Shown(dlg, kNameIds[k]));
            codes.push_back(Shown(dlg, kCodeIds[k]));
            // codes are typed as half-width digits whatever the input method was doing
            EXPECT_FALSE(testing_support::TakesInputMethod(WidgetOf(dlg, kCodeIds[k])));
        }
        EXPECT_TRUE(testing_support::TakesInputMethod(WidgetOf(dlg, kTypeNote)));
        help = Shown(dlg, kHelp);
        dlg.EndDialog(fw::kIdCancel);
    });
    const std::vector<std::string> factor(9, "関与無し");
    std::vector<std::string> expected = {
        "危機的偶発症", "心停止",         "手術開始前",           "Yes",
        "後遺症無し",   "麻酔管理が原因", "ヒューマンファクター", "主麻酔薬過量投与"};
    expected.insert(expected.end(), factor.begin(), factor.end());
    EXPECT_EQ(names, expected);
    EXPECT_EQ(codes, std::vector<std::string>(17, "0"));
    EXPECT_EQ(help, "");
}

TEST(IncidentDlg, NamesFollowEachChangeAndHelpFollowsTheFocus) {
    CIncidentDlg dlg;
    Open(dlg, Incident{});
    std::string category, detail, helpBeforeMove, nerveHelp, keptHelp;
    RunDialog(dlg, [&] {
        TypeInto(dlg, kCategory, "2");
        category = Shown(dlg, kNameIds[0]);
        detail = Shown(dlg, kNameIds[1]);
        helpBeforeMove = Shown(dlg, kHelp);
        TabInto(dlg, kDetail);
        nerveHelp = Shown(dlg, kHelp);
        // a category without a list of details leaves the help of the last field in place
        TypeInto(dlg, kCategory, "7");
        TabInto(dlg, kDetail);
        keptHelp = Shown(dlg, kHelp);
        dlg.EndDialog(fw::kIdCancel);
    });
    EXPECT_EQ(category, "その他の神経系偶発症");
    EXPECT_EQ(detail, "眼窩上神経");
    EXPECT_EQ(helpBeforeMove, "");
    EXPECT_EQ(nerveHelp.substr(0, nerveHelp.find('\n')), " 0: 眼窩上神経 \r");
    EXPECT_NE(nerveHelp.find("\n17: 後脛骨神経 \r\n"), std::string::npos);
    EXPECT_EQ(keptHelp, nerveHelp);
}

TEST(IncidentDlg, FactorsNeedNoEntryOutsideAnesthesiaManagement) {
    CIncidentDlg dlg;
    Incident incident;
    incident.values[5] = 2;  // cause 1: a preoperative comorbidity
    incident.values[12] = 3; // factor e
    Open(dlg, incident);
    std::string help, name, degreeHelp;
    RunDialog(dlg, [&] {
        TabInto(dlg, kFactorE);
        help = Shown(dlg, kHelp);
        name = Shown(dlg, kNameIds[12]);
        TabInto(dlg, kCause1);
        TypeInto(dlg, kCause1, "0");
        TabInto(dlg, kFactorE);
        degreeHelp = Shown(dlg, kHelp);
        dlg.EndDialog(fw::kIdCancel);
    });
    EXPECT_EQ(help, "入力不要");
    EXPECT_EQ(name, "かなり関与");
    EXPECT_EQ(degreeHelp.substr(0, degreeHelp.find('\r')), " 0: 関与無し");
}

TEST(IncidentDlg, ATextThatIsNoNumberIsReportedAndTakesBackItsValue) {
    CIncidentDlg dlg;
    Incident incident;
    incident.values[2] = 1;
    Open(dlg, incident);
    MessageCatcher messages;
    std::string shown, name;
    RunDialog(dlg, [&] {
        TypeInto(dlg, kOnset, "1x");
        shown = Shown(dlg, kOnset);
        name = Shown(dlg, kNameIds[2]);
        dlg.EndDialog(fw::kIdCancel);
    });
    EXPECT_EQ(messages.Texts(),
              std::vector<std::string>{"「" + incident::ValueLabel(incident::kOnset).ToUtf8() +
                                       "」には整数を入力してください。"});
    EXPECT_EQ(shown, "1");
    EXPECT_EQ(name, "手術中");
}

// Enter confirms nothing; 偶発症に登録 reads every field, 削除 and Escape cancel.
TEST(IncidentDlg, Exits) {
    CIncidentDlg dlg;
    Incident incident;
    incident.texts[1] = "回復"_sj;
    Open(dlg, incident);
    const int registered = RunDialog(dlg, [&] {
        TypeInto(dlg, kCategory, "3");
        TypeInto(dlg, kCodeIds[16], "-4"); // stored as typed, without a range test
        TypeInto(dlg, kTypeNote, "術後に判明");
        TypeInto(dlg, kCauseNote, "体位");
        QTest::keyClick(WidgetOf(dlg, kCategory), Qt::Key_Return);
        EXPECT_FALSE(DialogAccess::impl(dlg).ended);
        static_cast<QAbstractButton*>(WidgetOf(dlg, kRegister))->click();
    });
    Incident out;
    dlg.GetIncident(out.values, out.texts);
    EXPECT_EQ(registered, 1);
    EXPECT_EQ(out.values[0], 3);
    EXPECT_EQ(out.values[16], -4);
    EXPECT_EQ(out.texts[0], "術後に判明"_sj);
    EXPECT_EQ(out.texts[1], "回復"_sj);
    EXPECT_EQ(out.texts[2], "体位"_sj);

    CIncidentDlg deleted, escaped;
    EXPECT_EQ(
        RunDialog(deleted,
                  [&] { static_cast<QAbstractButton*>(WidgetOf(deleted, kDelete))->click(); }),
        2);
    EXPECT_EQ(
        RunDialog(escaped, [&] { QTest::keyClick(WidgetOf(escaped, kCategory), Qt::Key_Escape); }),
        2);
}

TEST(IncidentDlg, TabGoesDownTheCodesThenAddendaButtonsAndReadOnlyFields) {
    CIncidentDlg dlg;
    Open(dlg, Incident{});
    std::vector<int> order;
    RunDialog(dlg, [&] {
        order.push_back(IdOfFocus(dlg));
        for (int i = 0; i < 23; ++i) {
            QTest::keyClick(DialogAccess::impl(dlg).window->focusWidget(), Qt::Key_Tab);
            order.push_back(IdOfFocus(dlg));
        }
        dlg.EndDialog(fw::kIdCancel);
    });
    std::vector<int> expected(std::begin(kCodeIds), std::end(kCodeIds));
    expected.insert(expected.end(), {kNoteIds[0], kNoteIds[1], kNoteIds[2], kDelete, kRegister,
                                     kNameIds[0], kNameIds[1]});
    EXPECT_EQ(order, expected);
}

} // namespace
