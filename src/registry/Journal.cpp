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

constexpr char kMagic[8] = {'V', 'O', 'R', 'A', 'J', 'N', 'L', '1'};
constexpr std::size_t kHeaderBytes = 40;
constexpr std::size_t kLengthBytes = 4;
constexpr std::size_t kChecksumBytes = 8;
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
    }
}

// What the document will hold when the entries read so far are applied.
struct Extent {
    int records = 0;
    int incidents = 0;
};

void loadPayload(fw::CArchive& ar, JournalEntry& e, Extent& extent) {
    const std::int32_t kind = ar.ReadInt32();
    switch (kind) {
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
    }
}

std::string EncodeJournalHeader(const fw::FileIdentity& dataFile) {
    std::string out(kMagic, sizeof kMagic);
    putRaw(out, dataFile.exists ? std::int64_t(dataFile.size) : std::int64_t(-1));
    putRaw(out, dataFile.exists ? dataFile.mtimeNs : std::int64_t(0));
    putRaw(out, dataFile.exists ? dataFile.hash : std::uint64_t(0));
    putRaw(out, checksum(out));
    return out;
}

std::string EncodeJournalEntry(const JournalEntry& entry) {
    fw::CMemFile payload;
    {
        fw::CArchive ar(payload, fw::CArchive::store, 4096);
        storePayload(ar, entry);
        ar.Flush();
    }
    std::string out;
    putRaw(out, std::uint32_t(payload.Bytes().size()));
    out += payload.Bytes();
    putRaw(out, checksum(out));
    return out;
}

JournalContents ReadJournal(std::string_view bytes, const fw::FileIdentity& dataFile,
                            int recordCount, int incidentCount) {
    JournalContents contents;
    auto damaged = [&](CString reason) {
        contents.status = JournalContents::Damaged;
        contents.reason = std::move(reason);
        contents.entries.clear();
        return contents;
    };
    if (bytes.size() < kHeaderBytes || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0 ||
        getRaw<std::uint64_t>(bytes, 32) != checksum(bytes.substr(0, 32))) {
        return damaged("変更の記録ファイルではないか、先頭が壊れています"_sj);
    }
    if (bytes.substr(0, kHeaderBytes) != EncodeJournalHeader(dataFile)) {
        contents.status = JournalContents::OtherFile;
        return contents;
    }
    Extent extent{recordCount, incidentCount};
    std::size_t at = kHeaderBytes;
    contents.validLength = at;
    while (at < bytes.size()) {
        const std::size_t left = bytes.size() - at;
        if (left < kLengthBytes) {
            break; // cut short while it was written
        }
        const std::uint32_t n = getRaw<std::uint32_t>(bytes, at);
        if (n > kMaxEntryBytes && left >= kLengthBytes + kChecksumBytes + std::uint64_t(n)) {
            return damaged("変更の長さが正しくありません（"_sj + offsetText(at) + "）"_sj);
        }
        if (std::uint64_t(n) + kLengthBytes + kChecksumBytes > left) {
            break; // the last entry, cut short
        }
        const std::size_t end = at + kLengthBytes + n;
        if (getRaw<std::uint64_t>(bytes, end) != checksum(bytes.substr(at, kLengthBytes + n))) {
            if (end + kChecksumBytes == bytes.size()) {
                break; // the last entry, not written whole
            }
            return damaged("変更の検査値が合いません（"_sj + offsetText(at) + "）"_sj);
        }
        JournalEntry entry;
        try {
            fw::CMemFile payload(bytes.substr(at + kLengthBytes, n), "vora.dat.journal");
            fw::CArchive ar(payload, fw::CArchive::load, 4096);
            loadPayload(ar, entry, extent);
        } catch (const fw::CFileException& e) {
            return damaged(e.Reason() + "（"_sj + offsetText(at) + "）"_sj);
        }
        contents.entries.push_back(std::move(entry));
        at = end + kChecksumBytes;
        contents.validLength = at;
    }
    return contents;
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

void ChangeJournal::Rebase(const fw::FileIdentity& dataFile) {
    m_base = dataFile;
    if (!IsEnabled()) {
        return;
    }
    m_file.Close();
    ::unlink(m_path.c_str());
    fw::SyncFolder(fw::DirectoryOf(m_path));
    m_stopped = false;
}

void ChangeJournal::Discard() {
    if (IsEnabled()) {
        m_file.Close();
        ::unlink(m_path.c_str());
        fw::SyncFolder(fw::DirectoryOf(m_path));
    }
}

bool ChangeJournal::create(CString& reason) {
    // The header goes in whole or not at all, so a journal never lacks it.
    const std::string header = EncodeJournalHeader(m_base);
    const fw::FilePolicy policy = fw::FilePolicy::Beside(m_dataFile);
    if (!fw::SaveFile(
            m_path, [&header](fw::CFile& file) { file.Write(header.data(), header.size()); },
            &reason, fw::SystemFileOps(), &policy)) {
        return false;
    }
    int error = 0;
    if (!m_file.Open(m_path, error)) {
        reason = fw::SystemErrorText(error);
        return false;
    }
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
    if (!IsEnabled() || m_stopped) {
        return false;
    }
    CString reason;
    if (!m_file.IsOpen() && !create(reason)) {
        stop(reason);
        return false;
    }
    std::string bytes;
    try {
        bytes = EncodeJournalEntry(entry);
    } catch (const std::bad_alloc&) {
        stop(fw::SystemErrorText(ENOMEM));
        return false;
    }
    int error = 0;
    if (!m_file.Append(bytes.data(), bytes.size(), error)) {
        stop(fw::SystemErrorText(error));
        return false;
    }
    return true;
}

CString ChangeJournal::putAside(const fw::LocalDateTime& now, const CString& why) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, ".%04d%02d%02d-%02d%02d%02d", now.year % 10000, now.month,
                  now.day, now.hour, now.minute, now.second);
    std::string aside = m_path + stamp;
    for (int n = 2; exists(aside); ++n) {
        aside = m_path + stamp + "-" + std::to_string(n);
    }
    CString text = "変更の記録「"_sj + nameText(m_path) + "」を適用しませんでした："_sj + why;
    if (::rename(m_path.c_str(), aside.c_str()) != 0) {
        const int error = errno;
        // It must not be overwritten by this run's changes, so none are kept until a save.
        m_stopped = true;
        return text + "。\r\n名前を変えて残すこともできませんでした（"_sj +
               fw::SystemErrorText(error) +
               "）。記録はそのまま残し、今回の変更はログアウトするまで記録しません。"_sj;
    }
    fw::SyncFolder(fw::DirectoryOf(m_path));
    return text + "。\r\n記録は「"_sj + nameText(aside) +
           "」として残してあります。データファイルはそのまま読み込みました。"_sj;
}

