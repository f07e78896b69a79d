#pragma once
// The journal of confirmed changes, "vora.dat.journal" beside the data file: every change a
// user confirms is appended and synced before the program goes on, so that an end without a
// logout (killed, the session ended, the power failed) loses nothing. The next start applies
// it to the data file it extends; a successful logout save or the forced exit removes it.
//
// The file: a header of 32 bytes ("VORAJNL2", the size of the data file as loaded or -1 when
// there was none, the hash of its bytes, a checksum of these 24 bytes), then entries. An entry
// is a head of 20 bytes ("JENT", its number from 0, the length n of its body, a checksum of
// these 12 bytes), the n bytes of its body (the kind, then its fields as the data file encodes
// them) and a checksum of head and body. Numbers are little-endian.
//
// The data file is named by its contents, never by its modification time, so a file touched
// by a backup program keeps its journal. Because each entry's length is checked on its own, a
// byte changed anywhere in a journal that was written whole is always seen as damage; only an
// end cut inside the last entry (or an appended entry the file system never filled in, all
// zero bytes) is the program ending while it wrote, and is left out without a word. On damage
// the whole entries before it are applied and the file is kept under a dated name.
//
// A save appends a closing entry naming the file it wrote (size and hash) before that file
// takes the data file's name, so a journal whose closing entry names the data file found at
// start holds nothing that file lacks: it is removed without applying anything. A closing
// entry of a file that never took the name (the save failed) is passed over.
//
// Journals of the previous format ("VORAJNL1": a 40-byte header that also held the data file's
// modification time, entries without a head of their own) are still read and applied, and are
// then written again in this format.

#include "framework/File.h"
#include "framework/FileTools.h"
#include "framework/StringArray.h"
#include "framework/Time32.h"
#include "registry/CaseRecord.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class CQuellmarkDoc;

namespace registry {

// Saved: the closing entry of a save, naming the file written with every change before it.
enum class JournalKind : std::int32_t {
    Case = 1,
    List = 2,
    Passwords = 3,
    Hospital = 4,
    Saved = 5
};

// The master lists by the numbers the journal gives them.
enum MasterList : std::int32_t {
    kListAnesthesiologists = 0,
    kListSupervisors = 1,
    kListWards = 2,
    kListRooms = 3,
    kListDepartments = 4,
};
constexpr int kMasterListCount = 5;

// One confirmed change; the fields of its kind are used.
struct JournalEntry {
    JournalKind kind = JournalKind::Case;
    // Case: the case as confirmed; recordIndex -1 adds it, else it replaces that case. When
    // incidentWritten, the incident row the case points to was written with these values and
    // texts (a new row when it is the next one of the table).
    int recordIndex = -1;
    bool incidentWritten = false;
    std::array<std::int32_t, 17> incidentValues{};
    std::array<CString, 3> incidentTexts;
    CCaseRecord record;
    // List: the whole list after the change.
    MasterList list = kListAnesthesiologists;
    CStringArray items;
    // Passwords.
    CString adminPassword;
    CString userPassword;
    // Hospital information.
    int hospitalType = 0;
    int hospitalLocation = 0;
    int beds = 0;
    float specialists = 0;
    float fullTime = 0;
    float partTime = 0;
    // Saved: the size and the hash of the bytes of the file the save wrote.
    std::uint64_t savedSize = 0;
    std::uint64_t savedHash = 0;
};

// The entries of the changes that a dialog made to doc.
JournalEntry CaseChangeEntry(const CQuellmarkDoc& doc, int recordIndex, bool added,
                             bool incidentWritten);
JournalEntry ListChangeEntry(const CQuellmarkDoc& doc, const CStringArray& list);
JournalEntry PasswordChangeEntry(const CQuellmarkDoc& doc);
JournalEntry HospitalChangeEntry(const CQuellmarkDoc& doc);
JournalEntry SavedFileEntry(std::uint64_t size, std::uint64_t hash);

// Applies an entry through the document's own operations (a closing entry changes nothing).
void ApplyJournalEntry(CQuellmarkDoc& doc, const JournalEntry& entry);

std::string EncodeJournalHeader(const fw::FileIdentity& dataFile);
// The entry numbered sequence (0 for the first after the header).
std::string EncodeJournalEntry(const JournalEntry& entry, std::uint32_t sequence);

// What a journal holds for a data file.
struct JournalContents {
    // Ok: entries are the changes the data file lacks (none when a closing entry names it).
    // OtherFile: the journal extends another data file. Damaged: reason says what is wrong
    // and where; entries are the whole ones before the damage that extend this data file.
    enum Status { Ok, OtherFile, Damaged } status = Ok;
    CString reason;
    std::vector<JournalEntry> entries;
    // The end of the last whole entry: less than the file when its last entry was cut short
    // or never filled in (the program ended while writing it).
    std::uint64_t validLength = 0;
    // The whole entries up to validLength, closing entries included: the next one's number.
    std::uint32_t entryCount = 0;
    // The file cannot be continued as it is: it is of the previous format, or its header names
    // an earlier file whose save it records.
    bool rewrite = false;
};

// Reads a journal for the data file dataFile, as loaded with recordCount cases and
// incidentCount incident rows. An entry that does not fit the document (a case or row that is
// not there) is damage.
JournalContents ReadJournal(std::string_view bytes, const fw::FileIdentity& dataFile,
                            int recordCount, int incidentCount);

// The journal of the data file dataFileTarget (the file its links lead to): beside it.
std::string JournalPathOf(const std::string& dataFileTarget);

// The journal file of one data file, for the program that holds its lock.
class ChangeJournal {
public:
    using Warning = std::function<void(const CString&)>;

