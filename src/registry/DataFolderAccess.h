#pragma once
// Whether the program can keep a data file safely before it starts to work on it: the lock,
// the journal, the daily backup and the save at logout all write beside the data file. A
// program that could not do one of them would run unprotected, or fail only at logout, so it
// does not start.

#include "framework/String.h"

#include <optional>
#include <string>

namespace registry {

// What cannot be written, and why.
struct AccessProblem {
    std::string path; // the file or folder, as the program names it
    int error = 0;    // the system's error number
};

// Looks, without changing anything, at what the program writes beside the data file
// dataFileTarget (its links already followed): the folder (the save's temporary file and
// rename, the journal and the lock are made there), an existing journal (appended to), and an
// existing backup folder (the day's backup goes there). The lock itself is tried by taking it.
std::optional<AccessProblem> FindAccessProblem(const std::string& dataFileTarget);

// The message that ends the program: the file, the reason and what to do.
// 「データファイルを安全に使えないため終了します（vora.dat.lock：理由）。フォルダーとファイルに
// 書き込めるよう、管理者に依頼してください。」
CString UnsafeDataFileMessage(const AccessProblem& problem);

} // namespace registry
