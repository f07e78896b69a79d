#include "app/CommandLine.h"

#include <cstdlib>
#include <pwd.h>
#include <string_view>
#include <unistd.h>

namespace app {

namespace {

constexpr std::string_view kDataDir = "--data-dir";
constexpr std::string_view kDataDirIs = "--data-dir=";

bool isOption(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '-';
}

std::string absoluteFrom(const std::string& dir, const std::string& path) {
    if (path.empty() || path[0] == '/' || dir.empty()) {
        return path;
    }
    return dir.back() == '/' ? dir + path : dir + "/" + path;
}

CommandLine usage(std::string error) {
    CommandLine c;
    c.action = Action::Usage;
    c.error = std::move(error);
    return c;
}

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args, const std::string& workingDir) {
    CommandLine c;
    bool modeGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            c.action = Action::Help;
            return c;
        }
        if (arg == "--version") {
            c.action = Action::Version;
            return c;
        }
        if (arg == "--replay" || arg == "--verify-data") {
            if (modeGiven) {
                return usage("--replay と --verify-data は一度に一つだけです");
            }
            modeGiven = true;
            const bool hasValue = i + 1 < args.size() && !isOption(args[i + 1]);
            if (arg == "--replay") {
                if (!hasValue) {
                    return usage("--replay にはスクリプトのファイルが要ります");
                }
                c.replayScript = args[++i];
            } else {
                c.action = Action::VerifyData;
                c.dataFile = hasValue ? args[++i] : std::string();
            }
        } else if (arg == kDataDir || arg.rfind(kDataDirIs, 0) == 0) {
            if (!c.dataFolder.empty() || c.siteDataFolder) {
                return usage("--data-dir は一度だけです");
            }
            if (arg.size() > kDataDirIs.size()) {
                c.dataFolder = arg.substr(kDataDirIs.size());
            } else if (arg.size() == kDataDirIs.size()) {
                return usage("--data-dir= のあとにフォルダがありません");
            } else {
                c.siteDataFolder = true;
            }
        } else {
            return usage((isOption(arg) ? "知らないオプションです: " : "余分な引数です: ") + arg);
        }
    }
    if (!c.dataFolder.empty() || c.siteDataFolder) {
        c.replayScript = absoluteFrom(workingDir, c.replayScript);
        c.dataFile = absoluteFrom(workingDir, c.dataFile);
    }
    return c;
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) {
        return home;
    }
    const passwd* entry = ::getpwuid(::getuid());
    return entry && entry->pw_dir ? entry->pw_dir : "";
}

std::string UsageText() {
    return "使い方: vora [--data-dir[=DIR]] [--replay SCRIPT | --verify-data [FILE]]\n"
           "        vora --help | --version\n";
}

std::string HelpText() {
    return UsageText() +
           "\n"
           "麻酔症例の台帳です。作業フォルダのデータファイル vora.dat を起動時に読み込み、\n"
           "ログアウトのたびに書き直します。\n"
           "\n"
           "  --data-dir=DIR        DIR を作業フォルダにします。ないときは作ります。\n"
           "  --data-dir            設定ファイル（~/.config/vora/vora.conf、なければ\n"
           "                        /etc/vora/vora.conf）の data-dir を作業フォルダにします。\n"
           "                        どちらにもなければ ~/vora-data（ないときは作ります）。\n"
           "  --verify-data [FILE]  データファイル FILE（省くと作業フォルダの vora.dat）を\n"
           "                        起動時と同じに読み込んで確かめ、要約を表示します。\n"
           "                        何も書きません。正常なら終了コード 0、壊れていれば 1。\n"
           "  --replay SCRIPT       操作スクリプト SCRIPT のとおりに動かします（試験用）。\n"
           "  -h, --help            この説明を表示します。\n"
           "      --version         名前と版を表示します。\n";
}

std::string VersionText() {
    return std::string("vora ") + VORA_VERSION + "\n";
}

} // namespace app
