#include "entry/CaseFormDlg.h"

#include "framework/ui/DialogImpl.h"
#include "support/CaseBuilder.h"
#include "support/UiTestSupport.h"

#include <QClipboard>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace entry::caseform;
using fw::CDialog;

using testing_support::MessageCatcher;
using testing_support::WhenOpen;

namespace {

CDialog& Form() {
    return *fw::ActiveDialog();
}
fw::detail::Control& ControlOf(int id) {
    return testing_support::ControlOf(Form(), id);
}
std::string TextOf(int id) {
    return fw::detail::scriptText(ControlOf(id)).ToUtf8();
}
void Type(int id, const std::string& utf8) {
    testing_support::TypeInto(Form(), id, utf8.c_str());
}
void Press(int id) {
    testing_support::Press(Form(), id);
}
bool Focused(int id) {
    return testing_support::FocusOf(Form()) == ControlOf(id).widget;
}
bool StillOpen() {
    return fw::ActiveDialog() && fw::ActiveDialog()->GetTemplateId() == entry::kCaseFormId;
}
// Presses a button of the form whose sub-dialog then closes at once with result; validation
// messages before it are left to the catcher.
void PressAndClose(int id, int result) {
    auto* timer = new QTimer;
    timer->setInterval(1);
    QObject::connect(timer, &QTimer::timeout, [timer, result] {
        CDialog* active = fw::ActiveDialog();
        const int shown = active ? active->GetTemplateId() : 0;
        if (shown != entry::kCaseFormId && shown != fw::kMessageDialogId && shown != 0) {
            active->EndDialog(result);
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
    Press(id);
}

CString sj(const char* utf8) {
    CString s;
    CString::FromUtf8(utf8, s);
    return s;
}

class CaseFormUi : public ::testing::Test {
protected:
    CaseFormUi() : doc(CQuellmarkDoc::NoFile{}) {}
    CQuellmarkDoc doc;
    MessageCatcher messages;
};

// With Japanese input on, numbers, times and the patient ID must still arrive half-width: each
// kind of such field (integer, fraction, time, ID) tells the input method it takes no
// conversion, and what arrives full-width all the same is folded. The texts keep the input
// method.
TEST_F(CaseFormUi, NumberAndTimeFieldsTakeHalfWidthInput) {
    WhenOpen([&] {
        for (int id : {kAgeYears,    kAgeMonths,  kAgeDays, kHeight,      kWeight,
                       kYear,        kMonth,      kDay,     kCrystalloid, kColloid,
                       kUrine,       kBloodLoss,  kMap,     kFfp,         kPc,
                       kAutologous,  kWholeBlood, kAlbumin, kOtherAmount, kAnesthesiaTime,
                       kSurgeryTime, kId}) {
            EXPECT_FALSE(testing_support::TakesInputMethod(ControlOf(id).widget)) << id;
        }
        for (int id : {kName, kKana, kDisease, kProcedure, kOtherName, kTransfusionNote}) {
            EXPECT_TRUE(testing_support::TakesInputMethod(ControlOf(id).widget)) << id;
        }
        const struct {
            int id;
            const char* typed;
            const char* shown;
        } kFolded[] = {
            {kAgeYears, "４５", "45"},
            {kWeight, "－５２．５", "-52.5"},
            {kAnesthesiaTime, "１：３０", "1:30"},
            {kId, "ＡＢ－０１２３ｘ", "AB-0123x"},
            {kName, "４５", "４５"},
        };
        for (const auto& f : kFolded) {
            auto* edit = static_cast<QLineEdit*>(ControlOf(f.id).widget);
            edit->clear();
            edit->setFocus();
            for (QChar key : QString::fromUtf8(f.typed)) {
                QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(key));
                QApplication::sendEvent(edit, &press);
            }
            EXPECT_EQ(TextOf(f.id), f.shown) << f.id;
        }
        QApplication::clipboard()->setText(QString::fromUtf8("１／２"));
        auto* age = static_cast<QLineEdit*>(ControlOf(kAgeDays).widget);
        age->clear();
        age->paste();
        EXPECT_EQ(TextOf(kAgeDays), "1/2");
        auto& form = static_cast<CCaseFormDlg&>(Form());
        Type(kAgeDays, "0");
        EXPECT_TRUE(form.UpdateData(true));
        EXPECT_EQ(form.m_nAgeYears, 45);
        Form().EndDialog(fw::kIdCancel);
    });
    entry::RunNewCase(doc);
}

// A full-width ID pasted or typed into the form is stored half-width; one stored full-width by
// an earlier version shows as it is and stays so while nobody edits it.
TEST_F(CaseFormUi, APastedFullWidthIdIsStoredHalfWidthAndAnOldOneLeftAloneStays) {
    WhenOpen([&] {
        QApplication::clipboard()->setText(QString::fromUtf8("ＩＤ　００１２"));
        auto* id = static_cast<QLineEdit*>(ControlOf(kId).widget);
        id->setFocus();
        id->paste();
        Type(kName, "佐藤");
        Press(kConfirm);
    });
    EXPECT_EQ(entry::RunNewCase(doc), fw::kIdOk);
    ASSERT_EQ(doc.GetRecordCount(), 1);
    EXPECT_EQ(doc.RecordAt(0).GetstrId(), "ID 0012");

    CCaseRecord old = testing_support::BlankCase("鈴木");
    old.SetstrId(sj("００９９"));
    doc.AddRecord(old);
    std::string shown;
    WhenOpen([&] {
        shown = TextOf(kId);
        Press(kConfirm);
    });
    EXPECT_EQ(entry::RunExistingCase(doc, 1), fw::kIdOk);
    EXPECT_EQ(shown, "００９９");
    EXPECT_EQ(doc.RecordAt(1).GetstrId(), sj("００９９"));

    WhenOpen([&] { // an edit makes it a typed ID, folded whole
        Type(kId, "００９９１");
        Press(kConfirm);
    });
    EXPECT_EQ(entry::RunExistingCase(doc, 1), fw::kIdOk);
    EXPECT_EQ(doc.RecordAt(1).GetstrId(), "00991");
}

TEST_F(CaseFormUi, ConfirmingStopsAtTheFirstBadValueInExchangeOrder) {
    WhenOpen([&] {
        Type(kName, "佐藤");
        Type(kKana, "さとう");  // read after the height
        Type(kHeight, "170cm"); // fails
        Press(kConfirm);
        EXPECT_TRUE(Focused(kHeight));
        auto& form = static_cast<CCaseFormDlg&>(Form());
        EXPECT_EQ(form.m_strName, sj("佐藤"));
        EXPECT_EQ(form.m_strKana, "");
        Type(kHeight, "170");
        Type(kAgeMonths, "13");
        Press(kConfirm);
        EXPECT_TRUE(Focused(kAgeMonths));
        EXPECT_EQ(form.m_strKana, sj("さとう"));
        Type(kAgeMonths, "12");
        Press(kConfirm);
    });
    EXPECT_EQ(entry::RunNewCase(doc), fw::kIdOk);
    EXPECT_EQ(messages.Take(),
              (std::vector<std::string>{
                  "「身長(cm)」には数値を入力してください。",
                  "「年齢（ヶ月）」には -1 から 12 までの整数を入力してください。"}));
    ASSERT_EQ(doc.GetRecordCount(), 1);
    EXPECT_EQ(doc.RecordAt(0).GetnAgeMonths(), 12);
}

TEST_F(CaseFormUi, LimitsAtTheirEdges) {
    WhenOpen([&] {
        Type(kAnesthesiaTime, "12:345");
        EXPECT_EQ(TextOf(kAnesthesiaTime), "12:34");
        Type(kSurgeryTime, "あいう");
        EXPECT_EQ(TextOf(kSurgeryTime), "あい");
        Type(kTransfusionNote, std::string(101, 'n'));
        EXPECT_EQ(TextOf(kTransfusionNote), std::string(100, 'n'));
        Type(kOtherName, std::string(20, 'o') + "製剤１２３");
        EXPECT_EQ(TextOf(kOtherName), std::string(20, 'o') + "製剤１２３");
        Type(kOtherName, std::string(39, 'o') + "剤");
        EXPECT_EQ(TextOf(kOtherName), std::string(39, 'o'));
        const auto accepts = [](int id, const char* good, const char* bad) {
            Type(id, bad);
            EXPECT_FALSE(Form().UpdateData(true)) << id;
            EXPECT_TRUE(Focused(id)) << id;
            Type(id, good);
        };
        accepts(kAgeYears, "-1", "-2");
        accepts(kAgeYears, "1000", "1001");
        accepts(kAgeDays, "31", "32");
        for (int id : {kAlbumin, kWholeBlood, kAutologous, kFfp, kMap, kOtherAmount, kPc}) {
            accepts(id, "999999", "1000000");
            accepts(id, "0", "-1");
        }
        Type(kBloodLoss, "-5");
        Type(kUrine, "2000000");
        EXPECT_TRUE(Form().UpdateData(true));
        Form().EndDialog(fw::kIdCancel);
    });
    EXPECT_EQ(entry::RunNewCase(doc), 2);
    EXPECT_EQ(messages.Take().size(), 17u);
    EXPECT_EQ(doc.GetRecordCount(), 0);
}

TEST_F(CaseFormUi, ADateOutsideTheCalendarTimeKeepsTheFormOpen) {
    WhenOpen([&] {
        Type(kName, "x");
        for (const char* year : {"2100", "1960"}) {
            Type(kYear, year);
            Press(kConfirm);
            EXPECT_TRUE(StillOpen());
            EXPECT_TRUE(Focused(kYear));
        }
        Type(kYear, "2010");
        Type(kMonth, "13");
        Type(kDay, "1");
        Press(kConfirm);
    });
    EXPECT_EQ(entry::RunNewCase(doc), fw::kIdOk);
    EXPECT_EQ(messages.Take(), (std::vector<std::string>(2, "日付の指定が正しくありません")));
    ASSERT_EQ(doc.GetRecordCount(), 1);
    EXPECT_EQ(fw::LocalDateOf(doc.RecordAt(0).GettSurgery()), (fw::LocalDate{2011, 1, 1}));
}

TEST_F(CaseFormUi, ListsSelectWholeTextsAndAnUnchangedCaseStaysTheSame) {
    CCaseRecord r = testing_support::BlankCase("田中", 2011, 5, 6);
    r.SetnSite(23);
    r.SetnMethod(1);
    r.SetnPosition(6);
    r.SetstrAsa("1");
    r.SetAnesthesiologist(1, sj("名簿外"));
    r.SetfHeight(165.12345f); // more digits than six
    r.SetfWeight(58.5f);
    doc.AddRecord(r);
    doc.AddRecord(testing_support::BlankCase("次", 2011, 5, 7));
    doc.GetAnesthesiologistList().Add(sj("青木"));
    WhenOpen([&] {
        EXPECT_EQ(TextOf(kSite), "その他");
        EXPECT_EQ(TextOf(kMethod), "全身麻酔");
        EXPECT_EQ(TextOf(kPosition), "その他");
        EXPECT_EQ(TextOf(kAsa), "1");
        EXPECT_EQ(TextOf(kAnesthesiologist2), "名簿外");
        EXPECT_EQ(static_cast<QComboBox*>(ControlOf(kAnesthesiologist3).widget)->count(), 1);
        Press(kIdButton); // both IDs are empty, but an existing case takes nothing
        EXPECT_EQ(TextOf(kName), "田中");
        Press(kConfirm);
    });
    EXPECT_EQ(entry::RunExistingCase(doc, 0), fw::kIdOk);
    CCaseRecord stored = doc.GetRecord(0);
    EXPECT_EQ(fw::LocalDateOf(stored.GettSurgery()), fw::LocalDateOf(r.GettSurgery()));
    stored.SettSurgery(r.GettSurgery());
    EXPECT_EQ(stored, r);
    EXPECT_EQ(doc.GetAnesthesiologistList().GetSize(), 1);
}

TEST_F(CaseFormUi, IncidentDialogResults) {
    WhenOpen([&] {
        Type(kName, "x");
        PressAndClose(kIncidentButton, fw::kIdOk);
        EXPECT_EQ(TextOf(kIncidentStatus), "あり");
        Form().EndDialog(fw::kIdCancel);
    });
    entry::RunNewCase(doc);
    EXPECT_EQ(doc.GetIncidentCount(), 0); // entered, then the form was cancelled

    WhenOpen([&] {
        Type(kName, "y");
        PressAndClose(kIncidentButton, fw::kIdCancel);
        EXPECT_EQ(TextOf(kIncidentStatus), "削除");
        Press(kConfirm);
    });
    entry::RunNewCase(doc);
    EXPECT_EQ(doc.GetIncidentCount(), 0);
    EXPECT_EQ(doc.RecordAt(0).GetnIncidentIndex(), -1);

    WhenOpen([&] {
        PressAndClose(kIncidentButton, fw::kIdOk);
        Press(kConfirm);
    });
    entry::RunExistingCase(doc, 0);
    EXPECT_EQ(doc.GetIncidentCount(), 1);
    EXPECT_EQ(doc.RecordAt(0).GetnIncidentIndex(), 0);
}

TEST_F(CaseFormUi, ButtonsAfterAFailedReadKeepWhatWasTyped) {
    doc.AddRecord(testing_support::BlankCase("前回", 2010, 1, 1));
    WhenOpen([&] {
        Type(kKana, "いま");
        Type(kHeight, "?");
        PressAndClose(kIncidentButton, fw::kIdCancel);
        EXPECT_EQ(TextOf(kIncidentStatus), "削除");
        EXPECT_EQ(TextOf(kKana), "いま");
        EXPECT_EQ(TextOf(kHeight), "?");
        Press(kIdButton); // the ID is empty, as the earlier case's
        EXPECT_EQ(TextOf(kName), "前回");
        EXPECT_EQ(TextOf(kKana), ""); // copied from the earlier case
        EXPECT_EQ(TextOf(kHeight), "0");
        Type(kKana, "いま");
        Type(kAgeYears, "x");
        PressAndClose(kPreopButton, 2);
        EXPECT_EQ(TextOf(kKana), "いま");
        EXPECT_EQ(TextOf(kAgeYears), "x");
        Form().EndDialog(fw::kIdCancel);
    });
    entry::RunNewCase(doc);
    EXPECT_EQ(messages.Take().size(), 3u);
}

} // namespace
