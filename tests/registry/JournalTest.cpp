#include "registry/Journal.h"
#include "framework/Hash64.h"
#include "registry/QuellmarkDoc.h"
#include "support/CaseBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using registry::ChangeJournal;
using registry::JournalContents;
using registry::JournalEntry;
using registry::JournalKind;
using testing_support::ReadFile;
using testing_support::StoredBytes;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

const fw::FileIdentity kLoaded{true, 1234, 1765000000123456789, 0x0123456789ABCDEFull};

// A registry of a few cases, one with an incident, as a session starts from it.
void fillStart(CQuellmarkDoc& doc) {
    testing_support::FillDocument(doc, 12, 7);
}

// One change of every kind, made through the document as the dialogs make them, and the
// entries the dialogs give the journal.
std::vector<JournalEntry> changeEveryKind(CQuellmarkDoc& doc) {
    std::vector<JournalEntry> entries;
    std::mt19937 rng(3);
    // A new case with a new incident row.
    CCaseRecord added = testing_support::RealisticCase(rng);
    const int row = doc.AddIncident();
    doc.SetIncidentValue(row, 0, 4);
    doc.SetIncidentValue(row, 16, -7);
    doc.SetIncidentText(row, 2, "転帰の追記"_sj);
    added.SetnIncidentIndex(row);
    doc.AddRecord(added);
    entries.push_back(registry::CaseChangeEntry(doc, doc.GetRecordCount() - 1, true, true));
    // A case corrected, its date moved, no incident touched.
    CCaseRecord changed = doc.GetRecord(3);
    changed.SetstrName("訂正"_sj);
    changed.SettSurgery(fw::MakeTime32(2031, 1, 2));
    doc.ReplaceRecord(3, changed);
    entries.push_back(registry::CaseChangeEntry(doc, 3, false, false));
    // A case of the start given an incident of its own.
    CCaseRecord withIncident = doc.GetRecord(5);
    withIncident.SetnIncidentIndex(doc.AddIncident());
    doc.SetIncidentText(withIncident.GetnIncidentIndex(), 3, "主原因"_sj);
    doc.ReplaceRecord(5, withIncident);
    entries.push_back(registry::CaseChangeEntry(doc, 5, false, true));
    doc.GetWardList().Add("東病棟"_sj);
    entries.push_back(registry::ListChangeEntry(doc, doc.GetWardList()));
    doc.GetAnesthesiologistList().RemoveAt(0);
    entries.push_back(registry::ListChangeEntry(doc, doc.GetAnesthesiologistList()));
    doc.SetPasswords("admin2"_sj, ""_sj);
    entries.push_back(registry::PasswordChangeEntry(doc));
    doc.SetHospitalInfo(2, 5, 640, 3.5f, 12.25f, 0.1f);
    entries.push_back(registry::HospitalChangeEntry(doc));
    return entries;
}

// The same, with the closing entry of a save that never put its file in place among them.
std::vector<JournalEntry> changesAndAFailedSave(CQuellmarkDoc& doc) {
    std::vector<JournalEntry> entries = changeEveryKind(doc);
    entries.insert(entries.begin() + 3, registry::SavedFileEntry(999, 0xFEEDull));
    return entries;
}

int changesIn(const std::vector<JournalEntry>& entries, std::size_t count) {
    int changes = 0;
    for (std::size_t i = 0; i < count; ++i) {
        changes += entries[i].kind == JournalKind::Saved ? 0 : 1;
    }
    return changes;
}

// The document of the start with the first count changes of entries applied.
std::string savedWithFirst(const std::vector<JournalEntry>& entries, int count) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    fillStart(doc);
    for (const JournalEntry& e : entries) {
        if (count == 0) {
            break;
        }
        if (e.kind != JournalKind::Saved) {
            registry::ApplyJournalEntry(doc, e);
            --count;
        }
    }
    return StoredBytes(doc);
}

std::string journalOf(const std::vector<JournalEntry>& entries,
                      const fw::FileIdentity& base = kLoaded) {
    std::string bytes = registry::EncodeJournalHeader(base);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        bytes += registry::EncodeJournalEntry(entries[i], std::uint32_t(i));
    }
    return bytes;
}

