#include "registry/Journal.h"
#include "registry/QuellmarkDoc.h"
#include "support/CaseBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <random>
#include <sys/stat.h>

using registry::ChangeJournal;
using registry::JournalContents;
using registry::JournalEntry;
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

std::string journalOf(const std::vector<JournalEntry>& entries,
                      const fw::FileIdentity& base = kLoaded) {
    std::string bytes = registry::EncodeJournalHeader(base);
    for (const JournalEntry& e : entries) {
        bytes += registry::EncodeJournalEntry(e);
    }
    return bytes;
}

JournalContents read(const std::string& bytes, const CQuellmarkDoc& doc) {
    return registry::ReadJournal(bytes, kLoaded, doc.GetRecordCount(), doc.GetIncidentCount());
}

// The session that logged out, and one that started again from its journal, save the same.
TEST(Journal, ReplayOfEveryKindSavesWhatTheSessionWould) {
    CQuellmarkDoc session(CQuellmarkDoc::NoFile{});
    fillStart(session);
    CQuellmarkDoc restarted(CQuellmarkDoc::NoFile{});
    fillStart(restarted);
    const std::string journal = journalOf(changeEveryKind(session));

    const JournalContents contents = read(journal, restarted);
    ASSERT_EQ(contents.status, JournalContents::Ok) << contents.reason.ToUtf8();
    ASSERT_EQ(contents.entries.size(), 7u);
    EXPECT_EQ(contents.validLength, journal.size());
    for (const JournalEntry& e : contents.entries) {
        registry::ApplyJournalEntry(restarted, e);
    }
    EXPECT_EQ(StoredBytes(restarted), StoredBytes(session));
}

// The power failed while the last entry was written: whatever part of it reached the disk,
// the entries before it are applied and the rest is ignored.
TEST(Journal, LastEntryCutShortOrUnfinishedIsIgnored) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    fillStart(doc);
    CQuellmarkDoc copy(CQuellmarkDoc::NoFile{});
    fillStart(copy);
    const std::vector<JournalEntry> entries = changeEveryKind(copy);
    const std::string whole = journalOf(entries);
    const std::string firstSix =
        journalOf(std::vector<JournalEntry>(entries.begin(), entries.end() - 1));
    for (std::size_t cut = firstSix.size(); cut < whole.size(); ++cut) {
        const JournalContents contents = read(whole.substr(0, cut), doc);
        ASSERT_EQ(contents.status, JournalContents::Ok) << "cut at " << cut;
        EXPECT_EQ(contents.entries.size(), 6u) << "cut at " << cut;
        EXPECT_EQ(contents.validLength, firstSix.size());
    }
    // Whole in length, but a byte of it never reached the disk.
    std::string unfinished = whole;
    unfinished[whole.size() - 20] ^= 0x40;
    EXPECT_EQ(read(unfinished, doc).entries.size(), 6u);
    // Its length claims more than the file holds.
    std::string overlong = firstSix + registry::EncodeJournalEntry(entries.back());
    overlong[firstSix.size() + 1] = '\x7F';
    const JournalContents claimed = read(overlong, doc);
    EXPECT_EQ(claimed.status, JournalContents::Ok);
    EXPECT_EQ(claimed.entries.size(), 6u);
}

// Damage anywhere but in the last entry, or an entry that names what the document does not
// hold, makes the whole journal unreadable: nothing of it is applied.
TEST(Journal, DamageBeforeTheEndOrAnEntryThatDoesNotFitIsRefused) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    fillStart(doc);
    CQuellmarkDoc copy(CQuellmarkDoc::NoFile{});
    fillStart(copy);
    const std::string whole = journalOf(changeEveryKind(copy));
    std::string flipped = whole;
    flipped[60] ^= 0x01; // inside the first entry
    EXPECT_EQ(read(flipped, doc).status, JournalContents::Damaged);
    EXPECT_TRUE(read(flipped, doc).entries.empty());

    JournalEntry replaceMissing = registry::CaseChangeEntry(copy, 0, false, false);
    replaceMissing.recordIndex = doc.GetRecordCount() + 5;
    EXPECT_EQ(read(journalOf({replaceMissing}), doc).status, JournalContents::Damaged);
    JournalEntry rowBeyond = registry::CaseChangeEntry(copy, 0, false, false);
    rowBeyond.incidentWritten = true;
    CCaseRecord record = rowBeyond.record;
    record.SetnIncidentIndex(doc.GetIncidentCount() + 1);
    rowBeyond.record = record;
    EXPECT_EQ(read(journalOf({rowBeyond}), doc).status, JournalContents::Damaged);

    EXPECT_EQ(read("VORAJNL1", doc).status, JournalContents::Damaged);
    EXPECT_EQ(read(std::string(100, 'x'), doc).status, JournalContents::Damaged);
}

