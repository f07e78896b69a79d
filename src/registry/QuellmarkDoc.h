#pragma once
// The one document of the program: every case in entry order with its twelve sort indexes, the
// display index of the list, the incident table, the master lists, the passwords and the
// hospital information, and the data file "vora.dat" that holds them all.

#include "framework/Archive.h"
#include "framework/File.h"
#include "framework/LargeBlock.h"
#include "framework/Progress.h"
#include "framework/StringArray.h"
#include "framework/Time32.h"
#include "registry/CaseRecord.h"
#include "registry/ChangeStore.h"
#include "registry/Journal.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace registry {

// Keys of the sort indexes by the numbers the list uses for them.
enum SortKey : int {
    kKeyDate = 1,
    kKeyKana = 2,
    kKeyId = 3,
    kKeyAge = 4,
    kKeySex = 5,
    kKeyDisease = 6,
    kKeyProcedure = 7,
    kKeyDepartment = 8,
    kKeyAsa = 9,
    kKeyMethod = 10,
    kKeyAnesthesiologist = 11,
    kKeySupervisor = 12,
};
constexpr int kSortKeyCount = 12;

// Runs work on this thread and on a second one at once and returns when both have ended.
// Whatever either threw is thrown again here, this thread's first, so that a shortage of
// memory on the second thread reaches the caller like any other. When no second thread can
// be started, work runs on this thread alone.
void runOnTwoThreads(const std::function<void()>& work);

// What a column of the list shows, by the codes the list and its column choice use.
enum ColumnCode : int {
    kColDate = 1,
    kColId = 2,
    kColName = 3,
    kColAge = 4,
    kColSex = 5,
    kColDisease = 6,
    kColProcedure = 7,
    kColDepartment = 8,
    kColAsa = 9,
    kColMethod = 10,
    kColAnesthesiologist = 11,
    kColSupervisor = 12,
};
constexpr int kColumnCodeCount = 12;

// The criteria of the list filter, one bit each. Male and female are inclusions, every other
// bit a restriction.
enum FilterBit : int {
    kFilterIncident = 0x0001,
    kFilterMale = 0x0002,
    kFilterFemale = 0x0004,
    kFilterEmergency = 0x0008,
    kFilterPatient = 0x0010,
    kFilterDepartment = 0x0020,
    kFilterWard = 0x0040,
    kFilterAnesthesiologist = 0x0080,
    kFilterSupervisor = 0x0100,
    kFilterSite = 0x0200,
    kFilterMethod = 0x0400,
    kFilterComorbidity = 0x0800,
    kFilterNotes = 0x1000,
    kFilterDrugIncident = 0x2000,
};
// Both sexes included and nothing else: the list without filter.
constexpr int kNoFilter = kFilterMale | kFilterFemale;

// Criteria of the list filter: a bit set and a value per criterion.
struct CaseFilter {
    int nMask = kNoFilter;
    int nPatientField = 0;
    CString strPatientText;
    CString strDepartment;
    CString strWard;
    CString strAnesthesiologist;
    CString strSupervisor;
    int nSiteIndex = 0;
    int nMethodIndex = 0;
    CString strComorbidity;
    CString strNotes;
};

} // namespace registry

class CQuellmarkDoc {
public:
    static constexpr const char* kDataFileName = "vora.dat";
    static constexpr std::int32_t kIntKey = 42828;
    static constexpr std::int32_t kTextKey = 36145;
    static constexpr int kIncidentValues = 17;
    static constexpr int kIncidentTexts = 3;

    // Loads "vora.dat" from the working directory, or starts with the defaults when there is
    // none. Throws fw::CFileException when the file exists but cannot be loaded; the file is
    // never touched then.
    CQuellmarkDoc();
    // The same for another data file (the verification command, tests).
    explicit CQuellmarkDoc(const std::string& path);
    // The defaults, reading no file; saving writes to path.
    struct NoFile {};
    CQuellmarkDoc(NoFile, std::string path = kDataFileName);

    // Stores or loads the whole document, depending on the archive's direction.
    void Serialize(fw::CArchive& ar);