// Where each entry of journalOf(entries) ends.
std::vector<std::size_t> entryEnds(const std::vector<JournalEntry>& entries) {
    std::vector<std::size_t> ends;
    std::size_t at = registry::EncodeJournalHeader(kLoaded).size();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        at += registry::EncodeJournalEntry(entries[i], std::uint32_t(i)).size();
        ends.push_back(at);
    }
    return ends;
}

template <typename T> void putRaw(std::string& out, T value) {
    char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    out.append(bytes, sizeof value);
}

std::uint64_t hashOf(const std::string& bytes) {
    fw::Hash64 hash;
    hash.Update(bytes.data(), bytes.size());
    return hash.Digest();
}

// A journal as the previous version wrote it: a header with the data file's modification
// time, and entries of a length, the body and a checksum of both.
std::string previousJournalOf(const std::vector<JournalEntry>& entries,
                              const fw::FileIdentity& base) {
    std::string bytes = "VORAJNL1";
    putRaw(bytes, base.exists ? std::int64_t(base.size) : std::int64_t(-1));
    putRaw(bytes, base.mtimeNs);
    putRaw(bytes, base.hash);
    putRaw(bytes, hashOf(bytes));
    for (const JournalEntry& e : entries) {
        const std::string current = registry::EncodeJournalEntry(e, 0);
        std::string entry;
        putRaw(entry, std::uint32_t(current.size() - 28));
        entry += current.substr(20, current.size() - 28);
        putRaw(entry, hashOf(entry));
        bytes += entry;
    }
    return bytes;
}

JournalContents read(const std::string& bytes, const CQuellmarkDoc& doc,
                     const fw::FileIdentity& dataFile = kLoaded) {
    return registry::ReadJournal(bytes, dataFile, doc.GetRecordCount(), doc.GetIncidentCount());
}

// A journal of changes of every kind, as written whole, and the document it extends.
struct Written {
    CQuellmarkDoc start{CQuellmarkDoc::NoFile{}};
    std::vector<JournalEntry> entries;
    std::string whole;
    std::vector<std::size_t> ends; // where each entry ends

    explicit Written(bool withAFailedSave) {
        fillStart(start);
        CQuellmarkDoc copy(CQuellmarkDoc::NoFile{});
        fillStart(copy);
        entries = withAFailedSave ? changesAndAFailedSave(copy) : changeEveryKind(copy);
        whole = journalOf(entries);
        ends = entryEnds(entries);
    }
};

// A data file and its journal on disk, and the starts of the program on them.
struct Folder {
    TempDir dir;
    std::string path = dir.Path() + "/vora.dat";
    std::string journal = path + ".journal";
    std::string aside = journal + ".20261209-134501";
    std::vector<std::string> messages;

    Folder() {
        CQuellmarkDoc first(CQuellmarkDoc::NoFile{}, path);
        fillStart(first);
        EXPECT_TRUE(first.SaveDataFile());
    }
    CQuellmarkDoc open() { return CQuellmarkDoc(path); }
    // A start: the data file loaded, the journal recovered; the document is returned as the
    // user then has it.
    registry::ChangeJournal::Recovery start(CQuellmarkDoc& doc) {
        doc.GetJournal().Enable(path,
                                [this](const CString& text) { messages.push_back(text.ToUtf8()); });
        doc.GetJournal().SetBase(doc.GetFileIdentity());
        return doc.GetJournal().Recover(doc, {2026, 12, 9, 13, 45, 1});
    }
    bool exists(const std::string& file) const {
        struct stat st {};
        return ::lstat(file.c_str(), &st) == 0;
    }
};

// The session that logged out, and one that started again from its journal, save the same; a
// closing entry of a file that never took the data file's name is passed over.
TEST(Journal, ReplayOfEveryKindSavesWhatTheSessionWould) {
    CQuellmarkDoc session(CQuellmarkDoc::NoFile{});
    fillStart(session);
    CQuellmarkDoc restarted(CQuellmarkDoc::NoFile{});
    fillStart(restarted);
    const std::string journal = journalOf(changesAndAFailedSave(session));

    const JournalContents contents = read(journal, restarted);
    ASSERT_EQ(contents.status, JournalContents::Ok) << contents.reason.ToUtf8();
    ASSERT_EQ(contents.entries.size(), 7u);
    EXPECT_EQ(contents.validLength, journal.size());
    EXPECT_EQ(contents.entryCount, 8u);
    EXPECT_FALSE(contents.rewrite);
    for (const JournalEntry& e : contents.entries) {
        registry::ApplyJournalEntry(restarted, e);
    }
    EXPECT_EQ(StoredBytes(restarted), StoredBytes(session));
}

