#include "registry/QuellmarkDoc.h"

#include "framework/LocalDates.h"
#include "registry/DailyBackup.h"

#include <algorithm>
#include <limits>
#include <new>
#include <string>
#include <string_view>
#include <sys/stat.h>

using namespace registry;

using fw::CArchive;

namespace {

constexpr std::int32_t K = CQuellmarkDoc::kIntKey;

// The smallest possible sizes in the file, to check counts against the bytes that remain.
constexpr std::uint64_t kMinRecordBytes = 23 * 1 + 30 * 4 + 12 * 4;
constexpr std::uint64_t kMinIncidentBytes = 17 * 4 + 3 * 1;
// A save reports how far it is every so many cases.
constexpr int kCasesPerReport = 4096;

struct ScrambleTable {
    unsigned char map[256];
    ScrambleTable() {
        for (int b = 0; b < 256; ++b) {
            std::int32_t s = static_cast<signed char>(b);
            std::int32_t r = ((s + CQuellmarkDoc::kTextKey) ^ K) - CQuellmarkDoc::kTextKey;
            map[b] = static_cast<unsigned char>(r & 0xFF);
        }
    }
};

const ScrambleTable& scrambleTable() {
    static const ScrambleTable table;
    return table;
}

void scrambleBytes(char* bytes, std::size_t n) {
    const unsigned char* map = scrambleTable().map;
    for (std::size_t i = 0; i < n; ++i) {
        bytes[i] = static_cast<char>(map[static_cast<unsigned char>(bytes[i])]);
    }
}

// Field readers and writers of the data file.
void putK(CArchive& ar, std::int32_t v) {
    ar << std::int32_t(v ^ K);
}

std::int32_t getK(CArchive& ar) {
    return ar.ReadInt32() ^ K;
}

void putText(CArchive& ar, std::string_view text) {
    ar.WriteTextLength(std::uint32_t(text.size()));
    char chunk[512];
    std::size_t left = text.size();
    const char* src = text.data();
    while (left > 0) {
        std::size_t n = std::min(left, sizeof chunk);
        std::copy(src, src + n, chunk);
        scrambleBytes(chunk, n);
        ar.Write(chunk, n);
        src += n;
        left -= n;
    }
}

CString getText(CArchive& ar) {
    CString text;
    ar.ReadText(text);
    CQuellmarkDoc::ScrambleText(text);
    return text;
}

// A count of items that each take at least minBytes: negative or larger than what remains is
// damage, and must not make us allocate.
std::int32_t getCount(CArchive& ar, std::uint64_t minBytes) {
    std::uint64_t at = ar.GetPosition();
    std::int32_t n = getK(ar);
    if (n < 0 || std::uint64_t(n) * minBytes > ar.Remaining()) {
        ar.Fail(
            "件数がファイルの残りの大きさに合いません（ファイルが途中で切れているか、壊れています）"_sj,
            at);
    }
    return n;
}

void putList(CArchive& ar, const CStringArray& list) {
    putK(ar, list.GetSize());
    for (const CString& text : list) {
        putText(ar, text);
    }
}

void getList(CArchive& ar, CStringArray& list) {
    std::int32_t n = getCount(ar, 1);
    list.Reserve(list.GetSize() + n);
    for (std::int32_t i = 0; i < n; ++i) {
        list.Add(getText(ar));
    }
}

// Order of the record block's twelve index fields, by key number.
constexpr int kIndexFieldKeys[kSortKeyCount] = {
    kKeyAge,  kKeyAnesthesiologist, kKeySupervisor, kKeyMethod,
    kKeyAsa,  kKeyDepartment,       kKeyDisease,    kKeyId,
    kKeyKana, kKeyProcedure,        kKeyDate,       kKeySex};

void putRecord(CArchive& ar, const CCaseRecord& r) {
    using T = CCaseRecord;
    auto text = [&](T::TextSlot slot) { putText(ar, r.TextView(slot)); };
    putK(ar, r.GetnAgeYears());
    putK(ar, r.GetnAgeDays());
    putK(ar, r.GetnAgeMonths());
    text(T::kAnesthesiologist0);
    text(T::kAnesthesiologist1);
    text(T::kAnesthesiologist2);
    putK(ar, r.GetnMethod());
    text(T::kstrAnesthesiaTime);
    text(T::kstrAsa);
    text(T::kstrTransfusionNote);
    text(T::kstrOtherProductName);
    putK(ar, r.GetnBloodLoss());
    text(T::kstrBloodLossNote);
    putK(ar, r.GetnColloid());
    putK(ar, r.GetnCrystalloid());
    text(T::kstrDisease);
    putK(ar, r.GetnPreopCode());
    text(T::kstrPreopComment);
    text(T::kstrDepartment);
    text(T::kstrDrugIncident);
    text(T::kstrNotes);
    ar << r.GetfHeight();
    text(T::kstrId);
    putK(ar, r.GetnAlbumin());
    putK(ar, r.GetnWholeBlood());
    putK(ar, r.GetnAutologous());
    putK(ar, r.GetnIncidentIndex());
    putK(ar, r.GetnFfp());
    putK(ar, r.GetnMap());
    putK(ar, r.GetnOtherProduct());
    putK(ar, r.GetnPc());
    text(T::kstrName);
    text(T::kstrKana);
    ar << std::int32_t(r.GettSurgery());
    text(T::kstrProcedure);
    text(T::kstrOperatingRoom);
    text(T::kstrSurgeryTime);
    putK(ar, r.GetnSite());
    putK(ar, r.GetnPosition());
    text(T::kstrWard);
    ar << std::int32_t(r.GetnSex());
    ar << std::int32_t(r.GetbWithhold());
    text(T::kSupervisor0);
    text(T::kSupervisor1);
    text(T::kSupervisor2);
    putK(ar, r.GetnWholeBloodUnit());
    putK(ar, r.GetnAutologousUnit());
    putK(ar, r.GetnFfpUnit());
    putK(ar, r.GetnMapUnit());
    putK(ar, r.GetnOtherUnit());
    putK(ar, r.GetnPcUnit());
    putK(ar, r.GetnUrine());
    ar << r.GetfWeight();
}

// The texts of one case as they are read, in the order of the file (which is the order of the
// text slots), gathered so that the case gets them in one block.
class TextGatherer {
public:
    void Take(CArchive& ar, CCaseRecord::TextSlot slot) {
        ar.AppendText(m_bytes);
        if (m_bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
            throw std::bad_alloc(); // a case's texts are counted in 32 bits
        }
        m_ends[slot] = std::uint32_t(m_bytes.size());
    }
    // Into the arena when one is given, else into a block of the case's own.
    void GiveTo(CCaseRecord& r, registry::TextArena* arena) {
        scrambleBytes(m_bytes.data(), m_bytes.size());
        r.Texts().Assign(m_ends, m_bytes.data(), arena);
        m_bytes.clear();
    }

private:
    std::string m_bytes;
    std::uint32_t m_ends[CCaseRecord::kTextSlotCount] = {};
};

void getRecord(CArchive& ar, CCaseRecord& r, TextGatherer& texts, registry::TextArena* arena) {
    using T = CCaseRecord;
    auto text = [&](T::TextSlot slot) { texts.Take(ar, slot); };
    r.SetnAgeYears(getK(ar));
    r.SetnAgeDays(getK(ar));
    r.SetnAgeMonths(getK(ar));
    text(T::kAnesthesiologist0);
    text(T::kAnesthesiologist1);
    text(T::kAnesthesiologist2);
    r.SetnMethod(getK(ar));
    text(T::kstrAnesthesiaTime);
    text(T::kstrAsa);
    text(T::kstrTransfusionNote);
    text(T::kstrOtherProductName);
    r.SetnBloodLoss(getK(ar));
    text(T::kstrBloodLossNote);
    r.SetnColloid(getK(ar));
    r.SetnCrystalloid(getK(ar));
    text(T::kstrDisease);
    r.SetnPreopCode(getK(ar));
    text(T::kstrPreopComment);
    text(T::kstrDepartment);
    text(T::kstrDrugIncident);
    text(T::kstrNotes);
    float f;
    ar >> f;
    r.SetfHeight(f);
    text(T::kstrId);
    r.SetnAlbumin(getK(ar));
    r.SetnWholeBlood(getK(ar));
    r.SetnAutologous(getK(ar));
    r.SetnIncidentIndex(getK(ar));
    r.SetnFfp(getK(ar));
    r.SetnMap(getK(ar));
    r.SetnOtherProduct(getK(ar));
    r.SetnPc(getK(ar));
    text(T::kstrName);
    text(T::kstrKana);
    r.SettSurgery(ar.ReadInt32());
    text(T::kstrProcedure);
    text(T::kstrOperatingRoom);
    text(T::kstrSurgeryTime);
    r.SetnSite(getK(ar));
    r.SetnPosition(getK(ar));
    text(T::kstrWard);
    r.SetnSex(ar.ReadInt32());
    r.SetbWithhold(ar.ReadInt32());
    text(T::kSupervisor0);
    text(T::kSupervisor1);
    text(T::kSupervisor2);
    r.SetnWholeBloodUnit(getK(ar));
    r.SetnAutologousUnit(getK(ar));
    r.SetnFfpUnit(getK(ar));
    r.SetnMapUnit(getK(ar));
    r.SetnOtherUnit(getK(ar));
    r.SetnPcUnit(getK(ar));
    r.SetnUrine(getK(ar));
    ar >> f;
    r.SetfWeight(f);
    texts.GiveTo(r, arena);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Construction and the data file

CQuellmarkDoc::CQuellmarkDoc() : CQuellmarkDoc(std::string(kDataFileName)) {}

CQuellmarkDoc::CQuellmarkDoc(const std::string& path) : m_strPath(path) {
    bool missing = false;
    fw::CDiskFile file(path, &missing);
    if (missing) {
        setDefaults();
        return;
    }
    CArchive ar(file, CArchive::load);
    Serialize(ar);
    m_identity = file.Identity();
}

CQuellmarkDoc::CQuellmarkDoc(NoFile, std::string path) : m_strPath(std::move(path)) {
    setDefaults();
}

void CQuellmarkDoc::setDefaults() {
    m_nFileVersion = 2;
    m_strUserPassword = "trumpa";
    m_strAdminPassword = "qelvo";
}

void CQuellmarkDoc::StoreRecordFields(CArchive& ar, const CCaseRecord& record) {
    putRecord(ar, record);
}

void CQuellmarkDoc::LoadRecordFields(CArchive& ar, CCaseRecord& record) {
    TextGatherer texts;
    getRecord(ar, record, texts, nullptr);
}

void CQuellmarkDoc::StoreText(CArchive& ar, const CString& text) {
    putText(ar, text);
}

CString CQuellmarkDoc::LoadText(CArchive& ar) {
    return getText(ar);
}

unsigned char CQuellmarkDoc::ScrambleByte(unsigned char b) noexcept {
    return scrambleTable().map[b];
}

void CQuellmarkDoc::ScrambleText(CString& text) {
    if (!text.IsEmpty()) {
        scrambleBytes(text.GetBufferSetLength(text.GetLength()), std::size_t(text.GetLength()));
    }
}

void CQuellmarkDoc::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        m_nFileVersion = 2;
        storeTo(ar, fw::Progress::None());
    } else {
        loadFrom(ar);
    }
}

