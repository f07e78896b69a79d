#include "app/CommandLine.h"
#include "framework/Folder.h"
#include "registry/DataFileCheck.h"

#ifndef VORA_NO_UI
#include "app/QuellmarkApp.h"
#endif

#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

int main(int argc, char** argv) {
    std::error_code ignored;
    const app::CommandLine cmd =
        app::ParseCommandLine({argv + 1, argv + argc}, app::HomeFolder(),
                              std::filesystem::current_path(ignored).string());
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
    if (std::string error; !cmd.dataFolder.empty() && !fw::EnterFolder(cmd.dataFolder, &error)) {
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
