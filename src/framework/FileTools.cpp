#include "framework/FileTools.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace fw {
namespace {

bool writeAll(int fd, const void* data, std::size_t n, int& error) {
    auto* p = static_cast<const char*>(data);
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = errno;
            return false;
        }
        if (w == 0) {
            error = EIO;
            return false;
        }
        p += w;
        n -= std::size_t(w);
    }
    return true;
}

std::string joined(const std::string& folder, const std::string& name) {
    return folder.empty() || folder == "." ? name : folder + "/" + name;
}

} // namespace

void SyncFolder(const std::string& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

AppendFile::~AppendFile() {
    Close();
}

AppendFile::AppendFile(AppendFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_length(other.m_length) {}

AppendFile& AppendFile::operator=(AppendFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
        m_length = other.m_length;
    }
    return *this;
}

bool AppendFile::Open(const std::string& path, int& error) {
    Close();
    m_fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
    if (m_fd < 0) {
        error = errno;
        return false;
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) {
        error = errno;
        Close();
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = EINVAL;
        Close();
        return false;
    }
    m_length = std::uint64_t(st.st_size);
    return true;
}

bool AppendFile::Append(const void* data, std::size_t n, int& error) {
    if (m_fd < 0) {
        error = EBADF;
        return false;
    }
    bool ok = writeAll(m_fd, data, n, error);
    if (ok && ::fdatasync(m_fd) != 0) {
        error = errno;
        ok = false;
    }
    if (ok) {
        m_length += n;
        return true;
    }
    // What reached the file of this entry goes again, so a later entry never follows a torn one.
    if (::ftruncate(m_fd, off_t(m_length)) == 0) {
        ::fdatasync(m_fd);
    }
    return false;
}

bool AppendFile::Truncate(std::uint64_t length, int& error) {
    if (m_fd < 0 || ::ftruncate(m_fd, off_t(length)) != 0 || ::fdatasync(m_fd) != 0) {
        error = m_fd < 0 ? EBADF : errno;
        return false;
    }
    m_length = length;
    return true;
}

void AppendFile::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

FileLock::~FileLock() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

namespace {

// Opens the lock file, making it when it is not there; made tells which.
int openLockFile(const std::string& path, bool& made) {
    constexpr int kFlags = O_RDWR | O_CLOEXEC | O_NOFOLLOW;
    // Another program may make or remove it in between; a few tries settle that.
    for (int tries = 0; tries < 8; ++tries) {
        int fd = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0600);
        if (fd >= 0 || errno != EEXIST) {
            made = fd >= 0;
            return fd;
        }
        fd = ::open(path.c_str(), kFlags);
        if (fd >= 0 || errno != ENOENT) {
            made = false;
            return fd;
        }
    }
    return -1;
}

} // namespace

FileLock::Result FileLock::Take(const std::string& path, const std::string& owner,
                                std::string& holder, int& error, const FilePolicy& policy) {
    bool made = false;
    const int fd = openLockFile(path, made);
    if (fd < 0) {
        error = errno;
        return Result::Failed;
    }
    struct stat st {};
    if (made || (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid())) {
        policy.ApplyTo(fd);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno;
        if (error != EWOULDBLOCK) {
            // A program that cannot lock leaves the folder as it found it.
            if (made) {
                ::unlink(path.c_str());
            }
            ::close(fd);
            return Result::Failed;
        }
        char buffer[1024];
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, 0);
        holder.assign(buffer, n > 0 ? std::size_t(n) : 0);
        ::close(fd);
        return Result::Held;
    }
    // Who holds it is told to the next program; the lock itself does not depend on it.
    if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, owner.data(), owner.size(), 0) >= 0) {
        ::fdatasync(fd);
    }
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = fd;
    return Result::Taken;
}

bool LinkOrCopy(const std::string& from, const std::string& to, int& error,
                const FilePolicy& policy) {
    if (::link(from.c_str(), to.c_str()) == 0) {
        return true;
    }
    if (errno == EEXIST) {
        error = EEXIST;
        return false;
    }
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        error = errno;
        return false;
    }
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        error = errno;
        ::close(in);
        return false;
    }
    policy.ApplyTo(out);
    bool ok = true;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t r = ::read(in, buffer, sizeof buffer);
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r < 0) {
            error = errno;
            ok = false;
            break;
        }
        if (r == 0) {
            break;
        }
        if (!writeAll(out, buffer, std::size_t(r), error)) {
            ok = false;
            break;
        }
    }
    if (ok && ::fsync(out) != 0) {
        error = errno;
        ok = false;
    }
    if (::close(out) != 0 && ok) {
        error = errno;
        ok = false;
    }
    ::close(in);
    if (!ok) {
        ::unlink(to.c_str());
    }
    return ok;
}

std::vector<std::string> MatchingNames(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) {
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (::fnmatch(pattern.c_str(), entry->d_name, FNM_PERIOD) == 0) {
            names.emplace_back(entry->d_name);
        }
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

int RemoveMatchingFiles(const std::string& folder, const std::vector<std::string>& patterns) {
    int removed = 0;
    for (const std::string& pattern : patterns) {
        for (const std::string& name : MatchingNames(folder, pattern)) {
            const std::string path = joined(folder, name);
            struct stat st {};
            if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                ::unlink(path.c_str()) == 0) {
                ++removed;
            }
        }
    }
    if (removed > 0) {
        SyncFolder(folder);
    }
    return removed;
}

} // namespace fw
