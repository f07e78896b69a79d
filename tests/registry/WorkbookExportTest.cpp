// What the workbook's cells hold is read back by tests/registry/workbook_check.py with an
// independent reader; these tests cover the text conversion, the cells too long for a cell,
// the safe replacement, and what a failed or cancelled export leaves behind.
#include "registry/WorkbookExport.h"

#include "registry/WorkbookScratch.h"
#include "support/CaseBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using testing_support::BlankCase;

namespace {

CString sj(const std::string& utf8) {
    CString out;
    EXPECT_TRUE(CString::FromUtf8(utf8, out)) << utf8;
    return out;
}

std::string repeated(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

// The descriptors of this process that stand for a file in folder dir, with or without a name.
std::vector<std::string> openFilesIn(const std::string& dir) {
    std::vector<std::string> open;
    DIR* fds = ::opendir("/proc/self/fd");
    while (const dirent* entry = ::readdir(fds)) {
        char target[4096];
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, std::size_t(n)).rfind(dir + "/", 0) == 0) {
            open.emplace_back(target, std::size_t(n));
        }
    }
    ::closedir(fds);
    return open;
}

TEST(WorkbookExportTest, TextsKeepWhatWasTypedAsTheWorkbookSpellsIt) {
    const struct {
        const char* typed;
        const char* held;
    } cases[] = {
        {"髙﨑 ﾀﾛｳ", "髙﨑 ﾀﾛｳ"},
        {"一行目\r\n二行目", "一行目\n二行目"}, // the spreadsheet's line break
        {"_x0041_", "_x005F_x0041_"},           // else it would read back as "A"
        {"a_X00fF_b_x0041_", "a_x005F_X00fF_b_x005F_x0041_"},
        // Any number of hex digits reads as a character's code.
        {"_x00_ _x0_ _x1_ _x004_1 _x00041_", "_x005F_x00_ _x005F_x0_ _x005F_x1_ _x005F_x004_1 "
                                             "_x005F_x00041_"},
        {"__x1_", "__x005F_x1_"},
        {"_x005F_x41_", "_x005F_x005F_x005F_x41_"},
        // No escape: no digits, a letter that is no hex digit, no closing underscore.
        {"_x_ _x00G1_ _x0041 _y41_", "_x_ _x00G1_ _x0041 _y41_"},
        {"=1+2", "=1+2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(registry::WorkbookText(sj(c.typed).view()), c.held) << c.typed;
    }
}

// A cell holds 32,767 characters as a spreadsheet reads them: a line break is one, an escape
// this program adds is none, a double-byte character is one.
TEST(WorkbookExportTest, ALongTextIsItsFirstCharactersAndAnEllipsis) {
    const int limit = registry::kCellCharacters;
    const struct {
        std::string typed;
        std::string held; // as read back: escapes undone
        bool cut;
    } cases[] = {
        {std::string(std::size_t(limit), 'a'), std::string(std::size_t(limit), 'a'), false},
        {std::string(std::size_t(limit) + 1, 'a'), std::string(std::size_t(limit) - 1, 'a') + "…",
         true},
        {std::string(40000, 'a'), std::string(std::size_t(limit) - 1, 'a') + "…", true},
        {repeated("あ", limit + 1), repeated("あ", limit - 1) + "…", true},
        {repeated("\r\n", limit), repeated("\n", limit), false},
        // 4,681 escapes of 7 characters fill a cell exactly, the escapes added not counted.
        {repeated("_x0041_", limit / 7), repeated("_x0041_", limit / 7), false},
        {repeated("_x0041_", limit / 7) + "a", repeated("_x0041_", limit / 7 - 1) + "_x0041…",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.substr(0, 20) + "... " + std::to_string(c.typed.size()));
        bool cut = !c.cut;
        const std::string held = registry::WorkbookCellText(sj(c.typed).view(), &cut);
        EXPECT_EQ(cut, c.cut);
        // What the library is told the cell has: the characters a spreadsheet reads.
        const auto characters = std::count_if(c.held.begin(), c.held.end(), [](char b) {
            return (static_cast<unsigned char>(b) & 0xC0) != 0x80;
        });
        EXPECT_EQ(registry::WorkbookCharacters(held.c_str()), std::size_t(characters));
        EXPECT_LE(characters, limit);
        std::string unescaped = held;
        for (std::size_t at; (at = unescaped.find("_x005F")) != std::string::npos;) {
            unescaped.erase(at, 6);
        }
        EXPECT_EQ(unescaped, c.held);
    }
}

TEST(WorkbookExportTest, ALongRemarkIsWrittenShortenedAndTheNoticeNamesTheFirst) {
    testing_support::TempDir dir;
    const std::string path = dir.Path() + "/vora_list.xlsx";
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    doc.AddRecord(BlankCase("短い備考"));
    CCaseRecord longNote = BlankCase("長い備考");
    longNote.SetstrNotes(CString(std::string(40000, 'a')));
    doc.AddRecord(longNote);
    doc.AddRecord(longNote);

    CString error;
    registry::ShortenedCells shortened;
    ASSERT_TRUE(registry::ExportWorkbook(doc, path, &error, fw::Progress::None(), &shortened))
        << error.ToUtf8();
    EXPECT_EQ(shortened.count, 2);
    EXPECT_EQ(shortened.firstRecord, 2);
    EXPECT_EQ(registry::ListColumnNames()[std::size_t(shortened.firstColumn)],
              std::string("術中、術後特記事項"));
    EXPECT_EQ(registry::WorkbookNotice(shortened).ToUtf8(),
              "vora_list.xlsxにデータを書き込みました。\r\n1 つのセルに入る 32,767 文字を超える"
              "文字列 2 件は、先頭の部分と「…」にしました（最初はレコード番号 2 の「術中、術後"
              "特記事項」）。全文は CSV 形式のエクスポートに書き出されます。");
    EXPECT_EQ(registry::WorkbookNotice({}).ToUtf8(), "vora_list.xlsxにデータを書き込みました。");
}

// The export follows the data file's permissions, not those of the file it replaces.
TEST(WorkbookExportTest, ExportReplacesTheFileAndLeavesNothingElse) {
    testing_support::TempDir dir;
    const std::string path = dir.Path() + "/vora_list.xlsx";
    testing_support::WriteFile(path, "earlier");
    testing_support::SetFileMode(path, 0644);
    testing_support::WriteFile(dir.Path() + "/vora.dat", "");
    testing_support::SetFileMode(dir.Path() + "/vora.dat", 0640);
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{}, dir.Path() + "/vora.dat");
    doc.AddRecord(BlankCase("一人目"));

    CString error;
    ASSERT_TRUE(registry::ExportWorkbook(doc, path, &error)) << error.ToUtf8();
    const std::string bytes = testing_support::ReadFile(path);
    EXPECT_EQ(bytes.substr(0, 4), std::string("PK\x03\x04", 4)); // a zip, complete
    EXPECT_EQ(testing_support::FileMode(path), 0640u);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"vora.dat", "vora_list.xlsx"}));
    EXPECT_TRUE(openFilesIn(dir.Path()).empty());
}

