#include "registry/Journal.h"

#include "framework/Archive.h"
#include "framework/Hash64.h"
#include "registry/QuellmarkDoc.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace registry {
namespace {

constexpr char kMagic[8] = {'V', 'O', 'R', 'A', 'J', 'N', 'L', '2'};
constexpr std::size_t kHeaderBytes = 32;
constexpr char kEntryMarker[4] = {'J', 'E', 'N', 'T'};
constexpr std::size_t kHeadBytes = 20;
constexpr std::size_t kChecksumBytes = 8;
// The previous format: a 40-byte header with the data file's modification time, and entries
// of a 4-byte length, the body and a checksum of both.
constexpr char kPreviousMagic[8] = {'V', 'O', 'R', 'A', 'J', 'N', 'L', '1'};
constexpr std::size_t kPreviousHeaderBytes = 40;
constexpr std::size_t kPreviousLengthBytes = 4;
// No entry comes near this; a length beyond it is damage, not an entry to allocate for.
constexpr std::uint32_t kMaxEntryBytes = 64u << 20;

template <typename T> void putRaw(std::string& out, T value) {
    char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    out.append(bytes, sizeof value);
}

template <typename T> T getRaw(std::string_view bytes, std::size_t at) {
    T value;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

std::uint64_t checksum(std::string_view bytes) {
    fw::Hash64 hash;
    hash.Update(bytes.data(), bytes.size());
    return hash.Digest();
}

CStringArray& listOf(CQuellmarkDoc& doc, MasterList list) {
    switch (list) {
    case kListSupervisors:
        return doc.GetSupervisorList();
    case kListWards:
        return doc.GetWardList();
    case kListRooms:
        return doc.GetRoomList();
    case kListDepartments:
        return doc.GetDepartmentList();
    case kListAnesthesiologists:
        break;
    }
    return doc.GetAnesthesiologistList();
}

void storeWord(fw::CArchive& ar, std::uint64_t v) {
    ar << std::int32_t(std::uint32_t(v)) << std::int32_t(std::uint32_t(v >> 32));
}

std::uint64_t loadWord(fw::CArchive& ar) {
    const auto low = std::uint32_t(ar.ReadInt32());
    return std::uint64_t(std::uint32_t(ar.ReadInt32())) << 32 | low;
}

void storePayload(fw::CArchive& ar, const JournalEntry& e) {
    ar << std::int32_t(e.kind);
    switch (e.kind) {
    case JournalKind::Case:
        ar << std::int32_t(e.recordIndex) << std::int32_t(e.incidentWritten ? 1 : 0);
        if (e.incidentWritten) {
            for (std::int32_t v : e.incidentValues) {
                ar << v;
            }
            for (const CString& text : e.incidentTexts) {
                CQuellmarkDoc::StoreText(ar, text);
            }
        }
        CQuellmarkDoc::StoreRecordFields(ar, e.record);
        break;
    case JournalKind::List:
        ar << std::int32_t(e.list) << std::int32_t(e.items.GetSize());
        for (const CString& text : e.items) {
            CQuellmarkDoc::StoreText(ar, text);
        }
        break;
    case JournalKind::Passwords:
        CQuellmarkDoc::StoreText(ar, e.adminPassword);
        CQuellmarkDoc::StoreText(ar, e.userPassword);
        break;
    case JournalKind::Hospital:
        ar << std::int32_t(e.hospitalType) << std::int32_t(e.hospitalLocation)
           << std::int32_t(e.beds) << e.specialists << e.fullTime << e.partTime;
        break;
    case JournalKind::Saved:
        storeWord(ar, e.savedSize);
        storeWord(ar, e.savedHash);
        break;
    }
}

// What the document will hold when the entries read so far are applied.
struct Extent {
    int records = 0;
    int incidents = 0;
};

// Reads an entry's body; a closing entry only where the format has them.
void loadPayload(fw::CArchive& ar, JournalEntry& e, Extent& extent, bool closingEntries) {
    const std::int32_t kind = ar.ReadInt32();
    switch (kind) {
    case std::int32_t(JournalKind::Saved):
        if (!closingEntries) {
            ar.Fail("変更の種類が正しくありません"_sj);
        }
        e.kind = JournalKind::Saved;
        e.savedSize = loadWord(ar);
        e.savedHash = loadWord(ar);
        break;
    case std::int32_t(JournalKind::Case): {
        e.kind = JournalKind::Case;
        e.recordIndex = ar.ReadInt32();
        if (e.recordIndex < -1 || e.recordIndex >= extent.records) {
            ar.Fail("変更された症例がデータファイルにありません"_sj);
        }
        const std::int32_t written = ar.ReadInt32();
        if (written != 0 && written != 1) {
            ar.Fail("偶発症の記録の有無が正しくありません"_sj);
        }
        e.incidentWritten = written == 1;
        if (e.incidentWritten) {
            for (std::int32_t& v : e.incidentValues) {
                v = ar.ReadInt32();
            }
            for (CString& text : e.incidentTexts) {
                text = CQuellmarkDoc::LoadText(ar);
            }
        }
        CQuellmarkDoc::LoadRecordFields(ar, e.record);
        if (e.incidentWritten) {
            const int row = e.record.GetnIncidentIndex();
            if (row < 0 || row > extent.incidents) {
                ar.Fail("症例の偶発症の行がデータファイルにありません"_sj);
            }
            extent.incidents += row == extent.incidents ? 1 : 0;
        }
        extent.records += e.recordIndex < 0 ? 1 : 0;
        break;
    }
    case std::int32_t(JournalKind::List): {
        e.kind = JournalKind::List;
        const std::int32_t list = ar.ReadInt32();
        if (list < 0 || list >= kMasterListCount) {
            ar.Fail("一覧の番号が正しくありません"_sj);
        }
        e.list = MasterList(list);
        const std::int32_t n = ar.ReadInt32();
        if (n < 0 || std::uint64_t(n) > ar.Remaining()) {
            ar.Fail("一覧の件数が記録の残りの大きさに合いません"_sj);
        }
        e.items.Reserve(n);
        for (std::int32_t i = 0; i < n; ++i) {
            e.items.Add(CQuellmarkDoc::LoadText(ar));
        }
        break;
    }
    case std::int32_t(JournalKind::Passwords):
        e.kind = JournalKind::Passwords;
        e.adminPassword = CQuellmarkDoc::LoadText(ar);
        e.userPassword = CQuellmarkDoc::LoadText(ar);
        break;
    case std::int32_t(JournalKind::Hospital):
        e.kind = JournalKind::Hospital;
        e.hospitalType = ar.ReadInt32();
        e.hospitalLocation = ar.ReadInt32();
        e.beds = ar.ReadInt32();
        ar >> e.specialists >> e.fullTime >> e.partTime;
        break;
    default:
        ar.Fail("変更の種類が正しくありません"_sj);
    }
    if (ar.Remaining() != 0) {
        ar.Fail("変更の長さが内容に合いません"_sj);
    }
}

CString offsetText(std::uint64_t offset) {
    return CString::Formatted("%llu", static_cast<unsigned long long>(offset)) + " バイト目"_sj;
}

CString nameText(const std::string& path) {
    CString text;
    if (!CString::FromUtf8(fw::BaseNameOf(path), text)) {
        text = CString(fw::BaseNameOf(path));
    }
    return text;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

} // namespace

JournalEntry CaseChangeEntry(const CQuellmarkDoc& doc, int recordIndex, bool added,
                             bool incidentWritten) {
    JournalEntry e;
    e.kind = JournalKind::Case;
    e.recordIndex = added ? -1 : recordIndex;
    e.record = doc.RecordAt(recordIndex);
    e.incidentWritten = incidentWritten;
    if (incidentWritten) {
        const int row = e.record.GetnIncidentIndex();
        for (int k = 0; k < CQuellmarkDoc::kIncidentValues; ++k) {
            e.incidentValues[std::size_t(k)] = doc.GetIncidentValue(row, k);
        }
        for (int k = 1; k <= CQuellmarkDoc::kIncidentTexts; ++k) {
            e.incidentTexts[std::size_t(k - 1)] = doc.GetIncidentText(row, k);
        }
    }
    return e;
}

JournalEntry ListChangeEntry(const CQuellmarkDoc& doc, const CStringArray& list) {
    JournalEntry e;
    e.kind = JournalKind::List;
    const CStringArray* lists[kMasterListCount] = {&doc.GetAnesthesiologistList(),
                                                   &doc.GetSupervisorList(), &doc.GetWardList(),
                                                   &doc.GetRoomList(), &doc.GetDepartmentList()};
    for (int i = 0; i < kMasterListCount; ++i) {
        if (lists[i] == &list) {
            e.list = MasterList(i);
        }
    }
    e.items = list;
    return e;
}

JournalEntry PasswordChangeEntry(const CQuellmarkDoc& doc) {
    JournalEntry e;
    e.kind = JournalKind::Passwords;
    e.adminPassword = doc.GetAdminPassword();
    e.userPassword = doc.GetUserPassword();
    return e;
}

JournalEntry HospitalChangeEntry(const CQuellmarkDoc& doc) {
    JournalEntry e;
    e.kind = JournalKind::Hospital;
    e.hospitalType = doc.GetHospitalType();
    e.hospitalLocation = doc.GetHospitalLocation();
    e.beds = doc.GetBeds();
    e.specialists = doc.GetSpecialists();
    e.fullTime = doc.GetFullTime();
    e.partTime = doc.GetPartTime();
    return e;
}

void ApplyJournalEntry(CQuellmarkDoc& doc, const JournalEntry& e) {
    switch (e.kind) {
    case JournalKind::Case:
        if (e.incidentWritten) {
            const int row = e.record.GetnIncidentIndex();
            if (row == doc.GetIncidentCount()) {
                doc.AddIncident();
            }
            for (int k = 0; k < CQuellmarkDoc::kIncidentValues; ++k) {
                doc.SetIncidentValue(row, k, e.incidentValues[std::size_t(k)]);
            }
            for (int k = 1; k <= CQuellmarkDoc::kIncidentTexts; ++k) {
                doc.SetIncidentText(row, k, e.incidentTexts[std::size_t(k - 1)]);
            }
        }
        if (e.recordIndex < 0) {
            doc.AddRecord(e.record);
        } else {
            doc.ReplaceRecord(e.recordIndex, e.record);
        }
        break;
    case JournalKind::List:
        listOf(doc, e.list) = e.items;
        break;
    case JournalKind::Passwords:
        doc.SetPasswords(e.adminPassword, e.userPassword);
        break;
    case JournalKind::Hospital:
        doc.SetHospitalInfo(e.hospitalType, e.hospitalLocation, e.beds, e.specialists, e.fullTime,
                            e.partTime);
        break;
    case JournalKind::Saved:
        break;
    }
}

JournalEntry SavedFileEntry(std::uint64_t size, std::uint64_t hash) {
    JournalEntry e;
    e.kind = JournalKind::Saved;
    e.savedSize = size;
    e.savedHash = hash;
    return e;
}

// ---------------------------------------------------------------------------------------------
// Reading

namespace {

// The data file that a header or a closing entry names by its size (-1: none) and hash.
bool namesFile(const fw::FileIdentity& file, std::int64_t size, std::uint64_t hash) {
    return file.exists ? size == std::int64_t(file.size) && hash == file.hash : size == -1;
}

bool allZero(std::string_view bytes) {
    return bytes.find_first_not_of('\0') == std::string_view::npos;
}

// The entries of one journal as they are read, keeping those the data file lacks.
class Reading {
public:
    Reading(const fw::FileIdentity& dataFile, Extent loaded, bool headerNamesIt)
        : m_dataFile(dataFile), m_loaded(loaded), m_extent(loaded), m_applies(headerNamesIt) {}

    JournalContents& Contents() { return m_contents; }

    // The entry at offset at of the journal, which rest holds from there on: its body of n
    // bytes starts bodyAt bytes in, and the checksum of everything before follows the body.
    // False when it is damage.
    bool Whole(std::string_view rest, std::uint64_t at, std::size_t bodyAt, std::uint32_t n,
               bool closingEntries) {
        const std::size_t end = bodyAt + n;
        if (getRaw<std::uint64_t>(rest, end) != checksum(rest.substr(0, end))) {
            Damaged("変更の検査値が合いません"_sj, at);
            return false;
        }
        if (!take(rest.substr(bodyAt, n), at, closingEntries)) {
            return false;
        }
        m_contents.validLength = at + end + kChecksumBytes;
        ++m_contents.entryCount;
        return true;
    }

    JournalContents Damaged(const CString& reason, std::uint64_t at) {
        m_contents.status = JournalContents::Damaged;
        m_contents.reason = reason + "（"_sj + offsetText(at) + "）"_sj;
        return m_contents;
    }

    JournalContents Finish() {
        if (!m_applies) {
            m_contents.status = JournalContents::OtherFile;
        }
        return m_contents;
    }

private:
    bool take(std::string_view body, std::uint64_t at, bool closingEntries) {
        // In a journal of another file only a closing entry that names this one matters.
        if (!m_applies && (!closingEntries || body.size() < 4 ||
                           getRaw<std::int32_t>(body, 0) != std::int32_t(JournalKind::Saved))) {
            return true;
        }
        JournalEntry entry;
        Extent next = m_extent;
        try {
            fw::CMemFile payload(body, "vora.dat.journal");
            fw::CArchive ar(payload, fw::CArchive::load, 4096);
            loadPayload(ar, entry, next, closingEntries);
        } catch (const fw::CFileException& e) {
            Damaged(e.Reason(), at);
            return false;
        }
        if (entry.kind == JournalKind::Saved) {
            if (namesFile(m_dataFile, std::int64_t(entry.savedSize), entry.savedHash)) {
                // Everything before it is in the data file; what follows extends that file.
                m_contents.entries.clear();
                m_extent = m_loaded;
                m_applies = true;
                m_contents.rewrite = true;
            }
            return true;
        }
        m_extent = next;
        m_contents.entries.push_back(std::move(entry));
        return true;
    }

    JournalContents m_contents;
    const fw::FileIdentity& m_dataFile;
    Extent m_loaded;
    Extent m_extent;
    bool m_applies;
};

JournalContents readCurrent(std::string_view bytes, const fw::FileIdentity& dataFile,
                            Extent loaded) {
    Reading r(
        dataFile, loaded,
        namesFile(dataFile, getRaw<std::int64_t>(bytes, 8), getRaw<std::uint64_t>(bytes, 16)));
    std::size_t at = kHeaderBytes;
    r.Contents().validLength = at;
    while (at < bytes.size()) {
        const std::string_view rest = bytes.substr(at);
        if (rest.size() < kHeadBytes) {
            break; // cut inside the last entry's head
        }
        if (std::memcmp(rest.data(), kEntryMarker, sizeof kEntryMarker) != 0 ||
            getRaw<std::uint64_t>(rest, 12) != checksum(rest.substr(0, 12))) {
            if (allZero(rest)) {
                break; // the file grew for the last entry, which never reached the disk
            }
            return r.Damaged("変更の見出しが壊れています"_sj, at);
        }
        if (getRaw<std::uint32_t>(rest, 4) != r.Contents().entryCount) {
            return r.Damaged("変更の番号が続いていません"_sj, at);
        }
        const std::uint32_t n = getRaw<std::uint32_t>(rest, 8);
        if (n > kMaxEntryBytes) {
            return r.Damaged("変更の長さが正しくありません"_sj, at);
        }
        const std::size_t end = kHeadBytes + n;
        if (end + kChecksumBytes > rest.size()) {
            break; // cut inside the last entry
        }
        if (!r.Whole(rest, at, kHeadBytes, n, true)) {
            return r.Contents();
        }
        at = r.Contents().validLength;
    }
    return r.Finish();
}

// The previous format cannot tell a damaged length from an end cut short, so anything but
// whole entries is damage.
JournalContents readPrevious(std::string_view bytes, const fw::FileIdentity& dataFile,
                             Extent loaded) {
    if (bytes.size() < kPreviousHeaderBytes ||
        getRaw<std::uint64_t>(bytes, 32) != checksum(bytes.substr(0, 32))) {
        Reading r(dataFile, loaded, false);
        return r.Damaged("変更の記録ファイルの先頭が壊れています"_sj, 0);
    }
    Reading r(
        dataFile, loaded,
        namesFile(dataFile, getRaw<std::int64_t>(bytes, 8), getRaw<std::uint64_t>(bytes, 24)));
    r.Contents().rewrite = true;
    std::size_t at = kPreviousHeaderBytes;
    r.Contents().validLength = at;
    while (at < bytes.size()) {
        const std::string_view rest = bytes.substr(at);
        const std::uint32_t n =
            rest.size() < kPreviousLengthBytes ? 0 : getRaw<std::uint32_t>(rest, 0);
        const std::size_t end = kPreviousLengthBytes + n;
        if (rest.size() < kPreviousLengthBytes || n > kMaxEntryBytes ||
            end + kChecksumBytes > rest.size()) {
            return r.Damaged("変更の長さが記録の残りの大きさに合いません"_sj, at);
        }
        if (!r.Whole(rest, at, kPreviousLengthBytes, n, false)) {
            return r.Contents();
        }
        at = r.Contents().validLength;
    }
    return r.Finish();
}

} // namespace

std::string EncodeJournalHeader(const fw::FileIdentity& dataFile) {
    std::string out(kMagic, sizeof kMagic);
    putRaw(out, dataFile.exists ? std::int64_t(dataFile.size) : std::int64_t(-1));
    putRaw(out, dataFile.exists ? dataFile.hash : std::uint64_t(0));
    putRaw(out, checksum(out));
    return out;
}

std::string EncodeJournalEntry(const JournalEntry& entry, std::uint32_t sequence) {
    fw::CMemFile payload;
    {
        fw::CArchive ar(payload, fw::CArchive::store, 4096);
        storePayload(ar, entry);
        ar.Flush();
    }
    std::string out(kEntryMarker, sizeof kEntryMarker);
    putRaw(out, sequence);
    putRaw(out, std::uint32_t(payload.Bytes().size()));
    putRaw(out, checksum(out));
    out += payload.Bytes();
    putRaw(out, checksum(out));
    return out;
}

JournalContents ReadJournal(std::string_view bytes, const fw::FileIdentity& dataFile,
                            int recordCount, int incidentCount) {
    const Extent loaded{recordCount, incidentCount};
    if (bytes.size() >= sizeof kPreviousMagic &&
        std::memcmp(bytes.data(), kPreviousMagic, sizeof kPreviousMagic) == 0) {
        return readPrevious(bytes, dataFile, loaded);
    }
    if (bytes.size() < kHeaderBytes || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0 ||
        getRaw<std::uint64_t>(bytes, 24) != checksum(bytes.substr(0, 24))) {
        JournalContents contents;
        contents.status = JournalContents::Damaged;
        contents.reason = "変更の記録ファイルではないか、先頭が壊れています"_sj;
        return contents;
    }
    return readCurrent(bytes, dataFile, loaded);
}

// ---------------------------------------------------------------------------------------------
// The journal file

std::string JournalPathOf(const std::string& dataFileTarget) {
    return dataFileTarget + ".journal";
}

void ChangeJournal::Enable(const std::string& dataFilePath, Warning warn) {
    int error = 0;
    if (!fw::ResolveLinks(dataFilePath, m_dataFile, error)) {
        m_dataFile = dataFilePath;
    }
    m_path = JournalPathOf(m_dataFile);
    m_warn = std::move(warn);
}

void ChangeJournal::remove() {
    m_file.Close();
    ::unlink(m_path.c_str());
    fw::SyncFolder(fw::DirectoryOf(m_path));
    m_nextEntry = 0;
}

void ChangeJournal::NoteSaved(std::uint64_t size, std::uint64_t hash) {
    // Only into a journal kept whole this run. Should it fail, the save goes on: a journal
    // without it is removed once the file is in place, like any other.
    if (IsEnabled() && !m_stopped && !m_held && m_file.IsOpen()) {
        CString ignored;
        append(SavedFileEntry(size, hash), ignored);
    }
}

void ChangeJournal::Rebase(const fw::FileIdentity& dataFile) {
    m_base = dataFile;
    if (IsEnabled() && !m_held) {
        remove();
        m_stopped = false;
    }
}

void ChangeJournal::Discard() {
    if (IsEnabled() && !m_held) {
        remove();
    }
}

bool ChangeJournal::write(const std::vector<JournalEntry>& entries, CString& reason) {
    m_file.Close();
    std::string bytes;
    try {
        bytes = EncodeJournalHeader(m_base);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            bytes += EncodeJournalEntry(entries[i], std::uint32_t(i));
        }
    } catch (const std::bad_alloc&) {
        reason = fw::SystemErrorText(ENOMEM);
        return false;
    }
    // Header and entries go in whole or not at all, so a journal never lacks its header.
    const fw::FilePolicy policy = fw::FilePolicy::Beside(m_dataFile);
    if (!fw::SaveFile(
            m_path, [&bytes](fw::CFile& file) { file.Write(bytes.data(), bytes.size()); },
            &reason, fw::SystemFileOps(), &policy)) {
        return false;
    }
    int error = 0;
    if (!m_file.Open(m_path, error)) {
        reason = fw::SystemErrorText(error);
        return false;
    }
    m_nextEntry = std::uint32_t(entries.size());
    return true;
}

bool ChangeJournal::create(CString& reason) {
    return write({}, reason);
}

bool ChangeJournal::append(const JournalEntry& entry, CString& reason) {
    std::string bytes;
    try {
        bytes = EncodeJournalEntry(entry, m_nextEntry);
    } catch (const std::bad_alloc&) {
        reason = fw::SystemErrorText(ENOMEM);
        return false;
    }
    int error = EFBIG; // an entry the reader would refuse is not written
    if (bytes.size() > kHeadBytes + kMaxEntryBytes + kChecksumBytes ||
        !m_file.Append(bytes.data(), bytes.size(), error)) {
        reason = fw::SystemErrorText(error);
        return false;
    }
    ++m_nextEntry;
    return true;
}

void ChangeJournal::stop(const CString& reason) {
    m_stopped = true;
    m_file.Close();
    if (m_warn) {
        m_warn("変更を記録ファイル「"_sj + nameText(m_path) + "」に書き込めません："_sj + reason +
               "。\r\n変更はこのまま使えます。ログアウトすると保存されますが、それまでにプログ"
               "ラムが終了すると、これからの変更は失われます。"_sj);
    }
}

bool ChangeJournal::Append(const JournalEntry& entry) {
    if (!IsEnabled() || m_stopped || m_held) {
        return false;
    }
    CString reason;
    if ((!m_file.IsOpen() && !create(reason)) || !append(entry, reason)) {
        stop(reason);
        return false;
    }
    return true;
}

ChangeJournal::Aside ChangeJournal::putAside(const fw::LocalDateTime& now) {
    m_file.Close();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, ".%04d%02d%02d-%02d%02d%02d", now.year % 10000, now.month,
                  now.day, now.hour, now.minute, now.second);
    std::string aside = m_path + stamp;
    for (int n = 2; exists(aside); ++n) {
        aside = m_path + stamp + "-" + std::to_string(n);
    }
    Aside result;
    if (::rename(m_path.c_str(), aside.c_str()) != 0) {
        result.error = fw::SystemErrorText(errno);
        m_held = true;
        return result;
    }
    fw::SyncFolder(fw::DirectoryOf(m_path));
    result.done = true;
    result.name = nameText(aside);
    return result;
}