// The program ended while it wrote the last entry: whatever part of it reached the disk, the
// entries before it are applied, without a word.
TEST(Journal, CutAtEveryLengthDropsOnlyThePartialLastEntry) {
    const Written w(true);
    std::size_t whole_entries = 0;
    std::size_t lastEnd = registry::EncodeJournalHeader(kLoaded).size();
    for (std::size_t cut = lastEnd; cut <= w.whole.size(); ++cut) {
        if (whole_entries < w.ends.size() && cut == w.ends[whole_entries]) {
            lastEnd = w.ends[whole_entries++];
        }
        const JournalContents contents = read(w.whole.substr(0, cut), w.start);
        ASSERT_EQ(contents.status, JournalContents::Ok) << "cut at " << cut;
        ASSERT_EQ(contents.entries.size(), std::size_t(changesIn(w.entries, whole_entries)))
            << "cut at " << cut;
        EXPECT_EQ(contents.validLength, lastEnd) << "cut at " << cut;
        EXPECT_EQ(contents.entryCount, whole_entries) << "cut at " << cut;
    }
}

// An appended entry whose bytes the file system never wrote reads as zero bytes. All of it
// zero is an entry that never reached the disk; zeros in part of it cannot be told from a
// damaged entry, so they are damage.
TEST(Journal, ZeroFilledLastEntry) {
    const Written w(false);
    const std::size_t last = w.ends[5];
    const std::size_t lastSize = w.whole.size() - last;
    struct Case {
        const char* what;
        std::size_t from, to; // the zeroed bytes of the last entry
        JournalContents::Status status;
    } cases[] = {
        {"all of it", 0, lastSize, JournalContents::Ok},
        {"its head", 0, 20, JournalContents::Damaged},
        {"its body and checksum", 20, lastSize, JournalContents::Damaged},
        {"its checksum", lastSize - 8, lastSize, JournalContents::Damaged},
    };
    for (const Case& c : cases) {
        std::string zeroed = w.whole;
        std::fill(zeroed.begin() + std::ptrdiff_t(last + c.from),
                  zeroed.begin() + std::ptrdiff_t(last + c.to), '\0');
        const JournalContents contents = read(zeroed, w.start);
        EXPECT_EQ(contents.status, c.status) << c.what;
        EXPECT_EQ(contents.entries.size(), 6u) << c.what;
        EXPECT_EQ(contents.validLength, last) << c.what;
    }
    // Zeros longer than any entry are no entry either.
    EXPECT_EQ(read(w.whole.substr(0, last) + std::string(5000, '\0'), w.start).entries.size(), 6u);
}

// Every value of every byte of a journal written whole: never taken for a cut end or read as
// a change; the entries before the damaged one are those read.
TEST(Journal, EveryByteChangedIsDamageAfterTheEntriesBeforeIt) {
    const Written w(true);
    std::size_t entry = 0;
    const std::size_t header = registry::EncodeJournalHeader(kLoaded).size();
    for (std::size_t at = 0; at < w.whole.size(); ++at) {
        if (at >= header && at >= w.ends[entry]) {
            ++entry;
        }
        const std::size_t before = at < header ? 0 : std::size_t(changesIn(w.entries, entry));
        std::string changed = w.whole;
        for (int value = 0; value < 256; ++value) {
            if (char(value) == w.whole[at]) {
                continue;
            }
            changed[at] = char(value);
            const JournalContents contents = read(changed, w.start);
            ASSERT_EQ(contents.status, JournalContents::Damaged)
                << "byte " << at << " set to " << value;
            ASSERT_EQ(contents.entries.size(), before) << "byte " << at << " set to " << value;
        }
    }
}

