#include "registry/DailyBackup.h"

#include "framework/File.h"
#include "framework/FileTools.h"
#include "framework/Folder.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace registry {

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
    const std::vector<std::string> backups =
        fw::MatchingNames(folder, "vora-[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9].dat");
    for (std::size_t i = 0; i + kBackupsKept < backups.size(); ++i) {
        ::unlink((folder + "/" + backups[i]).c_str());
    }
    return true;
}

} // namespace registry
