// The reporting dialogs as the administrator works them: what they show, what they store, and
// which way each button leaves them.

#include "listview/DateDlg.h"
#include "report/AggregateMenuDlg.h"
#include "report/HospitalInfoDlg.h"
#include "report/HospitalStatsDlg.h"
#include "report/PersonCountDlg.h"
#include "report/ReportTextDlg.h"
#include "support/CaseBuilder.h"
#include "support/UiTestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QTest>

#include <deque>

using testing_support::MessageCatcher;
using testing_support::Press;
using testing_support::RunDialog;
using testing_support::TextOf;
using testing_support::TypeInto;
using testing_support::WidgetOf;

namespace {

// Runs each body in turn once a dialog with its id is up and running: a way through a flow
// whose dialogs open one after the other.
class DialogSteps {
public:
    DialogSteps() {
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }
    DialogSteps& Then(int dialogId, std::function<void(fw::CDialog&)> body) {
        m_steps.push_back({dialogId, std::move(body)});
        return *this;
    }
    bool Done() const { return m_steps.empty(); }

private:
    struct Step {
        int dialogId;
        std::function<void(fw::CDialog&)> body;
    };
    void poll() {
        fw::CDialog* active = fw::ActiveDialog();
        if (m_steps.empty() || !active || active->GetTemplateId() != m_steps.front().dialogId) {
            return;
        }
        const fw::CDialog::Impl& d = fw::DialogAccess::impl(*active);
        if (!d.running || d.ended) {
            return;
        }
        QApplication::setActiveWindow(d.window);
        Step step = std::move(m_steps.front());
        m_steps.pop_front();
        step.body(*active);
    }

    QTimer m_timer;
    std::deque<Step> m_steps;
};

std::string Shown(fw::CDialog& dlg, int id) {
    return TextOf(dlg, id).ToUtf8();
}

void Pick(fw::CDialog& dlg, int id, int index) {
    WidgetOf<QComboBox>(dlg, id)->setCurrentIndex(index);
}

} // namespace

TEST(HospitalInfoDlgUiTest, ShowsTheDocumentAndStoresWhatWasConfirmedInItsOwnOrder) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    CHospitalInfoDlg dlg;
    using namespace report::hospitalinfo;
    DialogSteps steps;
    steps.Then(report::kHospitalInfoDialogId, [](fw::CDialog& d) {
        EXPECT_EQ(Shown(d, kType), "大学病院");
        EXPECT_EQ(Shown(d, kLocation), "北海道");
        EXPECT_EQ(Shown(d, kBeds), "0");
        EXPECT_EQ(Shown(d, kSpecialists), "0");
        Pick(d, kType, 2);
        Pick(d, kLocation, 5);
        TypeInto(d, kBeds, "300");
        TypeInto(d, kSpecialists, "2.5");
        TypeInto(d, kFullTime, "3");
        TypeInto(d, kPartTime, "0.5");
        Press(d, kConfirm);
    });
    report::EditHospitalInfo(doc, dlg);
    EXPECT_EQ(doc.GetHospitalType(), 2);
    EXPECT_EQ(doc.GetHospitalLocation(), 5);
    EXPECT_EQ(doc.GetBeds(), 300);
    EXPECT_EQ(doc.GetSpecialists(), 2.5f);
    EXPECT_EQ(doc.GetFullTime(), 3.0f);
    EXPECT_EQ(doc.GetPartTime(), 0.5f);

    std::string reopened;
    steps.Then(report::kHospitalInfoDialogId, [&reopened](fw::CDialog& d) {
        reopened = Shown(d, kType) + "/" + Shown(d, kLocation) + "/" + Shown(d, kSpecialists);
        d.EndDialog(fw::kIdOk); // Enter would confirm nothing; end it as OK did
    });
    report::EditHospitalInfo(doc, dlg);
    EXPECT_EQ(reopened, "公立，自治体病院/関西/2.5");
}