void CQuellmarkDoc::storeTo(CArchive& ar, fw::Progress& progress) {
    completeSortIndexes();
    ar << std::int32_t(m_nFileVersion);
    putText(ar, m_strAdminPassword);
    putText(ar, m_strUserPassword);
    ar << m_fFullTime << m_fPartTime << m_fSpecialists;
    putK(ar, m_nBeds);
    putK(ar, m_nHospitalLocation);
    putK(ar, m_nHospitalType);
    putList(ar, m_aAnesthesiologists);
    putList(ar, m_aSupervisors);
    putList(ar, m_aWards);
    putList(ar, m_aRooms);
    putList(ar, m_aDepartments);
    putK(ar, m_nRecordCount);
    for (int i = 0; i < m_nRecordCount; ++i) {
        if (i % kCasesPerReport == 0 &&
            !progress.Report(std::uint64_t(i), std::uint64_t(m_nRecordCount))) {
            throw fw::CancelledException();
        }
        putRecord(ar, m_listRecords[std::size_t(i)]);
        for (int key : kIndexFieldKeys) {
            putK(ar, m_pSortIndex[std::size_t(key - 1)][std::size_t(i)]);
        }
    }
    putK(ar, m_nIncidentCount);
    const CStringArray* texts[kIncidentTexts] = {&m_strIncidentText1, &m_strIncidentText2,
                                                 &m_strIncidentText3};
    static const CString empty;
    for (int row = 0; row < m_nIncidentCount; ++row) {
        for (int k = 0; k < kIncidentValues; ++k) {
            putK(ar, m_pIncidentValue[std::size_t(k)][std::size_t(row)]);
        }
        for (const CStringArray* list : texts) {
            putText(ar, row < list->GetSize() ? list->GetAt(row) : empty);
        }
    }
}

