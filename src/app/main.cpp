#include "app/CommandLine.h"
#include "app/Config.h"
#include "framework/Folder.h"
#include "registry/DataFileCheck.h"

#ifndef VORA_NO_UI
#include "app/QuellmarkApp.h"
#endif

#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

namespace {

// The data folder the command line asks for: none (the working directory stays), the one it
// names, or the settings files' one. False with the exit status when there is none to be had.
bool chooseDataFolder(const app::CommandLine& cmd, app::DataFolder& folder, int& status) {
    if (!cmd.siteDataFolder) {
        folder = {cmd.dataFolder, true};
        return true;
    }
    const std::string home = app::HomeFolder();
    app::Settings settings;
    std::string error;
    if (!app::ReadConfigFiles(app::ConfigFilesFromEnvironment(home), home, settings, error)) {
        std::cerr << "vora: " << error << "\n";
        status = 2;
        return false;
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
    app::DataFolder folder;
    if (int status = 0; !chooseDataFolder(cmd, folder, status)) {
        return status;
    }
    if (std::string error;
        !folder.path.empty() && !fw::EnterFolder(folder.path, folder.make, &error)) {
        std::cerr << "vora: " << error << "\n";
        return 1;
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
    return app.Run(argc, argv, cmd.replayScript);
#endif
}
