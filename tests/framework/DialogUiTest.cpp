#include "framework/ui/Dialog.h"
#include "framework/ui/DialogImpl.h"

#include "support/UiTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

#include <random>

#include <string>
#include <vector>

using namespace fw;

using testing_support::FocusOf;
using testing_support::MessageCatcher;
using testing_support::RunDialog;
using testing_support::TypeInto;
using testing_support::WidgetOf;

namespace {

void SendText(QWidget* widget, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
}

enum : int {
    kName = 1001,
    kAge = 1002,
    kHeight = 1003,
    kTime = 1004,
    kNotes = 1005,
    kSite = 1006,
    kRemark = 1007,
    kFlag = 1008,
    kRadioA = 1010,
    kRadioB = 1011,
    kRadioC = 1012,
    kList = 1020,
    kTitle = 1030,
};

DlgTemplate FormTemplate(unsigned okStyle) {
    return DlgTemplate{
        900,
        260,
        200,
        nullptr,
        {
            {kStaticId, CtlKind::Static, 5, 5, 40, 8, "名前"},
            {kName, CtlKind::Edit, 50, 5, 80, 14},
            {kStaticId, CtlKind::Static, 5, 20, 40, 8, "年齢"},
            {kAge, CtlKind::Edit, 50, 20, 40, 14},
            // Named by the template: the label before it would be the age's.
            {kHeight, CtlKind::Edit, 50, 35, 40, 14, "", kNone, {}, "身長(cm)"},
            {kStaticId, CtlKind::Static, 5, 50, 40, 8, "時間"},
            {kTime, CtlKind::Edit, 50, 50, 40, 14},
            {kNotes, CtlKind::Edit, 50, 65, 120, 40, "", kMultiLine | kWantReturn | kVScroll},
            {kSite, CtlKind::DropList, 50, 110, 100, 80, "", kNone, {"その他の心臓手術", "その他"}},
            {kRemark, CtlKind::ComboEdit, 50, 125, 100, 80, "", kSorted, {"羊水込み", "およそ"}},
            {kFlag, CtlKind::Check, 50, 140, 60, 10, "停止"},
            {kRadioA, CtlKind::Radio, 120, 140, 30, 10, "A", kGroup},
            {kRadioB, CtlKind::Radio, 150, 140, 30, 10, "B"},
            {kRadioC, CtlKind::Radio, 180, 140, 30, 10, "C"},
            {kList, CtlKind::ListCtrl, 180, 5, 70, 60, "", kMultiSelect},
            {kTitle, CtlKind::Edit, 180, 70, 70, 14, "", kReadOnly},
            {1, CtlKind::Push, 150, 180, 50, 14, "OK", kDefault | okStyle},
            {2, CtlKind::Push, 205, 180, 50, 14, "ｷｬﾝｾﾙ"},
        }};
}

class CFormDlg : public CDialog {
public:
    explicit CFormDlg(unsigned okStyle = kNone) : CDialog(FormTemplate(okStyle)) {}

    CString m_strName;
    int m_nAge = 0;
    float m_fHeight = 0;
    CString m_strTime;
    CString m_strNotes;
    CString m_strSite;
    CString m_strRemark;
    int m_bFlag = 0;
    int m_nRadio = -1;

    using CDialog::ComboAddString;
    using CDialog::ComboAddStrings;
    using CDialog::GetDlgItemText;
    using CDialog::ListInsertItem;
    using CDialog::ListIsSelected;
    using CDialog::OnClicked;
    using CDialog::OnEditChange;
    using CDialog::OnSetFocus;
    using CDialog::SetDlgItemText;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, kName, m_strName);
        DDX_Text(pDX, kAge, m_nAge);
        DDV_MinMaxInt(pDX, m_nAge, -1, 1000);
        DDX_Text(pDX, kHeight, m_fHeight);
        DDX_Text(pDX, kTime, m_strTime);
        DDV_MaxChars(pDX, m_strTime, 5);
        DDX_Text(pDX, kNotes, m_strNotes);
        DDX_CBString(pDX, kSite, m_strSite);
        DDX_CBString(pDX, kRemark, m_strRemark);
        DDX_Check(pDX, kFlag, m_bFlag);
        DDX_Radio(pDX, kRadioA, m_nRadio);
    }
};

