#include "framework/Folder.h"

#include "framework/File.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {

int MakeFolders(const std::string& path) {
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string part = path.substr(0, end);
        if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            return errno;
        }
        if (end == std::string::npos) {
            return 0;
        }
    }
}

bool EnterFolder(const std::string& path, std::string* error) {
    int failure = path.empty() ? ENOENT : MakeFolders(path);
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