// A journal extends one data file only: another size, time, content, or a file where there
// was none, and it is not applied.
TEST(Journal, HeaderOfAnotherDataFileIsNotApplied) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    const std::vector<JournalEntry> none;
    fw::FileIdentity others[] = {kLoaded, kLoaded, kLoaded, kLoaded, fw::FileIdentity{}};
    others[0].size += 1;
    others[1].mtimeNs += 1;
    others[2].hash ^= 1;
    others[3].exists = false;
    for (const fw::FileIdentity& other : others) {
        EXPECT_EQ(registry::ReadJournal(journalOf(none, other), kLoaded, 0, 0).status,
                  JournalContents::OtherFile);
    }
    EXPECT_EQ(
        registry::ReadJournal(journalOf(none, fw::FileIdentity{}), fw::FileIdentity{}, 0, 0).status,
        JournalContents::Ok);
}

// On disk: a session's confirmations, the program ended without logout, the next start
// restores them; its save removes the journal, and a save's file is known again when loaded.
TEST(Journal, FileIsAppliedAtStartAndRemovedBySave) {
    TempDir dir;
    const std::string path = dir.Path() + "/vora.dat";
    {
        CQuellmarkDoc first(CQuellmarkDoc::NoFile{}, path);
        fillStart(first);
        ASSERT_TRUE(first.SaveDataFile());
    }
    std::string expected;
    {
        CQuellmarkDoc session(path);
        session.GetJournal().Enable(path, {});
        session.GetJournal().SetBase(session.GetFileIdentity());
        for (const JournalEntry& e : changeEveryKind(session)) {
            ASSERT_TRUE(session.GetJournal().Append(e));
        }
        expected = StoredBytes(session);
    } // ends without a save
    CQuellmarkDoc next(path);
    next.GetJournal().Enable(path, {});
    next.GetJournal().SetBase(next.GetFileIdentity());
    const auto recovery = next.GetJournal().Recover(next, {2026, 12, 9, 13, 45, 1});
    EXPECT_EQ(recovery.applied, 7);
    EXPECT_NE(recovery.message.ToUtf8().find("変更 7 件を復元しました"), std::string::npos);
    EXPECT_EQ(StoredBytes(next), expected);

    ASSERT_TRUE(next.SaveDataFile());
    struct stat st {};
    EXPECT_NE(::stat((path + ".journal").c_str(), &st), 0);
    EXPECT_EQ(ReadFile(path), expected);
    EXPECT_EQ(CQuellmarkDoc(path).GetFileIdentity(), next.GetFileIdentity());
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
    TempDir dir;
    const std::string path = dir.Path() + "/vora.dat";
    for (const std::string& journal :
         {journalOf({}, kLoaded), std::string("not a journal at all, not even close")}) {
        CQuellmarkDoc doc(CQuellmarkDoc::NoFile{}, path);
        WriteFile(path + ".journal", journal);
        doc.GetJournal().Enable(path, {});
        const auto recovery = doc.GetJournal().Recover(doc, {2026, 12, 9, 13, 45, 1});
        EXPECT_EQ(recovery.applied, 0);
        EXPECT_NE(recovery.message.ToUtf8().find("vora.dat.journal.20261209-134501"),
                  std::string::npos);
        EXPECT_EQ(ReadFile(path + ".journal.20261209-134501"), journal);
        ::unlink((path + ".journal.20261209-134501").c_str());
    }
}

} // namespace