ChangeJournal::Recovery ChangeJournal::Recover(CQuellmarkDoc& doc, const fw::LocalDateTime& now) {
    Recovery result;
    if (!IsEnabled()) {
        return result;
    }
    std::string bytes;
    try {
        bool missing = false;
        fw::CDiskFile file(m_path, &missing);
        if (missing) {
            return result;
        }
        bytes = file.ReadAll();
    } catch (const fw::CFileException& e) {
        result.message = putAside(now, e.Reason());
        return result;
    } catch (const std::bad_alloc&) {
        result.message = putAside(now, "メモリが足りません"_sj);
        return result;
    }
    JournalContents contents =
        ReadJournal(bytes, m_base, doc.GetRecordCount(), doc.GetIncidentCount());
    if (contents.status == JournalContents::OtherFile) {
        result.message = putAside(
            now,
            "いまのデータファイル「"_sj + nameText(doc.GetDataFilePath()) +
                "」のものではありません（データファイルが置き換えられたか、戻されています）"_sj);
        return result;
    }
    if (contents.status == JournalContents::Damaged) {
        result.message = putAside(now, "内容が壊れています："_sj + contents.reason);
        return result;
    }
    for (const JournalEntry& entry : contents.entries) {
        ApplyJournalEntry(doc, entry);
    }
    result.applied = int(contents.entries.size());
    int error = 0;
    // Later entries follow the last whole one, never a torn one.
    if (!m_file.Open(m_path, error) ||
        (contents.validLength < bytes.size() && !m_file.Truncate(contents.validLength, error))) {
        stop(fw::SystemErrorText(error));
    }
    if (result.applied > 0) {
        result.message = "前回ログアウトせずに終了したため保存されていなかった変更 "_sj +
                         CString::Formatted("%d", result.applied) +
                         " 件を復元しました。ログアウトすると保存されます。"_sj;
    }
    return result;
}

} // namespace registry
