#include "entry/DrugIncidentDlg.h"
#include "entry/PreopDlg.h"
#include "framework/ui/DialogImpl.h"

#include "support/UiTestSupport.h"

#include <QTest>

#include <gtest/gtest.h>

#include <functional>

using fw::CDialog;
using fw::DialogAccess;

using testing_support::InNextDialog;
using testing_support::Press;
using testing_support::RunDialog;
using testing_support::TextOf;
using testing_support::TypeInto;
using testing_support::WidgetOf;

namespace {

bool IsRunning(CDialog& dialog) {
    const CDialog::Impl& d = DialogAccess::impl(dialog);
    return d.running && !d.ended;
}

enum : int {
    kAorticRupture = 1054, // code 1
    kTrauma = 1055,        // code 2
    kReBleeding = 1059,    // code 5
    kAsthma = 1114,        // code 14
    kOther = 1133,         // code 33
    kSlot1 = 1135,
    kSlot2 = 1136,
    kSlot3 = 1137,
    kClear = 1090,
    kToNote = 1145,
    kComment = 1152,
    kHypertension = 1055,
    kNoteOk = 1334,
    kBack = 1335,
};

TEST(PreopDlg, ButtonsFillTheSlotsInOrderAndExtendTheComment) {
    CPreopDlg dlg;
    dlg.Initialise(0, "");
    CString shown[3];
    RunDialog(dlg, [&] {
        EXPECT_EQ(TextOf(dlg, kSlot1), "");
        Press(dlg, kAorticRupture);
        Press(dlg, kTrauma);
        EXPECT_EQ(dlg.GetPackedCode(), 201);
        EXPECT_EQ(dlg.GetComment(), "大動脈破裂，外傷，"_sj);
        EXPECT_EQ(TextOf(dlg, kSlot2), "外傷"_sj);
        Press(dlg, kReBleeding);
        Press(dlg, kOther); // all slots taken: only the comment grows
        for (int i = 0; i < 3; ++i) {
            shown[i] = TextOf(dlg, kSlot1 + i);
        }
        QTest::keyClick(WidgetOf(dlg, kSlot1), Qt::Key_Escape);
    });
    EXPECT_EQ(dlg.GetPackedCode(), 1 + 100 * 2 + 10000 * 5);
    EXPECT_EQ(dlg.GetComment(), "大動脈破裂，外傷，術後再出血，その他，"_sj);
    EXPECT_EQ(shown[0], "大動脈破裂"_sj);
    EXPECT_EQ(shown[1], "外傷"_sj);
    EXPECT_EQ(shown[2], "術後再出血"_sj);
}

TEST(PreopDlg, DeleteEmptiesTheSlotsAndKeepsTheComment) {
    CPreopDlg dlg;
    dlg.Initialise(201, "既往あり，"_sj);
    CString before, after;
    const int result = RunDialog(dlg, [&] {
        before = TextOf(dlg, kSlot1);
        Press(dlg, kClear);
        after = TextOf(dlg, kSlot1);
        Press(dlg, kAsthma); // the slots fill from the first one again
        dlg.EndDialog(fw::kIdCancel);
    });
    EXPECT_EQ(result, fw::kIdCancel);
    EXPECT_EQ(before, "大動脈破裂"_sj);
    EXPECT_EQ(after, "");
    EXPECT_EQ(dlg.GetPackedCode(), 14);
    EXPECT_EQ(dlg.GetComment(), "既往あり，気管支喘息，"_sj);
}

TEST(PreopDlg, AnEmptyFirstSlotEmptiesTheOthers) {
    CPreopDlg dlg;
    dlg.Initialise(300, "");
    CString opened[3], added;
    RunDialog(dlg, [&] {
        for (int i = 0; i < 3; ++i) {
            opened[i] = TextOf(dlg, kSlot1 + i);
        }
        Press(dlg, kAsthma);
        added = TextOf(dlg, kSlot1);
        dlg.EndDialog(fw::kIdCancel);
    });
    EXPECT_EQ(opened[0] + opened[1] + opened[2], "");
    EXPECT_EQ(added, "気管支喘息"_sj);
    EXPECT_EQ(dlg.GetPackedCode(), 14);
}

TEST(PreopNoteDlg, QuickEntryKeepsWhatWasTypedAndBackReturnsToTheSlots) {
    CPreopDlg dlg;
    dlg.Initialise(2, "外傷，"_sj);
    bool selectionOpenAfterBack = false;
    CString shownAfterQuickEntry;
    const int result = RunDialog(dlg, [&] {
        InNextDialog([&](CDialog& note) {
            EXPECT_EQ(TextOf(note, kComment), "外傷，"_sj);
            TypeInto(note, kComment, "外傷，腰痛\n");
            Press(note, kHypertension);
            shownAfterQuickEntry = TextOf(note, kComment);
            Press(note, kBack);
        });
        Press(dlg, kToNote);
        selectionOpenAfterBack = IsRunning(dlg) && fw::ActiveDialog() == &dlg;
        Press(dlg, kAorticRupture);
        InNextDialog([&](CDialog& note) { Press(note, kNoteOk); });
        Press(dlg, kToNote);
    });
    EXPECT_EQ(shownAfterQuickEntry, "外傷，腰痛\r\n高血圧，"_sj);
    EXPECT_TRUE(selectionOpenAfterBack);
    EXPECT_EQ(result, fw::kIdOk);
    EXPECT_EQ(dlg.GetComment(), "外傷，腰痛\r\n高血圧，大動脈破裂，"_sj);
    EXPECT_EQ(dlg.GetPackedCode(), 2 + 100 * 1);
}

TEST(PreopNoteDlg, EnterMakesANewLineAndEscapeGoesBackWithTheEditedComment) {
    CPreopNoteDlg note;
    note.m_strComment = "糖尿病，"_sj;
    const int result = RunDialog(note, [&] {
        auto* edit = WidgetOf(note, kComment);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClicks(edit, "HbA1c 8");
        EXPECT_TRUE(IsRunning(note));
        QTest::keyClick(edit, Qt::Key_Escape);
    });
    EXPECT_EQ(result, entry::kBackToSelection);
    EXPECT_EQ(note.m_strComment, "糖尿病，\r\nHbA1c 8"_sj);
}

const char kDrugPrompt[] = "薬剤インシデントについてできるだけ詳細に書いてください。\n"
                           "人、薬剤、投与経路、時間、量など。";
enum : int { kPrompt = 1067, kDrugNote = 1182, kErase = 1181, kDrugOk = 1096 };

// Runs the drug incident dialog as the case form does, on the note before, and adds a line to the
// note by keyboard before exit runs.
int RunDrugIncident(CDrugIncidentDlg& dlg, const CString& before,
                    const std::function<void()>& exit) {
    CString::FromUtf8(kDrugPrompt, dlg.m_strPrompt);
    dlg.m_strDrugIncident = before;
    return RunDialog(dlg, [&] {
        QWidget* note = WidgetOf(dlg, kDrugNote);
        EXPECT_EQ(DialogAccess::impl(dlg).window->focusWidget(), note);
        EXPECT_EQ(TextOf(dlg, kPrompt), dlg.m_strPrompt); // shown in two lines, read back unchanged
        QTest::keyClick(note, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(note, Qt::Key_Return);
        QTest::keyClicks(note, "iv 10:30");
        exit();
    });
}

TEST(DrugIncidentDlg, OkReadsTheNoteEraseEmptiesItEscapeKeepsItAsItWas) {
    CDrugIncidentDlg confirmed;
    EXPECT_EQ(RunDrugIncident(confirmed, "ﾛｸﾛﾆｳﾑ 50mg"_sj, [&] { Press(confirmed, kDrugOk); }), fw::kIdOk);
    EXPECT_EQ(confirmed.m_strDrugIncident, "ﾛｸﾛﾆｳﾑ 50mg\r\niv 10:30"_sj);

    CDrugIncidentDlg erased;
    EXPECT_EQ(RunDrugIncident(erased, "誤投与"_sj, [&] { Press(erased, kErase); }), fw::kIdOk);
    EXPECT_EQ(erased.m_strDrugIncident, "");

    CDrugIncidentDlg escaped;
    EXPECT_EQ(
        RunDrugIncident(escaped, "誤投与"_sj,
                        [&] { QTest::keyClick(WidgetOf(escaped, kDrugNote), Qt::Key_Escape); }),
        2);
    EXPECT_EQ(escaped.m_strDrugIncident, "誤投与"_sj);
}

} // namespace