TEST(WorkbookExportTest, AFailedSaveStepSaysWhyAndLeavesTheEarlierFile) {
    const struct {
        fw::FileStep step;
        const char* words;
    } failures[] = {
        {fw::FileStep::Create, "（同じフォルダに一時ファイルを作成できません）："
                               "ディスクの空き容量が足りません"},
        {fw::FileStep::Sync, "（ディスクへの書き出しに失敗しました）：ディスクの空き容量が足り"
                             "ません"},
        {fw::FileStep::Rename, "（一時ファイルを元のファイルに置き換えられません）"
                               "：ディスクの空き容量が足りません"},
    };
    for (const auto& f : failures) {
        SCOPED_TRACE(f.words);
        testing_support::TempDir dir;
        const std::string path = dir.Path() + "/vora_list.xlsx";
        testing_support::WriteFile(path, "earlier export");
        CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
        doc.AddRecord(BlankCase("a"));
        testing_support::FailingFileOps failing(f.step, ENOSPC);
        doc.SetFileOps(failing);

        CString error;
        EXPECT_FALSE(registry::ExportWorkbook(doc, path, &error));
        EXPECT_EQ(error.ToUtf8(), std::string("「vora_list.xlsx」を保存できません") + f.words +
                                      "。\r\n以前のファイルはそのまま残っています。");
        EXPECT_EQ(testing_support::ReadFile(path), "earlier export");
        EXPECT_EQ(dir.Entries(), std::vector<std::string>{"vora_list.xlsx"});

        std::remove(path.c_str());
        EXPECT_FALSE(registry::ExportWorkbook(doc, path, &error));
        EXPECT_TRUE(dir.Entries().empty());
    }
}