TEST(DialogExchange, ReadingStopsAtTheFirstBadValueAndFocusesIt) {
    CFormDlg dlg;
    MessageCatcher messages;
    bool read = true;
    RunDialog(dlg, [&] {
        dlg.SetDlgItemText(kName, "山田"_sj);
        dlg.SetDlgItemText(kAge, "12a");
        dlg.SetDlgItemText(kHeight, "170.5");
        read = dlg.UpdateData(true);
        EXPECT_EQ(FocusOf(dlg), WidgetOf<QLineEdit>(dlg, kAge));
        dlg.EndDialog(fw::kIdCancel);
    });
    EXPECT_FALSE(read);
    EXPECT_EQ(dlg.m_strName, "山田"_sj); // read before the failure
    EXPECT_EQ(dlg.m_fHeight, 0.0f);      // never reached
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(messages.Texts()[0], "「年齢」には整数を入力してください。");
}

TEST(DialogExchange, ValidationMessagesNameTheLimit) {
    CFormDlg dlg;
    MessageCatcher messages;
    RunDialog(dlg, [&] {
        dlg.UpdateData(false);
        dlg.SetDlgItemText(kAge, "1001");
        EXPECT_FALSE(dlg.UpdateData(true));
        EXPECT_EQ(dlg.m_nAge, 1001); // the member takes the value before the range check
        dlg.SetDlgItemText(kAge, "-1");
        dlg.SetDlgItemText(kHeight, "１７０");
        EXPECT_FALSE(dlg.UpdateData(true));
        dlg.SetDlgItemText(kHeight, " 1e2 ");
        dlg.SetDlgItemText(kTime, "あいう"_sj); // written by the program, so not refused
        EXPECT_FALSE(dlg.UpdateData(true));
        EXPECT_EQ(FocusOf(dlg), WidgetOf<QLineEdit>(dlg, kTime));
        dlg.EndDialog(fw::kIdCancel);
    });
    EXPECT_EQ(dlg.m_fHeight, 100.0f);
    EXPECT_EQ(messages.Texts(),
              (std::vector<std::string>{
                  "「年齢」には -1 から 1000 までの整数を入力してください。",
                  "「身長(cm)」には数値を入力してください。",
                  "「時間」は 5 バイト以内で入力してください（全角文字は 2 バイトです）。"}));
}

TEST(DialogExchange, IntegerTexts) {
    const std::vector<std::pair<const char*, int>> good = {{"0", 0},
                                                           {" 42 ", 42},
                                                           {"+7", 7},
                                                           {"-1", -1},
                                                           {"\t5", 5},
                                                           {"2147483647", 2147483647},
                                                           {"-2147483648", -2147483647 - 1},
                                                           {"007", 7}};
    for (const auto& [text, expected] : good) {
        int value = 99;
        EXPECT_TRUE(detail::parseDialogInt(text, value)) << text;
        EXPECT_EQ(value, expected) << text;
    }
    for (const char* text : {"", "  ", "-", "+", "1 2", "12a", "1.0", "1e3", "0x10", "2147483648",
                             "-2147483649", "99999999999999999999", "１２", "--1"}) {
        int value = 99;
        EXPECT_FALSE(detail::parseDialogInt(text, value)) << text;
    }
}

// However wide the box, a message breaks between phrases only, never inside a date with its
// time or a figure; and it does break where a line is too long.
TEST(DialogText, MessageLinesNeverSplitANumber) {
    const QString text = QString::fromUtf8(
        "このデータファイルは別のプログラムが使用中です（コンピューター vm、プロセス 26314、"
        "2026/12/09 21:44:56 から）。そのプログラムを終了してから起動し直してください。合計 "
        "1,234.5 件、12:30 まで。");
    const QFontMetrics metrics(detail::dialogFont());
    const QStringList whole = {"2026/12/09 21:44:56", "1,234.5", "12:30"};
    const int widest = metrics.horizontalAdvance(text);
    for (int width = metrics.horizontalAdvance(whole[0]); width <= widest + 10; width += 3) {
        const QString lines = detail::brokenIntoLines(text, metrics, width);
        ASSERT_EQ(QString(lines).remove(QLatin1Char('\n')), text) << width;
        for (const QString& number : whole) {
            ASSERT_TRUE(lines.contains(number)) << width << " " << lines.toStdString();
        }
        EXPECT_EQ(lines.contains(QLatin1Char('\n')), width < widest) << width;
    }
}