TEST(HospitalInfoDlgUiTest, EscapeAfterARefusedConfirmationKeepsTheLoadedValues) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    doc.SetHospitalInfo(1, 1, 200, 1.0f, 2.0f, 3.0f);
    CHospitalInfoDlg dlg;
    using namespace report::hospitalinfo;
    MessageCatcher messages;
    DialogSteps steps;
    steps.Then(report::kHospitalInfoDialogId, [](fw::CDialog& d) {
        Pick(d, kLocation, 7);
        Pick(d, kType, 4);
        TypeInto(d, kBeds, "多い");
        Press(d, kConfirm); // refused at the beds, after location and type were taken
        EXPECT_TRUE(fw::DialogAccess::impl(d).running);
        QTest::keyClick(WidgetOf(d, kBeds), Qt::Key_Escape);
    });
    report::EditHospitalInfo(doc, dlg);
    EXPECT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(doc.GetHospitalType(), 1);
    EXPECT_EQ(doc.GetHospitalLocation(), 1);
    EXPECT_EQ(doc.GetBeds(), 200);
    EXPECT_EQ(doc.GetPartTime(), 3.0f);
}

// The figures that reach the society's file are finite numbers from 0 to 1000000: whole
// where the report writes whole numbers, fractions where it writes fractions.
TEST(HospitalFiguresUiTest, RefuseWhatIsNoFiniteNumberInRange) {
    const auto whole = [](const char* field) {
        return "「" + std::string(field) + "」には 0 から 1000000 までの整数を入力してください。";
    };
    const auto fraction = [](const char* field) {
        return "「" + std::string(field) + "」には 0 から 1000000 までの数値を入力してください。";
    };
    const struct {
        bool info; // the hospital information, else the annual figures
        int id;
        const char* typed;
        std::string message; // empty: taken
    } kCases[] = {
        {true, report::hospitalinfo::kBeds, "1000000", ""},
        {true, report::hospitalinfo::kBeds, "1000001", whole("病床数")},
        {true, report::hospitalinfo::kBeds, "-1", whole("病床数")},
        {true, report::hospitalinfo::kSpecialists, "2.5", ""},
        {true, report::hospitalinfo::kSpecialists, "3.4e38", fraction("常勤専門医数")},
        {true, report::hospitalinfo::kFullTime, "-0.01", fraction("常勤麻酔科医数")},
        {true, report::hospitalinfo::kPartTime, "-0", fraction("非常勤麻酔科医数")},
        {true, report::hospitalinfo::kPartTime, "1000000.5", fraction("非常勤麻酔科医数")},
        {false, report::hospitalstats::kOperations, "1000000", ""},
        {false, report::hospitalstats::kOperations, "2000000", whole("年間手術数")},
        {false, report::hospitalstats::kRotators, "0.5", ""},
        {false, report::hospitalstats::kRotators, "-3", fraction("ローテーター数")},
        {false, report::hospitalstats::kRotators, "1e30", fraction("ローテーター数")},
    };
    for (const auto& c : kCases) {
        MessageCatcher messages;
        CHospitalInfoDlg info;
        CHospitalStatsDlg stats;
        fw::CDialog& dlg = c.info ? static_cast<fw::CDialog&>(info) : stats;
        bool taken = false;
        RunDialog(dlg, [&] {
            dlg.UpdateData(false);
            TypeInto(dlg, c.id, c.typed);
            taken = dlg.UpdateData(true);
            dlg.EndDialog(fw::kIdCancel);
        });
        EXPECT_EQ(taken, c.message.empty()) << c.typed;
        const std::vector<std::string> expected =
            c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message};
        EXPECT_EQ(messages.Texts(), expected) << c.typed;
    }
}

TEST(ReportTextDlgUiTest, ReturnStaysInTheTextWhichCanBeSelectedAndCopied) {
    CReportTextDlg dlg;
    dlg.m_strText = "一行目\r\n二行目"_sj;
    bool openAfterReturn = false;
    RunDialog(dlg, [&] {
        auto* edit = WidgetOf<QPlainTextEdit>(dlg, report::reporttext::kText);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return);
        openAfterReturn = !fw::DialogAccess::impl(dlg).ended;
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
        Press(dlg, fw::kIdOk);
    });
    EXPECT_TRUE(openAfterReturn);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "一行目\n二行目");
}

