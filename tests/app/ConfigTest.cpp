#include "app/Config.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

struct ParseCase {
    const char* text;
    const char* dataDir; // after the text, starting from "/before"; null: refused
    const char* error;   // the refusal, after "f.conf:"
};

TEST(ConfigTest, LinesSetKnownKeysAndRefuseTheRestWithFileAndLine) {
    const ParseCase cases[] = {
        {"", "/before", ""},
        {"# only a comment\n\n   \n\t# indented comment\n", "/before", ""},
        {"data-dir = /srv/anesthesia\n", "/srv/anesthesia", ""},
        {"data-dir=/srv/a", "/srv/a", ""},
        {"  data-dir\t=  /srv/with space  \r\n", "/srv/with space", ""},
        {"data-dir = /srv/a#b\n", "/srv/a#b", ""}, // a comment is a whole line
        {"data-dir = /srv/a=b\n", "/srv/a=b", ""},
        {"data-dir = ~/registry\n", "/home/u/registry", ""},
        {"data-dir = ~\n", "/home/u", ""},
        {"# site\n\ndatadir = /srv/a\n", nullptr, "3: 知らないキーです: \"datadir\""},
        {"Data-Dir = /srv/a\n", nullptr, "1: 知らないキーです: \"Data-Dir\""},
        {"data-dir /srv/a\n", nullptr, "1: 「キー = 値」の形ではありません"},
        {"= /srv/a\n", nullptr, "1: 「キー = 値」の形ではありません"},
        {"data-dir =\n", nullptr, "1: data-dir の値がありません"},
        {"data-dir = relative/dir\n", nullptr,
         "1: data-dir: フォルダは / か ~/ で始めて書いてください: \"relative/dir\""},
        {"data-dir = \"/srv/a\"\n", nullptr,
         "1: data-dir: フォルダは / か ~/ で始めて書いてください: \"\"/srv/a\"\""},
        {"data-dir = ~other/x\n", nullptr,
         "1: data-dir: フォルダは / か ~/ で始めて書いてください: \"~other/x\""},
        {"data-dir = /a\n# again\ndata-dir = /b\n", nullptr,
         "3: data-dir は 1 行目にも書かれています"},
        {"data-dir = /a\ndata-dir /b\n", nullptr, "2: 「キー = 値」の形ではありません"},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.text);
        app::Settings settings;
        settings.dataDir = "/before";
        std::string error;
        const bool ok = app::ParseConfig(c.text, "f.conf", "/home/u", settings, error);
        EXPECT_EQ(ok, c.dataDir != nullptr);
        if (ok) {
            EXPECT_EQ(settings.dataDir, c.dataDir);
        } else {
            EXPECT_EQ(error, std::string("f.conf:") + c.error);
        }
    }
    app::Settings settings;
    std::string error;
    EXPECT_FALSE(app::ParseConfig("data-dir = ~/x\n", "f.conf", "", settings, error));
    EXPECT_EQ(error, "f.conf:1: data-dir: ホームフォルダが分からないので ~ は使えません");
}

TEST(ConfigTest, FilesLieWhereTheEnvironmentSays) {
    struct Case {
        const char* systemOverride;
        const char* xdg;
        std::string home;
        std::string system;
        std::string user;
    };
    const Case cases[] = {
        {nullptr, nullptr, "/home/u", "/etc/vora/vora.conf", "/home/u/.config/vora/vora.conf"},
        {"", "", "/home/u", "/etc/vora/vora.conf", "/home/u/.config/vora/vora.conf"},
        {"/t/sys.conf", "/x/cfg", "/home/u", "/t/sys.conf", "/x/cfg/vora/vora.conf"},
        // A relative XDG_CONFIG_HOME is not one, by the XDG rules.
        {nullptr, "cfg", "/home/u", "/etc/vora/vora.conf", "/home/u/.config/vora/vora.conf"},
        {nullptr, nullptr, "", "/etc/vora/vora.conf", ""},
        {nullptr, "/x", "", "/etc/vora/vora.conf", "/x/vora/vora.conf"},
    };
    for (const Case& c : cases) {
        const app::ConfigFiles files = app::ConfigFilesFor(c.systemOverride, c.xdg, c.home);
        EXPECT_EQ(files.system, c.system);
        EXPECT_EQ(files.user, c.user);
    }
}

// The command line is the caller's; here the user's file over the system's over the default.
TEST(ConfigTest, TheUsersFileOverridesTheSystemsAndMissingFilesSetNothing) {
    TempDir dir;
    const std::string d = dir.Path();
    const app::ConfigFiles files{d + "/system.conf", d + "/user.conf"};
    struct Case {
        const char* system; // null: no file
        const char* user;
        app::DataFolder folder;
    };
    const Case cases[] = {
        {nullptr, nullptr, {"/home/u/vora-data", true}},
        {"data-dir = /srv/site\n", nullptr, {"/srv/site", false}},
        {nullptr, "data-dir = /srv/mine\n", {"/srv/mine", false}},
        {"data-dir = /srv/site\n", "data-dir = /srv/mine\n", {"/srv/mine", false}},
        {"data-dir = /srv/site\n", "# nothing of mine\n", {"/srv/site", false}},
    };
    for (const Case& c : cases) {
        ::unlink(files.system.c_str());
        ::unlink(files.user.c_str());
        if (c.system) {
            WriteFile(files.system, c.system);
        }
        if (c.user) {
            WriteFile(files.user, c.user);
        }
        app::Settings settings;
        std::string error;
        ASSERT_TRUE(app::ReadConfigFiles(files, "/home/u", settings, error)) << error;
        const app::DataFolder folder = app::SiteDataFolder(settings, "/home/u");
        EXPECT_EQ(folder.path, c.folder.path);
        EXPECT_EQ(folder.make, c.folder.make);
    }
    EXPECT_EQ(app::SiteDataFolder({}, "").path, "");

    // The server's connection string too: the user's wins, and it is taken as written.
    WriteFile(files.system, "server = service=vora\n");
    WriteFile(files.user, "server = host=db1 dbname=vora sslmode=verify-full\n");
    app::Settings both;
    std::string bothError;
    ASSERT_TRUE(app::ReadConfigFiles(files, "/home/u", both, bothError)) << bothError;
    EXPECT_EQ(both.server, "host=db1 dbname=vora sslmode=verify-full");

    // A bad user's file is reported even when the system's is good; a folder in the place of
    // a file, and a file far larger than any settings, cannot be read.
    WriteFile(files.system, "data-dir = /srv/site\n");
    WriteFile(files.user, "\nservers = x\n");
    app::Settings settings;
    std::string error;
    EXPECT_FALSE(app::ReadConfigFiles(files, "/home/u", settings, error));
    EXPECT_EQ(error, files.user + ":2: 知らないキーです: \"servers\"");
    ::unlink(files.user.c_str());
    ASSERT_EQ(::mkdir(files.user.c_str(), 0700), 0);
    EXPECT_FALSE(app::ReadConfigFiles(files, "/home/u", settings, error));
    EXPECT_EQ(error.rfind(files.user + ": 読み込めません：", 0), 0u) << error;
    ::rmdir(files.user.c_str());
    WriteFile(files.user, std::string(100000, '#'));
    EXPECT_FALSE(app::ReadConfigFiles(files, "/home/u", settings, error));
    EXPECT_EQ(error, files.user + ": 設定ファイルにしては大きすぎます");
}

} // namespace
