#pragma once
// Scratch directories and files for tests.

#include <string>
#include <vector>

namespace testing_support {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::vector<std::string> Entries() const;

private:
    std::string m_path;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
unsigned FileMode(const std::string& path);
void SetFileMode(const std::string& path, unsigned mode);

// Makes a directory unwritable for as long as it lives, even for root (through the immutable
// attribute), when the file system allows it.
class ReadOnlyDir {
public:
    explicit ReadOnlyDir(std::string path);
    ~ReadOnlyDir();
    ReadOnlyDir(const ReadOnlyDir&) = delete;
    ReadOnlyDir& operator=(const ReadOnlyDir&) = delete;
    bool Active() const { return m_active; }

private:
    std::string m_path;
    bool m_immutable = false;
    bool m_active = false;
};

} // namespace testing_support

#include "framework/File.h"

namespace testing_support {

// The real file calls, but the one of step fails with error (a short write, for the write).
class FailingFileOps : public fw::FileOps {
public:
    FailingFileOps(fw::FileStep step, int error) : m_step(step), m_error(error) {}
    int CreateTemp(char* pathTemplate) override;
    ssize_t Write(int fd, const void* buffer, std::size_t n) override;
    int Sync(int fd) override;
    int Rename(const char* from, const char* to) override;

private:
    bool failsAt(fw::FileStep step) const;

    fw::FileStep m_step;
    int m_error;
    bool m_wrotePart = false;
};

// The steps a save goes through, for tests that try each.
inline constexpr fw::FileStep kSaveSteps[] = {fw::FileStep::Create, fw::FileStep::Write,
                                              fw::FileStep::Sync, fw::FileStep::Rename};

} // namespace testing_support
