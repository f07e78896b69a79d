#pragma once
// Long work with a bar and 「キャンセル」: the work runs on a thread of its own and reports to a
// fw::Progress; the windows go on repainting meanwhile, and the user can stop it.

#include "framework/Progress.h"
#include "framework/String.h"

#include <functional>

namespace fw {

// Template and control ids of the progress dialog, as scripts address it: dialog `progress`,
// its text 1000, its bar 1001 and its button 2 (キャンセル).
constexpr int kProgressDialogId = -101;
constexpr int kProgressTextId = 1000;
constexpr int kProgressBarId = 1001;
// Work that ends this soon shows no dialog at all.
constexpr int kProgressShowAfterMs = 200;

// Runs work on a thread of its own and returns once it has returned, rethrowing what it threw.
// After kProgressShowAfterMs a modal dialog shows text, the progress as a bar and 「キャンセル」
// (Escape too): that cancels the progress, and the dialog stays until the work has stopped.
// An end of the program (a signal) cancels it as well.
void RunWithProgress(const CString& text, const std::function<void(Progress&)>& work);

// Whether such work runs now: it reads the document on its thread, so nothing else may change
// the document until it has ended (changes of other workstations wait meanwhile).
bool IsWorkRunning();

} // namespace fw
