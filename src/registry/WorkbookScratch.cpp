#include "registry/WorkbookScratch.h"

#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace registry {

struct WorkbookScratch::File {
    WorkbookScratch* owner = nullptr;
    int fd = -1;
    FILE* stream = nullptr;
    // Larger than stdio's own, so the gigabytes of a large sheet take fewer system calls.
    std::vector<char> buffer = std::vector<char>(std::size_t(1) << 16);
};

namespace {

thread_local WorkbookScratch* t_current = nullptr;

// A file without a name in dir; where the file system cannot make one, a named one removed at
// once. -1 with errno when neither can be made.
int namelessFile(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
        return fd;
    }
    std::string name = dir + "/.vora-scratch-XXXXXX";
    const int named = ::mkostemp(name.data(), O_CLOEXEC);
    if (named >= 0) {
        ::unlink(name.c_str());
    }
    return named;
}

} // namespace

// The stdio calls of a scratch file. A failed call answers as stdio expects (a short count),
// so the library sees an error where it looks; the scratch remembers why.
struct ScratchCalls {
    static ssize_t read(void* cookie, char* buffer, std::size_t size) {
        auto* file = static_cast<WorkbookScratch::File*>(cookie);
        WorkbookScratch& s = *file->owner;
        if (!s.allowed()) {
            return -1;
        }
        ssize_t n;
        do {
            n = ::read(file->fd, buffer, size);
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            s.noteError(errno);
            return -1;
        }
        s.m_read += std::uint64_t(n);
        return n;
    }

    static ssize_t write(void* cookie, const char* buffer, std::size_t size) {
        auto* file = static_cast<WorkbookScratch::File*>(cookie);
        WorkbookScratch& s = *file->owner;
        if (!s.allowed()) {
            return 0;
        }
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::write(file->fd, buffer + done, size - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                s.noteError(n < 0 ? errno : ENOSPC);
                break;
            }
            done += std::size_t(n);
        }
        s.m_written += done;
        return ssize_t(done);
    }

    static int seek(void* cookie, off64_t* position, int whence) {
        auto* file = static_cast<WorkbookScratch::File*>(cookie);
        const off64_t at = ::lseek64(file->fd, *position, whence);
        if (at < 0) {
            file->owner->noteError(errno);
            return -1;
        }
        *position = at;
        return 0;
    }

    static int close(void* cookie) {
        auto* file = static_cast<WorkbookScratch::File*>(cookie);
        const int result = ::close(file->fd);
        file->fd = -1;
        file->stream = nullptr;
        return result;
    }
};

WorkbookScratch::WorkbookScratch(std::string dir, std::function<bool()> keepGoing)
    : m_dir(std::move(dir)), m_keepGoing(std::move(keepGoing)), m_outer(t_current) {
    t_current = this;
}

WorkbookScratch::~WorkbookScratch() {
    t_current = m_outer;
    for (const auto& file : m_files) {
        if (file->stream) {
            // Left open by the library after a failure: nothing will write to it any more.
            std::fclose(file->stream);
        }
    }
}

FILE* WorkbookScratch::Create() {
    auto file = std::make_unique<File>();
    file->owner = this;
    file->fd = namelessFile(m_dir);
    if (file->fd < 0) {
        noteError(errno);
        return nullptr;
    }
    static const cookie_io_functions_t calls{ScratchCalls::read, ScratchCalls::write,
                                             ScratchCalls::seek, ScratchCalls::close};
    file->stream = fopencookie(file.get(), "w+b", calls);
    if (!file->stream) {
        noteError(ENOMEM);
        ::close(file->fd);
        return nullptr;
    }
    std::setvbuf(file->stream, file->buffer.data(), _IOFBF, file->buffer.size());
    m_files.push_back(std::move(file));
    return m_files.back()->stream;
}

WorkbookScratch* WorkbookScratch::Current() {
    return t_current;
}

bool WorkbookScratch::allowed() {
    if (m_stopped || (m_keepGoing && !m_keepGoing())) {
        m_stopped = true;
        errno = ECANCELED;
        return false;
    }
    return true;
}

void WorkbookScratch::noteError(int error) {
    if (m_error == 0) {
        m_error = error;
    }
}

namespace {

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

} // namespace

std::size_t WorkbookCharacters(const char* utf8) {
    std::size_t count = 0;
    for (const char* p = utf8; *p;) {
        if (p[0] == '_' && p[1] == 'x' && isHex(p[2]) && isHex(p[3]) && isHex(p[4]) &&
            isHex(p[5]) && p[6] == '_') {
            p += 7;
        } else {
            // A character is its first byte and the continuation bytes after it.
            ++p;
            while ((static_cast<unsigned char>(*p) & 0xC0) == 0x80) {
                ++p;
            }
        }
        ++count;
    }
    return count;
}

} // namespace registry

// The library's own names, which this program's definitions take the place of.
extern "C" {

FILE* lxw_tmpfile(char* tmpdir) {
    if (registry::WorkbookScratch* scratch = registry::WorkbookScratch::Current()) {
        return scratch->Create();
    }
    const int fd = registry::namelessFile(tmpdir && *tmpdir ? tmpdir : "/tmp");
    FILE* stream = fd >= 0 ? ::fdopen(fd, "w+b") : nullptr;
    if (!stream && fd >= 0) {
        ::close(fd);
    }
    return stream;
}

std::size_t lxw_utf8_strlen(const char* str) {
    return registry::WorkbookCharacters(str);
}
}
