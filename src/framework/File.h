#pragma once
// Files: a plain file opened for reading, an in-memory file, and the safe replacement of a
// file that the user depends on.

#include "framework/FilePolicy.h"
#include "framework/Hash64.h"
#include "framework/String.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace fw {

// What was being done to a file when it failed: opening or reading it, or one of the steps of
// replacing it safely.
enum class FileStep { Read, Create, Write, Sync, Rename, Open };

// A file that could not be read or saved, with where and why. The reason is a Japanese text.
class CFileException : public std::exception {
public:
    CFileException(std::string fileName, std::uint64_t offset, CString reason,
                   FileStep step = FileStep::Read);
    const std::string& FileName() const noexcept { return m_fileName; }
    std::uint64_t Offset() const noexcept { return m_offset; }
    const CString& Reason() const noexcept { return m_reason; }
    FileStep Step() const noexcept { return m_step; }
    // "「vora.dat」を読み込めません（123 バイト目）：理由", "「vora.dat」を開けません：理由",
    // or for a save
    // "「vora.dat」を保存できません（書き込みに失敗しました）：理由"
    CString Message() const;
    const char* what() const noexcept override { return m_utf8.c_str(); }

private:
    std::string m_fileName;
    std::uint64_t m_offset;
    CString m_reason;
    FileStep m_step;
    std::string m_utf8;
};

// The system calls that replace a file. Each answers as the call does (-1 and errno on
// failure); a test derives from it to make one step fail.
class FileOps {
public:
    virtual ~FileOps() = default;
    virtual int CreateTemp(char* pathTemplate); // mkostemp
    virtual ssize_t Write(int fd, const void* buffer, std::size_t n);
    virtual int Sync(int fd);
    virtual int Rename(const char* from, const char* to);
};

// The real calls.
FileOps& SystemFileOps();

// Damage found in the contents of a file (a count or length that does not fit, a short file).
class CArchiveException : public CFileException {
public:
    using CFileException::CFileException;
};

// A source or sink of bytes for an archive.
class CFile {
public:
    virtual ~CFile() = default;
    // Reads up to n bytes; returns how many were read, 0 at the end.
    virtual std::size_t Read(void* buffer, std::size_t n) = 0;
    // Writes all n bytes or throws CFileException.
    virtual void Write(const void* buffer, std::size_t n) = 0;
    virtual std::uint64_t GetLength() const = 0;
    virtual const std::string& GetFilePath() const = 0;
};

// Which file was read, exactly: its size, its modification time and a hash of the bytes read.
// A file that is not there has exists false and nothing else.
struct FileIdentity {
    bool exists = false;
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::uint64_t hash = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// A file on disk opened for reading.
class CDiskFile final : public CFile {
public:
    // Throws CFileException when the file cannot be opened, is not a regular file (a FIFO or
    // a device, which is refused without waiting on it) or is a symbolic link to nothing; sets
    // *missing instead when nothing at all is there and missing is given.
    CDiskFile(const std::string& path, bool* missing = nullptr);
    ~CDiskFile() override;
    CDiskFile(const CDiskFile&) = delete;
    CDiskFile& operator=(const CDiskFile&) = delete;

    bool IsOpen() const noexcept { return m_fd >= 0; }
    std::size_t Read(void* buffer, std::size_t n) override;
    void Write(const void* buffer, std::size_t n) override;
    std::uint64_t GetLength() const override { return m_length; }
    const std::string& GetFilePath() const override { return m_path; }
    // The file as opened, with the hash of every byte read so far.
    FileIdentity Identity() const;
    // The bytes from where reading stands to the end the file had when it was opened (fewer
    // when it shrank since). Throws CFileException when a read fails.
    std::string ReadAll();

private:
    std::string m_path;
    int m_fd = -1;
    std::uint64_t m_length = 0;
    std::int64_t m_mtimeNs = 0;
    Hash64 m_hash;
};

// Bytes in memory, for tests, fuzzing and building a file before it is written.
class CMemFile final : public CFile {
public:
    CMemFile() : m_name("memory") {}
    explicit CMemFile(std::string_view bytes, std::string name = "memory")
        : m_name(std::move(name)), m_bytes(bytes.begin(), bytes.end()) {}

