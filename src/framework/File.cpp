#include "framework/File.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace fw {
namespace {

std::string directoryOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

CString SystemErrorText(int error) {
    switch (error) {
    case ENOENT:
        return "ファイルまたはフォルダがありません"_sj;
    case EACCES:
    case EPERM:
        return "書き込みまたは読み込みの権限がありません"_sj;
    case EROFS:
        return "読み取り専用の場所です"_sj;
    case ENOSPC:
    case EDQUOT:
        return "ディスクの空き容量が足りません"_sj;
    case EISDIR:
        return "フォルダであってファイルではありません"_sj;
    case EIO:
        return "ディスクの読み書きに失敗しました"_sj;
    default:
        break;
    }
    CString text = "システムエラー "_sj;
    text += CString::Formatted("%d", error);
    return text;
}

CFileException::CFileException(std::string fileName, std::uint64_t offset, CString reason,
                               FileStep step)
    : m_fileName(std::move(fileName)), m_offset(offset), m_reason(std::move(reason)),
      m_step(step), m_utf8(Message().ToUtf8()) {}

CString CFileException::Message() const {
    CString text = "「"_sj;
    CString name;
    if (!CString::FromUtf8(baseNameOf(m_fileName), name)) {
        name = CString(baseNameOf(m_fileName));
    }
    text += name;
    switch (m_step) {
    case FileStep::Read:
        text += "」を読み込めません（"_sj;
        text += CString::Formatted("%llu", static_cast<unsigned long long>(m_offset));
        text += " バイト目）"_sj;
        break;
    case FileStep::Create:
        text += "」を保存できません（同じフォルダに一時ファイルを作成できません）"_sj;
        break;
    case FileStep::Write:
        text += "」を保存できません（一時ファイルへの書き込みに失敗しました）"_sj;
        break;
    case FileStep::Sync:
        text += "」を保存できません（ディスクへの書き出しに失敗しました）"_sj;
        break;
    case FileStep::Rename:
        text += "」を保存できません（一時ファイルを元のファイルに置き換えられません）"_sj;
        break;
    }
    text += "："_sj;
    text += m_reason;
    return text;
}

int FileOps::CreateTemp(char* pathTemplate) {
    return ::mkostemp(pathTemplate, O_CLOEXEC);
}

ssize_t FileOps::Write(int fd, const void* buffer, std::size_t n) {
    return ::write(fd, buffer, n);
}

int FileOps::Sync(int fd) {
    return ::fsync(fd);
}

int FileOps::Rename(const char* from, const char* to) {
    return ::rename(from, to);
}

FileOps& SystemFileOps() {
    static FileOps ops;
    return ops;
}

CDiskFile::CDiskFile(const std::string& path, bool* missing) : m_path(path) {
    if (missing) {
        *missing = false;
    }
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        int error = errno;
        if (missing && error == ENOENT) {
            *missing = true;
            return;
        }
        throw CFileException(path, 0, SystemErrorText(error));
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        int error = errno;
        ::close(m_fd);
        m_fd = -1;
        throw CFileException(path, 0,
                             S_ISDIR(st.st_mode) ? SystemErrorText(EISDIR)
                             : error             ? SystemErrorText(error)
                                                 : "通常のファイルではありません"_sj);
    }
    m_length = std::uint64_t(st.st_size);
}

CDiskFile::~CDiskFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

std::size_t CDiskFile::Read(void* buffer, std::size_t n) {
    for (;;) {
        ssize_t r = ::read(m_fd, buffer, n);
        if (r >= 0) {
            return std::size_t(r);
        }
        if (errno != EINTR) {
            throw CFileException(m_path, 0, SystemErrorText(errno));
        }
    }
}

void CDiskFile::Write(const void*, std::size_t) {
    throw CFileException(m_path, 0, "読み込み用に開いたファイルです"_sj);
}

std::size_t CMemFile::Read(void* buffer, std::size_t n) {
    std::size_t count = std::min(n, m_bytes.size() - m_readPos);
    std::memcpy(buffer, m_bytes.data() + m_readPos, count);
    m_readPos += count;
    return count;
}

void CMemFile::Write(const void* buffer, std::size_t n) {
    m_bytes.append(static_cast<const char*>(buffer), n);
}

CSafeFileWriter::CSafeFileWriter(const std::string& path, FileOps& ops)
    : m_ops(ops), m_path(path) {
    m_tempPath = directoryOf(path) + "/." + baseNameOf(path) + ".tmpXXXXXX";
    m_fd = m_ops.CreateTemp(m_tempPath.data());
    if (m_fd < 0) {
        int error = errno;
        m_tempPath.clear();
        throw CFileException(m_path, 0, SystemErrorText(error), FileStep::Create);
    }
    // mkostemp already made it owner-only; an existing file keeps its own mode.
    struct stat st {};
    if (::stat(m_path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        ::fchmod(m_fd, st.st_mode & 07777);
    }
}

CSafeFileWriter::~CSafeFileWriter() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (!m_committed && !m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
    }
}

void CSafeFileWriter::fail(FileStep step, int error) {
    throw CFileException(m_path, m_written, SystemErrorText(error), step);
}

void CSafeFileWriter::Write(const void* buffer, std::size_t n) {
    auto* p = static_cast<const char*>(buffer);
    while (n > 0) {
        ssize_t w = m_ops.Write(m_fd, p, n);
        if (w < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(FileStep::Write, errno);
        }
        if (w == 0) {
            fail(FileStep::Write, EIO);
        }
        p += w;
        n -= std::size_t(w);
        m_written += std::uint64_t(w);
    }
}

void CSafeFileWriter::Commit() {
    if (m_ops.Sync(m_fd) != 0) {
        fail(FileStep::Sync, errno);
    }
    int fd = m_fd;
    m_fd = -1;
    // On some file systems a write error shows only when the file is closed.
    if (::close(fd) != 0) {
        fail(FileStep::Write, errno);
    }
    if (m_ops.Rename(m_tempPath.c_str(), m_path.c_str()) != 0) {
        fail(FileStep::Rename, errno);
    }
    m_committed = true;
    int dir = ::open(directoryOf(m_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

bool SaveFile(const std::string& path, const std::function<void(CFile&)>& write, CString* error,
              FileOps& ops) {
    try {
        CSafeFileWriter file(path, ops);
        write(file);
        file.Commit();
        return true;
    } catch (const CFileException& e) {
        if (error) {
            *error = e.Message();
        }
    } catch (const std::bad_alloc&) {
        if (error) {
            *error = CFileException(path, 0, "メモリが足りません"_sj, FileStep::Write).Message();
        }
    }
    return false;
}

} // namespace fw