    // Keeps changes beside the data file (beside the file a link points to), telling the user
    // through warn when they can no longer be kept. Until this is called nothing is written.
    void Enable(const std::string& dataFilePath, Warning warn);
    bool IsEnabled() const noexcept { return !m_path.empty(); }
    const std::string& Path() const noexcept { return m_path; }

    // The data file that the changes from now on extend.
    void SetBase(const fw::FileIdentity& dataFile) { m_base = dataFile; }
    // A save has written everything into a file of size bytes with this hash, which is about
    // to take the data file's name: appends and syncs the closing entry that says so.
    void NoteSaved(std::uint64_t size, std::uint64_t hash);
    // The data file was saved: its changes are in it, so the journal goes.
    void Rebase(const fw::FileIdentity& dataFile);
    // The changes are thrown away (the forced exit).
    void Discard();

    // Appends and syncs one entry; false when it could not be kept (the user is told once,
    // and no later entry is written until the next save, so the journal never skips one).
    bool Append(const JournalEntry& entry);

    struct Recovery {
        int applied = 0;
        CString message; // for the user; empty when there is nothing to say
    };
    // At start-up, after doc was loaded: applies a journal of this very data file, removes
    // one whose changes a save already put into it, and puts a journal of another file aside
    // under a dated name. A damaged journal is put aside too, after the whole entries before
    // the damage were applied; the journal this run goes on with holds them again.
    Recovery Recover(CQuellmarkDoc& doc, const fw::LocalDateTime& now);

private:
    struct Aside {
        bool done = false;
        CString name;  // done: the dated name the journal now has
        CString error; // not done: why it could not be renamed
    };

    bool create(CString& reason);
    bool write(const std::vector<JournalEntry>& entries, CString& reason);
    bool append(const JournalEntry& entry, CString& reason);
    void stop(const CString& reason);
    void remove();
    Aside putAside(const fw::LocalDateTime& now);
    CString asideText(const Aside& aside, const CString& kept) const;
    // What Recover does with a journal of another file or one it cannot read, with a damaged
    // one, and with one it goes on with; the first two say so in the text they return.
    CString notApplied(const fw::LocalDateTime& now, const CString& why);
    CString damaged(const fw::LocalDateTime& now, const JournalContents& contents);
    void goOn(const JournalContents& contents, std::uint64_t fileSize);

    std::string m_path;
    std::string m_dataFile; // the file the data file's links lead to
    fw::FileIdentity m_base;
    fw::AppendFile m_file;
    std::uint32_t m_nextEntry = 0;
    bool m_stopped = false;
    // The file at the journal's place is not this run's to write or remove (it could not be
    // put aside), so nothing is journaled until the program ends.
    bool m_held = false;
    Warning m_warn;
};

} // namespace registry
