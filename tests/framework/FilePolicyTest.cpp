// The mode and group of what the program makes beside a data file: decided from the data file
// or its folder, and given to the files and folders the file primitives make.

#include "framework/FilePolicy.h"
#include "framework/File.h"
#include "framework/FileTools.h"
#include "framework/Folder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

constexpr gid_t kKeep = gid_t(-1);

struct stat statusOf(mode_t mode, gid_t group) {
    struct stat st {};
    st.st_mode = mode;
    st.st_gid = group;
    return st;
}

TEST(FilePolicy, DecidedByTheDataFileElseByAFolderSetUpForAGroup) {
    struct Case {
        const char* what;
        mode_t folderMode;
        mode_t dataFileMode; // 0: no data file
        fw::FilePolicy expected;
        mode_t folderModeMade;
    };
    const Case cases[] = {
        {"a new registry in a folder of its own", S_IFDIR | 0700, 0, {0600, kKeep, false}, 0700},
        {"a folder without setgid, even open to the group",
         S_IFDIR | 0770,
         0,
         {0600, kKeep, false},
         0700},
        {"a setgid folder the group cannot write", S_IFDIR | 02750, 0, {0600, kKeep, false}, 0700},
        {"a folder set up for a group", S_IFDIR | 02770, 0, {0660, 50, true}, 02770},
        {"a data file 0660 in a group folder",
         S_IFDIR | 02770,
         S_IFREG | 0660,
         {0660, 60, true},
         02770},
        {"a data file 0640 in a group folder",
         S_IFDIR | 02770,
         S_IFREG | 0640,
         {0640, 60, true},
         02750},
        {"a data file 0660 in a folder without setgid",
         S_IFDIR | 0770,
         S_IFREG | 0660,
         {0660, 60, false},
         0770},
        {"a data file 0600 in a group folder",
         S_IFDIR | 02770,
         S_IFREG | 0600,
         {0600, 60, true},
         02700},
        {"a data file readable by all", S_IFDIR | 0755, S_IFREG | 0644, {0644, 60, false}, 0755},
        // Never wider than the data file for the group and the others; the maker keeps read
        // and write, and no file is made executable or set-id.
        {"a data file its owner may only read",
         S_IFDIR | 0700,
         S_IFREG | 0400,
         {0600, 60, false},
         0700},
        {"a data file with every bit", S_IFDIR | 0755, S_IFREG | 07777, {0666, 60, false}, 0777},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const struct stat folder = statusOf(c.folderMode, 50);
        const struct stat dataFile = statusOf(c.dataFileMode, 60);
        const fw::FilePolicy got =
            fw::FilePolicy::Decide(c.dataFileMode ? &dataFile : nullptr, folder);
        EXPECT_EQ(got.fileMode, c.expected.fileMode);
        EXPECT_EQ(got.group, c.expected.group);
        EXPECT_EQ(got.setgidFolders, c.expected.setgidFolders);
        EXPECT_EQ(got.FolderMode(), c.folderModeMade);
    }
}

// A group this test may give files to: any for root, else one of its own besides the primary
// one when it has such, else the primary one.
gid_t otherGroup() {
    if (::geteuid() == 0) {
        return 4321;
    }
    std::vector<gid_t> groups(std::size_t(std::max(::getgroups(0, nullptr), 0)));
    groups.resize(std::size_t(std::max(::getgroups(int(groups.size()), groups.data()), 0)));
    for (gid_t g : groups) {
        if (g != ::getegid()) {
            return g;
        }
    }
    return ::getegid();
}

struct Made {
    mode_t mode;
    gid_t group;
};

Made madeAs(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return {mode_t(st.st_mode & 07777), st.st_gid};
}

