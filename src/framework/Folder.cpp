#include "framework/Folder.h"

#include "framework/File.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {

namespace {

// The mode the umask took away, and the group.
void applyToFolder(const std::string& path, const FilePolicy& policy) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        policy.ApplyTo(fd, true);
        ::close(fd);
    }
}

} // namespace

int MakeFolders(const std::string& path, const FilePolicy& policy) {
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string part = path.substr(0, end);
        if (!part.empty()) {
            if (::mkdir(part.c_str(), 0700) == 0) {
                applyToFolder(part, policy);
            } else if (errno != EEXIST) {
                return errno;
            }
        }
        if (end == std::string::npos) {
            return 0;
        }
    }
}

bool EnterFolder(const std::string& path, bool make, std::string* error) {
    int failure = path.empty() ? ENOENT : make ? MakeFolders(path, FilePolicy::OwnerOnly()) : 0;
    if (failure == 0 && ::chdir(path.c_str()) != 0) {
        failure = errno;
    }
    if (failure == 0) {
        return true;
    }
    if (error) {
        *error = "データフォルダ「" + path + "」に入れません：" + SystemErrorText(failure).ToUtf8();
    }
    return false;
}

} // namespace fw