TEST(DialogExchange, FractionTextsAndTheirShownForm) {
    const std::vector<std::pair<const char*, float>> good = {
        {"170.5", 170.5f}, {" 1e2 ", 100.0f}, {".5", 0.5f},  {"5.", 5.0f},
        {"-0.25", -0.25f}, {"+3", 3.0f},      {"1E-1", 0.1f}};
    for (const auto& [text, expected] : good) {
        float value = 99;
        EXPECT_TRUE(detail::parseDialogFloat(text, value)) << text;
        EXPECT_EQ(value, expected) << text;
    }
    for (const char* text : {"", ".", "abc", "1,5", "0x10", "inf", "nan", "1e", "1e+", "1e400",
                             "1.2.3", "5kg", "－1"}) {
        float value = 99;
        EXPECT_FALSE(detail::parseDialogFloat(text, value)) << text;
    }
    EXPECT_EQ(detail::formatDialogFloat(170.5f), "170.5");
    EXPECT_EQ(detail::formatDialogFloat(0.1f), "0.1");
    EXPECT_EQ(detail::formatDialogFloat(0.0f), "0");
    EXPECT_EQ(detail::formatDialogFloat(100000.0f), "100000");
    // Beyond six digits only as many as it takes to read back the same float.
    EXPECT_EQ(detail::formatDialogFloat(165.12345f), "165.12344"); // the same float
    EXPECT_EQ(detail::formatDialogFloat(1234567.0f), "1234567");
    EXPECT_EQ(detail::formatDialogFloat(0.1f + 0.2f), "0.3"); // 0.3f is that float
    for (float f : {165.12345f, 3.4028235e38f, 1.17549435e-38f, 1e-45f, 0.1f + 0.7f, -7.000001f}) {
        float back = 0;
        EXPECT_TRUE(detail::parseDialogFloat(detail::formatDialogFloat(f).view(), back));
        EXPECT_EQ(back, f);
    }
}

TEST(DialogExchange, ComboTextsMatchWholeItemsOnly) {
    CFormDlg dlg;
    dlg.m_strSite = "その他"_sj;
    dlg.m_strRemark = "自由記述"_sj;
    RunDialog(dlg, [&] {
        dlg.UpdateData(false);
        EXPECT_EQ(WidgetOf<QComboBox>(dlg, kSite)->currentIndex(), 1);
        EXPECT_EQ(WidgetOf<QComboBox>(dlg, kRemark)->currentText(), QString("自由記述"));
        dlg.m_strSite = "その"_sj; // a leading part selects nothing
        dlg.UpdateData(false);
        EXPECT_EQ(WidgetOf<QComboBox>(dlg, kSite)->currentIndex(), -1);
        EXPECT_TRUE(dlg.UpdateData(true));
        dlg.EndDialog(fw::kIdCancel);
    });
    EXPECT_EQ(dlg.m_strSite, "");
    EXPECT_EQ(dlg.m_strRemark, "自由記述"_sj);
}

TEST(DialogExchange, SortedComboKeepsTheShownTextWhileFilled) {
    CFormDlg dlg;
    dlg.m_strRemark = "手入力"_sj;
    RunDialog(dlg, [&] {
        dlg.UpdateData(false);
        dlg.ComboAddString(kRemark, "ＡＡ"_sj);
        dlg.ComboAddString(kRemark, "ｱｲ"_sj);
        auto* combo = WidgetOf<QComboBox>(dlg, kRemark);
        EXPECT_EQ(combo->currentText(), QString("手入力"));
        QStringList items;
        for (int i = 0; i < combo->count(); ++i) {
            items << combo->itemText(i);
        }
        // half-width katakana before every double-byte character, as the program orders texts
        EXPECT_EQ(items, QStringList({"ｱｲ", "ＡＡ", "およそ", "羊水込み"}));
        dlg.EndDialog(fw::kIdCancel);
    });
}