    // Writes the whole document to its data file, replacing the old one only once the new one
    // is complete. On failure the old file and the data in memory stay as they were, and
    // *error (when given) tells in Japanese what failed. A success removes the journal; when
    // daily backups are on, the first save of a day keeps the replaced file, and *notice tells
    // when that backup could not be made. Once progress is cancelled the save stops, as a
    // failed one does, and *error says it was cancelled.
    bool SaveDataFile(CString* error = nullptr, CString* notice = nullptr,
                      fw::Progress& progress = fw::Progress::None());
    // The data file as it was loaded or last saved: exists false when there was none.
    const fw::FileIdentity& GetFileIdentity() const noexcept { return m_identity; }
    // The journal of the changes confirmed since then (off until the program enables it).
    registry::ChangeJournal& GetJournal() noexcept { return m_journal; }
    // Where confirmed changes go: the journal, unless the program names another store.
    registry::ChangeStore& GetStore() noexcept { return m_store ? *m_store : m_fileStore; }
    void SetStore(registry::ChangeStore& store) noexcept { m_store = &store; }
    // A dialog's confirmed change, through the store (see registry::ChangeStore::Confirm).
    bool Confirm(registry::JournalEntry& entry, registry::ChangeBase& base, CString& message) {
        return GetStore().Confirm(*this, entry, base, message);
    }
    registry::ChangeBase BaseOf(const registry::ChangeTarget& target) {
        return GetStore().BaseOf(*this, target);
    }
    // Turns the daily backups on; today tells the date of a save.
    void EnableDailyBackups(std::function<fw::LocalDate()> today) {
        m_backupDay = std::move(today);
    }
    const std::string& GetDataFilePath() const noexcept { return m_strPath; }
    // The system calls through which this document's files are saved (the data file, and the
    // report and the export written from it); a test puts in calls that fail.
    fw::FileOps& GetFileOps() const noexcept { return *m_fileOps; }
    void SetFileOps(fw::FileOps& ops) noexcept { m_fileOps = &ops; }
    // The mode and group of a file written beside the data file (the report, the exports).
    fw::FilePolicy NewFilePolicy() const { return fw::FilePolicy::Beside(m_strPath); }

    // Cases.
    int GetRecordCount() const noexcept { return m_nRecordCount; }
    CCaseRecord GetRecord(int index) const { return m_listRecords[std::size_t(index)]; }
    // The case itself, for readers that only look.
    const CCaseRecord& RecordAt(int index) const { return m_listRecords[std::size_t(index)]; }
    // The local surgery date of a case, kept at hand since lists and reports ask for it often.
    fw::PackedDate GetSurgeryDate(int index) const { return m_surgeryDate[std::size_t(index)]; }
    void AddRecord(const CCaseRecord& record);
    // Many cases at once, with the same result as adding them one by one in order, at the cost
    // of one sort instead of one insertion each. With changeOrder (a permutation of 0 .. n - 1),
    // the cases were changed after they were added, case i as the changeOrder[i]-th: cases of
    // equal key then stand as those changes leave them.
    void AddRecords(std::vector<CCaseRecord> records,
                    const std::vector<std::uint32_t>* changeOrder = nullptr);
    // The same for the cases of a loader, whose text blocks lie in arena: a document without
    // cases takes both as they are, one with cases copies them into its own.
    using RecordList = std::vector<CCaseRecord, fw::LargeBlockAllocator<CCaseRecord>>;
    void AddRecords(RecordList records, registry::TextArena arena,
                    const std::vector<std::uint32_t>* changeOrder = nullptr);
    // False when index names no case.
    bool ReplaceRecord(int index, const CCaseRecord& record);

    // Entry pos of the sort index of key (1 to 12): position 0 holds the greatest key; among
    // equal keys the case added or replaced last comes first.
    int GetSortIndexEntry(int key, int pos) const;
    // The order of that index: below 0 when case a's key is smaller than case b's, 0 when
    // equal, above 0 when greater.
    int CompareSortKeys(int key, int a, int b) const { return compareKey(key, a, b); }

    // The list's display index (the list view specifies these).
    int BuildDisplayIndex(int sortKey, fw::Time32 start, fw::Time32 end);
    int FilterDisplayIndex(int count, const registry::CaseFilter& filter);
    int GetDisplayIndexEntry(int i) const { return m_pDisplayIndex[std::size_t(i)]; }
    CString FormatCell(int recordIndex, int column) const;

    // Incident table. A row outside the table reads as a fresh incident (values 0, texts
    // empty) and setting it does nothing, so a damaged case index can never reach past it.
    int AddIncident();
    int GetIncidentCount() const noexcept { return m_nIncidentCount; }
    int GetIncidentValue(int row, int k) const;
    void SetIncidentValue(int row, int k, int value);
    CString GetIncidentText(int row, int k) const;
    void SetIncidentText(int row, int k, const CString& text);

    // Master lists, edited in place.
    CStringArray& GetAnesthesiologistList() noexcept { return m_aAnesthesiologists; }
    CStringArray& GetSupervisorList() noexcept { return m_aSupervisors; }
    CStringArray& GetWardList() noexcept { return m_aWards; }
    CStringArray& GetRoomList() noexcept { return m_aRooms; }
    CStringArray& GetDepartmentList() noexcept { return m_aDepartments; }
    const CStringArray& GetAnesthesiologistList() const noexcept { return m_aAnesthesiologists; }
    const CStringArray& GetSupervisorList() const noexcept { return m_aSupervisors; }
    const CStringArray& GetWardList() const noexcept { return m_aWards; }
    const CStringArray& GetRoomList() const noexcept { return m_aRooms; }
    const CStringArray& GetDepartmentList() const noexcept { return m_aDepartments; }

    // Passwords.
    CString GetAdminPassword() const { return m_strAdminPassword; }
    CString GetUserPassword() const { return m_strUserPassword; }
    void SetPasswords(const CString& admin, const CString& user);

