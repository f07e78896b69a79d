#pragma once
// The permissions and the group of a file or folder the program makes beside a data file.
//
// A data file is patient data, and the folder it lies in may be shared by the accounts of one
// group. Everything made beside it (the lock, the journal, the backups, the exports, the data
// file saved anew) therefore follows the data file: its group, and its permission bits for the
// group and the others, never wider; the owner, who made the file, can always read and write
// it. Folders get the execute bits that match their read bits, and keep the setgid bit of the
// data folder, so that what is made in them later stays in the group too.
//
// Without a data file yet, the folder decides: one set up for a group (group-writable with the
// setgid bit) gives new files to the owner and that group, read and write; any other folder
// gives them to their owner alone. Others get nothing in either case.

#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace fw {

struct FilePolicy {
    mode_t fileMode = 0600;  // permission bits of a new file
    gid_t group = gid_t(-1); // group of a new file and folder; -1 leaves the maker's own
    bool setgidFolders = false;

    // The owner's alone, with the maker's group.
    static FilePolicy OwnerOnly() { return {}; }
    // Decided from the data file's status, or from its folder's when there is no data file
    // (dataFile null).
    static FilePolicy Decide(const struct stat* dataFile, const struct stat& folder);
    // Decided by looking at the data file at path (its links followed) and its folder; the
    // owner's alone when the folder cannot be looked at either.
    static FilePolicy Beside(const std::string& dataFilePath);
    // Keeps what an existing file has: its permission bits exactly, and its group.
    static FilePolicy Keeping(const struct stat& existing);
    // For the data file at path saved anew: it keeps its own mode and group; the first one is
    // made as Beside decides.
    static FilePolicy OfDataFile(const std::string& dataFilePath);

    // The permission bits of a new folder.
    mode_t FolderMode() const;

    // Gives the open file (or folder, with folder true) fd its group and mode. When the group
    // cannot be given (the maker is not one of its members), the group's bits are dropped, so
    // that the maker's own group never gains what was meant for another. 0, or the error
    // number of the mode change.
    int ApplyTo(int fd, bool folder = false) const;

    friend bool operator==(const FilePolicy&, const FilePolicy&) = default;
};

} // namespace fw
