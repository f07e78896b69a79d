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

std::string joinPath(const std::string& directory, const std::string& name) {
    if (!name.empty() && name[0] == '/') {
        return name;
    }
    return directory == "." ? name : directory + "/" + name;
}

// What the symbolic link at path points to, as a path from the working directory; empty when
// path is no link.
std::string linkTarget(const std::string& path) {
    std::string target(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0) {
            return {};
        }
        if (std::size_t(n) < target.size()) {
            target.resize(std::size_t(n));
            return joinPath(directoryOf(path), target);
        }
        target.resize(target.size() * 2);
    }
}

// The file that path names once every symbolic link on the way is followed: the link itself
// is not the user's data, what it points to is. Fails with ELOOP on a cycle.
bool resolveLinks(const std::string& path, std::string& resolved, int& error) {
    resolved = path;
    // As many links as the system itself follows before it gives up.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(resolved.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return true;
        }
        std::string next = linkTarget(resolved);
        if (next.empty()) {
            error = errno;
            return false;
        }
        resolved = std::move(next);
    }
    error = ELOOP;
    return false;
}

CString danglingLinkText(const std::string& path) {
    std::string target;
    int error = 0;
    resolveLinks(path, target, error);
    return "リンク先「"_sj + PathText(target) + "」がありません"_sj;
}

// A device, FIFO, socket or folder is no data file, wherever a link to it points.
void refuseIrregular(const std::string& path, const struct stat& st) {
    if (S_ISREG(st.st_mode)) {
        return;
    }
    throw CFileException(
        path, 0, S_ISDIR(st.st_mode) ? SystemErrorText(EISDIR) : "通常のファイルではありません"_sj,
        FileStep::Open);
}

bool sameFile(int fd, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

} // namespace

std::string DirectoryOf(const std::string& path) {
    return directoryOf(path);
}

std::string BaseNameOf(const std::string& path) {
    return baseNameOf(path);
}

CString PathText(const std::string& path) {
    CString text;
    if (!CString::FromUtf8(path, text)) {
        text = CString(path);
    }
    return text;
}

bool ResolveLinks(const std::string& path, std::string& resolved, int& error) {
    return resolveLinks(path, resolved, error);
}

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
    case ELOOP:
        return "シンボリックリンクが循環しています"_sj;
    case EFBIG:
        return "ファイルが大きすぎます（サイズの上限を超えました）"_sj;
    case ENAMETOOLONG:
        return "ファイル名が長すぎます"_sj;
    case ENOTDIR:
        return "途中の名前がフォルダではありません"_sj;
    case EMFILE:
    case ENFILE:
        return "開いているファイルが多すぎます"_sj;
    case ENOMEM:
        return "メモリが足りません"_sj;
    case EBUSY:
    case ETXTBSY:
        return "ファイルが使用中です"_sj;
    case EEXIST:
        return "同じ名前のファイルがすでにあります"_sj;
    case EXDEV:
        return "別のディスクにまたがる操作はできません"_sj;
    case EMLINK:
        return "リンクの数が上限に達しています"_sj;
    case ENOTEMPTY:
        return "フォルダが空ではありません"_sj;
    case EAGAIN:
    case EINTR:
        return "操作が中断されました。もう一度試してください"_sj;
    case ESTALE:
    case ENOTCONN:
    case ETIMEDOUT:
    case EHOSTDOWN:
    case EHOSTUNREACH:
        return "ネットワーク上のファイルに接続できません"_sj;
    case EOVERFLOW:
        return "ファイルが大きすぎて扱えません"_sj;
    case EINVAL:
    case EOPNOTSUPP:
        return "このファイルシステムではできない操作です"_sj;
    case EBADF:
        return "ファイルが正しく開かれていません"_sj;
    case ENOLCK:
        return "この場所ではファイルのロックが使えません"_sj;
    default:
        break;
    }
    // Never a bare number: the user reads what kind of failure it was, the number helps us.
    CString text = "予期しないシステムエラーです（番号 "_sj;
    text += CString::Formatted("%d", error);
    text += "）"_sj;
    return text;
}

CFileException::CFileException(std::string fileName, std::uint64_t offset, CString reason,
                               FileStep step)
    : m_fileName(std::move(fileName)), m_offset(offset), m_reason(std::move(reason)), m_step(step),
      m_utf8(Message().ToUtf8()) {}

