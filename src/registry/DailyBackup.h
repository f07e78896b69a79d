#pragma once
// The daily backups of the data file: the first save of a day keeps the file it replaces as
// vora-backup/vora-YYYYMMDD.dat in the data file's folder, and the newest 14 by the dates in
// their names are kept. Backups dated after the day of the save (the clock was set back, or
// ran ahead when they were made) count as the oldest, so the backup just made always stays.

#include "framework/String.h"
#include "framework/Time32.h"

#include <string>

namespace registry {

constexpr int kBackupsKept = 14;

// The folder and the file name of the backup of day in the folder of the data file.
std::string BackupFolderOf(const std::string& dataFileTarget);
std::string BackupNameOf(const fw::LocalDate& day);

// Called before the data file at dataFilePath is replaced on day. Keeps the file as it is now
// when the day has no backup yet (a hard link where possible, else a copy; the folder and a
// copy get the mode and group of the data file) and removes all but the newest kBackupsKept
// (those dated after day first). False,
// with *notice saying so in Japanese, when the backup could not be made; the save goes on
// regardless.
bool KeepDailyBackup(const std::string& dataFilePath, const fw::LocalDate& day, CString* notice);

} // namespace registry