    std::size_t Read(void* buffer, std::size_t n) override;
    void Write(const void* buffer, std::size_t n) override;
    std::uint64_t GetLength() const override { return m_bytes.size(); }
    const std::string& GetFilePath() const override { return m_name; }
    const std::string& Bytes() const noexcept { return m_bytes; }

private:
    std::string m_name;
    std::string m_bytes;
    std::size_t m_readPos = 0;
};

// Replaces a file as a whole, or not at all: the bytes go to a temporary file in the same
// directory, which is flushed, synced and renamed over the target; the directory is synced.
// The file gets the mode and group of policy; without one, an existing file keeps its own and
// a new one is its owner's only. When path is a symbolic link, the file it points to is the
// target and the link stays.
class CSafeFileWriter final : public CFile {
public:
    // Throws CFileException when the temporary file cannot be created.
    explicit CSafeFileWriter(const std::string& path, FileOps& ops = SystemFileOps(),
                             const FilePolicy* policy = nullptr);
    ~CSafeFileWriter() override; // removes the temporary file unless committed
    CSafeFileWriter(const CSafeFileWriter&) = delete;
    CSafeFileWriter& operator=(const CSafeFileWriter&) = delete;

    std::size_t Read(void*, std::size_t) override { return 0; }
    void Write(const void* buffer, std::size_t n) override;
    std::uint64_t GetLength() const override { return m_written; }
    const std::string& GetFilePath() const override { return m_path; }
    // The temporary file beside the target, for a writer that opens its file by name.
    const std::string& TempPath() const { return m_tempPath; }
    // False once the temporary file's name stands for another file than the one opened.
    bool IsTempFile() const;
    // Syncs and renames; throws CFileException on failure, leaving the target untouched.
    void Commit();

private:
    [[noreturn]] void fail(FileStep step, int error);

    FileOps& m_ops;
    std::string m_path;   // as the caller named it, for messages
    std::string m_target; // the file replaced: path with its links followed
    std::string m_tempPath;
    int m_fd = -1;
    std::uint64_t m_written = 0;
    bool m_committed = false;
};

// Replaces the file at path, as a whole or not at all, with what write puts into it. False
// when it failed, with *error (when given) saying in Japanese which file and which step failed
// and why, "「vora_list.csv」を保存できません（書き込みに失敗しました）：理由"; the old file
// is then as it was. Memory running short while writing counts as a failure too. The file's
// mode and group are as CSafeFileWriter gives them.
bool SaveFile(const std::string& path, const std::function<void(CFile&)>& write,
              CString* error = nullptr, FileOps& ops = SystemFileOps(),
              const FilePolicy* policy = nullptr);

// SaveFile for a writer that opens its file by name itself (a library that takes a file name):
// fill gets the path of the temporary file beside the target, writes it completely, and throws
// CFileException when it cannot. The file is then synced and renamed over the target as
// SaveFile does; a writer that put another file in its place instead of writing into it fails.
bool SaveFileByName(const std::string& path, const std::function<void(const std::string&)>& fill,
                    CString* error = nullptr, FileOps& ops = SystemFileOps(),
                    const FilePolicy* policy = nullptr);

// The folder part of a path ("." when it has none) and the name in it.
std::string DirectoryOf(const std::string& path);
std::string BaseNameOf(const std::string& path);
// A path as a message shows it: its bytes as cp932 where they read as UTF-8 that cp932 holds,
// else as they are.
CString PathText(const std::string& path);
// The file that path names once every symbolic link on the way is followed; false with the
// error number on a cycle or an unreadable link. A path that is no link is its own answer.
bool ResolveLinks(const std::string& path, std::string& resolved, int& error);

// A Japanese text for a system error number, for messages.
CString SystemErrorText(int error);

} // namespace fw