void CQuellmarkDoc::loadFrom(CArchive& ar) {
    CQuellmarkDoc fresh(NoFile{}, m_strPath);
    fresh.m_strAdminPassword.Empty();
    fresh.m_strUserPassword.Empty();

    fresh.m_nFileVersion = ar.ReadInt32();
    fresh.m_strAdminPassword = getText(ar);
    fresh.m_strUserPassword = getText(ar);
    float* hospital[3] = {&fresh.m_fFullTime, &fresh.m_fPartTime, &fresh.m_fSpecialists};
    for (float* value : hospital) {
        if (fresh.m_nFileVersion == 1) {
            *value = float(getK(ar));
        } else {
            ar >> *value;
        }
    }
    fresh.m_nBeds = getK(ar);
    fresh.m_nHospitalLocation = getK(ar);
    fresh.m_nHospitalType = getK(ar);
    getList(ar, fresh.m_aAnesthesiologists);
    getList(ar, fresh.m_aSupervisors);
    getList(ar, fresh.m_aWards);
    getList(ar, fresh.m_aRooms);
    getList(ar, fresh.m_aDepartments);

    std::int32_t n = getCount(ar, kMinRecordBytes);
    fresh.m_listRecords.reserve(std::size_t(n));
    TextGatherer gatherer;
    for (std::int32_t i = 0; i < n; ++i) {
        getRecord(ar, fresh.m_listRecords.emplace_back(), gatherer, &fresh.m_textArena);
        for (int k = 0; k < kSortKeyCount; ++k) {
            getK(ar); // the stored index entries are rebuilt from the cases
        }
    }
    fresh.m_nRecordCount = n;
    fresh.m_stamp.resize(std::size_t(n));
    for (std::int32_t i = 0; i < n; ++i) {
        fresh.m_stamp[std::size_t(i)] = std::uint32_t(i);
    }
    fresh.m_nextStamp = std::uint32_t(n);
    fresh.computeSurgeryDates(0);
    fresh.sortDateIndex();
    fresh.m_pDisplayIndex.assign(std::size_t(n), 0);

    std::int32_t m = getCount(ar, kMinIncidentBytes);
    for (auto& values : fresh.m_pIncidentValue) {
        values.resize(std::size_t(m));
    }
    CStringArray* texts[kIncidentTexts] = {&fresh.m_strIncidentText1, &fresh.m_strIncidentText2,
                                           &fresh.m_strIncidentText3};
    for (CStringArray* list : texts) {
        list->Reserve(m);
    }
    for (std::int32_t row = 0; row < m; ++row) {
        for (int k = 0; k < kIncidentValues; ++k) {
            fresh.m_pIncidentValue[std::size_t(k)][std::size_t(row)] = getK(ar);
        }
        for (CStringArray* list : texts) {
            list->Add(getText(ar));
        }
    }
    fresh.m_nIncidentCount = m;
    *this = std::move(fresh);
}

