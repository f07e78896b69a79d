#include "framework/ui/Automation.h"
#include "framework/ui/Dialog.h"
#include "framework/ui/Replay.h"
#include "framework/ui/ReplayScript.h"

#include "support/TempDir.h"
#include "support/UiTestSupport.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

using namespace fw;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

using testing_support::EnsureApplication;

namespace {

std::vector<ReplayStep> Parse(const std::string& script) {
    std::vector<ReplayStep> steps;
    std::string error;
    EXPECT_TRUE(ParseReplayScript(script, steps, error)) << error;
    return steps;
}

std::string ParseError(const std::string& script) {
    std::vector<ReplayStep> steps;
    std::string error;
    EXPECT_FALSE(ParseReplayScript(script, steps, error)) << script;
    return error;
}

TEST(ReplayScript, TextArgumentsTakeTheRestOfTheLine) {
    const auto steps = Parse("# comment\r\n\r\ntype 1001 山田 太郎\\n次\\\\n\r\n"
                             "expect-cell 2 3 a  b\nexpect 1048\nmark 1087 0 2\nkey Down 3\n");
    ASSERT_EQ(steps.size(), 5u);
    EXPECT_EQ(steps[0].line, 3);
    EXPECT_EQ(steps[0].args, (std::vector<std::string>{"1001", "山田 太郎\r\n次\\n"}));
    EXPECT_EQ(steps[1].args, (std::vector<std::string>{"2", "3", "a  b"}));
    EXPECT_EQ(steps[2].args, (std::vector<std::string>{"1048", ""}));
    EXPECT_EQ(steps[3].args, (std::vector<std::string>{"1087", "0", "2"}));
    EXPECT_EQ(steps[4].args, (std::vector<std::string>{"Down", "3"}));
}

TEST(ReplayScript, StepsCarryTheirKindAndValues) {
    const auto steps = Parse("scroll thumb 5\nscroll pageup\nkey Down 2147483647\nkey x\n"
                             "click -3 7\npress text\nexpect-dialog print\n");
    ASSERT_EQ(steps.size(), 7u);
    EXPECT_EQ(steps[0].kind, StepKind::Scroll);
    EXPECT_EQ(steps[0].values, (std::vector<int>{kScrollThumbPosition, 5}));
    EXPECT_EQ(steps[1].Value(0), kScrollPageUp);
    EXPECT_EQ(steps[1].Value(1, -1), -1);
    EXPECT_EQ(steps[2].kind, StepKind::Key);
    EXPECT_EQ(steps[2].Value(1), 2147483647);
    EXPECT_EQ(steps[3].Value(1, 1), 1);
    EXPECT_EQ(steps[4].values, (std::vector<int>{-3, 7}));
    EXPECT_EQ(steps[5].kind, StepKind::Press);
    EXPECT_EQ(steps[5].args[0], "text");
    EXPECT_EQ(steps[6].kind, StepKind::ExpectDialog);
    ParseError("key Down 2147483648");
}

TEST(ReplayScript, MalformedStepsNameTheirLine) {
    EXPECT_EQ(ParseError("press 1\n\nfly 3\n").substr(0, 8), "line 3: ");
    for (const char* bad :
         {"press", "press 1 2", "check 1008 2", "click 1", "scroll thumb", "scroll sideways",
          "resize -1 5", "key Return 0", "close now", "expect-dialog 12x", "expect-rows", "shot"}) {
        ParseError(bad);
    }
}

class CInnerDlg : public CDialog {
public:
    CInnerDlg()
        : CDialog(DlgTemplate{911,
                              120,
                              60,
                              "inner",
                              {{2001, CtlKind::Edit, 10, 10, 80, 14},
                               {1, CtlKind::Push, 10, 35, 50, 14, "OK", kDefault}}}) {}
    CString m_strText;

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Text(pDX, 2001, m_strText); }
};

class COuterDlg : public CDialog {
public:
    COuterDlg()
        : CDialog(DlgTemplate{910,
                              200,
                              120,
                              nullptr,
                              {
                                  {1001, CtlKind::Edit, 10, 10, 80, 14},
                                  {1002, CtlKind::Edit, 10, 30, 40, 14},
                                  {1003, CtlKind::Edit, 10, 50, 40, 14},
                                  {1006,
                                   CtlKind::DropList,
                                   100,
                                   10,
                                   80,
                                   60,
                                   "",
                                   kNone,
                                   {"その他の心臓手術", "その他"}},
                                  {1008, CtlKind::Check, 100, 30, 60, 10, "停止"},
                                  {1500, CtlKind::Push, 100, 50, 50, 14, "詳細"},
                                  {1, CtlKind::Push, 10, 100, 50, 14, "OK", kDefault},
                              }}) {
        OnClicked(1500, [this] {
            CInnerDlg inner;
            if (inner.DoModal() == fw::kIdOk) {
                m_strInner = inner.m_strText;
            }
        });
        OnSetFocus(1003, [this] { ++m_nFocus; });
    }
    CString m_strName, m_strTime, m_strSite, m_strInner;
    int m_nAge = 0, m_bFlag = 0, m_nFocus = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, 1001, m_strName);
        DDX_Text(pDX, 1002, m_nAge);
        DDX_Text(pDX, 1003, m_strTime);
        DDV_MaxChars(pDX, m_strTime, 5);
        DDX_CBString(pDX, 1006, m_strSite);
        DDX_Check(pDX, 1008, m_bFlag);
    }
};

// Where FakeMain notes the keys it is sent, as NAME*REPEAT lines.
std::string g_keyLog;