CString ChangeJournal::asideText(const Aside& aside, const CString& kept) const {
    if (!aside.done) {
        return "名前を変えて残すこともできませんでした（"_sj + aside.error +
               "）。記録はそのまま残し、このプログラムを終えるまで変更を記録しません。"_sj;
    }
    return "記録は「"_sj + aside.name + "」としてそのまま残してあります。"_sj + kept;
}

namespace {

// The bytes of the journal at path: false with why when it cannot be read, true and *missing
// when there is none.
bool readWhole(const std::string& path, std::string& bytes, bool& missing, CString& why) {
    try {
        fw::CDiskFile file(path, &missing);
        if (missing) {
            return true;
        }
        bytes = file.ReadAll();
        return true;
    } catch (const fw::CFileException& e) {
        why = e.Reason();
    } catch (const std::bad_alloc&) {
        why = "メモリが足りません"_sj;
    }
    return false;
}

const CString& unsavedText() {
    static const CString text = "前回ログアウトせずに終了したため保存されていなかった変更"_sj;
    return text;
}

} // namespace

CString ChangeJournal::notApplied(const fw::LocalDateTime& now, const CString& why) {
    return "変更の記録「"_sj + nameText(m_path) + "」を適用しませんでした："_sj + why +
           "。\r\n"_sj + asideText(putAside(now), "データファイルはそのまま読み込みました。"_sj);
}