namespace {

// Passes what is written on to the file and hashes it on the way, so that the saved file is
// known again without reading it back.
class HashingFile final : public fw::CFile {
public:
    explicit HashingFile(fw::CFile& file) : m_file(file) {}
    std::size_t Read(void*, std::size_t) override { return 0; }
    void Write(const void* buffer, std::size_t n) override {
        m_file.Write(buffer, n);
        m_hash.Update(buffer, n);
        m_size += n;
    }
    std::uint64_t GetLength() const override { return m_file.GetLength(); }
    const std::string& GetFilePath() const override { return m_file.GetFilePath(); }
    std::uint64_t Digest() const { return m_hash.Digest(); }
    std::uint64_t Size() const { return m_size; }

private:
    fw::CFile& m_file;
    fw::Hash64 m_hash;
    std::uint64_t m_size = 0;
};

} // namespace

bool CQuellmarkDoc::SaveDataFile(CString* error, CString* notice, fw::Progress& progress) {
    if (m_backupDay) {
        registry::KeepDailyBackup(m_strPath, m_backupDay(), notice);
    }
    CString reason;
    std::uint64_t hash = 0;
    const fw::FilePolicy policy = fw::FilePolicy::OfDataFile(m_strPath);
    bool saved = false;
    try {
        saved = fw::SaveFile(
            m_strPath,
            [this, &hash, &progress](fw::CFile& file) {
                HashingFile hashing(file);
                CArchive ar(hashing, CArchive::store, 1 << 20);
                m_nFileVersion = 2;
                storeTo(ar, progress);
                ar.Flush();
                hash = hashing.Digest();
                // Before the file takes the name: a start after an end right behind the rename
                // then knows the journal's changes are in it.
                m_journal.NoteSaved(hashing.Size(), hash);
            },
            &reason, *m_fileOps, &policy);
    } catch (const fw::CancelledException&) {
        if (error) {
            *error = "データファイル「"_sj + fw::PathText(fw::BaseNameOf(m_strPath)) +
                     "」の保存を取り消しました。\r\n以前のファイルはそのまま残っています。"
                     "入力したデータは失われていません。"_sj;
        }
        return false;
    }
    if (saved) {
        std::string target;
        int ignored = 0;
        struct stat st {};
        if (fw::ResolveLinks(m_strPath, target, ignored) && ::stat(target.c_str(), &st) == 0) {
            m_identity = {true, std::uint64_t(st.st_size),
                          std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec, hash};
        }
        m_journal.Rebase(m_identity);
    }
    if (!saved && error) {
        *error =
            "データファイル"_sj + reason +
            "。\r\n以前のファイルはそのまま残っています。入力したデータは失われていません。"_sj;
    }
    return saved;
}

