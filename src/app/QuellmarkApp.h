#pragma once
// The application: loads the document, builds the main window and runs until the program ends
// by its own rules.

#include <string>

class CQuellmarkApp {
public:
    // Runs the program; replayScript, when not empty, drives it as a user would. With server (a
    // connection string) the registry is the department server's instead of the data file's.
    // Returns the exit status.
    // userRole and adminRole are the server's login roles whose passwords the login takes.
    int Run(int& argc, char** argv, const std::string& replayScript, const std::string& server = {},
            const std::string& userRole = {}, const std::string& adminRole = {});
};