CString ChangeJournal::damaged(const fw::LocalDateTime& now, const JournalContents& contents) {
    const Aside aside = putAside(now);
    const int restored = int(contents.entries.size());
    CString reason;
    // The restored changes are kept again, in a journal of their own.
    if (aside.done && restored > 0 && !write(contents.entries, reason)) {
        stop(reason);
    }
    return "変更の記録「"_sj + nameText(m_path) + "」の一部が壊れていて、読めませんでした："_sj +
           contents.reason + "。\r\n"_sj +
           (restored > 0 ? unsavedText() + "のうち、壊れた所より前の "_sj +
                               CString::Formatted("%d", restored) +
                               " 件を復元しました。ログアウトすると保存されます。それより後の変"
                               "更は読めませんでした。\r\n"_sj
                         : "変更は復元できませんでした。\r\n"_sj) +
           asideText(aside, "読めなかった変更は、一覧で確かめてから、足りないものだけを入力し"
                            "直してください。"_sj);
}

void ChangeJournal::goOn(const JournalContents& contents, std::uint64_t fileSize) {
    CString reason;
    if (contents.rewrite) {
        if (contents.entries.empty()) {
            remove(); // a save put every change into the data file
        } else if (!write(contents.entries, reason)) {
            stop(reason);
        }
        return;
    }
    // Later entries follow the last whole one, never a torn one.
    m_nextEntry = contents.entryCount;
    int error = 0;
    if (!m_file.Open(m_path, error) ||
        (contents.validLength < fileSize && !m_file.Truncate(contents.validLength, error))) {
        stop(fw::SystemErrorText(error));
    }
}