// On disk: the damaged journal is kept byte for byte under its dated name, the entries before
// the damage are applied and kept in a new journal, and the user is told how many.
TEST(Journal, DamagedFileKeepsItsBytesAndRestoresTheEntriesBefore) {
    CQuellmarkDoc copy(CQuellmarkDoc::NoFile{});
    fillStart(copy);
    const std::vector<JournalEntry> entries = changesAndAFailedSave(copy);
    const std::vector<std::size_t> ends = entryEnds(entries);
    struct Case {
        const char* what;
        std::size_t at; // the byte changed
        int restored;
    } cases[] = {
        {"the header", 10, 0},
        {"the first entry's length", 32 + 8, 0},
        {"the second entry's marker", ends[0], 1},
        {"the third entry's number", ends[1] + 5, 2},
        {"the closing entry's checksum", ends[3] - 1, 3},
        {"a body", ends[4] + 30, 4},
        {"the last entry's head checksum", ends[6] + 15, 6},
        {"the last byte", ends[7] - 1, 6},
    };
    for (const Case& c : cases) {
        Folder f;
        CQuellmarkDoc loaded = f.open();
        std::string bytes = journalOf(entries, loaded.GetFileIdentity());
        bytes[c.at] ^= 0x10;
        WriteFile(f.journal, bytes);
        const auto recovery = f.start(loaded);
        EXPECT_EQ(recovery.applied, c.restored) << c.what;
        EXPECT_EQ(StoredBytes(loaded), savedWithFirst(entries, c.restored)) << c.what;
        const std::string message = recovery.message.ToUtf8();
        EXPECT_NE(message.find("壊れていて、読めませんでした"), std::string::npos) << message;
        EXPECT_NE(message.find("vora.dat.journal.20261209-134501"), std::string::npos) << message;
        if (c.restored > 0) {
            EXPECT_NE(message.find("壊れた所より前の " + std::to_string(c.restored) + " 件"),
                      std::string::npos)
                << message;
        }
        EXPECT_EQ(ReadFile(f.aside), bytes) << c.what;
        EXPECT_TRUE(f.messages.empty()) << c.what;

        // Killed again before a logout: the restored changes come back from the new journal.
        CQuellmarkDoc again = f.open();
        EXPECT_EQ(f.start(again).applied, c.restored) << c.what;
        EXPECT_EQ(StoredBytes(again), StoredBytes(loaded)) << c.what;
    }
}

// A journal names its data file by contents: another size, content, or a file where there
// was none, and it is not applied; another modification time alone changes nothing.
TEST(Journal, DataFileIsNamedByItsContents) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    const std::vector<JournalEntry> none;
    struct Case {
        fw::FileIdentity header;
        JournalContents::Status status;
    } cases[] = {
        {{true, 1234, 1765000000123456789, 0x0123456789ABCDEFull}, JournalContents::Ok},
        {{true, 1234, 42, 0x0123456789ABCDEFull}, JournalContents::Ok},
        {{true, 1235, 1765000000123456789, 0x0123456789ABCDEFull}, JournalContents::OtherFile},
        {{true, 1234, 1765000000123456789, 0x0123456789ABCDEEull}, JournalContents::OtherFile},
        {{}, JournalContents::OtherFile},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(registry::ReadJournal(journalOf(none, c.header), kLoaded, 0, 0).status, c.status);
        EXPECT_EQ(registry::ReadJournal(previousJournalOf(none, c.header), kLoaded, 0, 0).status,
                  c.status);
    }
    EXPECT_EQ(
        registry::ReadJournal(journalOf(none, fw::FileIdentity{}), fw::FileIdentity{}, 0, 0).status,
        JournalContents::Ok);
}

// A closing entry that names the data file found at start: its changes are in that file, and
// only what follows it is applied.
TEST(Journal, ClosingEntryOfTheDataFileMeansItsChangesAreSaved) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    fillStart(doc);
    CQuellmarkDoc copy(CQuellmarkDoc::NoFile{});
    fillStart(copy);
    const std::vector<JournalEntry> changes = changeEveryKind(copy);
    const fw::FileIdentity saved{true, 5000, 0, 0xABCDull};
    const JournalEntry closing = registry::SavedFileEntry(saved.size, saved.hash);
    const JournalEntry after = registry::PasswordChangeEntry(copy);
    struct Case {
        const char* what;
        std::vector<JournalEntry> entries;
        fw::FileIdentity dataFile;
        JournalContents::Status status;
        std::size_t applied;
        bool rewrite;
    } cases[] = {
        {"saved, the file in place",
         {changes[0], changes[3], closing},
         saved,
         JournalContents::Ok,
         0,
         true},
        {"saved, then a change", {changes[3], closing, after}, saved, JournalContents::Ok, 1, true},
        {"the save's file not in place",
         {changes[0], closing, after},
         kLoaded,
         JournalContents::Ok,
         2,
         false},
        {"another file altogether",
         {changes[0], closing},
         {true, 1, 0, 2},
         JournalContents::OtherFile,
         0,
         false},
    };
    for (const Case& c : cases) {
        CQuellmarkDoc start(CQuellmarkDoc::NoFile{});
        fillStart(start);
        const JournalContents contents = read(journalOf(c.entries), start, c.dataFile);
        EXPECT_EQ(contents.status, c.status) << c.what;
        EXPECT_EQ(contents.entries.size(), c.applied) << c.what;
        EXPECT_EQ(contents.rewrite, c.rewrite) << c.what;
    }
}