// ---------------------------------------------------------------------------------------------
// Cases and the sort indexes
//
// Every index lists the cases in descending key order; among equal keys the case added or
// replaced last stands first. Each case carries a stamp of its last add or replace, so the
// order is total and a case's place can be found by binary search.

// True when case a stands before case b in the index of key.
bool CQuellmarkDoc::keyGreater(int key, int a, int b) const {
    int c = compareKey(key, a, b);
    if (c != 0) {
        return c > 0;
    }
    return m_stamp[std::size_t(a)] > m_stamp[std::size_t(b)];
}

void CQuellmarkDoc::computeSurgeryDates(std::size_t from) {
    m_surgeryDate.resize(m_listRecords.size());
    fw::LocalDates dates;
    for (std::size_t i = from; i < m_listRecords.size(); ++i) {
        m_surgeryDate[i] = dates.Of(m_listRecords[i].GettSurgery());
    }
}

void CQuellmarkDoc::AddRecords(std::vector<CCaseRecord> records,
                               const std::vector<std::uint32_t>* changeOrder) {
    std::size_t from = m_listRecords.size();
    m_listRecords.reserve(from + records.size());
    for (CCaseRecord& r : records) {
        // Side by side in the arena, as loaded cases are: lists and reports read them in order.
        r.Texts().MoveInto(m_textArena);
        m_listRecords.push_back(std::move(r));
    }
    recordsAdded(from, changeOrder);
}

