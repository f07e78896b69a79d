#include "registry/QuellmarkDoc.h"
#include "support/CaseBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>

using fw::CArchive;
using fw::CMemFile;
using testing_support::StoredBytes;
using namespace std::string_literals;

namespace {

std::string le32(std::int32_t v) {
    std::string s(4, '\0');
    std::uint32_t u = std::uint32_t(v);
    for (int i = 0; i < 4; ++i) {
        s[std::size_t(i)] = char((u >> (8 * i)) & 0xFF);
    }
    return s;
}

std::string k32(std::int32_t v) {
    return le32(v ^ CQuellmarkDoc::kIntKey);
}

std::string f32(float f) {
    std::int32_t bits;
    std::memcpy(&bits, &f, 4);
    return le32(bits);
}

CQuellmarkDoc loaded(const std::string& bytes) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    CMemFile file(bytes, "vora.dat");
    CArchive ar(file, CArchive::load);
    doc.Serialize(ar);
    return doc;
}

const std::string kFreshFile = le32(2) + "\x05\xBD\xA9\xA0\xBA\xBB" + // "qelvo"
                               "\x06\xB8\xBE\xB9\xA1\xBC\xAD" +       // "trumpa"
                               f32(0) + f32(0) + f32(0) + k32(0) + k32(0) + k32(0) + k32(0) +
                               k32(0) + k32(0) + k32(0) + k32(0) + // five lists
                               k32(0) + k32(0);                    // cases, incidents

} // namespace

TEST(DataFileTest, FreshDocumentWritesTheSixtyNineByteFile) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    EXPECT_EQ(StoredBytes(doc), kFreshFile);
    EXPECT_EQ(kFreshFile.size(), 69u);
    CQuellmarkDoc back = loaded(kFreshFile);
    EXPECT_EQ(back.GetAdminPassword(), "qelvo");
    EXPECT_EQ(back.GetUserPassword(), "trumpa");
    EXPECT_EQ(back.GetRecordCount(), 0);
}

TEST(DataFileTest, ScramblingIsAnInvolutionThatKeepsLengths) {
    for (int b = 0; b < 256; ++b) {
        auto byte = static_cast<unsigned char>(b);
        EXPECT_EQ(CQuellmarkDoc::ScrambleByte(CQuellmarkDoc::ScrambleByte(byte)), byte) << b;
    }
    CString text = "麻酔 ｶﾅ\r\n"_sj;
    CString copy = text;
    CQuellmarkDoc::ScrambleText(copy);
    EXPECT_EQ(copy.GetLength(), text.GetLength());
    EXPECT_NE(copy, text);
    CQuellmarkDoc::ScrambleText(copy);
    EXPECT_EQ(copy, text);
}

TEST(DataFileTest, RecordBlockFieldsAreScrambledOrPlainAsTheFormatSays) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    doc.SetPasswords("", "");
    CCaseRecord r = testing_support::BlankCase("", 2010, 4, 1);
    r.SetnSex(7);
    r.SetbWithhold(1);
    r.SetnAgeYears(42);
    r.SetfWeight(60.5f);
    doc.AddRecord(r);
    std::string bytes = StoredBytes(doc);
    // Header: version, two empty passwords, 3 floats, 3 ints, 5 list counts, record count.
    std::size_t at = 4 + 1 + 1 + 12 + 12 + 20;
    EXPECT_EQ(bytes.substr(at, 4), k32(1));
    at += 4;
    EXPECT_EQ(bytes.substr(at, 4), k32(42)); // age years, ^K
    // The surgery date, the sex and the withheld flag are plain; sex and flag are neighbours.
    EXPECT_NE(bytes.find(le32(r.GettSurgery()), at), std::string::npos);
    EXPECT_NE(bytes.find(le32(7) + le32(1), at), std::string::npos);
    // The block ends with the weight (raw float) and the twelve index entries (all 0, ^K).
    std::string tail = f32(60.5f);
    for (int i = 0; i < 12; ++i) {
        tail += k32(0);
    }
    tail += k32(0); // incident count
    ASSERT_GE(bytes.size(), tail.size());
    EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail);
    CQuellmarkDoc back = loaded(bytes);
    EXPECT_EQ(back.GetRecord(0), r);
}

