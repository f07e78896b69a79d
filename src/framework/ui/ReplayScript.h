#pragma once
// Automation scripts as text: one step a line, UTF-8, `#` comment lines, blank lines skipped.

#include <string>
#include <string_view>
#include <vector>

namespace fw {

struct ReplayStep {
    int line = 0;
    std::string name;
    // Separated by one space. The text argument of type, pick, expect and expect-cell is the rest
    // of the line, with \n turned into CR LF and \\ into a backslash.
    std::vector<std::string> args;
};

// false, with "line N: reason" in error, at the first step that is unknown or malformed.
bool ParseReplayScript(std::string_view script, std::vector<ReplayStep>& steps, std::string& error);

} // namespace fw
