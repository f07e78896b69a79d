#include "registry/DailyBackup.h"
#include "registry/QuellmarkDoc.h"
#include "support/TempDir.h"

#include "framework/FileTools.h"

#include <gtest/gtest.h>

#include <algorithm>
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

std::vector<fw::LocalDate> daysFrom(fw::LocalDate first, int count) {
    std::vector<fw::LocalDate> days;
    for (int i = 0; i < count; ++i) {
        days.push_back(fw::LocalDateOf(fw::MakeTime32(first.year, first.month, first.day + i)));
    }
    return days;
}

std::vector<fw::LocalDate> operator+(std::vector<fw::LocalDate> a,
                                     const std::vector<fw::LocalDate>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Saves on each of the days the clock showed in turn: the backups left are the newest by their
// dates, the one made last is always among them, and a date after the last save's day (a clock
// that was set back, or ran ahead) is the first to go.
TEST(DailyBackup, KeepsTheNewestByDateWhateverTheClockDid) {
    struct Case {
        const char* what;
        std::vector<fw::LocalDate> days;
        std::vector<fw::LocalDate> kept;
    } cases[] = {
        {"fifteen days", daysFrom({2027, 1, 1}, 15), daysFrom({2027, 1, 2}, 14)},
        {"across a month and a year", daysFrom({2026, 12, 25}, 15), daysFrom({2026, 12, 26}, 14)},
        {"the clock set back by a month", daysFrom({2027, 1, 1}, 14) + daysFrom({2026, 12, 9}, 2),
         daysFrom({2026, 12, 9}, 2) + daysFrom({2027, 1, 3}, 12)},
        {"set back for longer than the backups kept",
         daysFrom({2027, 1, 1}, 14) + daysFrom({2020, 5, 1}, 15), daysFrom({2020, 5, 2}, 14)},
        {"a day with the clock a year ahead",
         daysFrom({2026, 11, 26}, 13) + daysFrom({2027, 12, 9}, 1) + daysFrom({2026, 12, 10}, 1),
         daysFrom({2026, 11, 26}, 13) + daysFrom({2026, 12, 10}, 1)},
        {"a year ahead, then two weeks of right dates",
         daysFrom({2026, 11, 26}, 13) + daysFrom({2027, 12, 9}, 1) + daysFrom({2026, 12, 10}, 14),
         daysFrom({2026, 12, 10}, 14)},
    };
    for (const Case& c : cases) {
        Registry r;
        ASSERT_TRUE(r.save());
        for (const fw::LocalDate& d : c.days) {
            r.day = d;
            ASSERT_TRUE(r.save()) << c.what;
            EXPECT_TRUE(exists(r.backup(d))) << c.what << ": the backup just made is gone";
        }
        std::vector<std::string> expected;
        for (const fw::LocalDate& d : c.kept) {
            expected.push_back(registry::BackupNameOf(d));
        }
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(fw::MatchingNames(r.dir.Path() + "/vora-backup", "*"), expected) << c.what;
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