TEST(DataFileTest, VersionOneHospitalNumbersAreIntegersAndAreWrittenBackAsFloats) {
    std::string v1 = le32(1) + "\x00"s + "\x00"s + k32(3) + k32(1) + k32(2) + k32(300) + k32(4) +
                     k32(5) + k32(0) + k32(0) + k32(0) + k32(0) + k32(0) + k32(0) + k32(0);
    CQuellmarkDoc doc = loaded(v1);
    EXPECT_EQ(doc.GetFileVersion(), 1);
    EXPECT_EQ(doc.GetFullTime(), 3.0f);
    EXPECT_EQ(doc.GetPartTime(), 1.0f);
    EXPECT_EQ(doc.GetSpecialists(), 2.0f);
    EXPECT_EQ(doc.GetBeds(), 300);
    EXPECT_EQ(doc.GetHospitalLocation(), 4);
    EXPECT_EQ(doc.GetHospitalType(), 5);
    std::string v2 = StoredBytes(doc);
    EXPECT_EQ(doc.GetFileVersion(), 2);
    EXPECT_EQ(v2.substr(0, 4), le32(2));
    EXPECT_EQ(v2.substr(6, 12), f32(3) + f32(1) + f32(2));
}

TEST(DataFileTest, EverythingSurvivesARoundTrip) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    testing_support::FillDocument(doc, 300, 5);
    doc.SetHospitalInfo(2, 7, 450, 3.5f, 4.25f, 1.5f);
    doc.SetPasswords("管理"_sj, "");
    int row = doc.AddIncident();
    doc.SetIncidentText(row, 3, CString(std::string(70000, 'x')));
    CCaseRecord odd = doc.GetRecord(3);
    odd.SetstrNotes(CString(std::string(65534, 'n')));
    odd.SetstrDisease(CString(std::string(255, 'd')));
    odd.SetstrProcedure(CString(std::string(65533, 'p')));
    odd.SetstrWard(CString(std::string(254, 'w')));
    doc.ReplaceRecord(3, odd);
    std::string bytes = StoredBytes(doc);
    CQuellmarkDoc back = loaded(bytes);
    ASSERT_EQ(back.GetRecordCount(), 300);
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(back.GetRecord(i), doc.GetRecord(i)) << i;
    }
    EXPECT_EQ(back.GetIncidentCount(), doc.GetIncidentCount());
    EXPECT_EQ(back.GetIncidentText(row, 3).GetLength(), 70000);
    EXPECT_EQ(back.GetIncidentValue(0, 4), 1);
    EXPECT_EQ(back.GetWardList(), doc.GetWardList());
    EXPECT_EQ(back.GetAdminPassword(), "管理"_sj);
    EXPECT_EQ(back.GetPartTime(), 1.5f);
    // The replace above reordered equal keys, which a reload rebuilds in file order; from
    // then on the file is stable.
    std::string again = StoredBytes(back);
    EXPECT_EQ(again.size(), bytes.size());
    CQuellmarkDoc reloaded = loaded(again);
    EXPECT_TRUE(StoredBytes(reloaded) == again);
}

TEST(DataFileTest, EveryTruncationIsDamageWithAnOffsetAndNoCrash) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    testing_support::FillDocument(doc, 3, 9);
    int row = doc.AddIncident();
    doc.SetIncidentText(row, 2, "転帰"_sj);
    std::string bytes = StoredBytes(doc);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        try {
            loaded(bytes.substr(0, n));
            ADD_FAILURE() << "a file cut to " << n << " bytes loaded";
        } catch (const fw::CArchiveException& e) {
            EXPECT_LE(e.Offset(), n);
        }
    }
    // Bytes after the last incident block are ignored.
    EXPECT_EQ(loaded(bytes + "trailing").GetRecordCount(), 3);
}

