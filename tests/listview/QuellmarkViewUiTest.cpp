// The list view around the data file and under hostile input: a logout whose save fails keeps
// the user at work, a huge repeat count or a window the memory cannot paint loses nothing.

#include "listview/QuellmarkView.h"
#include "support/CaseBuilder.h"
#include "support/TempDir.h"
#include "support/UiTestSupport.h"

#include <QApplication>

#include <cerrno>
#include <climits>

namespace {

using namespace listview;
using testing_support::MessageCatcher;

TEST(QuellmarkViewUiTest, LogoutWhoseSaveFailsKeepsTheUserLoggedIn) {
    testing_support::EnsureApplication();
    for (fw::FileStep step : testing_support::kSaveSteps) {
        testing_support::TempDir dir;
        const std::string path = dir.Path() + "/vora.dat";
        CQuellmarkDoc doc(CQuellmarkDoc::NoFile{}, path);
        ASSERT_TRUE(doc.SaveDataFile());
        const std::string before = testing_support::ReadFile(path);
        doc.AddRecord(testing_support::BlankCase("未保存"));

        ViewCommands commands;
        commands.login = [](int& generalUser) {
            generalUser = 0;
            return true;
        };
        CQuellmarkView view(doc, std::move(commands));
        view.OnInitialUpdate();
        view.DoLogin();
        ASSERT_EQ(view.GetState(), CQuellmarkView::kLoggedIn);

        testing_support::FailingFileOps failing(step, EIO);
        doc.SetFileOps(failing);
        MessageCatcher messages;
        view.OnLogout();

        ASSERT_EQ(messages.Texts().size(), 1u);
        EXPECT_NE(messages.Texts()[0].find("「vora.dat」を保存できません"), std::string::npos);
        EXPECT_EQ(view.GetState(), CQuellmarkView::kLoggedIn);
        EXPECT_EQ(view.GetRowCount(), 1);
        for (int id : {kNewCaseButton, kAggregateButton, kAdminMenuButton, kLogoutButton}) {
            EXPECT_TRUE(view.IsControlVisible(id) && view.IsControlEnabled(id)) << id;
        }
        EXPECT_EQ(testing_support::ReadFile(path), before);

        // The next logout, with the disk working again, saves and asks for a password.
        doc.SetFileOps(fw::SystemFileOps());
        view.OnLogout();
        EXPECT_EQ(view.GetState(), CQuellmarkView::kLoginPending);
        EXPECT_EQ(CQuellmarkDoc(path).GetRecordCount(), 1);
    }
}

ViewCommands LoginAsAdministrator() {
    ViewCommands commands;
    commands.login = [](int& generalUser) {
        generalUser = 0;
        return true;
    };
    return commands;
}

TEST(QuellmarkViewUiTest, ArrowKeysMoveByTheRepeatCountAndStopAtTheEnds) {
    testing_support::EnsureApplication();
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    for (int day = 1; day <= 30; ++day) {
        doc.AddRecord(testing_support::BlankCase("c", 2010, 1, day));
    }
    CQuellmarkView view(doc, LoginAsAdministrator());
    view.OnInitialUpdate();
    view.DoLogin();
    std::string error;
    const std::pair<const char*, int> presses[] = {
        {"Down", 2}, {"Down", INT_MAX}, {"Up", 1}, {"Up", INT_MAX}, {"Down", 5}, {"x", INT_MAX},
    };
    const int expected[] = {2, 29, 28, 0, 5, 5};
    for (std::size_t i = 0; i < std::size(presses); ++i) {
        ASSERT_TRUE(view.SendKey(presses[i].first, presses[i].second, error)) << error;
        EXPECT_EQ(view.GetScrollPos(), expected[i]) << i;
    }
    EXPECT_FALSE(view.SendKey("Sideways", 1, error));
}

// With too little memory for the image of a huge window, the view says so once, keeps the
// image it had and goes on working; a smaller window paints again and the logout saves.
TEST(QuellmarkViewUiTest, ANewImageThatCannotBeHadIsReportedNotFatal) {
    testing_support::EnsureApplication();
    testing_support::TempDir dir;
    const std::string path = dir.Path() + "/vora.dat";
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{}, path);
    CQuellmarkView view(doc, LoginAsAdministrator());
    fw::CFrameWnd frame;
    frame.Create("vora", 800, 500, {}, view, "ﾚﾃﾞｨ", {});
    frame.Show();
    view.OnInitialUpdate();
    view.DoLogin();
    QApplication::processEvents();
    const int before = view.GetImage().Width();
    doc.AddRecord(testing_support::BlankCase("未保存"));

    MessageCatcher messages;
    {
        testing_support::MemoryLimit limit(96 * 1024 * 1024); // an 8000 × 8000 image is 244 MiB
        frame.SetClientSize(8000, 8000);
        QApplication::processEvents();
    }
    EXPECT_EQ(view.GetImage().Width(), before);
    for (int i = 0; i < 50 && messages.Texts().empty(); ++i) {
        QApplication::processEvents();
    }
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(messages.Texts()[0], "メモリが足りないため、一覧を描けません。ウィンドウを小さくして"
                                   "ください。入力したデータは失われていません。");

    frame.SetClientSize(700, 500);
    QApplication::processEvents();
    EXPECT_EQ(view.GetImage().Width(), 700);
    view.OnLogout();
    EXPECT_EQ(view.GetState(), CQuellmarkView::kLoginPending);
    EXPECT_EQ(CQuellmarkDoc(path).GetRecordCount(), 1);
}

} // namespace
