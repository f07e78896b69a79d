#pragma once
// The automation script runner (`vora --replay SCRIPT`).

#include "framework/ui/Automation.h"

#include <string>

namespace fw {

// Reads the script and runs its steps once the event loop runs, each when the program is idle
// again, so that after a step that opens a dialog the next ones act in it. A failing step, an
// unreadable or malformed script ends the program at once with status 2; a script that ends
// while the program runs ends it with status 3. Nothing is saved either way. main must live as
// long as the program.
void StartReplay(const std::string& scriptPath, IMainAutomation& main);

} // namespace fw
