#pragma once
// Ends that are not the program's own: SIGTERM, SIGHUP and SIGINT, and the end of the desktop
// session. Each closes every open dialog and ends the event loop, without saving and without
// asking; what the user confirmed is in the journal already.

namespace fw {

// Call once, after InitApplication.
void EndOnSignals();
// True once such an end has begun: a dialog opened from then on returns -1 at once.
bool IsEnding();
// Begins that end now (what a signal does).
void EndProgramNow();

} // namespace fw
