#include "app/Config.h"

#include "framework/File.h"

#include <array>
#include <cstdlib>
#include <iterator>
#include <new>

namespace app {
namespace {

constexpr const char* kSystemFile = "/etc/vora/vora.conf";
constexpr const char* kDefaultFolderName = "vora-data";
// A settings file is a few lines; anything much larger is not one.
constexpr std::uint64_t kMaxFileSize = 64 * 1024;

// A folder: absolute, or in the home folder.
bool folderValue(std::string& value, const std::string& home, std::string& why) {
    if (value == "~" || value.rfind("~/", 0) == 0) {
        if (home.empty()) {
            why = "ホームフォルダが分からないので ~ は使えません";
            return false;
        }
        value = home + value.substr(1);
    }
    if (value.empty() || value[0] != '/') {
        why = "フォルダは / か ~/ で始めて書いてください: \"" + value + "\"";
        return false;
    }
    return true;
}

// A connection string as libpq takes it; libpq checks it when the program connects.
bool connectionValue(std::string& value, const std::string&, std::string& why) {
    if (value.find('\0') != std::string::npos) {
        why = "接続文字列に使えない文字があります";
        return false;
    }
    return true;
}

// A role of PostgreSQL, as an identifier may name it.
bool roleValue(std::string& value, const std::string&, std::string& why) {
    if (value.size() > 63 || value.find_first_of(" \t\"") != std::string::npos) {
        why = "ロールの名前は空白と \" を含まない 63 バイトまでです: \"" + value + "\"";
        return false;
    }
    return true;
}

struct Key {
    std::string_view name;
    std::string Settings::*value;
    // Checks the value and puts it in the form the program uses; false with why.
    bool (*complete)(std::string& value, const std::string& home, std::string& why);
};

constexpr Key kKeys[] = {
    {"data-dir", &Settings::dataDir, folderValue},
    {"server", &Settings::server, connectionValue},
    {"user-role", &Settings::userRole, roleValue},
    {"admin-role", &Settings::adminRole, roleValue},
};

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool readFile(const std::string& path, std::string& text, bool& missing, std::string& error) {
    try {
        fw::CDiskFile file(path, &missing);
        if (missing) {
            return true;
        }
        if (file.GetLength() > kMaxFileSize) {
            error = path + ": 設定ファイルにしては大きすぎます";
            return false;
        }
        text = file.ReadAll();
        return true;
    } catch (const fw::CFileException& e) {
        error = path + ": 読み込めません：" + e.Reason().ToUtf8();
    } catch (const std::bad_alloc&) {
        error = path + ": 読み込むためのメモリが足りません";
    }
    return false;
}

} // namespace

ConfigFiles ConfigFilesFor(const char* systemOverride, const char* xdgConfigHome,
                           const std::string& home) {
    ConfigFiles files;
    files.system = systemOverride && *systemOverride ? systemOverride : kSystemFile;
    if (xdgConfigHome && xdgConfigHome[0] == '/') {
        files.user = std::string(xdgConfigHome) + "/vora/vora.conf";
    } else if (!home.empty()) {
        files.user = home + "/.config/vora/vora.conf";
    }
    return files;
}

ConfigFiles ConfigFilesFromEnvironment(const std::string& home) {
    return ConfigFilesFor(std::getenv("VORA_SYSTEM_CONFIG"), std::getenv("XDG_CONFIG_HOME"), home);
}

bool ParseConfig(std::string_view text, const std::string& fileName, const std::string& home,
                 Settings& settings, std::string& error) {
    std::array<int, std::size(kKeys)> setOnLine{};
    int lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;
        if (line.empty() || line[0] == '#') {
            continue;
        }
        auto fail = [&](const std::string& what) {
            error = fileName + ":" + std::to_string(lineNumber) + ": " + what;
            return false;
        };
        const std::size_t equals = line.find('=');
        const std::string_view name =
            trimmed(line.substr(0, equals == std::string_view::npos ? 0 : equals));
        if (name.empty()) {
            return fail("「キー = 値」の形ではありません");
        }
        std::size_t k = 0;
        while (k < std::size(kKeys) && kKeys[k].name != name) {
            ++k;
        }
        if (k == std::size(kKeys)) {
            return fail("知らないキーです: \"" + std::string(name) + "\"");
        }
        const Key& key = kKeys[k];
        if (setOnLine[k] != 0) {
            return fail(std::string(name) + " は " + std::to_string(setOnLine[k]) +
                        " 行目にも書かれています");
        }
        setOnLine[k] = lineNumber;
        std::string value(trimmed(line.substr(equals + 1)));
        if (value.empty()) {
            return fail(std::string(name) + " の値がありません");
        }
        std::string why;
        if (!key.complete(value, home, why)) {
            return fail(std::string(name) + ": " + why);
        }
        settings.*key.value = std::move(value);
    }
    return true;
}

bool ReadConfigFiles(const ConfigFiles& files, const std::string& home, Settings& settings,
                     std::string& error) {
    for (const std::string& path : {files.system, files.user}) {
        if (path.empty()) {
            continue;
        }
        std::string text;
        bool missing = false;
        if (!readFile(path, text, missing, error)) {
            return false;
        }
        if (!missing && !ParseConfig(text, path, home, settings, error)) {
            return false;
        }
    }
    return true;
}

DataFolder SiteDataFolder(const Settings& settings, const std::string& home) {
    if (!settings.dataDir.empty()) {
        return {settings.dataDir, false};
    }
    if (home.empty()) {
        return {};
    }
    return {home + "/" + kDefaultFolderName, true};
}

} // namespace app
