// The list view around the data file: a logout whose save fails keeps the user at work.

#include "listview/QuellmarkView.h"
#include "support/CaseBuilder.h"
#include "support/TempDir.h"
#include "support/UiTestSupport.h"

#include <cerrno>

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

} // namespace