// A whole list added at once lands where adding its names one by one puts them: the program's
// text order, texts that compare equal (equal bytes, or equal up to a NUL or a lone lead byte)
// in the order they came, after the equal ones already there, the chosen item kept.
TEST(DialogExchange, ComboFilledAtOnceKeepsTheOrderOfOneByOne) {
    const std::vector<CString> pieces = {"ｱ"_sj,
                                         "ｶﾞ"_sj,
                                         "あ"_sj,
                                         "ア"_sj,
                                         "山"_sj,
                                         "A",
                                         "a",
                                         CString("x\0y", 3),
                                         CString("x\0z", 3),
                                         CString("a\x82", 2)};
    std::mt19937 random(7);
    struct Filled {
        std::vector<std::string> items;
        int current;
        std::string text;
        bool operator==(const Filled&) const = default;
    };
    auto fill = [](const CStringArray& first, const CStringArray& second, int chosen, bool atOnce) {
        CFormDlg dlg;
        Filled out;
        RunDialog(dlg, [&] {
            dlg.UpdateData(false);
            WidgetOf<QComboBox>(dlg, kRemark)->setCurrentIndex(chosen);
            for (const CStringArray* part : {&first, &second}) {
                if (atOnce) {
                    dlg.ComboAddStrings(kRemark, *part);
                } else {
                    for (const CString& name : *part) {
                        dlg.ComboAddString(kRemark, name);
                    }
                }
            }
            const detail::Control& c = testing_support::ControlOf(dlg, kRemark);
            for (int i = 0; i < detail::itemCount(c); ++i) {
                const CString item = detail::itemText(c, i);
                out.items.emplace_back(item.data(), std::size_t(item.GetLength()));
            }
            out.current = detail::selectedItem(c);
            out.text = dlg.GetDlgItemText(kRemark).ToUtf8();
            dlg.EndDialog(fw::kIdCancel);
        });
        return out;
    };
    for (int count : {0, 1, 2, 40, 400}) {
        CStringArray first, second;
        for (int i = 0; i < count; ++i) {
            CString name;
            for (int k = 0, n = 1 + int(random() % 3); k < n; ++k) {
                name += pieces[random() % pieces.size()];
            }
            (i % 3 == 0 ? first : second).Add(name);
        }
        for (int chosen : {-1, 1}) {
            EXPECT_EQ(fill(first, second, chosen, true), fill(first, second, chosen, false))
                << count << " names, chosen " << chosen;
        }
    }
}

TEST(DialogExchange, ChecksRadiosAndLists) {
    CFormDlg dlg;
    dlg.m_bFlag = 1;
    dlg.m_nRadio = 1;
    RunDialog(dlg, [&] {
        dlg.UpdateData(false);
        EXPECT_TRUE(WidgetOf<QCheckBox>(dlg, kFlag)->isChecked());
        EXPECT_TRUE(WidgetOf<QRadioButton>(dlg, kRadioB)->isChecked());
        dlg.m_nRadio = -1;
        dlg.UpdateData(false);
        EXPECT_FALSE(WidgetOf<QRadioButton>(dlg, kRadioB)->isChecked());
        WidgetOf<QRadioButton>(dlg, kRadioC)->click();
        WidgetOf<QCheckBox>(dlg, kFlag)->click();
        EXPECT_TRUE(dlg.UpdateData(true));

        dlg.ListInsertItem(kList, 0, "A"_sj);
        dlg.ListInsertItem(kList, 0, "B"_sj);
        WidgetOf<QListWidget>(dlg, kList)->item(1)->setSelected(true);
        EXPECT_TRUE(dlg.ListIsSelected(kList, 1));
        EXPECT_FALSE(dlg.ListIsSelected(kList, 0));
        EXPECT_EQ(WidgetOf<QListWidget>(dlg, kList)->item(1)->text(), QString("A"));
        dlg.EndDialog(fw::kIdCancel);
    });
    EXPECT_EQ(dlg.m_nRadio, 2);
    EXPECT_EQ(dlg.m_bFlag, 0);
}

