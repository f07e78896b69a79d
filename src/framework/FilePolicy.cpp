#include "framework/FilePolicy.h"

#include "framework/File.h"

#include <cerrno>
#include <unistd.h>

namespace fw {

FilePolicy FilePolicy::Decide(const struct stat* dataFile, const struct stat& folder) {
    const bool setgid = (folder.st_mode & S_ISGID) != 0;
    if (dataFile) {
        return {mode_t(0600 | (dataFile->st_mode & 0066)), dataFile->st_gid, setgid};
    }
    if (setgid && (folder.st_mode & S_IWGRP) != 0) {
        return {0660, folder.st_gid, true};
    }
    return OwnerOnly();
}

namespace {

// The data file at path, its links followed, and its folder: found tells which of them could
// be looked at.
struct DataFileStatus {
    bool fileFound = false;
    bool folderFound = false;
    struct stat file {};
    struct stat folder {};
};

DataFileStatus statusOf(const std::string& dataFilePath) {
    std::string target;
    int error = 0;
    if (!ResolveLinks(dataFilePath, target, error)) {
        target = dataFilePath;
    }
    DataFileStatus status;
    status.folderFound = ::stat(DirectoryOf(target).c_str(), &status.folder) == 0;
    status.fileFound = ::stat(target.c_str(), &status.file) == 0 && S_ISREG(status.file.st_mode);
    return status;
}

} // namespace

FilePolicy FilePolicy::Beside(const std::string& dataFilePath) {
    const DataFileStatus status = statusOf(dataFilePath);
    if (!status.folderFound) {
        return OwnerOnly();
    }
    return Decide(status.fileFound ? &status.file : nullptr, status.folder);
}

FilePolicy FilePolicy::Keeping(const struct stat& existing) {
    return {mode_t(existing.st_mode & 07777), existing.st_gid, false};
}

FilePolicy FilePolicy::OfDataFile(const std::string& dataFilePath) {
    const DataFileStatus status = statusOf(dataFilePath);
    if (status.fileFound) {
        return Keeping(status.file);
    }
    return status.folderFound ? Decide(nullptr, status.folder) : OwnerOnly();
}

mode_t FilePolicy::FolderMode() const {
    mode_t mode = (fileMode & 0666) | 0700;
    // Whoever may read a folder's files may also look into it.
    if (mode & S_IRGRP) {
        mode |= S_IXGRP;
    }
    if (mode & S_IROTH) {
        mode |= S_IXOTH;
    }
    return setgidFolders ? mode | S_ISGID : mode;
}

int FilePolicy::ApplyTo(int fd, bool folder) const {
    mode_t mode = folder ? FolderMode() : fileMode;
    // The group first: a change of group clears the set-id bits that the mode then sets.
    if (group != gid_t(-1) && ::fchown(fd, uid_t(-1), group) != 0) {
        mode &= ~mode_t(S_IRWXG | S_ISGID);
    }
    return ::fchmod(fd, mode) == 0 ? 0 : errno;
}

} // namespace fw
