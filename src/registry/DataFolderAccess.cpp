#include "registry/DataFolderAccess.h"

#include "framework/File.h"
#include "registry/DailyBackup.h"
#include "registry/Journal.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace registry {
namespace {

// As this program's own user and groups would be let in (not the real ones, should they
// differ).
int accessError(const std::string& path, int mode) {
    return ::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0 ? 0 : errno;
}

// The folder as the administrator finds it: a full path.
std::string shownFolder(const std::string& folder) {
    char* real = ::realpath(folder.c_str(), nullptr);
    if (!real) {
        return folder;
    }
    std::string path(real);
    std::free(real);
    return path;
}

// In a folder with the sticky bit only a file's owner (or the folder's) may replace or remove
// it: the save replaces the data file, and the save and the forced exit remove the journal.
bool mayReplace(const struct stat& folder, const std::string& path) {
    const uid_t self = ::geteuid();
    if ((folder.st_mode & S_ISVTX) == 0 || self == 0 || folder.st_uid == self) {
        return true;
    }
    struct stat st {};
    return ::lstat(path.c_str(), &st) != 0 || st.st_uid == self;
}

} // namespace

std::optional<AccessProblem> FindAccessProblem(const std::string& dataFileTarget) {
    const std::string folder = fw::DirectoryOf(dataFileTarget);
    struct stat folderStatus {};
    if (::stat(folder.c_str(), &folderStatus) != 0) {
        return AccessProblem{shownFolder(folder), errno};
    }
    if (const int error = accessError(folder, W_OK | X_OK)) {
        return AccessProblem{shownFolder(folder), error};
    }
    const std::string journal = JournalPathOf(dataFileTarget);
    for (const std::string& path : {dataFileTarget, journal}) {
        if (!mayReplace(folderStatus, path)) {
            return AccessProblem{fw::BaseNameOf(path), EPERM};
        }
    }
    struct stat st {};
    if (::lstat(journal.c_str(), &st) == 0) {
        if (const int error = accessError(journal, R_OK | W_OK)) {
            return AccessProblem{fw::BaseNameOf(journal), error};
        }
    }
    const std::string backups = BackupFolderOf(dataFileTarget);
    if (::stat(backups.c_str(), &st) == 0) {
        const int error = S_ISDIR(st.st_mode) ? accessError(backups, W_OK | X_OK) : ENOTDIR;
        if (error != 0) {
            return AccessProblem{fw::BaseNameOf(backups), error};
        }
    }
    return std::nullopt;
}

CString UnsafeDataFileMessage(const AccessProblem& problem) {
    CString name;
    if (!CString::FromUtf8(problem.path, name)) {
        name = CString(problem.path);
    }
    CString text = "データファイルを安全に使えないため終了します（"_sj + name + "："_sj +
                   fw::SystemErrorText(problem.error) + "）。"_sj;
    switch (problem.error) {
    case ENOLCK:
    case EOPNOTSUPP:
    case EINVAL:
        return text + "ファイルのロックが使える場所にデータフォルダーを置くよう、管理者に依頼してく"
                      "ださい。"_sj;
    case ENOSPC:
    case EDQUOT:
        return text + "ディスクに空きを作ってから起動し直してください。"_sj;
    default:
        return text + "フォルダーとファイルに書き込めるよう、管理者に依頼してください。"_sj;
    }
}

} // namespace registry