// A file size limit fails the library's own temporary files (the rows of the sheet) as a full
// disk would: the export stops with the system's reason in Japanese and keeps no file open.
TEST(WorkbookExportTest, WritesTheLibraryCannotMakeFailTheExportAndKeepNothingOpen) {
    testing_support::TempDir dir;
    const std::string path = dir.Path() + "/vora_list.xlsx";
    testing_support::WriteFile(path, "earlier export");
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    testing_support::FillDocument(doc, 3000, 7);

    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = before;
    limited.rlim_cur = 256 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    CString error;
    const bool written = registry::ExportWorkbook(doc, path, &error);
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(written);
    EXPECT_EQ(error.ToUtf8(), "「vora_list.xlsx」を保存できません（一時ファイルへの書き込みに"
                              "失敗しました）：ファイルが大きすぎます（サイズの上限を超えました）"
                              "。\r\n以前のファイルはそのまま残っています。");
    EXPECT_EQ(testing_support::ReadFile(path), "earlier export");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"vora_list.xlsx"});
    EXPECT_EQ(openFilesIn(dir.Path()), std::vector<std::string>{});
}

// Cancels once the bar has passed a point: in the rows, or in the compression at the end
// that runs inside the library.
class CancelAt : public fw::Progress {
public:
    explicit CancelAt(std::uint32_t parts) : m_parts(parts) {}
    bool Report(std::uint64_t done, std::uint64_t total) override {
        fw::Progress::Report(done, total);
        if (Parts() >= m_parts) {
            Cancel();
        }
        return !IsCancelled();
    }

private:
    std::uint32_t m_parts;
};

TEST(WorkbookExportTest, ACancelledExportKeepsTheEarlierFileByteForByteAndNothingElse) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    testing_support::FillDocument(doc, 3000, 7);
    for (std::uint32_t at : {1u, 100u, 600u, 990u}) {
        SCOPED_TRACE(at);
        testing_support::TempDir dir;
        const std::string path = dir.Path() + "/vora_list.xlsx";
        const std::string earlier("PK\x03\x04 an earlier workbook\r\n\0\xff", 28);
        testing_support::WriteFile(path, earlier);

        CancelAt progress(at);
        CString error;
        EXPECT_FALSE(registry::ExportWorkbook(doc, path, &error, progress));
        EXPECT_EQ(error.ToUtf8(), "「vora_list.xlsx」のエクスポートを取り消しました。\r\n"
                                  "以前のファイルはそのまま残っています。");
        EXPECT_EQ(testing_support::ReadFile(path), earlier);
        EXPECT_EQ(dir.Entries(), std::vector<std::string>{"vora_list.xlsx"});
        EXPECT_EQ(openFilesIn(dir.Path()), std::vector<std::string>{});
    }
}

TEST(WorkbookExportTest, TheBarRisesToItsEndWithTheCompression) {
    testing_support::TempDir dir;
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    testing_support::FillDocument(doc, 3000, 7);
    CancelAt watched(fw::Progress::kParts + 1);
    ASSERT_TRUE(registry::ExportWorkbook(doc, dir.Path() + "/vora_list.xlsx", nullptr, watched));
    EXPECT_GE(watched.Parts(), fw::Progress::kParts * 95 / 100);
    EXPECT_LE(watched.Parts(), fw::Progress::kParts);
}

} // namespace
