// Files on disk that are not what they seem: FIFOs, devices, folders and symbolic links, on
// opening for reading and on the safe replacement.

#include "framework/File.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// The message CDiskFile throws for path, or "opened" / "missing".
std::string OpenOutcome(const std::string& path) {
    try {
        bool missing = false;
        fw::CDiskFile file(path, &missing);
        return missing ? "missing" : "opened";
    } catch (const fw::CFileException& e) {
        return e.Message().ToUtf8();
    }
}

bool IsLink(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string LinkText(const std::string& path) {
    char buffer[512];
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
    return n < 0 ? std::string() : std::string(buffer, std::size_t(n));
}

bool Save(const std::string& path, const std::string& bytes, CString* error = nullptr,
          fw::FileOps& ops = fw::SystemFileOps()) {
    return fw::SaveFile(
        path, [&](fw::CFile& file) { file.Write(bytes.data(), bytes.size()); }, error, ops);
}

TEST(DiskFile, WhatIsNotARegularFileIsRefusedWithoutWaiting) {
    TempDir dir;
    const std::string d = dir.Path();
    WriteFile(d + "/data.dat", "abc");
    ASSERT_EQ(::mkfifo((d + "/fifo").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir((d + "/folder").c_str(), 0700), 0);
    const std::pair<const char*, const char*> links[] = {
        {"null.dat", "/dev/null"}, {"zero.dat", "/dev/zero"}, {"fifo.dat", "fifo"},
        {"good.dat", "data.dat"},  {"gone.dat", "nowhere/lost.dat"},
    };
    for (const auto& [name, target] : links) {
        ASSERT_EQ(::symlink(target, (d + "/" + name).c_str()), 0);
    }
    const std::string irregular = "を開けません：通常のファイルではありません";
    const std::pair<std::string, std::string> cases[] = {
        {"data.dat", "opened"},
        {"good.dat", "opened"},
        {"absent.dat", "missing"},
        {"fifo", "「fifo」" + irregular},
        {"fifo.dat", "「fifo.dat」" + irregular},
        {"null.dat", "「null.dat」" + irregular},
        {"zero.dat", "「zero.dat」" + irregular},
        {"folder", "「folder」を開けません：フォルダであってファイルではありません"},
        {"gone.dat", "「gone.dat」を開けません：リンク先「" + d + "/nowhere/lost.dat」がありません"},
    };
    // Opening a FIFO for reading would wait for a writer that never comes.
    ::alarm(10);
    for (const auto& [name, expected] : cases) {
        EXPECT_EQ(OpenOutcome(d + "/" + name), expected) << name;
    }
    ::alarm(0);
    fw::CDiskFile good(d + "/good.dat");
    char bytes[4] = {};
    EXPECT_EQ(good.GetLength(), 3u);
    EXPECT_EQ(good.Read(bytes, sizeof bytes), 3u);
    EXPECT_STREQ(bytes, "abc");
}

// Saving through a link replaces the file it points to, beside that file; the link stays a
// link with the same text, and the target keeps its permissions.
TEST(SafeFileWriter, SavesThroughSymbolicLinksToTheirTarget) {
    TempDir dir;
    const std::string d = dir.Path();
    ASSERT_EQ(::mkdir((d + "/work").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((d + "/store").c_str(), 0700), 0);
    WriteFile(d + "/store/real.dat", "old");
    testing_support::SetFileMode(d + "/store/real.dat", 0640);
    // work/vora.dat -> hop.dat -> ../store/real.dat, both relative to their own folders.
    ASSERT_EQ(::symlink("../store/real.dat", (d + "/work/hop.dat").c_str()), 0);
    ASSERT_EQ(::symlink("hop.dat", (d + "/work/vora.dat").c_str()), 0);

    ASSERT_TRUE(Save(d + "/work/vora.dat", "new bytes"));
    EXPECT_TRUE(IsLink(d + "/work/vora.dat"));
    EXPECT_TRUE(IsLink(d + "/work/hop.dat"));
    EXPECT_EQ(LinkText(d + "/work/vora.dat"), "hop.dat");
    EXPECT_EQ(ReadFile(d + "/store/real.dat"), "new bytes");
    EXPECT_EQ(testing_support::FileMode(d + "/store/real.dat"), 0640u);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"store", "work"}));

    // A failed rename leaves link and target as they were, and no temporary beside either.
    testing_support::FailingFileOps failing(fw::FileStep::Rename, EIO);
    CString error;
    EXPECT_FALSE(Save(d + "/work/vora.dat", "lost", &error, failing));
    EXPECT_EQ(error.ToUtf8(),
              "「vora.dat」を保存できません（一時ファイルを元のファイルに置き換えられません）："
              "ディスクの読み書きに失敗しました");
    EXPECT_EQ(ReadFile(d + "/store/real.dat"), "new bytes");
    EXPECT_TRUE(IsLink(d + "/work/vora.dat"));
    ASSERT_EQ(::unlink((d + "/work/hop.dat").c_str()), 0);
    ASSERT_EQ(::unlink((d + "/work/vora.dat").c_str()), 0);
    ASSERT_EQ(::rmdir((d + "/work").c_str()), 0); // nothing else was left in there
    ASSERT_EQ(::unlink((d + "/store/real.dat").c_str()), 0);
    ASSERT_EQ(::rmdir((d + "/store").c_str()), 0);

    // A link whose target went away while the program ran: the target is written anew.
    ASSERT_EQ(::symlink("later.dat", (d + "/vora.dat").c_str()), 0);
    ASSERT_TRUE(Save(d + "/vora.dat", "again"));
    EXPECT_TRUE(IsLink(d + "/vora.dat"));
    EXPECT_EQ(ReadFile(d + "/later.dat"), "again");
    EXPECT_EQ(testing_support::FileMode(d + "/later.dat"), 0600u);

    // Links in a cycle name no file at all.
    ASSERT_EQ(::symlink("loop.b", (d + "/loop.a").c_str()), 0);
    ASSERT_EQ(::symlink("loop.a", (d + "/loop.b").c_str()), 0);
    EXPECT_FALSE(Save(d + "/loop.a", "x", &error));
    EXPECT_NE(error.ToUtf8().find("「loop.a」を保存できません"), std::string::npos);
}

// A writer that opens the file by its name: what it writes there is what is saved; a writer
// that puts another file in the temporary file's place (so that the sync would miss it) fails.
TEST(SafeFileWriter, AWriterByNameFillsTheTemporaryFileItself) {
    TempDir dir;
    const std::string path = dir.Path() + "/list.xlsx";
    WriteFile(path, "old");
    const auto writeAs = [](const std::string& bytes, bool replace) {
        return [bytes, replace](const std::string& tempPath) {
            const std::string target = replace ? tempPath + ".other" : tempPath;
            WriteFile(target, bytes);
            if (replace) {
                ASSERT_EQ(std::rename(target.c_str(), tempPath.c_str()), 0);
            }
        };
    };
    CString error;
    ASSERT_TRUE(fw::SaveFileByName(path, writeAs("new", false), &error));
    EXPECT_EQ(ReadFile(path), "new");

    EXPECT_FALSE(fw::SaveFileByName(path, writeAs("swapped", true), &error));
    EXPECT_EQ(error.ToUtf8(),
              "「list.xlsx」を保存できません（一時ファイルへの書き込みに失敗しました）："
              "一時ファイルが別のファイルに置き換えられました");
    EXPECT_EQ(ReadFile(path), "new");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"list.xlsx"});
}

} // namespace
