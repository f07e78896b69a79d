#include "registry/DailyBackup.h"
#include "registry/QuellmarkDoc.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using testing_support::ReadFile;
using testing_support::TempDir;

namespace {

// A registry saved through the document, with the day of each save set by the test.
struct Registry {
    TempDir dir;
    std::string path = dir.Path() + "/vora.dat";
    fw::LocalDate day{2026, 12, 9};
    CQuellmarkDoc doc{CQuellmarkDoc::NoFile{}, path};
    Registry() {
        doc.EnableDailyBackups([this] { return day; });
    }
    std::string backup(const fw::LocalDate& d) const {
        return dir.Path() + "/vora-backup/" + registry::BackupNameOf(d);
    }
    bool save(CString* notice = nullptr) {
        doc.GetWardList().Add(CString::Formatted("%d", doc.GetWardList().GetSize()));
        return doc.SaveDataFile(nullptr, notice);
    }
};

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

TEST(DailyBackup, FirstSaveOfADayKeepsTheReplacedFileOnly) {
    Registry r;
    ASSERT_TRUE(r.save()); // nothing to replace yet
    EXPECT_FALSE(exists(r.dir.Path() + "/vora-backup"));
    const std::string first = ReadFile(r.path);
    ASSERT_TRUE(r.save());
    EXPECT_EQ(ReadFile(r.backup(r.day)), first);
    ASSERT_TRUE(r.save());
    EXPECT_EQ(ReadFile(r.backup(r.day)), first) << "a later save that day replaced the backup";
    struct stat st {};
    ASSERT_EQ(::stat((r.dir.Path() + "/vora-backup").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(DailyBackup, FifteenthDayRemovesTheOldest) {
    Registry r;
    ASSERT_TRUE(r.save());
    for (int d = 1; d <= 15; ++d) {
        r.day = {2027, 1, d};
        ASSERT_TRUE(r.save());
    }
    EXPECT_FALSE(exists(r.backup({2027, 1, 1})));
    for (int d = 2; d <= 15; ++d) {
        EXPECT_TRUE(exists(r.backup({2027, 1, d}))) << d;
    }
}

TEST(DailyBackup, BackupThatCannotBeMadeStillSaves) {
    Registry r;
    ASSERT_TRUE(r.save());
    testing_support::WriteFile(r.dir.Path() + "/vora-backup", "a file where the folder goes");
    CString notice;
    ASSERT_TRUE(r.save(&notice));
    EXPECT_EQ(CQuellmarkDoc(r.path).GetWardList().GetSize(), 2);
    EXPECT_NE(
        notice.ToUtf8().find("バックアップ「vora-backup/vora-20261209.dat」を作れませんでした"),
        std::string::npos)
        << notice.ToUtf8();
}

} // namespace
