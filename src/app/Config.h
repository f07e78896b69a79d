#pragma once
// The settings of a site and of a user: /etc/vora/vora.conf, overridden by
// $XDG_CONFIG_HOME/vora/vora.conf (~/.config/vora/vora.conf). Lines "key = value"; lines
// starting with "#" and blank lines are skipped. Parsing and reading only; main() acts.

#include <string>
#include <string_view>

namespace app {

// What the files set; empty where no file sets it.
struct Settings {
    std::string dataDir; // data-dir: the data folder of a plain --data-dir
    std::string server;  // server: the department server's connection string (libpq's form)
    // user-role, admin-role: the server's login roles of the general user and the
    // administrator, when not vora_user and vora_admin
    std::string userRole;
    std::string adminRole;
};

// Where the two files lie.
struct ConfigFiles {
    std::string system;
    std::string user; // empty when neither XDG_CONFIG_HOME nor the home folder is known
};

// The files for the given environment: systemOverride (VORA_SYSTEM_CONFIG, for tests) replaces
// /etc/vora/vora.conf; xdgConfigHome counts only when it is an absolute path, as the XDG rules
// say; home is the user's home folder. Null or empty values are not set.
ConfigFiles ConfigFilesFor(const char* systemOverride, const char* xdgConfigHome,
                           const std::string& home);
// The same from this program's environment.
ConfigFiles ConfigFilesFromEnvironment(const std::string& home);

// Reads the text of one file, named fileName in messages, into settings: a key it sets replaces
// what settings held. A value of a folder may start with "~/" for the home folder home. False
// at the first line that is no setting, an unknown key, a bad value or a key set twice, with
// error "FILE:LINE: what is wrong" (UTF-8, for the terminal); settings may then be half set.
bool ParseConfig(std::string_view text, const std::string& fileName, const std::string& home,
                 Settings& settings, std::string& error);

// Reads the system's file, then the user's, into settings; a file that is not there sets
// nothing. False with error when a file is there but cannot be read or parsed.
bool ReadConfigFiles(const ConfigFiles& files, const std::string& home, Settings& settings,
                     std::string& error);

// The data folder of a plain --data-dir: the files' data-dir, which must be there (a shared
// folder that is not mounted must not turn into a new, empty registry), else ~/vora-data, made
// when missing. path is empty when neither is known (no file sets it and the home folder is
// unknown).
struct DataFolder {
    std::string path;
    bool make = false;
};
DataFolder SiteDataFolder(const Settings& settings, const std::string& home);

} // namespace app