// Every primitive that makes a file or folder beside a data file gives it what the policy says,
// whatever the umask would have given, and a file the lock made for nothing is gone again.
TEST(FilePolicy, EveryMakerGivesTheDecidedModeAndGroup) {
    const gid_t group = otherGroup();
    const mode_t umaskBefore = ::umask(0027);
    struct Setup {
        const char* what;
        mode_t folderMode;
        mode_t dataFileMode; // 0: no data file
        mode_t fileMode;
        mode_t folderModeMade;
        bool groupGiven;
    };
    const Setup setups[] = {
        {"owner only", 0700, 0, 0600, 0700, false},
        {"group folder with setgid", 02770, 0, 0660, 02770, true},
        {"data file 0640", 0750, 0640, 0640, 0750, true},
        {"data file 0660 in a setgid folder", 02770, 0660, 0660, 02770, true},
        {"folder without setgid", 0770, 0660, 0660, 0770, true},
    };
    for (const Setup& s : setups) {
        SCOPED_TRACE(s.what);
        TempDir dir;
        const std::string d = dir.Path() + "/data";
        ASSERT_EQ(::mkdir(d.c_str(), 0700), 0);
        ASSERT_EQ(::chown(d.c_str(), uid_t(-1), group), 0);
        ASSERT_EQ(::chmod(d.c_str(), s.folderMode), 0);
        const std::string dataFile = d + "/vora.dat";
        if (s.dataFileMode) {
            WriteFile(dataFile, "registry");
            ASSERT_EQ(::chown(dataFile.c_str(), uid_t(-1), group), 0);
            ASSERT_EQ(::chmod(dataFile.c_str(), s.dataFileMode), 0);
        }
        const gid_t expectedGroup = s.groupGiven ? group : ::getegid();
        const fw::FilePolicy policy = fw::FilePolicy::Beside(dataFile);

        ASSERT_TRUE(fw::SaveFile(
            d + "/vora_list.csv", [](fw::CFile& f) { f.Write("a,b\r\n", 5); }, nullptr,
            fw::SystemFileOps(), &policy));
        fw::FileLock lock;
        std::string holder;
        int error = 0;
        ASSERT_EQ(lock.Take(d + "/vora.dat.lock", "me\n", holder, error, policy),
                  fw::FileLock::Result::Taken);
        ASSERT_EQ(fw::MakeFolders(d + "/vora-backup/inner", policy), 0);
        // The data file saved anew keeps its own mode; the first one gets the folder's.
        const fw::FilePolicy ofDataFile = fw::FilePolicy::OfDataFile(dataFile);
        ASSERT_TRUE(fw::SaveFile(
            dataFile, [](fw::CFile& f) { f.Write("saved", 5); }, nullptr, fw::SystemFileOps(),
            &ofDataFile));

        for (const char* name : {"vora_list.csv", "vora.dat.lock", "vora.dat"}) {
            const Made made = madeAs(d + "/" + name);
            EXPECT_EQ(made.mode, s.dataFileMode ? s.dataFileMode : s.fileMode) << name;
            EXPECT_EQ(made.group, expectedGroup) << name;
        }
        for (const char* name : {"vora-backup", "vora-backup/inner"}) {
            const Made made = madeAs(d + "/" + name);
            EXPECT_EQ(made.mode, s.folderModeMade) << name;
            EXPECT_EQ(made.group, expectedGroup) << name;
        }
    }
    ::umask(umaskBefore);
}

// A copy (where no hard link can be made, as across file systems) gets the policy; a hard link
// is the data file itself.
TEST(FilePolicy, ACopyGetsThePolicyAndALinkIsTheFileItself) {
    const gid_t group = otherGroup();
    TempDir dir;
    const std::string from = dir.Path() + "/vora.dat";
    WriteFile(from, "registry");
    ASSERT_EQ(::chown(from.c_str(), uid_t(-1), group), 0);
    ASSERT_EQ(::chmod(from.c_str(), 0640), 0);
    const fw::FilePolicy policy = fw::FilePolicy::Beside(from);
    int error = 0;
    ASSERT_TRUE(fw::LinkOrCopy(from, dir.Path() + "/linked.dat", error, policy));
    EXPECT_EQ(madeAs(dir.Path() + "/linked.dat").mode, 0640u);

    struct stat tmp {};
    struct stat shm {};
    if (::stat(dir.Path().c_str(), &tmp) != 0 || ::stat("/dev/shm", &shm) != 0 ||
        tmp.st_dev == shm.st_dev) {
        GTEST_SKIP() << "no second file system to copy to";
    }
    const std::string copy = "/dev/shm/vora-policy-copy-" + std::to_string(::getpid());
    ASSERT_TRUE(fw::LinkOrCopy(from, copy, error, policy));
    const Made made = madeAs(copy);
    ::unlink(copy.c_str());
    EXPECT_EQ(made.mode, 0640u);
    EXPECT_EQ(made.group, group);
}

// A group the maker does not belong to is not given, and then neither are its bits: the
// maker's own group must not gain what was meant for another.
TEST(FilePolicy, AGroupThatCannotBeGivenTakesItsBitsAlong) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root may give any group";
    }
    TempDir dir;
    const std::string path = dir.Path() + "/f";
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    const fw::FilePolicy policy{0660, 0, false}; // root's group
    EXPECT_EQ(policy.ApplyTo(fd), 0);
    ::close(fd);
    const Made made = madeAs(path);
    EXPECT_EQ(made.mode, 0600u);
    EXPECT_EQ(made.group, ::getegid());
}

} // namespace
