// What the workbook's cells hold is read back by tests/registry/workbook_check.py with an
// independent reader; these tests cover the text conversion and the safe replacement.
#include "registry/WorkbookExport.h"

#include "support/CaseBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

using testing_support::BlankCase;

namespace {

CString sj(const std::string& utf8) {
    CString out;
    EXPECT_TRUE(CString::FromUtf8(utf8, out)) << utf8;
    return out;
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
        {"_x004_ _x00G1_ _x0041", "_x004_ _x00G1_ _x0041"}, // no escape: stays
        {"=1+2", "=1+2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(registry::WorkbookText(sj(c.typed).view()), c.held) << c.typed;
    }
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
}

TEST(WorkbookExportTest, AFailedExportSaysWhyAndLeavesTheEarlierFile) {
    // A note longer than a cell holds makes the workbook library itself fail (no file call
    // fails for it: Read is no step of a save).
    CCaseRecord tooLong = BlankCase("長い備考");
    tooLong.SetstrNotes(CString(std::string(40000, 'a')));
    const struct {
        fw::FileStep step;
        CCaseRecord record;
        const char* words;
    } failures[] = {
        {fw::FileStep::Create, BlankCase("a"),
         "（同じフォルダに一時ファイルを作成できません）："
         "ディスクの空き容量が足りません"},
        {fw::FileStep::Sync, BlankCase("a"),
         "（ディスクへの書き出しに失敗しました）：ディスクの空き容量が足りません"},
        {fw::FileStep::Rename, BlankCase("a"),
         "（一時ファイルを元のファイルに置き換えられません）"
         "：ディスクの空き容量が足りません"},
        {fw::FileStep::Read, tooLong,
         "（一時ファイルへの書き込みに失敗しました）：レコード番号 1 の「術中、術後"
         "特記事項」を書けません：1 つのセルに入る 32,767 文字を超え"
         "ています"},
    };
    for (const auto& f : failures) {
        SCOPED_TRACE(f.words);
        testing_support::TempDir dir;
        const std::string path = dir.Path() + "/vora_list.xlsx";
        testing_support::WriteFile(path, "earlier export");
        CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
        doc.AddRecord(f.record);
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

} // namespace