void CQuellmarkDoc::AddRecords(RecordList records, registry::TextArena arena,
                               const std::vector<std::uint32_t>* changeOrder) {
    if (!m_listRecords.empty()) {
        // Copies own their blocks, which go into this document's arena.
        AddRecords(std::vector<CCaseRecord>(records.begin(), records.end()), changeOrder);
        return;
    }
    // No case refers to the blocks of the arena held so far (a copy of a case owns its block):
    // the cases' arena takes its place.
    m_textArena = std::move(arena);
    m_listRecords = std::move(records);
    for (CCaseRecord& r : m_listRecords) {
        r.Texts().MoveInto(m_textArena); // a block a case owns all the same
    }
    recordsAdded(0, changeOrder);
}

void CQuellmarkDoc::recordsAdded(std::size_t from, const std::vector<std::uint32_t>* changeOrder) {
    const std::uint32_t first = m_nextStamp;
    const std::size_t added = m_listRecords.size() - from;
    for (std::size_t i = 0; i < added; ++i) {
        m_stamp.push_back(first + (changeOrder ? (*changeOrder)[i] : std::uint32_t(i)));
    }
    m_nextStamp = first + std::uint32_t(added);
    m_nRecordCount = int(m_listRecords.size());
    computeSurgeryDates(from);
    sortDateIndex();
    m_pDisplayIndex.assign(m_listRecords.size(), 0);
}

void CQuellmarkDoc::insertIntoIndexes(int r) {
    for (int key = 1; key <= kSortKeyCount; ++key) {
        if (!indexKept(key)) {
            continue;
        }
        std::vector<int>& index = m_pSortIndex[std::size_t(key - 1)];
        auto at = std::partition_point(index.begin(), index.end(),
                                       [&](int e) { return compareKey(key, e, r) > 0; });
        index.insert(at, r);
    }
}

void CQuellmarkDoc::AddRecord(const CCaseRecord& record) {
    std::size_t r = m_listRecords.size();
    m_listRecords.push_back(record);
    m_surgeryDate.push_back(fw::PackedLocalDateOf(record.GettSurgery()));
    m_stamp.push_back(m_nextStamp++);
    m_nRecordCount = int(r + 1);
    insertIntoIndexes(int(r));
    m_pDisplayIndex.resize(r + 1);
}

