#include "app/CommandLine.h"
#include "app/Config.h"
#include "framework/Folder.h"
#include "registry/DataFileCheck.h"
#include "server/Commands.h"

#ifndef VORA_NO_UI
#include "app/QuellmarkApp.h"
#endif

#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <unistd.h>

namespace {

// What the settings files say, read when the command line leaves something to them: the
// data folder of a plain --data-dir, and for the program and the server's commands the
// server (unless --server or --no-server decides) and the names of its roles. Checking a
// data file needs no server.
bool readSettings(const app::CommandLine& cmd, const std::string& home, app::Settings& settings,
                  int& status) {
    const bool serverMayBeUsed = cmd.action != app::Action::VerifyData && !cmd.noServer;
    if (!cmd.siteDataFolder && !serverMayBeUsed) {
        return true;
    }
    std::string error;
    if (!app::ReadConfigFiles(app::ConfigFilesFromEnvironment(home), home, settings, error)) {
        std::cerr << "vora: " << error << "\n";
        status = 2;
        return false;
    }
    return true;
}

// The data folder the command line asks for: none (the working directory stays), the one it
// names, or the settings files' one. False with the exit status when there is none to be had.
bool chooseDataFolder(const app::CommandLine& cmd, const app::Settings& settings,
                      const std::string& home, app::DataFolder& folder, int& status) {
    if (!cmd.siteDataFolder) {
        folder = {cmd.dataFolder, true};
        return true;
    }
    folder = app::SiteDataFolder(settings, home);
    if (folder.path.empty()) {
        std::cerr << "vora: ホームフォルダが分からないので、--data-dir=DIR で指定してください\n"
                  << app::UsageText();
        status = 2;
        return false;
    }
    return true;
}

server::Roles rolesOf(const app::Settings& settings) {
    server::Roles roles;
    if (!settings.userRole.empty()) {
        roles.user = settings.userRole;
    }
    if (!settings.adminRole.empty()) {
        roles.admin = settings.adminRole;
    }
    return roles;
}

int runServerCommand(const app::CommandLine& cmd, const std::string& server,
                     const server::Roles& roles) {
    const bool terminal = ::isatty(STDIN_FILENO) == 1;
    if (server.empty()) {
        std::cerr << "vora: サーバーが指定されていません。--server=CONNINFO か設定ファイルの "
                     "server で指定してください\n"
                  << app::UsageText();
        return 2;
    }
    switch (cmd.action) {
    case app::Action::InitServer:
        return server::InitServerCommand(server, roles, std::cin, terminal, std::cout, std::cerr);
    case app::Action::ImportData:
        return server::ImportDataCommand(server, cmd.dataFile, std::cout, std::cerr);
    default:
        return server::ExportDataCommand(server, cmd.dataFile, std::cin, terminal, std::cout,
                                         std::cerr);
    }
}

} // namespace

int main(int argc, char** argv) {
    std::error_code ignored;
    const app::CommandLine cmd = app::ParseCommandLine(
        {argv + 1, argv + argc}, std::filesystem::current_path(ignored).string());
    switch (cmd.action) {
    case app::Action::Help:
        std::cout << app::HelpText();
        return 0;
    case app::Action::Version:
        std::cout << app::VersionText();
        return 0;
    case app::Action::Usage:
        std::cerr << "vora: " << cmd.error << "\n" << app::UsageText();
        return 2;
    default:
        break;
    }
    const std::string home = app::HomeFolder();
    app::Settings settings;
    app::DataFolder folder;
    if (int status = 0; !readSettings(cmd, home, settings, status) ||
                        !chooseDataFolder(cmd, settings, home, folder, status)) {
        return status;
    }
    const std::string server = cmd.serverGiven ? cmd.server
                               : cmd.noServer  ? std::string()
                                               : settings.server;
    if (std::string error;
        !folder.path.empty() && !fw::EnterFolder(folder.path, folder.make, &error)) {
        std::cerr << "vora: " << error << "\n";
        return 1;
    }
    if (cmd.action == app::Action::InitServer || cmd.action == app::Action::ImportData ||
        cmd.action == app::Action::ExportData) {
        return runServerCommand(cmd, server, rolesOf(settings));
    }
    if (cmd.action == app::Action::VerifyData) {
        return registry::VerifyDataFile(cmd.dataFile.empty() ? "vora.dat" : cmd.dataFile,
                                        std::cout);
    }
#ifdef VORA_NO_UI
    std::cerr << "vora: このビルドには画面がありません\n" << app::UsageText();
    return 2;
#else
    CQuellmarkApp app;
    const server::Roles roles = rolesOf(settings);
    return app.Run(argc, argv, cmd.replayScript, server, roles.user, roles.admin);
#endif
}