TEST(PersonCountDlgUiTest, DateButtonsKeepTheNameAndTheChoiceAndNormaliseTheDay) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    for (int day : {1, 2, 3}) {
        CCaseRecord r = testing_support::ReportableCase("患者", 2006, 3, day);
        r.SetAnesthesiologist(0, "青木"_sj);
        doc.AddRecord(r);
    }
    using namespace report::personcount;
    std::string afterDate;
    std::string counted;
    std::string cleared;
    DialogSteps steps;
    steps
        .Then(report::kPersonCountDialogId,
              [](fw::CDialog& d) {
                  EXPECT_EQ(Shown(d, kStart), "指定無し");
                  TypeInto(d, kPerson, "青木");
                  Press(d, kEquals);
                  Press(d, kStartButton);
              })
        .Then(listview::kDateDialogId,
              [](fw::CDialog& d) {
                  EXPECT_EQ(Shown(d, listview::datedlg::kMessage), "開始日指定");
                  TypeInto(d, listview::datedlg::kYear, "2006");
                  TypeInto(d, listview::datedlg::kMonth, "2");
                  TypeInto(d, listview::datedlg::kDay, "30");
                  Press(d, listview::datedlg::kConfirm);
              })
        .Then(report::kPersonCountDialogId,
              [&](fw::CDialog& d) {
                  afterDate = Shown(d, kPerson) + "/" +
                              std::to_string(WidgetOf<QAbstractButton>(d, kEquals)->isChecked()) +
                              "/" + Shown(d, kStart);
                  Press(d, kCount);
              })
        .Then(report::kPersonCountDialogId,
              [&](fw::CDialog& d) {
                  counted = Shown(d, kMethodInCharge[0]) + "/" + Shown(d, kSiteInCharge[0]);
                  Press(d, kEndButton);
              })
        .Then(listview::kDateDialogId, [](fw::CDialog& d) { Press(d, listview::datedlg::kNoDate); })
        .Then(report::kPersonCountDialogId,
              [&](fw::CDialog& d) {
                  TypeInto(d, kPerson, "");
                  Press(d, kCount);
              })
        .Then(report::kPersonCountDialogId, [&](fw::CDialog& d) {
            cleared = Shown(d, kMethodInCharge[0]) + "/" + Shown(d, kEnd);
            Press(d, kClose);
        });
    report::CountPerPerson(doc);
    EXPECT_TRUE(steps.Done());
    EXPECT_EQ(afterDate, "青木/1/2006 / 3 / 2");
    EXPECT_EQ(counted, "2/2"); // 3/2 and 3/3: the day shown is the day compared
    EXPECT_EQ(cleared, "0/指定無し");
}

TEST(PersonCountDlgUiTest, AnEmptyNameClearsTheListOfIncompleteCases) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    CCaseRecord r = testing_support::ReportableCase("未入力", 2006, 3, 1);
    r.SetAnesthesiologist(0, "青木"_sj);
    r.SetnMethod(0);
    doc.AddRecord(r);
    using namespace report::personcount;
    std::string listed;
    std::string afterEmpty;
    DialogSteps steps;
    steps
        .Then(report::kPersonCountDialogId,
              [](fw::CDialog& d) {
                  TypeInto(d, kPerson, "青");
                  Press(d, kCount);
              })
        .Then(report::kPersonCountDialogId,
              [&](fw::CDialog& d) {
                  listed = Shown(d, kMessage);
                  TypeInto(d, kPerson, "");
                  Press(d, kCount);
              })
        .Then(report::kPersonCountDialogId, [&](fw::CDialog& d) {
            afterEmpty = Shown(d, kMessage) + "/" + Shown(d, kSiteInCharge[0]);
            QTest::keyClick(WidgetOf(d, kPerson), Qt::Key_Escape);
        });
    report::CountPerPerson(doc);
    EXPECT_EQ(listed,
              "以下の患者で必要な情報が入力されていません。\r\n2006 / 3 / 1      未入力\r\n");
    EXPECT_EQ(afterEmpty, "/0");
}
