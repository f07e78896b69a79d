#include "app/CommandLine.h"

#include <cstdlib>
#include <pwd.h>
#include <string_view>
#include <unistd.h>

namespace app {

namespace {

constexpr std::string_view kDataDir = "--data-dir";
constexpr std::string_view kDataDirIs = "--data-dir=";
constexpr std::string_view kServerIs = "--server=";

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
        if (arg == "--replay" || arg == "--verify-data" || arg == "--init-server" ||
            arg == "--import-data" || arg == "--export-data") {
            if (modeGiven) {
                return usage("--replay、--verify-data、--init-server、--import-data、"
                             "--export-data は一度に一つだけです");
            }
            modeGiven = true;
            const bool hasValue = i + 1 < args.size() && !isOption(args[i + 1]);
            if (arg == "--replay") {
                if (!hasValue) {
                    return usage("--replay にはスクリプトのファイルが要ります");
                }
                c.replayScript = args[++i];
            } else if (arg == "--verify-data") {
                c.action = Action::VerifyData;
                c.dataFile = hasValue ? args[++i] : std::string();
            } else if (arg == "--init-server") {
                c.action = Action::InitServer;
            } else {
                if (!hasValue) {
                    return usage(arg + " にはデータファイルが要ります");
                }
                c.action = arg == "--import-data" ? Action::ImportData : Action::ExportData;
                c.dataFile = args[++i];
            }
        } else if (arg.rfind(kServerIs, 0) == 0 || arg == "--server") {
            if (c.serverGiven || c.noServer) {
                return usage("--server と --no-server は一度に一つだけです");
            }
            if (arg.size() <= kServerIs.size()) {
                return usage("--server= のあとに接続文字列がありません");
            }
            c.server = arg.substr(kServerIs.size());
            c.serverGiven = true;
        } else if (arg == "--no-server") {
            if (c.serverGiven || c.noServer) {
                return usage("--server と --no-server は一度に一つだけです");
            }
            c.noServer = true;
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
    const bool serverAction = c.action == Action::InitServer || c.action == Action::ImportData ||
                              c.action == Action::ExportData;
    if (serverAction && c.noServer) {
        return usage("--no-server ではサーバーの台帳を扱えません");
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
    return "使い方: vora [--data-dir[=DIR]] [--server=CONNINFO | --no-server]\n"
           "             [--replay SCRIPT | --verify-data [FILE]]\n"
           "        vora [--server=CONNINFO] --init-server | --import-data FILE | --export-data "
           "FILE\n"
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
           "  --server=CONNINFO     データファイルの代わりに、部署のサーバー（PostgreSQL）の\n"
           "                        台帳で動きます。CONNINFO は libpq の接続文字列か URI\n"
           "                        （例: service=vora、host=db1 dbname=vora）。省くと\n"
           "                        設定ファイルの server、それもなければデータファイル。\n"
           "                        ログインのパスワードは台帳のロール（vora_user と\n"
           "                        vora_admin、設定ファイルの user-role と admin-role）の\n"
           "                        パスワードです。\n"
           "  --no-server           設定ファイルに server があっても、データファイルで動きます。\n"
           "  --init-server         台帳の二つのロールと台帳のスキーマ vora を、サーバーの\n"
           "                        空のデータベースに作ります（古い版は新しくします）。\n"
           "                        管理者と一般ユーザーのパスワードを尋ねます（端末では\n"
           "                        それぞれ二度、表示せずに。そうでなければ標準入力の\n"
           "                        2 行で、1 行目が管理者）。ロールを作れる接続で実行します\n"
           "                        （スーパーユーザーか CREATEROLE のあるロール）。\n"
           "  --import-data FILE    データファイル FILE をサーバーの空の台帳に読み込みます。\n"
           "                        ファイルのパスワードがロールのパスワードになります。\n"
           "  --export-data FILE    サーバーの台帳をデータファイル FILE に書き出します。\n"
           "                        ファイルに書くパスワードを、--init-server と同じに\n"
           "                        尋ねます。\n"
           "  --replay SCRIPT       操作スクリプト SCRIPT のとおりに動かします（試験用）。\n"
           "  -h, --help            この説明を表示します。\n"
           "      --version         名前と版を表示します。\n";
}

std::string VersionText() {
    return std::string("vora ") + VORA_VERSION + "\n";
}

} // namespace app
