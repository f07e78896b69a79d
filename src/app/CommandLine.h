#pragma once
// The program's command line: what to do, on which folder and files. Parsing only; main() acts.

#include <string>
#include <vector>

namespace app {

enum class Action {
    Run,        // the windowed program (with replayScript: driven by a script)
    VerifyData, // load dataFile as at start-up, print a summary, write nothing
    Help,       // HelpText() to standard output, status 0
    Version,    // VersionText() to standard output, status 0
    Usage,      // error and UsageText() to standard error, status 2
    InitServer, // make or upgrade the registry's schema on the server
    ImportData, // load dataFile into the server's empty registry
    ExportData, // write the server's registry into dataFile
};

struct CommandLine {
    Action action = Action::Run;
    std::string replayScript;    // --replay SCRIPT
    std::string dataFile;        // --verify-data [FILE]; empty: vora.dat in the data folder
    std::string dataFolder;      // --data-dir=DIR
    bool siteDataFolder = false; // a plain --data-dir: the folder the settings files name
    // --server=CONNINFO: the department server instead of the settings files' one; --no-server:
    // the data file even where a settings file names a server.
    std::string server;
    bool serverGiven = false;
    bool noServer = false;
    std::string error; // what was wrong, for Action::Usage
};

// args are the arguments after the program's name. --import-data FILE and --export-data FILE
// set dataFile. Without --data-dir the working directory
// stays the data folder. A relative SCRIPT or FILE is made absolute from workingDir when a data
// folder is asked for, so it names the file the user meant after the program has moved there.
CommandLine ParseCommandLine(const std::vector<std::string>& args, const std::string& workingDir);

// The user's home folder: $HOME, else the password database's entry; empty when neither is known.
std::string HomeFolder();

std::string UsageText();
std::string HelpText();
std::string VersionText();

} // namespace app