TEST(DataFileTest, HugeOrNegativeCountsAreRefusedBeforeAllocating) {
    std::string header =
        le32(2) + "\x00"s + "\x00"s + f32(0) + f32(0) + f32(0) + k32(0) + k32(0) + k32(0);
    for (std::int32_t count : {-1, 2000000000, std::int32_t(0x80000000)}) {
        EXPECT_THROW(loaded(header + k32(count)), fw::CArchiveException) << count;
        std::string lists = k32(0) + k32(0) + k32(0) + k32(0) + k32(0);
        EXPECT_THROW(loaded(header + lists + k32(count)), fw::CArchiveException) << count;
        EXPECT_THROW(loaded(header + lists + k32(0) + k32(count)), fw::CArchiveException);
    }
}

TEST(DataFileTest, IncidentRowsOutsideTheTableReadAsEmpty) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    EXPECT_EQ(doc.AddIncident(), 0);
    EXPECT_EQ(doc.GetIncidentCount(), 1);
    doc.SetIncidentValue(0, 16, 4);
    doc.SetIncidentValue(5, 0, 9); // no such row: nothing happens
    doc.SetIncidentText(-1, 1, "x");
    EXPECT_EQ(doc.GetIncidentValue(0, 16), 4);
    EXPECT_EQ(doc.GetIncidentValue(5, 0), 0);
    EXPECT_EQ(doc.GetIncidentValue(-1, 0), 0);
    EXPECT_EQ(doc.GetIncidentValue(0, 17), 0);
    EXPECT_EQ(doc.GetIncidentText(0, 2), "");
    EXPECT_EQ(doc.GetIncidentText(3, 1), "");
    // A case pointing past the table keeps its value through a save.
    CCaseRecord r = testing_support::BlankCase("a");
    r.SetnIncidentIndex(12);
    doc.AddRecord(r);
    EXPECT_EQ(loaded(StoredBytes(doc)).GetRecord(0).GetnIncidentIndex(), 12);
}

TEST(DataFileTest, SaveReplacesTheFileSafely) {
    testing_support::TempDir dir;
    std::string path = dir.Path() + "/vora.dat";
    {
        CQuellmarkDoc doc(path); // no file yet: defaults
        EXPECT_EQ(doc.GetUserPassword(), "trumpa");
        ASSERT_TRUE(doc.SaveDataFile());
    }
    EXPECT_EQ(testing_support::ReadFile(path), kFreshFile);
    EXPECT_EQ(testing_support::FileMode(path), 0600);
    testing_support::SetFileMode(path, 0640);
    CQuellmarkDoc doc(path);
    doc.AddRecord(testing_support::BlankCase("新"));
    ASSERT_TRUE(doc.SaveDataFile());
    EXPECT_EQ(testing_support::FileMode(path), 0640);
    EXPECT_EQ(CQuellmarkDoc(path).GetRecordCount(), 1);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"vora.dat"}); // no temporary left
}

// Whichever step of a save fails, the old file stays byte for byte, no temporary is left, the
// data stay in memory, and the message names the file, the step and the reason.
TEST(DataFileTest, FailedSaveAtAnyStepKeepsTheOldFileAndTheData) {
    const std::pair<fw::FileStep, const char*> steps[] = {
        {fw::FileStep::Create, "（同じフォルダに一時ファイルを作成できません）"},
        {fw::FileStep::Write, "（一時ファイルへの書き込みに失敗しました）"},
        {fw::FileStep::Sync, "（ディスクへの書き出しに失敗しました）"},
        {fw::FileStep::Rename, "（一時ファイルを元のファイルに置き換えられません）"},
    };
    for (const auto& [step, words] : steps) {
        SCOPED_TRACE(words);
        testing_support::TempDir dir;
        std::string path = dir.Path() + "/vora.dat";
        CQuellmarkDoc doc(path);
        doc.AddRecord(testing_support::BlankCase("保存済み"));
        ASSERT_TRUE(doc.SaveDataFile());
        std::string before = testing_support::ReadFile(path);
        doc.AddRecord(testing_support::BlankCase("未保存"));

        testing_support::FailingFileOps failing(step, ENOSPC);
        doc.SetFileOps(failing);
        CString error;
        EXPECT_FALSE(doc.SaveDataFile(&error));
        EXPECT_EQ(error.ToUtf8(), std::string("データファイル「vora.dat」を保存できません") + words +
                                      "：ディスクの空き容量が足りません。\r\n以前のファイルはそのまま"
                                      "残っています。入力したデータは失われていません。");
        EXPECT_EQ(testing_support::ReadFile(path), before);
        EXPECT_EQ(dir.Entries(), std::vector<std::string>{"vora.dat"});
        EXPECT_EQ(doc.GetRecordCount(), 2);

        // Once the disk has room again, the same document saves what it holds.
        doc.SetFileOps(fw::SystemFileOps());
        ASSERT_TRUE(doc.SaveDataFile());
        EXPECT_EQ(CQuellmarkDoc(path).GetRecordCount(), 2);
    }
}