struct FakeMain : IMainAutomation {
    bool press(int id, std::string& error) override {
        error = "button " + std::to_string(id) + " is disabled";
        return false;
    }
    bool menu(int, std::string&) override { return true; }
    bool click(int, int, std::string&) override { return true; }
    bool key(const std::string& name, int repeat, std::string&) override {
        std::ofstream(g_keyLog, std::ios::app) << name << "*" << repeat << "\n";
        return true;
    }
    bool scroll(ScrollCode, int, std::string&) override { return true; }
    bool resize(int, int, std::string&) override { return true; }
    void close() override {}
    bool enabled(int, bool& value, std::string&) override { return value = true; }
    bool visible(int, bool& value, std::string&) override { return value = true; }
    int rows() override { return 4; }
    std::string statusText() override { return "サーバー db1/vora に接続しています（暗号化あり）"; }
    bool cell(int, int, std::string& utf8, std::string&) override {
        utf8 = "2006/4/1";
        return true;
    }
    bool printPdf(const std::string&, std::string&) override { return true; }
};

// Runs the script against the outer dialog, then the main loop, as the program would; the
// runner ends the process. What the dialog read goes to result for the parent to check.
void RunScript(const std::string& script, const std::string& result) {
    EnsureApplication();
    QTimer::singleShot(20000, [] { std::_Exit(9); });
    static FakeMain main;
    StartReplay(script, main);
    COuterDlg dlg;
    dlg.DoModal();
    WriteFile(result, dlg.m_strName.str() + "|" + std::to_string(dlg.m_nAge) + "|" +
                          dlg.m_strTime.str() + "|" + dlg.m_strSite.str() + "|" +
                          std::to_string(dlg.m_bFlag) + "|" + dlg.m_strInner.str() + "|" +
                          std::to_string(dlg.m_nFocus));
    QApplication::exec();
}

TEST(ReplayRunner, DrivesNestedDialogsAndEndsWithStatusThree) {
    TempDir dir;
    const std::string script = dir.Path() + "/drive.replay";
    const std::string shot = dir.Path() + "/outer.png";
    const std::string saved = dir.Path() + "/time.txt";
    const std::string result = dir.Path() + "/result";
    WriteFile(script, "expect-dialog 910\n"
                      "type 1001 山田\n"
                      "type 1002 12a\n"
                      "press 1\n"
                      "expect-dialog message\n"
                      "expect text 整数を入力してください。\n"
                      "press 1\n"
                      "expect-dialog 910\n"
                      "type 1002 42\n"
                      "focus 1003\n"
                      "focus 1002\n"
                      // one press with a repeat count: the focus moves once, to 1003
                      "key Tab 8\n"
                      "key Tab\n"
                      "type 1003 あいう\n"
                      "expect 1003 あい\n"
                      "save-text 1003 " +
                          saved +
                          "\n"
                          "pick 1006 その他\n"
                          "check 1008 1\n"
                          "expect 1008 1\n"
                          "press 1500\n"
                          "expect-dialog 911\n"
                          "type 2001 内側\n"
                          "key Return\n"
                          "expect-dialog 910\n"
                          "expect-rows 4\n"
                          "expect-status サーバー db1/vora に接続しています（暗号化あり）\n"
                          "expect-cell 1 1 2006/4/1\n"
                          "shot " +
                          shot +
                          "\n"
                          "press 1\n"
                          "expect-dialog main\n");
    EXPECT_EXIT(RunScript(script, result), ::testing::ExitedWithCode(3), "^$");
    EXPECT_EQ(ReadFile(result), "山田|42|あい|その他|1|内側|2"_sj.str());
    EXPECT_EQ(ReadFile(saved), "あい"_sj.str());
    EXPECT_GT(QFileInfo(QString::fromStdString(shot)).size(), 0);
}

TEST(ReplayRunner, AFailingStepEndsWithStatusTwoAndItsLine) {
    TempDir dir;
    const std::string script = dir.Path() + "/fail.replay";
    const std::string result = dir.Path() + "/result";
    WriteFile(script, "type 1001 a\n# the next one fails\nexpect 1001 b\npress 1\n");
    EXPECT_EXIT(RunScript(script, result), ::testing::ExitedWithCode(2),
                "replay: line 3: control 1001 shows \"a\", expected \"b\"");
    WriteFile(script, "press 1\npress 101\n");
    EXPECT_EXIT(RunScript(script, result), ::testing::ExitedWithCode(2),
                "replay: line 2: button 101 is disabled");
    WriteFile(script, "press 1\nexpect-dialog main\ntype 1001 x\n");
    EXPECT_EXIT(RunScript(script, result), ::testing::ExitedWithCode(2),
                "replay: line 3: no dialog is open");
    WriteFile(script, "type 1001 a\nsave-text 1001 " + dir.Path() + "/no/such/folder/x.txt\n");
    EXPECT_EXIT(RunScript(script, result), ::testing::ExitedWithCode(2),
                "replay: line 2: cannot write .*/no/such/folder/x.txt: No such file");
}

// A key's count goes to the main window as the repeat count of one press, at once.
TEST(ReplayRunner, AKeyCountIsOneRepeatedPress) {
    TempDir dir;
    const std::string script = dir.Path() + "/keys.replay";
    g_keyLog = dir.Path() + "/keys";
    WriteFile(script, "press 1\nkey Down 2147483647\nkey Up\n");
    EXPECT_EXIT(RunScript(script, dir.Path() + "/result"), ::testing::ExitedWithCode(3), "^$");
    EXPECT_EQ(ReadFile(g_keyLog), "Down*2147483647\nUp*1\n");
}

} // namespace
