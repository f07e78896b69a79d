#include "registry/DailyBackup.h"

#include "framework/File.h"
#include "framework/FileTools.h"
#include "framework/Folder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace registry {
namespace {

int dayNumber(const fw::LocalDate& day) {
    return day.year * 10000 + day.month * 100 + day.day;
}

// The date of a name "vora-YYYYMMDD.dat" as YYYYMMDD.
int dayInName(const std::string& name) {
    return std::atoi(name.substr(5, 8).c_str());
}

} // namespace

std::string BackupFolderOf(const std::string& dataFileTarget) {
    const std::string folder = fw::DirectoryOf(dataFileTarget);
    return folder == "." ? "vora-backup" : folder + "/vora-backup";
}

std::string BackupNameOf(const fw::LocalDate& day) {
    char name[32];
    std::snprintf(name, sizeof name, "vora-%04d%02d%02d.dat", day.year % 10000, day.month, day.day);
    return name;
}

bool KeepDailyBackup(const std::string& dataFilePath, const fw::LocalDate& day, CString* notice) {
    std::string target;
    int error = 0;
    struct stat st {};
    if (!fw::ResolveLinks(dataFilePath, target, error) || ::stat(target.c_str(), &st) != 0 ||
        !S_ISREG(st.st_mode)) {
        return true; // nothing saved yet that a backup could keep
    }
    const std::string folder = BackupFolderOf(target);
    const std::string name = BackupNameOf(day);
    const std::string path = folder + "/" + name;
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0) {
        return true; // this day's backup was made by an earlier save
    }
    const fw::FilePolicy policy = fw::FilePolicy::Beside(target);
    error = fw::MakeFolders(folder, policy);
    const bool kept = error == 0 && fw::LinkOrCopy(target, path, error, policy);
    if (!kept) {
        if (notice) {
            CString where;
            if (!CString::FromUtf8("vora-backup/" + name, where)) {
                where = CString("vora-backup/" + name);
            }
            *notice = "データファイルは保存しましたが、この日のバックアップ「"_sj + where +
                      "」を作れませんでした："_sj + fw::SystemErrorText(error) + "。"_sj;
        }
        return false;
    }
    fw::SyncFolder(folder);
    std::vector<std::string> backups =
        fw::MatchingNames(folder, "vora-[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9].dat");
    // Oldest first by the dates in the names. A backup dated after today was made while the
    // clock showed another day: it goes before every other, so a clock set back never costs
    // the backup just made, and one that ran ahead leaves no file that outlives the rest.
    const int today = dayNumber(day);
    std::stable_sort(backups.begin(), backups.end(),
                     [today](const std::string& a, const std::string& b) {
                         const int dayA = dayInName(a);
                         const int dayB = dayInName(b);
                         return std::pair(dayA <= today, dayA) < std::pair(dayB <= today, dayB);
                     });
    for (std::size_t i = 0; i + kBackupsKept < backups.size(); ++i) {
        ::unlink((folder + "/" + backups[i]).c_str());
    }
    return true;
}

} // namespace registry