bool CQuellmarkDoc::ReplaceRecord(int index, const CCaseRecord& record) {
    if (index < 0 || index >= m_nRecordCount) {
        return false;
    }
    std::size_t r = std::size_t(index);
    // Where the case stands now, found with its old key and stamp.
    std::array<std::size_t, kSortKeyCount> oldPos{};
    for (int key = 1; key <= kSortKeyCount; ++key) {
        if (!indexKept(key)) {
            continue;
        }
        const std::vector<int>& sorted = m_pSortIndex[std::size_t(key - 1)];
        auto at = std::partition_point(sorted.begin(), sorted.end(),
                                       [&](int e) { return keyGreater(key, e, index); });
        oldPos[std::size_t(key - 1)] = std::size_t(at - sorted.begin());
    }
    m_listRecords[r] = record;
    m_surgeryDate[r] = fw::PackedLocalDateOf(record.GettSurgery());
    m_stamp[r] = m_nextStamp++;
    if (m_nRecordCount <= 1) {
        return true;
    }
    for (int key = 1; key <= kSortKeyCount; ++key) {
        if (!indexKept(key)) {
            continue;
        }
        std::vector<int>& sorted = m_pSortIndex[std::size_t(key - 1)];
        std::size_t p = oldPos[std::size_t(key - 1)];
        auto greater = [&](int e) { return compareKey(key, e, index) > 0; };
        // The other cases with a strictly greater key, on both sides of the old place.
        std::size_t c = std::size_t(
            std::partition_point(sorted.begin(), sorted.begin() + std::ptrdiff_t(p), greater) -
            sorted.begin());
        if (c == p) {
            c += std::size_t(std::partition_point(sorted.begin() + std::ptrdiff_t(p) + 1,
                                                  sorted.end(), greater) -
                             (sorted.begin() + std::ptrdiff_t(p) + 1));
        }
        if (c < p) {
            std::move_backward(sorted.begin() + std::ptrdiff_t(c),
                               sorted.begin() + std::ptrdiff_t(p),
                               sorted.begin() + std::ptrdiff_t(p) + 1);
        } else if (c > p) {
            std::move(sorted.begin() + std::ptrdiff_t(p) + 1,
                      sorted.begin() + std::ptrdiff_t(c) + 1, sorted.begin() + std::ptrdiff_t(p));
        }
        sorted[c] = index;
    }
    return true;
}

int CQuellmarkDoc::GetSortIndexEntry(int key, int pos) const {
    if (key != kKeyDate) {
        completeSortIndexes();
    }
    return m_pSortIndex[std::size_t(key - 1)][std::size_t(pos)];
}

// ---------------------------------------------------------------------------------------------
// Incident table

int CQuellmarkDoc::AddIncident() {
    for (auto& values : m_pIncidentValue) {
        values.push_back(0);
    }
    return m_nIncidentCount++;
}

int CQuellmarkDoc::GetIncidentValue(int row, int k) const {
    if (!incidentRowExists(row) || k < 0 || k >= kIncidentValues) {
        return 0;
    }
    return m_pIncidentValue[std::size_t(k)][std::size_t(row)];
}

void CQuellmarkDoc::SetIncidentValue(int row, int k, int value) {
    if (incidentRowExists(row) && k >= 0 && k < kIncidentValues) {
        m_pIncidentValue[std::size_t(k)][std::size_t(row)] = value;
    }
}

CString CQuellmarkDoc::GetIncidentText(int row, int k) const {
    const CStringArray* texts[kIncidentTexts] = {&m_strIncidentText1, &m_strIncidentText2,
                                                 &m_strIncidentText3};
    if (!incidentRowExists(row) || k < 1 || k > kIncidentTexts) {
        return {};
    }
    const CStringArray& list = *texts[k - 1];
    return row < list.GetSize() ? list.GetAt(row) : CString();
}

void CQuellmarkDoc::SetIncidentText(int row, int k, const CString& text) {
    CStringArray* texts[kIncidentTexts] = {&m_strIncidentText1, &m_strIncidentText2,
                                           &m_strIncidentText3};
    if (incidentRowExists(row) && k >= 1 && k <= kIncidentTexts) {
        texts[k - 1]->SetAtGrow(row, text);
    }
}

// ---------------------------------------------------------------------------------------------
// Passwords and hospital information

void CQuellmarkDoc::SetPasswords(const CString& admin, const CString& user) {
    m_strAdminPassword = admin;
    m_strUserPassword = user;
}

void CQuellmarkDoc::SetHospitalInfo(int type, int location, int beds, float specialists,
                                    float fullTime, float partTime) {
    m_nHospitalType = type;
    m_nHospitalLocation = location;
    m_nBeds = beds;
    m_fSpecialists = specialists;
    m_fFullTime = fullTime;
    m_fPartTime = partTime;
}