ChangeJournal::Recovery ChangeJournal::Recover(CQuellmarkDoc& doc, const fw::LocalDateTime& now) {
    Recovery result;
    std::string bytes;
    bool missing = false;
    CString why;
    if (!IsEnabled()) {
        return result;
    }
    if (!readWhole(m_path, bytes, missing, why)) {
        result.message = notApplied(now, why);
        return result;
    }
    if (missing) {
        return result;
    }
    const JournalContents contents =
        ReadJournal(bytes, m_base, doc.GetRecordCount(), doc.GetIncidentCount());
    for (const JournalEntry& entry : contents.entries) {
        ApplyJournalEntry(doc, entry);
    }
    result.applied = int(contents.entries.size());
    switch (contents.status) {
    case JournalContents::OtherFile:
        result.message = notApplied(
            now,
            "いまのデータファイル「"_sj + nameText(doc.GetDataFilePath()) +
                "」のものではありません（データファイルが置き換えられたか、戻されています）"_sj);
        break;
    case JournalContents::Damaged:
        result.message = damaged(now, contents);
        break;
    case JournalContents::Ok:
        goOn(contents, bytes.size());
        if (result.applied > 0) {
            result.message = unsavedText() + " "_sj + CString::Formatted("%d", result.applied) +
                             " 件を復元しました。ログアウトすると保存されます。"_sj;
        }
        break;
    }
    return result;
}

} // namespace registry
