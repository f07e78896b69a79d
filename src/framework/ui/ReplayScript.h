#pragma once
// Automation scripts as text: one step a line, UTF-8, `#` comment lines, blank lines skipped.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

enum class StepKind {
    Type,
    Press,
    Check,
    Pick,
    Mark,
    Focus,
    Key,
    Menu,
    Click,
    Scroll,
    Resize,
    Close,
    ExpectDialog,
    Expect,
    ExpectEnabled,
    ExpectVisible,
    ExpectRows,
    ExpectCell,
    SaveText,
    Shot,
    PrintPdf,
    WaitFifo,
    WaitMs,
    ExpectStatus,
    WaitProgress,
};

struct ReplayStep {
    int line = 0;
    StepKind kind = StepKind::Close;
    std::string name; // as written, for messages
    // Separated by one space. The text argument of type, pick, expect and expect-cell is the rest
    // of the line, with \n turned into CR LF and \\ into a backslash.
    std::vector<std::string> args;
    // The value of each argument that is a number (an id, a count, a coordinate, 0 or 1) or a
    // scroll action (its fw::ScrollCode); 0 for the others.
    std::vector<int> values;

    // The value of argument i, or fallback when the step was written without it.
    int Value(std::size_t i, int fallback = 0) const {
        return i < values.size() ? values[i] : fallback;
    }
};

// false, with "line N: reason" in error, at the first step that is unknown or malformed.
bool ParseReplayScript(std::string_view script, std::vector<ReplayStep>& steps, std::string& error);

} // namespace fw
