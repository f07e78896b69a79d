#pragma once
// The journal of confirmed changes, "vora.dat.journal" beside the data file: every change a
// user confirms is appended and synced before the program goes on, so that an end without a
// logout (killed, the session ended, the power failed) loses nothing. The next start applies
// it to the data file it extends; a successful logout save or the forced exit removes it.
//
// The file: a header of 40 bytes ("VORAJNL1", the data file's size or -1 when there was none,
// its modification time in nanoseconds, the hash of its bytes as loaded, and a checksum of
// these 32 bytes), then entries, each a 4-byte length n, n bytes (the kind, then its fields
// as the data file encodes them) and a checksum of the length and the n bytes. Numbers are
// little-endian.

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

enum class JournalKind : std::int32_t { Case = 1, List = 2, Passwords = 3, Hospital = 4 };

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
};

// The entries of the changes that a dialog made to doc.
JournalEntry CaseChangeEntry(const CQuellmarkDoc& doc, int recordIndex, bool added,
                             bool incidentWritten);
JournalEntry ListChangeEntry(const CQuellmarkDoc& doc, const CStringArray& list);
JournalEntry PasswordChangeEntry(const CQuellmarkDoc& doc);
JournalEntry HospitalChangeEntry(const CQuellmarkDoc& doc);

// Applies an entry through the document's own operations.
void ApplyJournalEntry(CQuellmarkDoc& doc, const JournalEntry& entry);

std::string EncodeJournalHeader(const fw::FileIdentity& dataFile);
std::string EncodeJournalEntry(const JournalEntry& entry);

// What a journal holds for a data file.
struct JournalContents {
    enum Status { Ok, OtherFile, Damaged } status = Ok;
    CString reason; // Damaged: what is wrong, in Japanese
    std::vector<JournalEntry> entries;
    // The bytes up to the end of the last whole entry; less than the file when its last entry
    // was cut short or fails its checksum (the program ended while writing it).
    std::uint64_t validLength = 0;
};

// Reads a journal for the data file dataFile, as loaded with recordCount cases and
// incidentCount incident rows. Only a whole, undamaged journal of that very file gives Ok;
// an entry that does not fit the document (a case or row that is not there) is damage.
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
    // At start-up, after doc was loaded: applies a journal of this very data file, or puts a
    // journal of another file, or one that cannot be read, aside under a dated name.
    Recovery Recover(CQuellmarkDoc& doc, const fw::LocalDateTime& now);

private:
    bool create(CString& reason);
    void stop(const CString& reason);
    CString putAside(const fw::LocalDateTime& now, const CString& why);

    std::string m_path;
    std::string m_dataFile; // the file the data file's links lead to
    fw::FileIdentity m_base;
    fw::AppendFile m_file;
    bool m_stopped = false;
    Warning m_warn;
};

} // namespace registry
