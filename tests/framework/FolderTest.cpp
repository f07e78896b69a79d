#include "framework/Folder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using testing_support::FileMode;
using testing_support::TempDir;

namespace {

// Puts the working directory back after a test moved it.
class FolderTest : public ::testing::Test {
protected:
    ~FolderTest() override { std::filesystem::current_path(m_start); }
    std::filesystem::path m_start = std::filesystem::current_path();
};

TEST_F(FolderTest, MissingFoldersAreMadeForTheOwnerOnly) {
    TempDir dir;
    const std::string path = dir.Path() + "/a/b";
    std::string error;
    ASSERT_TRUE(fw::EnterFolder(path, true, &error)) << error;
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(path));
    EXPECT_EQ(FileMode(dir.Path() + "/a"), 0700u);
    EXPECT_EQ(FileMode(path), 0700u);
}

TEST_F(FolderTest, AnExistingFolderKeepsItsPermissions) {
    TempDir dir;
    testing_support::SetFileMode(dir.Path(), 0755);
    ASSERT_TRUE(fw::EnterFolder(dir.Path() + "/", true, nullptr));
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(dir.Path()));
    EXPECT_EQ(FileMode(dir.Path()), 0755u);
}

// A folder that should be there (a shared one the settings name) is never made in its place.
TEST_F(FolderTest, AFolderThatMustBeThereIsNotMade) {
    TempDir dir;
    const std::string path = dir.Path() + "/share/anesthesia";
    std::string error;
    EXPECT_FALSE(fw::EnterFolder(path, false, &error));
    EXPECT_EQ(error,
              "データフォルダ「" + path + "」に入れません：ファイルまたはフォルダがありません");
    EXPECT_TRUE(dir.Entries().empty());
    EXPECT_EQ(std::filesystem::current_path(), m_start);
}

TEST_F(FolderTest, AFileInThePlaceIsReported) {
    TempDir dir;
    testing_support::WriteFile(dir.Path() + "/f", "x");
    for (const std::string& path : {dir.Path() + "/f", dir.Path() + "/f/sub"}) {
        std::string error;
        EXPECT_FALSE(fw::EnterFolder(path, true, &error));
        EXPECT_NE(error.find("「" + path + "」"), std::string::npos) << error;
    }
    EXPECT_EQ(std::filesystem::current_path(), m_start);
}

} // namespace
