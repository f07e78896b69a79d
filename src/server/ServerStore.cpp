#include "server/ServerStore.h"

#include "framework/Time32.h"
#include "registry/QuellmarkDoc.h"
#include "server/Rows.h"
#include "server/Schema.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <thread>
#include <unistd.h>

namespace server {

// A change of the log and what the registry holds after it, read in one snapshot.
struct ChangeRef {
    std::int64_t seq = 0;
    int kind = 0;
    int target = 0;
};
struct ChangeBatch {
    std::vector<ChangeRef> changes;
    std::map<int, std::pair<CCaseRecord, std::int64_t>> cases;
    std::map<int, IncidentRow> incidents;
    std::map<int, std::pair<CStringArray, std::int64_t>> lists;
    struct Hospital {
        std::int32_t type = 0, location = 0, beds = 0;
        float specialists = 0, fullTime = 0, partTime = 0;
        std::int64_t version = 0;
    };
    std::optional<Hospital> hospital;
    int replaced = 0;
};

// What one confirmation did on the server.
struct ServerStore::Outcome {
    int recordIndex = -1;      // the case written
    int incidentRow = -1;      // the incident row written, or -1
    bool newIncident = false;  // that row was added
    bool incidentKept = false; // an earlier try of the dialog added the case's row already
    std::int64_t version = 0;  // the target's change number now
};

namespace {

using registry::JournalKind;

constexpr int kFirstRetryMs = 1000;
constexpr int kLongestRetryMs = 30000;
// A connection is made on a thread of its own, as libpq does it with each host's
// connect_timeout; a try that outlasts this is given up (its thread ends by itself).
constexpr int kConnectingMs = 120000;

long long steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

CString sj(const std::string& utf8) {
    CString text;
    CString::FromUtf8(utf8, text);
    return text;
}

Field fieldOf(const Result& r, int row, int column) {
    return {r.Value(row, column), r.IsNull(row, column)};
}

// Hands each row of a binary result to row as its fields; false when row said so.
template <class Row> bool eachRow(const Result& r, Row&& row) {
    std::vector<Field> fields(std::size_t(r.Columns()));
    for (int i = 0; i < r.Rows(); ++i) {
        for (int c = 0; c < r.Columns(); ++c) {
            fields[std::size_t(c)] = fieldOf(r, i, c);
        }
        if (!row(fields)) {
            return false;
        }
    }
    return true;
}

// "{1,2,3}": a parameter for "= ANY($1::integer[])".
std::string arrayOf(const std::set<int>& values) {
    std::string text = "{";
    for (int v : values) {
        text += (text.size() > 1 ? "," : "") + std::to_string(v);
    }
    return text + "}";
}

std::string placeholders(int first, int count) {
    std::string list;
    for (int i = 0; i < count; ++i) {
        list += (i ? ", $" : "$") + std::to_string(first + i);
    }
    return list;
}

std::string dateText(fw::Time32 t) {
    const fw::LocalDate d = fw::LocalDateOf(t);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

// The host of an application_name "vora HOST USER"; another program's name as it is.
CString hostOf(std::string_view changedBy) {
    if (changedBy.rfind("vora ", 0) == 0) {
        changedBy.remove_prefix(5);
        changedBy = changedBy.substr(0, changedBy.find(' '));
    }
    return changedBy.empty() ? "不明"_sj : sj(std::string(changedBy));
}

CString clockText(std::int64_t epochSeconds) {
    const fw::LocalDateTime at = fw::LocalDateTimeOf(fw::Time32(epochSeconds));
    return CString::Formatted("%02d:%02d", at.hour, at.minute);
}

const char* listNameOf(int list) {
    static const char* const names[registry::kMasterListCount] = {"麻酔科医", "指導医", "病棟",
                                                                  "手術室", "手術担当科"};
    return list >= 0 && list < registry::kMasterListCount ? names[list] : "";
}

CString notConnectedText() {
    return "サーバーに接続していないため、確定できません。接続が戻ると画面の下に表示されますので、"
           "それからもう一度確定してください。入力した内容はこの画面に残っています。"_sj;
}

} // namespace

ServerStore::ServerStore(std::string conninfo, Login login, std::unique_ptr<Connection> db,
                         CQuellmarkDoc& doc, Versions versions, Hooks hooks)
    : m_conninfo(std::move(conninfo)), m_login(std::move(login)), m_db(std::move(db)), m_doc(doc),
      m_versions(std::move(versions)), m_hooks(std::move(hooks)) {
    if (!m_hooks.nowMs) {
        m_hooks.nowMs = steadyMs;
    }
    m_where = m_db->Describe();
}

ServerStore::~ServerStore() = default;

bool ServerStore::Start(CString& error) {
    ServerError failed;
    if (!RolesOf(*m_db, m_roles)) {
        m_roles = {};
    }
    if (!m_db->Exec("LISTEN " + std::string(kChangeChannel), failed)) {
        error = failed.message;
        return false;
    }
    return CatchUp();
}

bool ServerStore::Resume(Login login, std::unique_ptr<Connection> db, CString& error) {
    m_login = std::move(login);
    m_db = std::move(db);
    m_retryMs = 0;
    m_lastError.Empty();
    m_where = m_db->Describe();
    setState(State::Connected);
    return Start(error);
}

bool ServerStore::EndSession(CQuellmarkDoc&, CString&, CString&, fw::Progress&) {
    m_db->Close();
    m_login.password.clear();
    setState(State::LoggedOut);
    if (m_hooks.rewatch) {
        m_hooks.rewatch();
    }
    return true;
}

ServerStore::Wait ServerStore::NextWait() const {
    const long long now = m_hooks.nowMs();
    switch (m_state) {
    case State::Connected:
        return {m_db->Socket(), false, -1};
    case State::Waiting:
        return {-1, false, int(std::max(0LL, m_retryAt - now))};
    case State::Connecting:
        return {m_connecting->ready[0], false, int(std::max(0LL, m_retryAt - now))};
    case State::Broken:
    case State::LoggedOut:
    case State::PasswordRefused:
        break;
    }
    return {};
}

void ServerStore::OnReady() {
    switch (m_state) {
    case State::Connected: {
        bool connectedNow = true;
        const bool told = m_db->TakeNotifications(connectedNow);
        if (!connectedNow) {
            lost();
        } else if (told) {
            CatchUp();
        }
        break;
    }
    case State::Waiting:
        if (m_hooks.nowMs() >= m_retryAt) {
            startConnecting();
        }
        break;
    case State::Connecting: {
        std::unique_ptr<Connection> made;
        CString error;
        bool refused = false;
        {
            std::lock_guard<std::mutex> lock(m_connecting->mutex);
            if (!m_connecting->done && m_hooks.nowMs() < m_retryAt) {
                break; // woken before its time
            }
            made = std::move(m_connecting->db);
            refused = m_connecting->passwordRefused;
            error = m_connecting->done ? m_connecting->error
                                       : "サーバーから決められた時間内に応答がありません"_sj;
        }
        m_connecting.reset();
        if (made) {
            m_db = std::move(made);
            connected();
        } else if (refused) {
            // The password changed meanwhile: trying it again would only fail again.
            m_lastError = error;
            setState(State::PasswordRefused);
        } else {
            m_lastError = error;
            lost();
        }
        break;
    }
    case State::Broken:
    case State::LoggedOut:
    case State::PasswordRefused:
        break;
    }
    if (m_hooks.rewatch) {
        m_hooks.rewatch();
    }
}

void ServerStore::setState(State state) {
    m_state = state;
    if (m_hooks.status) {
        m_hooks.status();
    }
}

void ServerStore::lost() {
    m_db->Close();
    m_retryMs = m_retryMs == 0 ? kFirstRetryMs : std::min(m_retryMs * 2, kLongestRetryMs);
    m_retryAt = m_hooks.nowMs() + m_retryMs;
    setState(State::Waiting);
}

ServerStore::Connecting::Connecting() {
    if (::pipe2(ready, O_CLOEXEC | O_NONBLOCK) != 0) {
        ready[0] = ready[1] = -1;
    }
}

ServerStore::Connecting::~Connecting() {
    for (int fd : ready) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

// Connects on a thread of its own, so that a server that does not answer never holds the
// window up; the thread says it is done through a pipe the event loop watches.
void ServerStore::startConnecting() {
    auto connecting = std::make_shared<Connecting>();
    if (connecting->ready[0] < 0) {
        m_lastError = "接続の準備ができません"_sj;
        lost();
        return;
    }
    m_connecting = connecting;
    std::thread([connecting, conninfo = m_conninfo, login = m_login] {
        auto db = std::make_unique<Connection>();
        CString error;
        bool refused = false;
        const bool open = db->Open(conninfo, error, login, &refused);
        {
            std::lock_guard<std::mutex> lock(connecting->mutex);
            connecting->db = open ? std::move(db) : nullptr;
            connecting->error = error;
            connecting->passwordRefused = refused;
            connecting->done = true;
        }
        [[maybe_unused]] const ssize_t n = ::write(connecting->ready[1], "x", 1);
    }).detach();
    m_retryAt = m_hooks.nowMs() + kConnectingMs;
    setState(State::Connecting);
}

void ServerStore::connected() {
    m_retryMs = 0;
    m_lastError.Empty();
    m_where = m_db->Describe();
    setState(State::Connected);
    CString error;
    if (!Start(error) && m_state == State::Connected) {
        m_lastError = error;
        lost();
    }
}

CString ServerStore::StatusText() const {
    const CString where = sj(m_where);
    switch (m_state) {
    case State::Connected:
        return "サーバー "_sj + where + " に接続しています（"_sj +
               (m_db->IsEncrypted() ? "暗号化あり"_sj : "暗号化なし"_sj) + "）"_sj;
    case State::LoggedOut:
        return "サーバー "_sj + where + "（ログアウトしました）"_sj;
    case State::PasswordRefused:
        return "パスワードが変わったため、サーバーに接続し直せません。ログアウトして、新しいパスワー"
               "ドでログインしてください"_sj;
    case State::Waiting:
        return "サーバーとの接続が切れています（自動で接続し直します"_sj +
               (m_lastError.IsEmpty() ? CString() : "。"_sj + m_lastError) + "）"_sj;
    case State::Connecting:
        return "サーバー "_sj + where + " に接続し直しています…"_sj;
    case State::Broken:
        break;
    }
    return "サーバーの台帳とこの画面の内容が合わなくなりました。プログラムを起動し直してください"_sj;
}

// ---------------------------------------------------------------------------------------------
// The changes of the other workstations

bool ServerStore::fetchBatch(ChangeBatch& batch, CString& error) {
    ServerError failed;
    auto query = [&](const std::string& sql, std::vector<Param> params) {
        std::optional<Result> r = m_db->Query(sql, params, failed, true);
        if (!r) {
            error = failed.message;
        }
        return r;
    };
    std::optional<Result> log =
        query("SELECT seq, kind, target FROM vora.changes WHERE seq > $1 ORDER BY seq",
              {Param::Int8(m_versions.lastChange)});
    if (!log) {
        return false;
    }
    std::set<int> cases, incidents, lists;
    bool settings = false;
    for (int row = 0; row < log->Rows(); ++row) {
        ChangeRef c;
        std::int16_t kind = 0;
        std::int32_t target = 0;
        if (!ReadInt64(fieldOf(*log, row, 0), c.seq) || !ReadInt16(fieldOf(*log, row, 1), kind) ||
            !ReadInt(fieldOf(*log, row, 2), target)) {
            error = "サーバーの変更の記録が正しくありません"_sj;
            return false;
        }
        c.kind = kind;
        c.target = target;
        batch.changes.push_back(c);
        switch (kind) {
        case kChangeCase:
            cases.insert(target);
            break;
        case kChangeIncident:
            incidents.insert(target);
            break;
        case kChangeList:
            lists.insert(target);
            break;
        case kChangePasswords:
        case kChangeHospital:
            settings = true;
            break;
        default:
            break;
        }
    }
    if (!cases.empty()) {
        std::optional<Result> r = query("SELECT record_index, last_change, " + CaseColumnList() +
                                            ", exact_texts FROM vora.cases "
                                            "WHERE record_index = ANY($1::integer[])",
                                        {Param::Text(arrayOf(cases))});
        if (!r) {
            return false;
        }
        const bool read = eachRow(*r, [&](const std::vector<Field>& fields) {
            std::int32_t index = 0;
            std::int64_t version = 0;
            CCaseRecord record;
            if (!ReadInt(fields[0], index) || !ReadInt64(fields[1], version) ||
                !ReadCaseFields(fields.data() + 2, record, batch.replaced, error)) {
                error = error.IsEmpty() ? "サーバーの症例が正しくありません"_sj : error;
                return false;
            }
            batch.cases[index] = {std::move(record), version};
            return true;
        });
        if (!read) {
            return false;
        }
    }
    if (!incidents.empty()) {
        std::optional<Result> r = query("SELECT row_index, " + IncidentColumnList() +
                                            ", exact_texts FROM vora.incidents "
                                            "WHERE row_index = ANY($1::integer[])",
                                        {Param::Text(arrayOf(incidents))});
        if (!r) {
            return false;
        }
        const bool read = eachRow(*r, [&](const std::vector<Field>& fields) {
            std::int32_t index = 0;
            IncidentRow incident;
            if (!ReadInt(fields[0], index) ||
                !ReadIncidentFields(fields.data() + 1, incident, batch.replaced, error)) {
                error = error.IsEmpty() ? "サーバーの偶発症が正しくありません"_sj : error;
                return false;
            }
            batch.incidents[index] = std::move(incident);
            return true;
        });
        if (!read) {
            return false;
        }
    }
    for (int list : lists) {
        std::optional<Result> head =
            query("SELECT last_change FROM vora.lists WHERE list_index = $1::integer",
                  {Param::Int4(list)});
        std::optional<Result> items =
            head
                ? query(
                      "SELECT name, exact_name FROM vora.list_items WHERE list_index = $1::integer "
                      "ORDER BY position",
                      {Param::Int4(list)})
                : std::nullopt;
        if (!items) {
            return false;
        }
        auto& [names, version] = batch.lists[list];
        if (head->Rows() != 1 || !ReadInt64(fieldOf(*head, 0, 0), version)) {
            error = "サーバーの一覧が正しくありません"_sj;
            return false;
        }
        std::string cp932;
        for (int row = 0; row < items->Rows(); ++row) {
            const Field exact = fieldOf(*items, row, 1);
            if (exact.null) {
                TextFromUtf8(items->Value(row, 0), cp932, batch.replaced);
            } else {
                cp932 = std::string(exact.bytes);
            }
            names.Add(CString(cp932));
        }
    }
    if (settings) {
        std::optional<Result> h = query("SELECT hospital_type, hospital_location, beds, "
                                        "specialists, full_time, part_time, last_change "
                                        "FROM vora.hospital",
                                        {});
        if (!h) {
            return false;
        }
        if (h->Rows() == 1) {
            ChangeBatch::Hospital info;
            const bool ok = ReadInt(fieldOf(*h, 0, 0), info.type) &&
                            ReadInt(fieldOf(*h, 0, 1), info.location) &&
                            ReadInt(fieldOf(*h, 0, 2), info.beds) &&
                            ReadFloat(fieldOf(*h, 0, 3), info.specialists) &&
                            ReadFloat(fieldOf(*h, 0, 4), info.fullTime) &&
                            ReadFloat(fieldOf(*h, 0, 5), info.partTime) &&
                            ReadInt64(fieldOf(*h, 0, 6), info.version);
            if (ok) {
                batch.hospital = info;
            }
        }
    }
    return true;
}

// Applies the batch in the server's order through the document's own operations: a case or
// incident row is added where it is new, and replaced with what the server holds now at the
// last change of it that the batch names.
bool ServerStore::applyBatch(const ChangeBatch& batch, bool fromOthers) {
    std::map<std::pair<int, int>, std::size_t> last;
    for (std::size_t i = 0; i < batch.changes.size(); ++i) {
        last[{batch.changes[i].kind, batch.changes[i].target}] = i;
    }
    bool applied = false;
    for (std::size_t i = 0; i < batch.changes.size(); ++i) {
        const ChangeRef& c = batch.changes[i];
        const bool isLast = last[{c.kind, c.target}] == i;
        m_versions.lastChange = std::max(m_versions.lastChange, c.seq);
        switch (c.kind) {
        case kChangeCase: {
            const auto found = batch.cases.find(c.target);
            const bool adds = c.target == m_doc.GetRecordCount();
            if (found == batch.cases.end() || c.target > m_doc.GetRecordCount()) {
                setState(State::Broken);
                return applied;
            }
            if (!adds && !isLast) {
                break;
            }
            registry::JournalEntry e;
            e.kind = JournalKind::Case;
            e.recordIndex = adds ? -1 : c.target;
            e.record = found->second.first;
            registry::ApplyJournalEntry(m_doc, e);
            if (m_versions.cases.size() <= std::size_t(c.target)) {
                m_versions.cases.resize(std::size_t(c.target) + 1, 0);
            }
            m_versions.cases[std::size_t(c.target)] = found->second.second;
            applied = true;
            break;
        }
        case kChangeIncident: {
            const auto found = batch.incidents.find(c.target);
            const bool adds = c.target == m_doc.GetIncidentCount();
            if (found == batch.incidents.end() || c.target > m_doc.GetIncidentCount()) {
                setState(State::Broken);
                return applied;
            }
            if (!adds && !isLast) {
                break;
            }
            const int row = adds ? m_doc.AddIncident() : c.target;
            for (int k = 0; k < CQuellmarkDoc::kIncidentValues; ++k) {
                m_doc.SetIncidentValue(row, k, found->second.values[std::size_t(k)]);
            }
            for (int k = 1; k <= CQuellmarkDoc::kIncidentTexts; ++k) {
                m_doc.SetIncidentText(row, k, found->second.texts[std::size_t(k - 1)]);
            }
            applied = true;
            break;
        }
        case kChangeList: {
            const auto found = batch.lists.find(c.target);
            if (!isLast || found == batch.lists.end() || c.target < 0 ||
                c.target >= registry::kMasterListCount) {
                break;
            }
            registry::JournalEntry e;
            e.kind = JournalKind::List;
            e.list = registry::MasterList(c.target);
            e.items = found->second.first;
            registry::ApplyJournalEntry(m_doc, e);
            m_versions.lists[std::size_t(c.target)] = found->second.second;
            applied = true;
            break;
        }
        case kChangeHospital:
            if (isLast && batch.hospital) {
                const ChangeBatch::Hospital& h = *batch.hospital;
                m_doc.SetHospitalInfo(h.type, h.location, h.beds, h.specialists, h.fullTime,
                                      h.partTime);
                m_versions.hospital = h.version;
                applied = true;
            }
            break;
        default:
            break;
        }
    }
    if (applied && fromOthers) {
        m_appliedRemote += long(batch.changes.size());
        if (m_hooks.changed) {
            m_hooks.changed();
        }
    }
    return applied;
}

bool ServerStore::CatchUp() {
    ServerError failed;
    ChangeBatch batch;
    CString error;
    const bool ok = m_db->Exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY", failed) &&
                    fetchBatch(batch, error) && m_db->Exec("COMMIT", failed);
    if (!ok) {
        ServerError ignored;
        if (m_db->IsOpen()) {
            m_db->Exec("ROLLBACK", ignored);
        }
        m_lastError = error.IsEmpty() ? failed.message : error;
        if (!m_db->IsOpen()) {
            lost();
        }
        return false;
    }
    applyBatch(batch, true);
    // What was told while these queries ran is waiting in the connection, not on its socket.
    if (m_db->TakeQueuedNotifications()) {
        return CatchUp();
    }
    return true;
}

// Notifications that came in with the replies of a confirmation are taken in now.
void ServerStore::afterCommands() {
    if (m_state == State::Connected && m_db->TakeQueuedNotifications()) {
        CatchUp();
    }
}

// ---------------------------------------------------------------------------------------------
// The history of a case

namespace {

// "{name,procedure}": the keys of a text array of identifiers.
std::vector<std::string> keysOf(std::string_view array) {
    std::vector<std::string> keys;
    if (array.size() < 2) {
        return keys;
    }
    array = array.substr(1, array.size() - 2);
    while (!array.empty()) {
        const std::size_t comma = array.find(',');
        keys.emplace_back(array.substr(0, comma));
        array = comma == std::string_view::npos ? std::string_view() : array.substr(comma + 1);
    }
    return keys;
}

const char* labelOf(const std::string& what, const std::string& key) {
    if (what == "case") {
        if (key == "surgery_date") {
            return nullptr; // named by surgery_timestamp, the surgery date
        }
        for (const CaseColumn& c : CaseColumns()) {
            if (key == c.name) {
                return c.label;
            }
        }
    } else {
        static const char* const labels[] = {"種類",
                                             "種類詳細",
                                             "発症時期",
                                             "防止の可能性",
                                             "転帰",
                                             "原因１",
                                             "原因２",
                                             "原因３",
                                             "術前評価不十分",
                                             "知識不足",
                                             "技術不足",
                                             "状況判断遅れ",
                                             "コミュニケーション不足",
                                             "監視不十分",
                                             "過重労働",
                                             "マンパワー不足",
                                             "その他",
                                             "偶発症種類追記",
                                             "転帰の追記",
                                             "主原因、成因の追記"};
        for (std::size_t i = 0; i < IncidentColumns().size(); ++i) {
            if (key == IncidentColumns()[i]) {
                return labels[i];
            }
        }
    }
    return nullptr;
}

} // namespace

bool ServerStore::HistoryOf(const CQuellmarkDoc& doc, int recordIndex,
                            std::vector<registry::HistoryLine>& lines, CString& error) {
    lines.clear();
    if (!IsConnected() || recordIndex < 0 || recordIndex >= doc.GetRecordCount()) {
        error = notConnectedText();
        return false;
    }
    ServerError failed;
    std::optional<Result> r = m_db->Query(
        "SELECT extract(epoch FROM h.changed_at)::bigint, h.role_name, h.workstation, "
        "coalesce(host(h.client_address), ''), h.what, h.before IS NULL, "
        "ARRAY(SELECT a.key FROM jsonb_each(h.after) a WHERE a.key NOT IN "
        "('last_change', 'changed_at', 'changed_by', 'exact_texts') AND "
        "(h.before IS NULL OR h.before -> a.key IS DISTINCT FROM a.value) ORDER BY a.key) "
        "FROM vora.history h WHERE (h.what = 'case' AND h.target = $1) OR "
        "(h.what = 'incident' AND h.target = $2) ORDER BY h.id DESC LIMIT 1000",
        {Param::Int4(recordIndex), Param::Int4(doc.RecordAt(recordIndex).GetnIncidentIndex())},
        failed);
    if (!r) {
        error = failed.message;
        return false;
    }
    for (int row = 0; row < r->Rows(); ++row) {
        registry::HistoryLine line;
        const fw::LocalDateTime at = fw::LocalDateTimeOf(fw::Time32(r->Int(row, 0)));
        line.when = CString::Formatted("%04d/%02d/%02d %02d:%02d:%02d", at.year, at.month, at.day,
                                       at.hour, at.minute, at.second);
        line.who = sj(std::string(r->Value(row, 1)));
        const std::string address(r->Value(row, 3));
        line.where = hostOf(r->Value(row, 2)) +
                     (address.empty() ? CString() : "（"_sj + sj(address) + "）"_sj);
        const std::string what(r->Value(row, 4));
        const bool added = r->Value(row, 5) == "t";
        CString fields;
        const std::vector<std::string> keys = keysOf(r->Value(row, 6));
        const bool dateChanged = std::find(keys.begin(), keys.end(), "surgery_date") != keys.end();
        for (const std::string& key : keys) {
            // Every confirmation writes the time of day anew; the day is what the user changed.
            if (key == "surgery_timestamp" && !dateChanged) {
                continue;
            }
            if (const char* label = labelOf(what, key)) {
                fields += (fields.IsEmpty() ? CString() : "、"_sj) + sj(label);
            }
        }
        const CString subject = what == "case" ? CString() : "偶発症の"_sj;
        line.what = added ? subject + "登録"_sj
                          : subject + "変更："_sj + (fields.IsEmpty() ? "なし"_sj : fields);
        lines.push_back(std::move(line));
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Confirmations

std::uint64_t ServerStore::versionOf(const registry::ChangeTarget& target) const {
    switch (target.kind) {
    case JournalKind::Case:
        return target.which >= 0 && std::size_t(target.which) < m_versions.cases.size()
                   ? std::uint64_t(m_versions.cases[std::size_t(target.which)])
                   : 0;
    case JournalKind::List:
        return target.which >= 0 && target.which < registry::kMasterListCount
                   ? std::uint64_t(m_versions.lists[std::size_t(target.which)])
                   : 0;
    case JournalKind::Passwords:
        break; // the roles' own, on the server: no version to compare
    case JournalKind::Hospital:
        return std::uint64_t(m_versions.hospital);
    case JournalKind::Saved:
        break;
    }
    return 0;
}

registry::ChangeBase ServerStore::BaseOf(const CQuellmarkDoc& doc,
                                         const registry::ChangeTarget& target) const {
    registry::ChangeBase base;
    base.version = versionOf(target);
    if (target.kind == JournalKind::Case && target.which >= 0 &&
        target.which < doc.GetRecordCount()) {
        base.openedCase = doc.RecordAt(target.which);
    }
    return base;
}

// Refuses the change when the row at where (a table of the registry) changed after base: then
// message says when, where and what, and base becomes what the server holds now.
bool ServerStore::conflict(const char* table, const std::string& where, std::vector<Param> params,
                           const CString& what, registry::ChangeBase& base, bool& refused,
                           CString& message) {
    refused = false;
    ServerError failed;
    const bool isCase = std::string_view(table) == "cases";
    std::optional<Result> r = m_db->Query(
        std::string("SELECT last_change, extract(epoch FROM changed_at)::bigint, changed_by") +
            (isCase ? ", " + CaseColumnList() + ", exact_texts" : std::string()) + " FROM vora." +
            table + " WHERE " + where,
        params, failed, true);
    if (!r) {
        message = failed.message;
        return false;
    }
    std::int64_t version = 0, at = 0;
    if (r->Rows() != 1 || !ReadInt64(fieldOf(*r, 0, 0), version) ||
        !ReadInt64(fieldOf(*r, 0, 1), at)) {
        message = what + "がサーバーにありません"_sj;
        return false;
    }
    if (std::uint64_t(version) == base.version) {
        return true;
    }
    refused = true;
    CString changed;
    if (isCase) {
        eachRow(*r, [&](const std::vector<Field>& fields) {
            CCaseRecord now;
            int replaced = 0;
            CString ignored;
            if (ReadCaseFields(fields.data() + 3, now, replaced, ignored)) {
                changed = ChangedCaseFields(base.openedCase, now);
                base.openedCase = now;
            }
            return true;
        });
    }
    message = "この"_sj + what + "は "_sj + clockText(at) + " に別の端末（"_sj +
              hostOf(r->Value(0, 2)) + "）で変更されました"_sj +
              (changed.IsEmpty() ? CString() : "（変更された項目："_sj + changed + "）"_sj) +
              "。"_sj;
    base.version = std::uint64_t(version);
    return true;
}

bool ServerStore::writeCase(registry::JournalEntry& entry, registry::ChangeBase& base,
                            Outcome& outcome, CString& message) {
    ServerError failed;
    auto nextOf = [&](const char* column, const char* table, int& next) {
        std::optional<Result> r = m_db->Query(std::string("SELECT coalesce(max(") + column +
                                                  ") + 1, 0)::integer FROM vora." + table,
                                              {}, failed, true);
        if (!r || !ReadInt(fieldOf(*r, 0, 0), next)) {
            message = failed.message;
            return false;
        }
        return true;
    };
    if (entry.recordIndex >= 0) {
        bool refused = false;
        if (!conflict("cases", "record_index = $1", {Param::Int4(entry.recordIndex)}, "症例"_sj,
                      base, refused, message)) {
            return false;
        }
        if (refused) {
            message +=
                "もう一度 OK を押すと、この画面の内容で上書きします。別の端末の内容を見るには、"
                "この画面を閉じてから症例を開き直してください。"_sj;
            return false;
        }
        outcome.recordIndex = entry.recordIndex;
    } else if (!nextOf("record_index", "cases", outcome.recordIndex)) {
        return false;
    }
    if (entry.incidentWritten) {
        int row = entry.record.GetnIncidentIndex();
        // The form names the next row of its table for an incident of its own.
        const bool fresh = !outcome.incidentKept && (row < 0 || row >= m_doc.GetIncidentCount());
        if (fresh && !nextOf("row_index", "incidents", row)) {
            return false;
        }
        IncidentRow incident;
        incident.values = entry.incidentValues;
        incident.texts = entry.incidentTexts;
        std::vector<Param> params = IncidentParams(incident);
        params.insert(params.begin(), Param::Int4(row));
        const std::string sql =
            fresh ? "INSERT INTO vora.incidents (row_index, " + IncidentColumnList() +
                        ", exact_texts) VALUES (" + placeholders(1, int(params.size())) + ")"
                  : "UPDATE vora.incidents SET (" + IncidentColumnList() + ", exact_texts) = (" +
                        placeholders(2, int(params.size()) - 1) + ") WHERE row_index = $1";
        if (!m_db->Query(sql, params, failed)) {
            message = failed.message;
            return false;
        }
        entry.record.SetnIncidentIndex(row);
        outcome.incidentRow = row;
        outcome.newIncident = fresh;
    }
    std::vector<Param> params = CaseParams(entry.record);
    params.insert(params.begin(), Param::Text(dateText(entry.record.GettSurgery())));
    params.insert(params.begin(), Param::Int4(outcome.recordIndex));
    const std::string sql =
        entry.recordIndex < 0 ? "INSERT INTO vora.cases (record_index, surgery_date, " +
                                    CaseColumnList() + ", exact_texts) VALUES (" +
                                    placeholders(1, int(params.size())) + ") RETURNING last_change"
                              : "UPDATE vora.cases SET (surgery_date, " + CaseColumnList() +
                                    ", exact_texts) = (" + placeholders(2, int(params.size()) - 1) +
                                    ") WHERE record_index = $1 RETURNING last_change";
    std::optional<Result> r = m_db->Query(sql, params, failed, true);
    if (!r || r->Rows() != 1 || !ReadInt64(fieldOf(*r, 0, 0), outcome.version)) {
        message = failed.message;
        return false;
    }
    return true;
}

bool ServerStore::writeList(const registry::JournalEntry& entry, registry::ChangeBase& base,
                            Outcome& outcome, CString& message) {
    const int list = int(entry.list);
    bool refused = false;
    if (!conflict("lists", "list_index = $1::integer", {Param::Int4(list)},
                  "一覧「"_sj + sj(listNameOf(list)) + "」"_sj, base, refused, message)) {
        return false;
    }
    if (refused) {
        message += "いまの一覧を表示し直しましたので、もう一度変更してください。"_sj;
        return false;
    }
    ServerError failed;
    if (!m_db->Query("DELETE FROM vora.list_items WHERE list_index = $1::integer",
                     {Param::Int4(list)}, failed)) {
        message = failed.message;
        return false;
    }
    for (int i = 0; i < entry.items.GetSize(); ++i) {
        Param exact;
        Param name = TextParam(entry.items[i].view(), &exact);
        if (!m_db->Query("INSERT INTO vora.list_items (list_index, position, name, exact_name) "
                         "VALUES ($1::integer, $2, $3, $4)",
                         {Param::Int4(list), Param::Int4(i), name, exact}, failed)) {
            message = failed.message;
            return false;
        }
    }
    std::optional<Result> r = m_db->Query(kListNamesUpdate, {Param::Int4(list)}, failed, true);
    if (!r || r->Rows() != 1 || !ReadInt64(fieldOf(*r, 0, 0), outcome.version)) {
        message = failed.message;
        return false;
    }
    return true;
}

bool ServerStore::writePasswords(const registry::JournalEntry& entry, CString& message) {
    // Each password that changed is its role's; the one left as it was is not known here.
    const struct {
        const CString& now;
        const CString& next;
        const std::string& role;
    } roles[] = {{m_doc.GetAdminPassword(), entry.adminPassword, m_roles.admin},
                 {m_doc.GetUserPassword(), entry.userPassword, m_roles.user}};
    for (const auto& r : roles) {
        if (r.next == r.now) {
            continue;
        }
        std::string utf8;
        TextToUtf8(r.next.view(), utf8);
        if (!SetRolePassword(*m_db, r.role, utf8, message)) {
            return false;
        }
        if (r.role == m_login.role) {
            m_login.password = utf8; // for connecting again
        }
    }
    return true;
}

bool ServerStore::writeHospital(const registry::JournalEntry& entry, registry::ChangeBase& base,
                                Outcome& outcome, CString& message) {
    bool refused = false;
    if (!conflict("hospital", "true", {}, "病院情報"_sj, base, refused, message)) {
        return false;
    }
    if (refused) {
        message += "もう一度 OK を押すと、この画面の内容で上書きします。"_sj;
        return false;
    }
    ServerError failed;
    std::optional<Result> r =
        m_db->Query("UPDATE vora.hospital SET hospital_type = $1, hospital_location = $2, "
                    "beds = $3, specialists = $4, full_time = $5, part_time = $6 "
                    "RETURNING last_change",
                    {Param::Int4(entry.hospitalType), Param::Int4(entry.hospitalLocation),
                     Param::Int4(entry.beds), Param::Float4(entry.specialists),
                     Param::Float4(entry.fullTime), Param::Float4(entry.partTime)},
                    failed, true);
    if (!r || r->Rows() != 1 || !ReadInt64(fieldOf(*r, 0, 0), outcome.version)) {
        message = failed.message;
        return false;
    }
    return true;
}

// The incident row that an earlier, kept try of the dialog gave the case: the one to write.
bool ServerStore::keptIncident(registry::JournalEntry& entry, Outcome& outcome, CString& message) {
    ServerError failed;
    std::optional<Result> r =
        m_db->Query("SELECT incident_index FROM vora.cases WHERE record_index = $1",
                    {Param::Int4(entry.recordIndex)}, failed);
    if (!r || r->Rows() != 1) {
        message = failed.message;
        return false;
    }
    const int row = int(r->Int(0, 0));
    if (entry.incidentWritten && row >= 0) {
        entry.record.SetnIncidentIndex(row);
        outcome.incidentKept = true;
    }
    return true;
}

bool ServerStore::writeChange(registry::JournalEntry& entry, registry::ChangeBase& base,
                              Outcome& outcome, CString& message) {
    ServerError failed;
    if (!base.pendingToken.empty()) {
        // An earlier try of this dialog may have been kept: then this one changes what it kept.
        std::optional<Result> r = m_db->Query(
            "SELECT kind, target, seq FROM vora.changes WHERE token = $1 ORDER BY seq DESC",
            {Param::Text(base.pendingToken)}, failed);
        if (!r) {
            message = failed.message;
            return false;
        }
        for (int row = 0; row < r->Rows(); ++row) {
            if (r->Int(row, 0) == kChangeCase && entry.kind == JournalKind::Case) {
                entry.recordIndex = int(r->Int(row, 1));
                base.version = std::uint64_t(r->Int(row, 2));
                if (!keptIncident(entry, outcome, message)) {
                    return false;
                }
                break;
            }
            if (r->Int(row, 0) != kChangeIncident && entry.kind != JournalKind::Case) {
                base.version = std::uint64_t(r->Int(row, 2));
                break;
            }
        }
    }
    switch (entry.kind) {
    case JournalKind::Case:
        return writeCase(entry, base, outcome, message);
    case JournalKind::List:
        return writeList(entry, base, outcome, message);
    case JournalKind::Passwords:
        return writePasswords(entry, message);
    case JournalKind::Hospital:
        return writeHospital(entry, base, outcome, message);
    case JournalKind::Saved:
        break;
    }
    return true;
}

bool ServerStore::Confirm(CQuellmarkDoc& doc, registry::JournalEntry& entry,
                          registry::ChangeBase& base, CString& message) {
    (void)doc; // the store's own document
    if (m_state != State::Connected) {
        message = m_state == State::PasswordRefused
                      ? StatusText() + "。入力した内容はこの画面に残っています。"_sj
                      : notConnectedText();
        return false;
    }
    std::string token = base.pendingToken;
    if (token.empty()) {
        std::random_device random;
        token = std::to_string(random()) + "-" + std::to_string(random()) + "-" +
                std::to_string(++m_tokenCount);
    }
    ServerError failed;
    ChangeBatch batch;
    Outcome outcome;
    CString why;
    if (!m_db->Exec("BEGIN", failed)) {
        message = "サーバーに届かないため、確定できません（"_sj + failed.message + "）。"_sj;
        lost();
        return false;
    }
    // The write lock first: from here until the commit nobody else keeps a change, so the batch
    // holds everything the others kept before this one.
    const bool locked =
        m_db->Query("SELECT pg_advisory_xact_lock($1), set_config('vora.token', $2, true)",
                    {Param::Int8(kWriteLock), Param::Text(token)}, failed)
            .has_value();
    if (!locked) {
        why = failed.message;
    }
    const bool written = locked && fetchBatch(batch, why) && writeChange(entry, base, outcome, why);
    if (!written) {
        ServerError ignored;
        const bool open = m_db->IsOpen() && m_db->Exec("ROLLBACK", ignored);
        if (!open) {
            message =
                "サーバーとの接続が切れたため、確定できませんでした。接続が戻ってから、もう一度"
                "確定してください。入力した内容はこの画面に残っています。"_sj;
            lost();
            return false;
        }
        // What the others changed meanwhile is in force all the same.
        applyBatch(batch, true);
        afterCommands();
        message = why.IsEmpty() ? "サーバーが変更を受け付けませんでした"_sj : why;
        return false;
    }
    if (!m_db->Exec("COMMIT", failed)) {
        if (!m_db->IsOpen()) {
            base.pendingToken = token;
            message = "サーバーとの接続が切れたため、確定できたかどうか確かめられませんでした。"
                      "接続が戻ってから、もう一度確定してください（二重に記録されることはありませ"
                      "ん）。入力した内容はこの画面に残っています。"_sj;
            lost();
        } else {
            message = "サーバーが変更を受け付けませんでした（"_sj + failed.message + "）。"_sj;
        }
        return false;
    }
    base.pendingToken.clear();
    applyBatch(batch, true);
    if (entry.kind == JournalKind::Case) {
        const bool adds = entry.recordIndex < 0;
        if ((adds && outcome.recordIndex != m_doc.GetRecordCount()) ||
            (outcome.newIncident && outcome.incidentRow != m_doc.GetIncidentCount())) {
            setState(State::Broken);
            return true; // kept on the server; this window no longer follows it
        }
        registry::ApplyJournalEntry(m_doc, entry);
        if (m_versions.cases.size() <= std::size_t(outcome.recordIndex)) {
            m_versions.cases.resize(std::size_t(outcome.recordIndex) + 1, 0);
        }
        m_versions.cases[std::size_t(outcome.recordIndex)] = outcome.version;
    } else {
        registry::ApplyJournalEntry(m_doc, entry);
        if (entry.kind == JournalKind::List) {
            m_versions.lists[std::size_t(entry.list)] = outcome.version;
        } else if (entry.kind == JournalKind::Hospital) {
            m_versions.hospital = outcome.version;
        }
    }
    // Nothing else was kept while this transaction held the lock.
    m_versions.lastChange = std::max(m_versions.lastChange, outcome.version);
    base.version = std::uint64_t(outcome.version);
    afterCommands();
    return true;
}

} // namespace server
