#pragma once
// File primitives beyond reading and replacing a file: a file that grows by synced entries, a
// lock that one running program holds on a data file, a second name for a file, and the
// removal of temporary files that an ended program left behind.

#include "framework/FilePolicy.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fw {

// Syncs a folder, so that a name created, renamed or removed in it survives a power failure.
void SyncFolder(const std::string& folder);

// An existing file that grows at its end. Each Append is on disk when it returns true; one
// that fails is cut off again as far as the system allows, so the file ends after the last
// entry that was written whole.
class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(AppendFile&& other) noexcept;
    AppendFile& operator=(AppendFile&& other) noexcept;

    // False with the error number when the file cannot be opened for writing.
    bool Open(const std::string& path, int& error);
    bool IsOpen() const noexcept { return m_fd >= 0; }
    bool Append(const void* data, std::size_t n, int& error);
    // Cuts the file to length bytes (a torn last entry) and syncs it.
    bool Truncate(std::uint64_t length, int& error);
    void Close();

private:
    int m_fd = -1;
    std::uint64_t m_length = 0;
};

// A lock that one running program holds: taken on a file beside the data file, released by
// the system when the program ends, however it ends. The file tells who holds it.
class FileLock {
public:
    enum class Result { Taken, Held, Failed };

    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Takes the lock and writes owner into the file, which gets the mode and group of policy
    // when this program made it or owns it. Held: another program has it, and holder is what
    // that program wrote; Failed: error says why the file could not be used, and a file made
    // for it is gone again.
    Result Take(const std::string& path, const std::string& owner, std::string& holder, int& error,
                const FilePolicy& policy = FilePolicy::OwnerOnly());

private:
    int m_fd = -1;
};

// Gives the file at from the second name to: a hard link where the file system allows it (it
// is the same file, with its own mode and group), else a copy with the mode and group of
// policy, synced. False with the error number; a half-made copy is removed.
bool LinkOrCopy(const std::string& from, const std::string& to, int& error,
                const FilePolicy& policy = FilePolicy::OwnerOnly());

// Removes the regular files in folder whose names match one of the shell patterns; returns
// how many went. Links and folders are never touched.
int RemoveMatchingFiles(const std::string& folder, const std::vector<std::string>& patterns);

// The names in folder that match pattern, sorted; empty when the folder cannot be read.
std::vector<std::string> MatchingNames(const std::string& folder, const std::string& pattern);

} // namespace fw