TEST(DialogText, MultiLineEditsHoldCrLf) {
    CFormDlg dlg;
    dlg.m_strNotes = "一行目\r\n二行目"_sj;
    RunDialog(dlg, [&] {
        dlg.UpdateData(false);
        auto* notes = WidgetOf<QPlainTextEdit>(dlg, kNotes);
        EXPECT_EQ(notes->toPlainText(), QString("一行目\n二行目"));
        notes->setFocus();
        notes->moveCursor(QTextCursor::End);
        QTest::keyClick(notes, Qt::Key_Return); // wants Enter: a new line, not the OK button
        QTest::keyClicks(notes, "x");
        EXPECT_TRUE(dlg.UpdateData(true));
        dlg.EndDialog(fw::kIdCancel);
    });
    EXPECT_EQ(dlg.m_strNotes, "一行目\r\n二行目\r\nx"_sj);
}

TEST(DialogText, BytesWithoutAUnicodeRoundTripSurviveUntouched) {
    // An NEC-selected IBM extension kanji: Unicode gives it back as the IBM code 0xFA5C.
    const CString nec("\xED\x40", 2);
    CFormDlg dlg;
    dlg.m_strName = nec;
    RunDialog(dlg, [&] {
        dlg.UpdateData(false);
        dlg.UpdateData(true);
        dlg.EndDialog(fw::kIdCancel);
    });
    EXPECT_EQ(dlg.m_strName, nec);
}

TEST(DialogGuard, ByteLimitRefusesWhatDoesNotFit) {
    CFormDlg dlg;
    CString typedAscii, typedWide, keyed;
    RunDialog(dlg, [&] {
        dlg.UpdateData(false); // sets the 5-byte limit of the time field
        TypeInto(dlg, kTime, "12345");
        typedAscii = dlg.GetDlgItemText(kTime);
        TypeInto(dlg, kTime, "あいう");
        typedWide = dlg.GetDlgItemText(kTime);
        auto* edit = WidgetOf<QLineEdit>(dlg, kTime);
        edit->clear();
        edit->setFocus();
        QTest::keyClicks(edit, "12:3");
        SendText(edit, "あ"); // 6 bytes: refused
        SendText(edit, "4");
        keyed = dlg.GetDlgItemText(kTime);
        dlg.EndDialog(fw::kIdCancel);
    });
    EXPECT_EQ(typedAscii, "12345");
    EXPECT_EQ(typedWide, "あい"_sj);
    EXPECT_EQ(keyed, "12:34");
}

// A character without a cp932 form (an emoji, a rare kanji, U+FFFD) is left out as it is
// typed, pasted or typed by a script, in every kind of text field; the rest of what came in
// stays, and the user is told which character was left out, in the main window's status bar.
TEST(DialogGuard, CharactersWithoutCp932AreLeftOutAndNamed) {
    QMainWindow frame;
    frame.show();
    CFormDlg dlg;
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString rare = QString::fromUtf8("𠮷");
    const QString replacement(QChar(0xFFFD));
    auto notice = [&] { return frame.statusBar()->currentMessage().toStdString(); };
    RunDialog(dlg, [&] {
        auto* name = WidgetOf<QLineEdit>(dlg, kName);
        name->setFocus();
        SendText(name, rare);
        QTest::keyClicks(name, "ab");
        EXPECT_EQ(name->text(), QString("ab"));
        EXPECT_EQ(notice(), "\"𠮷\" は登録できない文字です（JIS の文字に置き換えてください）");
        name->insert(QString::fromUtf8("山") + rare + emoji + QString::fromUtf8("田") +
                     rare); // a paste
        EXPECT_EQ(name->text(), QString::fromUtf8("ab山田"));
        EXPECT_EQ(notice(),
                  "\"𠮷\" \"😀\" は登録できない文字です（JIS の文字に置き換えてください）");
        SendText(name, replacement);
        EXPECT_EQ(name->text(), QString::fromUtf8("ab山田"));

        auto* notes = WidgetOf<QPlainTextEdit>(dlg, kNotes);
        notes->setFocus();
        QTest::keyClicks(notes, "cd");
        SendText(notes, emoji);
        notes->insertPlainText(replacement + "e");
        EXPECT_EQ(notes->toPlainText(), QString("cde"));
        EXPECT_EQ(notice(),
                  "\"\xEF\xBF\xBD\" は登録できない文字です（JIS の文字に置き換えてください）");

        auto* remark = WidgetOf<QComboBox>(dlg, kRemark);
        remark->setFocus();
        SendText(remark->lineEdit(), emoji);
        EXPECT_EQ(remark->currentText(), QString());

        frame.statusBar()->clearMessage();
        TypeInto(dlg, kName, "x\xEF\xBF\xBDy\xF0\x9F\x98\x80z");
        EXPECT_EQ(dlg.GetDlgItemText(kName), "xyz");
        EXPECT_EQ(
            notice(),
            "\"\xEF\xBF\xBD\" \"😀\" は登録できない文字です（JIS の文字に置き換えてください）");
        dlg.EndDialog(fw::kIdCancel);
    });
}

