#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using app::Action;

struct Case {
    std::vector<std::string> args;
    Action action;
    std::string script;
    std::string file;
    std::string folder;
    bool siteFolder = false;
};

TEST(CommandLineTest, ArgumentsGiveTheActionAndItsFiles) {
    const Case cases[] = {
        {{}, Action::Run, "", "", ""},
        {{"--replay", "s.replay"}, Action::Run, "s.replay", "", ""},
        {{"--verify-data"}, Action::VerifyData, "", "", ""},
        {{"--verify-data", "old.dat"}, Action::VerifyData, "", "old.dat", ""},
        // A plain --data-dir leaves the folder to the settings files; a file named on the
        // command line stays the one the user meant after the program moved there.
        {{"--data-dir"}, Action::Run, "", "", "", true},
        {{"--data-dir=/srv/reg"}, Action::Run, "", "", "/srv/reg"},
        {{"--data-dir", "--replay", "s.replay"}, Action::Run, "/here/s.replay", "", "", true},
        {{"--verify-data", "/abs.dat", "--data-dir=d"}, Action::VerifyData, "", "/abs.dat", "d"},
        {{"--verify-data", "x.dat", "--data-dir=d"}, Action::VerifyData, "", "/here/x.dat", "d"},
        {{"--verify-data", "x.dat", "--data-dir"}, Action::VerifyData, "", "/here/x.dat", "", true},
        {{"--verify-data", "--data-dir"}, Action::VerifyData, "", "", "", true},
        {{"--version", "--bogus"}, Action::Version, "", "", ""},
        {{"--replay", "s", "-h"}, Action::Help, "", "", ""},
        // What no action accepts is refused with the usage.
        {{"--bogus"}, Action::Usage, "", "", ""},
        {{"stray"}, Action::Usage, "", "", ""},
        {{"--replay"}, Action::Usage, "", "", ""},
        {{"--replay", "--verify-data"}, Action::Usage, "", "", ""},
        {{"--verify-data", "a", "b"}, Action::Usage, "", "", ""},
        {{"--replay", "s", "--verify-data"}, Action::Usage, "", "", ""},
        {{"--data-dir="}, Action::Usage, "", "", ""},
        {{"--data-dir=a", "--data-dir=b"}, Action::Usage, "", "", ""},
        {{"--data-dir", "--data-dir=b"}, Action::Usage, "", "", ""},
        {{"--data-dir=a", "--data-dir"}, Action::Usage, "", "", ""},
        {{"--data-dirx"}, Action::Usage, "", "", ""},
        // The department server's commands.
        {{"--server=service=vora", "--init-server"}, Action::InitServer, "", "", ""},
        {{"--import-data", "old.dat"}, Action::ImportData, "", "old.dat", ""},
        {{"--export-data", "x.dat", "--data-dir=d"}, Action::ExportData, "", "/here/x.dat", "d"},
        {{"--import-data"}, Action::Usage, "", "", ""},
        {{"--import-data", "a", "--export-data", "b"}, Action::Usage, "", "", ""},
        {{"--init-server", "--replay", "s"}, Action::Usage, "", "", ""},
        {{"--no-server", "--init-server"}, Action::Usage, "", "", ""},
        {{"--server="}, Action::Usage, "", "", ""},
        {{"--server"}, Action::Usage, "", "", ""},
        {{"--server=a", "--no-server"}, Action::Usage, "", "", ""},
        {{"--server=a", "--server=b"}, Action::Usage, "", "", ""},
    };
    for (const Case& c : cases) {
        std::string trace;
        for (const std::string& a : c.args) {
            trace += a + ' ';
        }
        SCOPED_TRACE(trace);
        const app::CommandLine got = app::ParseCommandLine(c.args, "/here");
        EXPECT_EQ(got.action, c.action);
        EXPECT_EQ(got.error.empty(), c.action != Action::Usage) << got.error;
        if (c.action != Action::Usage && c.action != Action::Help &&
            c.action != Action::Version) {
            EXPECT_EQ(got.replayScript, c.script);
            EXPECT_EQ(got.dataFile, c.file);
            EXPECT_EQ(got.dataFolder, c.folder);
            EXPECT_EQ(got.siteDataFolder, c.siteFolder);
        }
    }
}

TEST(CommandLineTest, TheServerIsTheCommandLinesOrLeftToTheSettings) {
    const app::CommandLine named =
        app::ParseCommandLine({"--server=host=db1 dbname=vora", "--replay", "s"}, "/here");
    EXPECT_TRUE(named.serverGiven);
    EXPECT_EQ(named.server, "host=db1 dbname=vora");
    const app::CommandLine none = app::ParseCommandLine({"--no-server"}, "/here");
    EXPECT_TRUE(none.noServer);
    EXPECT_FALSE(none.serverGiven);
    const app::CommandLine open = app::ParseCommandLine({}, "/here");
    EXPECT_FALSE(open.serverGiven || open.noServer);
}

} // namespace