// A journal the previous version left is restored, and from then on kept in this format; one
// it left incomplete is damage, told and kept.
TEST(Journal, PreviousFormatIsRestoredAndWrittenAgain) {
    Folder f;
    CQuellmarkDoc session = f.open();
    const std::vector<JournalEntry> entries = changeEveryKind(session);
    fw::FileIdentity base = session.GetFileIdentity();
    base.mtimeNs += 5000000000; // the old header's time no longer matters
    const std::string previous = previousJournalOf(entries, base);
    WriteFile(f.journal, previous);

    CQuellmarkDoc loaded = f.open();
    const auto recovery = f.start(loaded);
    EXPECT_EQ(recovery.applied, 7);
    EXPECT_EQ(StoredBytes(loaded), StoredBytes(session));
    EXPECT_EQ(ReadFile(f.journal).substr(0, 8), "VORAJNL2");
    EXPECT_FALSE(f.exists(f.aside));
    ASSERT_TRUE(loaded.GetJournal().Append(registry::HospitalChangeEntry(loaded)));
    CQuellmarkDoc again = f.open();
    EXPECT_EQ(f.start(again).applied, 8);
    EXPECT_EQ(StoredBytes(again), StoredBytes(loaded));

    Folder cut;
    WriteFile(cut.journal, previous.substr(0, previous.size() - 3));
    CQuellmarkDoc loadedCut = cut.open();
    const auto cutRecovery = cut.start(loadedCut);
    EXPECT_EQ(cutRecovery.applied, 6);
    EXPECT_NE(cutRecovery.message.ToUtf8().find("壊れた所より前の 6 件"), std::string::npos);
    EXPECT_EQ(ReadFile(cut.aside), previous.substr(0, previous.size() - 3));
}

// On disk: a session's confirmations, the program ended without logout, the next start
// restores them; its save removes the journal, and a save's file is known again when loaded.
// A modification time changed alone (a backup program touched the file) keeps the journal.
TEST(Journal, FileIsAppliedAtStartAndRemovedBySave) {
    Folder f;
    std::string expected;
    {
        CQuellmarkDoc session = f.open();
        f.start(session);
        for (const JournalEntry& e : changeEveryKind(session)) {
            ASSERT_TRUE(session.GetJournal().Append(e));
        }
        expected = StoredBytes(session);
    } // ends without a save
    const struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, f.path.c_str(), times, 0), 0);
    CQuellmarkDoc next = f.open();
    const auto recovery = f.start(next);
    EXPECT_EQ(recovery.applied, 7);
    EXPECT_NE(recovery.message.ToUtf8().find("変更 7 件を復元しました"), std::string::npos);
    EXPECT_EQ(StoredBytes(next), expected);

    ASSERT_TRUE(next.SaveDataFile());
    EXPECT_FALSE(f.exists(f.journal));
    EXPECT_EQ(ReadFile(f.path), expected);
    EXPECT_EQ(CQuellmarkDoc(f.path).GetFileIdentity(), next.GetFileIdentity());
}