    // Hospital information.
    int GetHospitalType() const noexcept { return m_nHospitalType; }
    int GetHospitalLocation() const noexcept { return m_nHospitalLocation; }
    int GetBeds() const noexcept { return m_nBeds; }
    float GetSpecialists() const noexcept { return m_fSpecialists; }
    float GetFullTime() const noexcept { return m_fFullTime; }
    float GetPartTime() const noexcept { return m_fPartTime; }
    void SetHospitalInfo(int type, int location, int beds, float specialists, float fullTime,
                         float partTime);

    int GetFileVersion() const noexcept { return m_nFileVersion; }

    // The fields of one case and one text as the data file holds them, for other files that
    // keep cases the same way.
    static void StoreRecordFields(fw::CArchive& ar, const CCaseRecord& record);
    static void LoadRecordFields(fw::CArchive& ar, CCaseRecord& record);
    static void StoreText(fw::CArchive& ar, const CString& text);
    static CString LoadText(fw::CArchive& ar);

    // The self-inverse byte scrambling of texts in the data file.
    static void ScrambleText(CString& text);
    static unsigned char ScrambleByte(unsigned char b) noexcept;

private:
    void setDefaults();
    void storeTo(fw::CArchive& ar, fw::Progress& progress);
    void loadFrom(fw::CArchive& ar);
    // A case's key as the sort indexes order it: a text, or an integer of up to 128 bits
    // (high, then low), biased so that unsigned order is the signed order of its parts.
    struct SortValue {
        bool isText = false;
        std::string_view text;
        std::uint64_t high = 0;
        std::uint64_t low = 0;
    };
    SortValue sortValueOf(int key, int index) const;
    // The cases, latest stamp first: the order that equal keys keep in every index.
    std::vector<int> latestStampFirst() const;
    // Sorts the date index from the cases and their stamps, and leaves the other eleven.
    void sortDateIndex();
    // Sorts the indexes that were left; every reader of them but the list asks for it first.
    void completeSortIndexes() const;
    // Whether key's index is kept in order now as cases are added and replaced.
    bool indexKept(int key) const noexcept {
        return key == registry::kKeyDate || !m_sortIndexesLeft;
    }
    struct SortWork;
    void sortIndex(int key, const std::vector<int>& byStamp, SortWork& work) const;
    void sortTexts(int key, const std::vector<int>& byStamp, SortWork& work, int* index) const;
    void computeSurgeryDates(std::size_t from);
    // The cases from from on were just added, case from + i changed as the changeOrder[i]-th.
    void recordsAdded(std::size_t from, const std::vector<std::uint32_t>* changeOrder);
    void insertIntoIndexes(int index);
    bool keyGreater(int key, int a, int b) const;
    int compareKey(int key, int a, int b) const;
    bool incidentRowExists(int row) const { return row >= 0 && row < m_nIncidentCount; }

    CStringArray m_strIncidentText3;
    CStringArray m_strIncidentText2;
    CStringArray m_strIncidentText1;
    int m_nIncidentCount = 0;
    float m_fPartTime = 0;
    float m_fSpecialists = 0;
    float m_fFullTime = 0;
    int m_nBeds = 0;
    int m_nHospitalLocation = 0;
    int m_nHospitalType = 0;
    CStringArray m_aWards;
    CStringArray m_aDepartments;
    CStringArray m_aRooms;
    CStringArray m_aSupervisors;
    CStringArray m_aAnesthesiologists;
    std::array<std::vector<std::int32_t>, kIncidentValues> m_pIncidentValue;
    std::vector<int> m_pDisplayIndex;
    // Indexed by key number - 1. Only the date index orders the list; the other eleven are
    // written to the data file and nowhere read, so after a load or a batch of new cases they
    // are sorted when first asked for (the save at logout) instead of while the user waits.
    // Until then m_sortIndexesLeft is set and their contents mean nothing. Sorting them later
    // from the stamps gives what keeping them in order case by case would have given.
    mutable std::array<std::vector<int>, registry::kSortKeyCount> m_pSortIndex;
    mutable bool m_sortIndexesLeft = false;
    int m_nRecordCount = 0;
    // Holds the texts of the loaded cases; declared before them, so it goes after them.
    registry::TextArena m_textArena;
    RecordList m_listRecords;
    CString m_strAdminPassword;
    CString m_strUserPassword;
    int m_nFileVersion = 2;

    // Kept beside the cases: the local date of each, and when it was last added or replaced,
    // which orders cases of equal key in the sort indexes.
    std::vector<fw::PackedDate> m_surgeryDate;
    std::vector<std::uint32_t> m_stamp;
    std::uint32_t m_nextStamp = 0;
    std::string m_strPath;
    fw::FileOps* m_fileOps = &fw::SystemFileOps();
    fw::FileIdentity m_identity;
    registry::ChangeJournal m_journal;
    registry::JournalStore m_fileStore;
    registry::ChangeStore* m_store = nullptr; // none: m_fileStore
    std::function<fw::LocalDate()> m_backupDay;
};