CString CFileException::Message() const {
    CString text = "「"_sj;
    text += PathText(baseNameOf(m_fileName));
    switch (m_step) {
    case FileStep::Open:
        text += "」を開けません"_sj;
        break;
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
    // Looked at before it is opened: opening a FIFO waits for a writer, opening a device may
    // do something of its own.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int error = errno;
        struct stat link {};
        const bool dangling = error == ENOENT && ::lstat(path.c_str(), &link) == 0;
        if (dangling) {
            throw CFileException(path, 0, danglingLinkText(path), FileStep::Open);
        }
        if (missing && error == ENOENT) {
            *missing = true;
            return;
        }
        throw CFileException(path, 0, SystemErrorText(error), FileStep::Open);
    }
    refuseIrregular(path, st);
    // Non-blocking, so that a file swapped for a FIFO in the meantime cannot hold the open.
    m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        throw CFileException(path, 0, SystemErrorText(errno), FileStep::Open);
    }
    if (::fstat(m_fd, &st) != 0) {
        const int error = errno;
        ::close(m_fd);
        m_fd = -1;
        throw CFileException(path, 0, SystemErrorText(error), FileStep::Open);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(m_fd);
        m_fd = -1;
        refuseIrregular(path, st);
    }
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    m_length = std::uint64_t(st.st_size);
    m_mtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

FileIdentity CDiskFile::Identity() const {
    return {true, m_length, m_mtimeNs, m_hash.Digest()};
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
            m_hash.Update(buffer, std::size_t(r));
            return std::size_t(r);
        }
        if (errno != EINTR) {
            throw CFileException(m_path, 0, SystemErrorText(errno));
        }
    }
}

std::string CDiskFile::ReadAll() {
    std::string bytes(std::size_t(m_length), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const std::size_t n = Read(bytes.data() + got, bytes.size() - got);
        if (n == 0) {
            break;
        }
        got += n;
    }
    bytes.resize(got);
    return bytes;
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

CSafeFileWriter::CSafeFileWriter(const std::string& path, FileOps& ops, const FilePolicy* policy)
    : m_ops(ops), m_path(path) {
    // Through a symbolic link the file it points to is replaced, beside itself, and the link
    // stays as it is.
    int error = 0;
    if (!resolveLinks(path, m_target, error)) {
        throw CFileException(m_path, 0, SystemErrorText(error), FileStep::Create);
    }
    m_tempPath = directoryOf(m_target) + "/." + baseNameOf(m_target) + ".tmpXXXXXX";
    m_fd = m_ops.CreateTemp(m_tempPath.data());
    if (m_fd < 0) {
        error = errno;
        m_tempPath.clear();
        throw CFileException(m_path, 0, SystemErrorText(error), FileStep::Create);
    }
    // mkostemp made it owner-only, which a mode that cannot be given leaves it.
    struct stat st {};
    if (policy) {
        policy->ApplyTo(m_fd);
    } else if (::stat(m_target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        FilePolicy::Keeping(st).ApplyTo(m_fd);
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

bool CSafeFileWriter::IsTempFile() const {
    return m_fd >= 0 && sameFile(m_fd, m_tempPath);
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
    if (m_ops.Rename(m_tempPath.c_str(), m_target.c_str()) != 0) {
        fail(FileStep::Rename, errno);
    }
    m_committed = true;
    int dir = ::open(directoryOf(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

namespace {

// Runs one safe replacement of path, turning every failure into *error.
bool saveReporting(const std::string& path, CString* error, const std::function<void()>& save) {
    try {
        save();
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

} // namespace

bool SaveFile(const std::string& path, const std::function<void(CFile&)>& write, CString* error,
              FileOps& ops, const FilePolicy* policy) {
    return saveReporting(path, error, [&] {
        CSafeFileWriter file(path, ops, policy);
        write(file);
        file.Commit();
    });
}

bool SaveFileByName(const std::string& path, const std::function<void(const std::string&)>& fill,
                    CString* error, FileOps& ops, const FilePolicy* policy) {
    return saveReporting(path, error, [&] {
        CSafeFileWriter file(path, ops, policy);
        fill(file.TempPath());
        // The sync goes through the descriptor of the temporary file; it must still be the
        // file that was filled.
        if (!file.IsTempFile()) {
            throw CFileException(path, 0, "一時ファイルが別のファイルに置き換えられました"_sj,
                                 FileStep::Write);
        }
        file.Commit();
    });
}

} // namespace fw