// A save renames its file into place and the program is killed before the journal is
// removed: the next start says nothing, applies nothing, and saves what the save had saved.
TEST(Journal, KilledBetweenTheSavesRenameAndTheJournalsRemoval) {
    // The real rename, and then the end a power failure or SIGKILL makes there.
    struct KillAfterRename final : fw::FileOps {
        int Rename(const char* from, const char* to) override {
            const int result = fw::FileOps::Rename(from, to);
            ::raise(SIGKILL);
            return result;
        }
    };
    Folder f;
    const auto session = [&f] {
        CQuellmarkDoc doc = f.open();
        f.start(doc);
        for (const JournalEntry& e : changeEveryKind(doc)) {
            doc.GetJournal().Append(e);
        }
        return doc;
    };
    // The reference: the same session logged out, then a start and a logout again.
    std::string loggedOut, loggedOutAgain;
    {
        Folder reference;
        CQuellmarkDoc doc = reference.open();
        changeEveryKind(doc);
        ASSERT_TRUE(doc.SaveDataFile());
        loggedOut = ReadFile(reference.path);
        CQuellmarkDoc again = reference.open();
        ASSERT_TRUE(again.SaveDataFile());
        loggedOutAgain = ReadFile(reference.path);
    }
    EXPECT_EXIT(
        {
            CQuellmarkDoc doc = session();
            KillAfterRename ops;
            doc.SetFileOps(ops);
            doc.SaveDataFile();
        },
        testing::KilledBySignal(SIGKILL), "");
    ASSERT_TRUE(f.exists(f.journal));
    EXPECT_TRUE(ReadFile(f.path) == loggedOut) << "the save's file is not in place";
    CQuellmarkDoc next = f.open();
    const auto recovery = f.start(next);
    EXPECT_EQ(recovery.applied, 0);
    EXPECT_TRUE(recovery.message.IsEmpty()) << recovery.message.ToUtf8();
    EXPECT_FALSE(f.exists(f.journal));
    ASSERT_TRUE(next.SaveDataFile());
    EXPECT_TRUE(ReadFile(f.path) == loggedOutAgain) << "the next logout saved other bytes";
}

// A save that failed at its rename leaves its closing entry behind; later changes follow it,
// and after an end without logout all of them are applied.
TEST(Journal, FailedSaveLeavesEveryChangeToApply) {
    Folder f;
    std::string expected;
    {
        CQuellmarkDoc session = f.open();
        f.start(session);
        const std::vector<JournalEntry> entries = changeEveryKind(session);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            ASSERT_TRUE(session.GetJournal().Append(entries[i]));
            if (i == 2) {
                testing_support::FailingFileOps ops(fw::FileStep::Rename, EACCES);
                session.SetFileOps(ops);
                ASSERT_FALSE(session.SaveDataFile());
                session.SetFileOps(fw::SystemFileOps());
            }
        }
        expected = StoredBytes(session);
    }
    CQuellmarkDoc next = f.open();
    EXPECT_EQ(f.start(next).applied, 7);
    EXPECT_EQ(StoredBytes(next), expected);
}

// An entry that cannot be written is told once, and nothing after it is written: a journal
// never holds a later change without an earlier one.
TEST(Journal, FailedAppendWarnsOnceAndStopsUntilTheNextSave) {
    TempDir dir;
    const std::string path = dir.Path() + "/vora.dat";
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{}, path);
    int warnings = 0;
    doc.GetJournal().Enable(path, [&warnings](const CString&) { ++warnings; });
    ASSERT_EQ(::mkdir((path + ".journal").c_str(), 0700), 0); // no file can go there
    EXPECT_FALSE(doc.GetJournal().Append(registry::PasswordChangeEntry(doc)));
    ASSERT_EQ(::rmdir((path + ".journal").c_str()), 0);
    EXPECT_FALSE(doc.GetJournal().Append(registry::PasswordChangeEntry(doc)));
    EXPECT_EQ(warnings, 1);
    struct stat st {};
    EXPECT_NE(::stat((path + ".journal").c_str(), &st), 0);
    ASSERT_TRUE(doc.SaveDataFile());
    EXPECT_TRUE(doc.GetJournal().Append(registry::PasswordChangeEntry(doc)));
}

// A journal that is not this file's is put aside under a dated name, never deleted; the
// data file is loaded as it is.
TEST(Journal, ForeignOrUnreadableFileIsPutAside) {
    for (const std::string& journal :
         {journalOf({}, kLoaded), std::string("not a journal at all, not even close")}) {
        Folder f;
        WriteFile(f.journal, journal);
        CQuellmarkDoc doc = f.open();
        const std::string before = StoredBytes(doc);
        const auto recovery = f.start(doc);
        EXPECT_EQ(recovery.applied, 0);
        EXPECT_NE(recovery.message.ToUtf8().find("vora.dat.journal.20261209-134501"),
                  std::string::npos);
        EXPECT_EQ(ReadFile(f.aside), journal);
        EXPECT_FALSE(f.exists(f.journal));
        EXPECT_EQ(StoredBytes(doc), before);
    }
}

} // namespace
