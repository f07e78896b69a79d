#include "framework/FileTools.h"
#include "framework/Hash64.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <random>
#include <sys/stat.h>

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// However the bytes are cut into pieces, the digest is that of the whole; lengths cross the
// 4- and 8-byte tails and the 32-byte stripe.
TEST(Hash64, AnyChunkingGivesTheSameDigest) {
    std::mt19937 rng(11);
    for (std::size_t size : {0u, 1u, 3u, 4u, 7u, 8u, 31u, 32u, 33u, 63u, 64u, 65u, 1000u, 4099u}) {
        std::string bytes(size, '\0');
        for (char& c : bytes) {
            c = char(rng());
        }
        fw::Hash64 whole;
        whole.Update(bytes.data(), bytes.size());
        for (int trial = 0; trial < 20; ++trial) {
            fw::Hash64 pieces;
            std::size_t at = 0;
            while (at < size) {
                const std::size_t n = std::min(size - at, std::size_t(rng() % 40));
                pieces.Update(bytes.data() + at, n);
                at += n;
            }
            ASSERT_EQ(pieces.Digest(), whole.Digest()) << "size " << size;
        }
        if (size > 0) {
            fw::Hash64 changed;
            bytes[rng() % size] ^= 1;
            changed.Update(bytes.data(), bytes.size());
            EXPECT_NE(changed.Digest(), whole.Digest()) << "size " << size;
        }
    }
}

TEST(FileLock, SecondTakerSeesWhoHoldsIt) {
    TempDir dir;
    const std::string path = dir.Path() + "/vora.dat.lock";
    std::string holder;
    int error = 0;
    {
        fw::FileLock first;
        ASSERT_EQ(first.Take(path, "ws1\n42\n2026/12/09 08:00:00\n", holder, error),
                  fw::FileLock::Result::Taken);
        fw::FileLock second;
        EXPECT_EQ(second.Take(path, "ws2\n43\n", holder, error), fw::FileLock::Result::Held);
        EXPECT_EQ(holder, "ws1\n42\n2026/12/09 08:00:00\n");
    }
    fw::FileLock after;
    EXPECT_EQ(after.Take(path, "ws3\n", holder, error), fw::FileLock::Result::Taken);
}

TEST(FileTools, LinkOrCopyKeepsTheBytesAndRefusesAnExistingName) {
    TempDir dir;
    const std::string from = dir.Path() + "/vora.dat";
    WriteFile(from, "old bytes");
    int error = 0;
    ASSERT_TRUE(fw::LinkOrCopy(from, dir.Path() + "/copy.dat", error));
    EXPECT_EQ(ReadFile(dir.Path() + "/copy.dat"), "old bytes");
    EXPECT_FALSE(fw::LinkOrCopy(from, dir.Path() + "/copy.dat", error));
    EXPECT_EQ(error, EEXIST);
}

// Only the program's own temporary names go, and only regular files.
TEST(FileTools, RemovesMatchingRegularFilesOnly) {
    TempDir dir;
    const std::string d = dir.Path();
    for (const char* name : {".vora.dat.tmpAbC123", ".KRV2006.txt.tmpx1y2z3", "vora.dat",
                             ".vora.dat.tmp", "KRV2006.txt"}) {
        WriteFile(d + "/" + name, "x");
    }
    ASSERT_EQ(::mkdir((d + "/.vora.dat.tmpFOLDER").c_str(), 0700), 0);
    ASSERT_EQ(::symlink("vora.dat", (d + "/.vora.dat.tmpLINK00").c_str()), 0);
    EXPECT_EQ(fw::RemoveMatchingFiles(d, {".vora.dat.tmp??????", ".KRV*.txt.tmp??????"}), 2);
    EXPECT_EQ(dir.Entries(),
              (std::vector<std::string>{".vora.dat.tmp", ".vora.dat.tmpFOLDER",
                                        ".vora.dat.tmpLINK00", "KRV2006.txt", "vora.dat"}));
}

} // namespace
