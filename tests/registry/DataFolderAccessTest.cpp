#include "registry/DataFolderAccess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

using testing_support::ReadOnlyDir;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

std::string realFolder(const std::string& path) {
    char buffer[PATH_MAX];
    return ::realpath(path.c_str(), buffer) ? buffer : path;
}

// What is found names the file or folder that cannot be written; nothing is made or changed
// while looking.
TEST(DataFolderAccess, FindsWhatTheProgramCouldNotWrite) {
    TempDir dir;
    const std::string d = dir.Path();
    const std::string dataFile = d + "/vora.dat";
    WriteFile(dataFile, "registry");
    EXPECT_FALSE(registry::FindAccessProblem(dataFile));

    const std::optional<registry::AccessProblem> missing =
        registry::FindAccessProblem(d + "/gone/vora.dat");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->path, d + "/gone");
    EXPECT_EQ(missing->error, ENOENT);

    // A backup folder that is no folder would fail the day's backup at logout.
    WriteFile(d + "/vora-backup", "not a folder");
    std::optional<registry::AccessProblem> problem = registry::FindAccessProblem(dataFile);
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->path, "vora-backup");
    EXPECT_EQ(problem->error, ENOTDIR);
    ASSERT_EQ(::unlink((d + "/vora-backup").c_str()), 0);

    // A journal this program may not append to.
    if (::geteuid() != 0) {
        WriteFile(d + "/vora.dat.journal", "VORAJNL1");
        ASSERT_EQ(::chmod((d + "/vora.dat.journal").c_str(), 0400), 0);
        problem = registry::FindAccessProblem(dataFile);
        ASSERT_TRUE(problem);
        EXPECT_EQ(problem->path, "vora.dat.journal");
        EXPECT_EQ(problem->error, EACCES);
        ASSERT_EQ(::unlink((d + "/vora.dat.journal").c_str()), 0);
    }

    // A folder that takes no new file: no temporary file, journal or lock could be made.
    const std::vector<std::string> before = dir.Entries();
    {
        ReadOnlyDir readOnly(d);
        if (!readOnly.Active()) {
            GTEST_SKIP() << "cannot make a read-only folder here";
        }
        problem = registry::FindAccessProblem(dataFile);
        ASSERT_TRUE(problem);
        EXPECT_EQ(problem->path, realFolder(d));
        EXPECT_TRUE(problem->error == EACCES || problem->error == EPERM) << problem->error;
    }
    EXPECT_EQ(dir.Entries(), before);
}

TEST(DataFolderAccess, TheMessageNamesFileAndReasonAndSaysWhatToDo) {
    const struct {
        registry::AccessProblem problem;
        const char* text;
    } cases[] = {
        {{"vora.dat.lock", EACCES},
         "データファイルを安全に使えないため終了します（vora.dat.lock：書き込みまたは読み込みの権"
         "限がありません）。フォルダーとファイルに書き込めるよう、管理者に依頼してください。"},
        {{"/srv/麻酔", EROFS},
         "データファイルを安全に使えないため終了します（/srv/麻酔：読み取り専用の場所です）。フォ"
         "ルダーとファイルに書き込めるよう、管理者に依頼してください。"},
        {{"vora.dat.lock", ENOLCK},
         "データファイルを安全に使えないため終了します（vora.dat.lock：この場所ではファイルのロッ"
         "クが使えません）。ファイルのロックが使える場所にデータフォルダーを置くよう、管理者に依頼"
         "してください。"},
        {{"vora.dat.lock", ENOSPC},
         "データファイルを安全に使えないため終了します（vora.dat.lock：ディスクの空き容量が足りま"
         "せん）。ディスクに空きを作ってから起動し直してください。"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(registry::UnsafeDataFileMessage(c.problem).ToUtf8(), c.text);
    }
}

} // namespace