// A language tag (U+E0000 to U+E007F) shows as nothing, and the C library's converter leaves
// it out without a word: it is refused as it is typed or pasted like every character without a
// cp932 form, so that the field never shows a text other than the one stored.
TEST(DialogGuard, LanguageTagsAreLeftOutAndNamed) {
    QMainWindow frame;
    frame.show();
    CFormDlg dlg;
    const char* const tag = "\xF3\xA0\x80\x81"; // U+E0001
    RunDialog(dlg, [&] {
        auto* name = WidgetOf<QLineEdit>(dlg, kName);
        name->setFocus();
        TypeInto(dlg, kName, (std::string("x") + tag + "y").c_str());
        EXPECT_EQ(name->text(), QString("xy"));
        EXPECT_EQ(frame.statusBar()->currentMessage().toStdString(),
                  std::string("\"") + tag +
                      "\" は登録できない文字です（JIS の文字に置き換えてください）");
        name->insert(QString::fromUtf8(std::string("山") + tag + "田")); // a paste
        EXPECT_EQ(name->text(), QString::fromUtf8("xy山田"));
        EXPECT_EQ(dlg.GetDlgItemText(kName), "xy山田"_sj);
        dlg.EndDialog(fw::kIdCancel);
    });
}

// A password field never shows what was typed: a refused character is told without it.
TEST(DialogGuard, PasswordFieldTellsARefusalWithoutTheCharacter) {
    QMainWindow frame;
    frame.show();
    CDialog dlg(
        DlgTemplate{901, 100, 40, nullptr, {{kName, CtlKind::Edit, 5, 5, 80, 14, "", kPassword}}});
    RunDialog(dlg, [&] {
        auto* password = WidgetOf<QLineEdit>(dlg, kName);
        password->setFocus();
        QTest::keyClicks(password, "ab");
        SendText(password, QString::fromUtf8("😀"));
        EXPECT_EQ(password->text(), QString("ab"));
        const std::string notice = frame.statusBar()->currentMessage().toStdString();
        EXPECT_EQ(notice, "登録できない文字を入力しました（JIS の文字に置き換えてください）");
        dlg.EndDialog(fw::kIdCancel);
    });
}

