#include "support/TempDir.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/fs.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testing_support {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vora-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::abort();
    }
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::vector<std::string> TempDir::Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

unsigned FileMode(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

void SetFileMode(const std::string& path, unsigned mode) {
    chmod(path.c_str(), mode);
}

namespace {

bool canCreateIn(const std::string& dir) {
    std::string probe = dir + "/.probe";
    int fd = open(probe.c_str(), O_CREAT | O_WRONLY, 0600);
    if (fd < 0) {
        return false;
    }
    close(fd);
    unlink(probe.c_str());
    return true;
}

bool setImmutable(const std::string& dir, bool on) {
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        return false;
    }
    int flags = 0;
    bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    close(fd);
    return ok;
}

} // namespace

ReadOnlyDir::ReadOnlyDir(std::string path) : m_path(std::move(path)) {
    chmod(m_path.c_str(), 0555);
    if (canCreateIn(m_path)) {
        m_immutable = setImmutable(m_path, true);
    }
    m_active = !canCreateIn(m_path);
}

ReadOnlyDir::~ReadOnlyDir() {
    if (m_immutable) {
        setImmutable(m_path, false);
    }
    chmod(m_path.c_str(), 0755);
}

} // namespace testing_support

namespace testing_support {

bool FailingFileOps::failsAt(fw::FileStep step) const {
    if (m_step == step) {
        errno = m_error;
        return true;
    }
    return false;
}

int FailingFileOps::CreateTemp(char* pathTemplate) {
    return failsAt(fw::FileStep::Create) ? -1 : fw::FileOps::CreateTemp(pathTemplate);
}

ssize_t FailingFileOps::Write(int fd, const void* buffer, std::size_t n) {
    // Half of the first bytes go through, as when a disk fills up in the middle of a file.
    if (m_step == fw::FileStep::Write && !m_wrotePart && n > 1) {
        m_wrotePart = true;
        return fw::FileOps::Write(fd, buffer, n / 2);
    }
    return failsAt(fw::FileStep::Write) ? -1 : fw::FileOps::Write(fd, buffer, n);
}

int FailingFileOps::Sync(int fd) {
    return failsAt(fw::FileStep::Sync) ? -1 : fw::FileOps::Sync(fd);
}

int FailingFileOps::Rename(const char* from, const char* to) {
    return failsAt(fw::FileStep::Rename) ? -1 : fw::FileOps::Rename(from, to);
}

} // namespace testing_support