// The logout's bar can be cancelled: the save stops as a failed one does, and the next one
// saves everything.
TEST(DataFileTest, ACancelledSaveKeepsTheOldFileAndTheData) {
    testing_support::TempDir dir;
    const std::string path = dir.Path() + "/vora.dat";
    CQuellmarkDoc doc(path);
    testing_support::FillDocument(doc, 10000, 3);
    ASSERT_TRUE(doc.SaveDataFile());
    const std::string before = testing_support::ReadFile(path);
    doc.AddRecord(testing_support::BlankCase("未保存"));

    // Cancelled once the first cases are written.
    struct CancelLater : fw::Progress {
        bool Report(std::uint64_t done, std::uint64_t total) override {
            if (done > 0) {
                Cancel();
            }
            return fw::Progress::Report(done, total);
        }
    } cancel;
    CString error;
    EXPECT_FALSE(doc.SaveDataFile(&error, nullptr, cancel));
    EXPECT_EQ(error.ToUtf8(), "データファイル「vora.dat」の保存を取り消しました。\r\n以前のファイル"
                              "はそのまま残っています。入力したデータは失われていません。");
    EXPECT_EQ(testing_support::ReadFile(path), before);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"vora.dat"});

    fw::Progress watched;
    ASSERT_TRUE(doc.SaveDataFile(nullptr, nullptr, watched));
    EXPECT_GT(watched.Parts(), fw::Progress::kParts / 2);
    EXPECT_EQ(CQuellmarkDoc(path).GetRecordCount(), 10001);
}

TEST(DataFileTest, SaveIntoAReadOnlyFolderFailsAndLeavesTheOldFile) {
    testing_support::TempDir dir;
    std::string path = dir.Path() + "/vora.dat";
    CQuellmarkDoc doc(path);
    ASSERT_TRUE(doc.SaveDataFile());
    std::string before = testing_support::ReadFile(path);
    doc.AddRecord(testing_support::BlankCase("未保存"));
    testing_support::ReadOnlyDir readOnly(dir.Path());
    if (!readOnly.Active()) {
        GTEST_SKIP() << "cannot make a directory read-only here";
    }
    CString error;
    EXPECT_FALSE(doc.SaveDataFile(&error));
    EXPECT_NE(error.Find("vora.dat"), -1);
    EXPECT_EQ(testing_support::ReadFile(path), before);
    EXPECT_EQ(doc.GetRecordCount(), 1);
}

TEST(DataFileTest, DamagedFileOnDiskFailsConstructionAndIsNotTouched) {
    testing_support::TempDir dir;
    std::string path = dir.Path() + "/vora.dat";
    std::string damaged = kFreshFile.substr(0, 40);
    testing_support::WriteFile(path, damaged);
    try {
        CQuellmarkDoc doc(path);
        FAIL() << "a damaged file loaded";
    } catch (const fw::CFileException& e) {
        CString message = e.Message();
        EXPECT_NE(message.Find("vora.dat"), -1);
        EXPECT_NE(message.Find("バイト目"_sj), -1);
    }
    EXPECT_EQ(testing_support::ReadFile(path), damaged);
}