// Damaged bytes already in a text show as U+FFFD. Left alone they read back byte for byte, and
// so they do where the user edited only around them; a U+FFFD put anywhere else is refused.
TEST(DialogGuard, DamagedBytesInAFieldReadBackAsTheyWere) {
    const CString name("\x85\x40"
                       "ab\x88",
                       5);
    const CString notes("\x88\r\n\x85\x40", 5);
    CFormDlg dlg;
    dlg.m_strName = name;
    dlg.m_strNotes = notes;
    CString untouched, edited, editedNotes;
    QString afterPaste;
    RunDialog(dlg, [&] {
        dlg.UpdateData(false);
        ASSERT_TRUE(dlg.UpdateData(true));
        untouched = dlg.m_strName;

        auto* edit = WidgetOf<QLineEdit>(dlg, kName);
        edit->setFocus();
        edit->setCursorPosition(2); // after the first U+FFFD and "a"
        QTest::keyClicks(edit, "Z");
        edit->insert(QString(QChar(0xFFFD))); // refused: the program wrote none here
        afterPaste = edit->text();
        edited = dlg.GetDlgItemText(kName);

        auto* multi = WidgetOf<QPlainTextEdit>(dlg, kNotes);
        multi->setFocus();
        multi->moveCursor(QTextCursor::End);
        QTest::keyClicks(multi, "!");
        editedNotes = dlg.GetDlgItemText(kNotes);
        dlg.EndDialog(fw::kIdCancel);
    });
    EXPECT_EQ(untouched, name);
    EXPECT_EQ(afterPaste, QString::fromUtf8("\xEF\xBF\xBD"
                                            "aZb\xEF\xBF\xBD"));
    EXPECT_EQ(edited, CString("\x85\x40"
                              "aZb\x88",
                              6));
    EXPECT_EQ(editedNotes, CString("\x88\r\n\x85\x40!", 6));
}

TEST(DialogKeys, EscapeCancels) {
    CFormDlg dlg;
    const int result =
        RunDialog(dlg, [&] { QTest::keyClick(WidgetOf<QLineEdit>(dlg, kName), Qt::Key_Escape); });
    EXPECT_EQ(result, fw::kIdCancel);
}

TEST(DialogKeys, EnterPressesAVisibleEnabledDefaultButtonOnly) {
    CFormDlg open;
    const int confirmed =
        RunDialog(open, [&] { QTest::keyClick(WidgetOf<QLineEdit>(open, kName), Qt::Key_Return); });
    EXPECT_EQ(confirmed, 1);

    CFormDlg hidden(kHidden | kDisabled);
    bool stillOpen = false;
    const int result = RunDialog(hidden, [&] {
        QTest::keyClick(WidgetOf<QLineEdit>(hidden, kName), Qt::Key_Return);
        stillOpen = !DialogAccess::impl(hidden).ended;
        hidden.EndDialog(7);
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(result, 7);
}

TEST(DialogHandlers, BoundHandlersReplaceOkAndSeeUserChangesOnly) {
    CFormDlg dlg;
    int okClicks = 0;
    std::vector<std::string> changes;
    dlg.OnClicked(1, [&] { ++okClicks; });
    // Writing the controls back from the handler must not call it again.
    dlg.OnEditChange(kName, [&] {
        dlg.UpdateData(true);
        changes.push_back(dlg.m_strName.ToUtf8());
        dlg.m_strName += "!";
        dlg.UpdateData(false);
    });
    RunDialog(dlg, [&] {
        dlg.UpdateData(false);
        dlg.SetDlgItemText(kName, "x");
        auto* name = WidgetOf<QLineEdit>(dlg, kName);
        name->setFocus();
        name->end(false);
        QTest::keyClicks(name, "y");
        TypeInto(dlg, kName, "z");
        QTest::keyClick(name, Qt::Key_Return);
        dlg.EndDialog(fw::kIdCancel);
    });
    EXPECT_EQ(okClicks, 1);
    EXPECT_EQ(changes, (std::vector<std::string>{"xy", "z"}));
}

TEST(DialogHandlers, FocusHandlersRunOnMovesInsideTheDialog) {
    CFormDlg dlg;
    std::vector<int> focused;
    dlg.OnSetFocus(kName, [&] { focused.push_back(kName); });
    dlg.OnSetFocus(kAge, [&] { focused.push_back(kAge); });
    RunDialog(dlg, [&] {
        // as the window system does a moment after the window shows
        QApplication::setActiveWindow(DialogAccess::impl(dlg).window);
        // the first control holds the focus from the start, without its handler
        EXPECT_EQ(FocusOf(dlg), WidgetOf<QLineEdit>(dlg, kName));
        QTest::keyClick(WidgetOf<QLineEdit>(dlg, kName), Qt::Key_Tab);
        WidgetOf<QLineEdit>(dlg, kName)->setFocus(Qt::MouseFocusReason);
        dlg.EndDialog(fw::kIdCancel);
    });
    EXPECT_EQ(focused, (std::vector<int>{kAge, kName}));
}

} // namespace
