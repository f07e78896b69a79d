#include "server/Registry.h"

#include "registry/QuellmarkDoc.h"
#include "server/Connection.h"
#include "server/Rows.h"
#include "server/Schema.h"

#include <algorithm>
#include <numeric>

namespace server {

const char* const kListNamesUpdate =
    "UPDATE vora.lists SET names = ARRAY(SELECT name FROM vora.list_items "
    "WHERE list_index = $1::integer ORDER BY position) WHERE list_index = $1::integer "
    "RETURNING last_change";

namespace {

// A COPY out of the server into row, reading its binary rows.
template <class Row>
bool copyRows(Connection& db, const std::string& query, int columns, Row&& row, CString& error) {
    CopyReader reader;
    ServerError failed;
    CString why;
    const bool ok = db.CopyOut(
        "COPY (" + query + ") TO STDOUT (FORMAT binary)",
        [&](std::string_view piece) {
            return reader.Feed(
                piece,
                [&](const std::vector<Field>& fields, CString& rowError) {
                    if (int(fields.size()) != columns) {
                        rowError = "サーバーから受け取った行の列の数が違います"_sj;
                        return false;
                    }
                    return row(fields, rowError);
                },
                why);
        },
        failed);
    if (!ok) {
        error = why.IsEmpty() ? failed.message : why;
        return false;
    }
    return reader.Finish(error);
}

bool runAll(Connection& db, std::initializer_list<const char*> commands, CString& error) {
    for (const char* sql : commands) {
        ServerError failed;
        if (!db.Exec(sql, failed)) {
            error = failed.message;
            return false;
        }
    }
    return true;
}

void rollback(Connection& db) {
    ServerError ignored;
    db.Exec("ROLLBACK", ignored);
}

std::optional<Result> query(Connection& db, const std::string& sql, CString& error,
                            const std::vector<Param>& params = {}) {
    ServerError failed;
    std::optional<Result> result = db.Query(sql, params, failed, true);
    if (!result) {
        error = failed.message;
    }
    return result;
}

Field fieldOf(const Result& r, int row, int column) {
    return {r.Value(row, column), r.IsNull(row, column)};
}

bool readCount(const Result& r, int column, std::int64_t& n) {
    return ReadInt64(fieldOf(r, 0, column), n) && n >= 0 && n <= 0x7fffffff;
}

CString textOf(const Field& utf8, const Field& exact, LoadNotes& notes) {
    if (!exact.null) {
        return CString(exact.bytes);
    }
    std::string cp932;
    TextFromUtf8(utf8.bytes, cp932, notes.replacedCharacters);
    return CString(cp932);
}

// The hospital information. The passwords are the roles' own and stay on the server.
bool loadSettings(Connection& db, CQuellmarkDoc& doc, Versions& versions, CString& error) {
    std::optional<Result> h = query(db,
                                    "SELECT hospital_type, hospital_location, beds, specialists, "
                                    "full_time, part_time, last_change FROM vora.hospital",
                                    error);
    if (!h) {
        return false;
    }
    if (h->Rows() != 1) {
        error = "サーバーの病院情報の行がありません"_sj;
        return false;
    }
    std::int32_t type, location, beds;
    float specialists, fullTime, partTime;
    if (!ReadInt(fieldOf(*h, 0, 0), type) || !ReadInt(fieldOf(*h, 0, 1), location) ||
        !ReadInt(fieldOf(*h, 0, 2), beds) || !ReadFloat(fieldOf(*h, 0, 3), specialists) ||
        !ReadFloat(fieldOf(*h, 0, 4), fullTime) || !ReadFloat(fieldOf(*h, 0, 5), partTime) ||
        !ReadInt64(fieldOf(*h, 0, 6), versions.hospital)) {
        error = "サーバーの病院情報の値が正しくありません"_sj;
        return false;
    }
    doc.SetPasswords({}, {});
    doc.SetHospitalInfo(type, location, beds, specialists, fullTime, partTime);
    return true;
}

CStringArray& listOf(CQuellmarkDoc& doc, int list) {
    CStringArray* lists[registry::kMasterListCount] = {
        &doc.GetAnesthesiologistList(), &doc.GetSupervisorList(), &doc.GetWardList(),
        &doc.GetRoomList(), &doc.GetDepartmentList()};
    return *lists[list];
}

bool loadLists(Connection& db, CQuellmarkDoc& doc, Versions& versions, LoadNotes& notes,
               CString& error) {
    std::optional<Result> lists =
        query(db, "SELECT list_index, last_change FROM vora.lists", error);
    std::optional<Result> items =
        lists ? query(db,
                      "SELECT list_index, name, exact_name FROM vora.list_items "
                      "ORDER BY list_index, position",
                      error)
              : std::nullopt;
    if (!items) {
        return false;
    }
    for (int row = 0; row < lists->Rows(); ++row) {
        std::int16_t list = -1;
        if (!ReadInt16(fieldOf(*lists, row, 0), list) || list < 0 ||
            list >= registry::kMasterListCount ||
            !ReadInt64(fieldOf(*lists, row, 1), versions.lists[std::size_t(list)])) {
            error = "サーバーの一覧の番号が正しくありません"_sj;
            return false;
        }
    }
    for (int row = 0; row < items->Rows(); ++row) {
        std::int16_t list = -1;
        if (!ReadInt16(fieldOf(*items, row, 0), list) || list < 0 ||
            list >= registry::kMasterListCount) {
            error = "サーバーの一覧の番号が正しくありません"_sj;
            return false;
        }
        listOf(doc, list).Add(textOf(fieldOf(*items, row, 1), fieldOf(*items, row, 2), notes));
    }
    return true;
}

bool loadIncidents(Connection& db, CQuellmarkDoc& doc, LoadNotes& notes, CString& error) {
    std::optional<Result> count = query(db, "SELECT count(*) FROM vora.incidents", error);
    std::int64_t n = 0;
    if (!count || !readCount(*count, 0, n)) {
        error = error.IsEmpty() ? "サーバーの偶発症の数を読めません"_sj : error;
        return false;
    }
    std::vector<IncidentRow> rows(static_cast<std::size_t>(n));
    std::vector<bool> seen(static_cast<std::size_t>(n), false);
    const bool ok = copyRows(
        db, "SELECT row_index, " + IncidentColumnList() + ", exact_texts FROM vora.incidents", 22,
        [&](const std::vector<Field>& fields, CString& rowError) {
            std::int32_t index = -1;
            if (!ReadInt(fields[0], index) || index < 0 || index >= n || seen[std::size_t(index)]) {
                rowError = "サーバーの偶発症の行の番号が正しくありません"_sj;
                return false;
            }
            seen[std::size_t(index)] = true;
            return ReadIncidentFields(fields.data() + 1, rows[std::size_t(index)],
                                      notes.replacedCharacters, rowError);
        },
        error);
    if (!ok) {
        return false;
    }
    for (const IncidentRow& row : rows) {
        const int at = doc.AddIncident();
        for (int k = 0; k < CQuellmarkDoc::kIncidentValues; ++k) {
            doc.SetIncidentValue(at, k, row.values[std::size_t(k)]);
        }
        for (int k = 1; k <= CQuellmarkDoc::kIncidentTexts; ++k) {
            doc.SetIncidentText(at, k, row.texts[std::size_t(k - 1)]);
        }
    }
    return true;
}

bool loadCases(Connection& db, CQuellmarkDoc& doc, Versions& versions, LoadNotes& notes,
               CString& error) {
    std::optional<Result> count = query(db, "SELECT count(*) FROM vora.cases", error);
    std::int64_t n = 0;
    if (!count || !readCount(*count, 0, n)) {
        error = error.IsEmpty() ? "サーバーの症例の数を読めません"_sj : error;
        return false;
    }
    // With room for the cases the workstations will add (memory that is not touched costs
    // nothing), so that the first new case does not move the million there are.
    CQuellmarkDoc::RecordList records;
    records.reserve(static_cast<std::size_t>(n + n / 8 + 1024));
    records.resize(static_cast<std::size_t>(n));
    // The cases' texts side by side, as a data file's are loaded: the document takes them so.
    registry::TextArena arena;
    versions.cases.assign(std::size_t(n), -1);
    const int columns = int(CaseColumns().size()) + 3;
    const bool ok = copyRows(
        db,
        "SELECT record_index, last_change, " + CaseColumnList() + ", exact_texts FROM vora.cases",
        columns,
        [&](const std::vector<Field>& fields, CString& rowError) {
            std::int32_t index = -1;
            std::int64_t last = 0;
            if (!ReadInt(fields[0], index) || index < 0 || index >= n ||
                versions.cases[std::size_t(index)] >= 0 || !ReadInt64(fields[1], last) ||
                last < 0) {
                rowError = "サーバーの症例の番号が正しくありません"_sj;
                return false;
            }
            versions.cases[std::size_t(index)] = last;
            return ReadCaseFields(fields.data() + 2, records[std::size_t(index)],
                                  notes.replacedCharacters, rowError, &arena);
        },
        error);
    if (!ok) {
        return false;
    }
    const std::vector<std::uint32_t> order = ChangeOrder(versions.cases);
    doc.AddRecords(std::move(records), std::move(arena), &order);
    return true;
}

// Writes rows through COPY in pieces of about a mebibyte.
template <class Row>
bool copyIn(Connection& db, const std::string& into, int count, Row&& row, CString& error) {
    ServerError failed;
    const bool ok = db.CopyIn(
        "COPY " + into + " FROM STDIN (FORMAT binary)",
        [&](const std::function<bool(std::string_view)>& put) {
            CopyWriter out;
            for (int i = 0; i < count; ++i) {
                row(out, i);
                if (out.Buffer().size() >= (1u << 20)) {
                    if (!put(out.Buffer())) {
                        return true; // the server's reason follows
                    }
                    out.Buffer().clear();
                }
            }
            out.End();
            put(out.Buffer());
            return true;
        },
        failed);
    if (!ok) {
        error = failed.message;
    }
    return ok;
}

// The file's passwords become the roles' (hashed here); its hospital information the
// registry's.
bool importSettings(Connection& db, const CQuellmarkDoc& doc, CString& error) {
    Roles roles;
    if (!RolesOf(db, roles)) {
        error = "サーバーの台帳のロールが分かりません"_sj;
        return false;
    }
    std::string admin, user;
    TextToUtf8(doc.GetAdminPassword().view(), admin);
    TextToUtf8(doc.GetUserPassword().view(), user);
    return SetRolePassword(db, roles.admin, admin, error) &&
           SetRolePassword(db, roles.user, user, error) &&
           query(db,
                 "UPDATE vora.hospital SET hospital_type = $1, hospital_location = $2, beds = $3, "
                 "specialists = $4, full_time = $5, part_time = $6",
                 error,
                 {Param::Int4(doc.GetHospitalType()), Param::Int4(doc.GetHospitalLocation()),
                  Param::Int4(doc.GetBeds()), Param::Float4(doc.GetSpecialists()),
                  Param::Float4(doc.GetFullTime()), Param::Float4(doc.GetPartTime())});
}

bool importLists(Connection& db, const CQuellmarkDoc& doc, CString& error) {
    for (int list = 0; list < registry::kMasterListCount; ++list) {
        const CStringArray& names = listOf(const_cast<CQuellmarkDoc&>(doc), list);
        const bool ok = copyIn(
            db, "vora.list_items (list_index, position, name, exact_name)", names.GetSize(),
            [&](CopyWriter& out, int i) {
                out.BeginRow(4);
                out.Int16(std::int16_t(list));
                out.Int(i);
                Param exact;
                const Param name = TextParam(names[i].view(), &exact);
                out.Bytes(*name.value);
                if (exact.value) {
                    out.Bytes(*exact.value);
                } else {
                    out.Null();
                }
            },
            error);
        if (!ok) {
            return false;
        }
        // The list's row records the change, with its names.
        if (!query(db, kListNamesUpdate, error, {Param::Int4(list)})) {
            return false;
        }
    }
    return true;
}

bool importIncidents(Connection& db, const CQuellmarkDoc& doc, CString& error) {
    return copyIn(
        db, "vora.incidents (row_index, " + IncidentColumnList() + ", exact_texts)",
        doc.GetIncidentCount(),
        [&](CopyWriter& out, int row) {
            IncidentRow r;
            for (int k = 0; k < CQuellmarkDoc::kIncidentValues; ++k) {
                r.values[std::size_t(k)] = doc.GetIncidentValue(row, k);
            }
            for (int k = 1; k <= CQuellmarkDoc::kIncidentTexts; ++k) {
                r.texts[std::size_t(k - 1)] = doc.GetIncidentText(row, k);
            }
            out.BeginRow(22);
            out.Int(row);
            WriteIncidentFields(out, r);
        },
        error);
}

bool importCases(Connection& db, const CQuellmarkDoc& doc, CString& error) {
    const int columns = int(CaseColumns().size()) + 3;
    return copyIn(
        db, "vora.cases (record_index, surgery_date, " + CaseColumnList() + ", exact_texts)",
        doc.GetRecordCount(),
        [&](CopyWriter& out, int i) {
            out.BeginRow(columns);
            out.Int(i);
            out.Date(fw::UnpackDate(doc.GetSurgeryDate(i)));
            WriteCaseFields(out, doc.RecordAt(i));
        },
        error);
}

} // namespace

std::vector<std::uint32_t> ChangeOrder(const std::vector<std::int64_t>& lastChanges) {
    std::vector<std::uint32_t> byChange(lastChanges.size());
    std::iota(byChange.begin(), byChange.end(), 0u);
    // A registry nobody corrected since its import: changed in the order of the cases.
    if (std::is_sorted(lastChanges.begin(), lastChanges.end())) {
        return byChange;
    }
    std::stable_sort(byChange.begin(), byChange.end(), [&](std::uint32_t a, std::uint32_t b) {
        return lastChanges[a] < lastChanges[b];
    });
    std::vector<std::uint32_t> order(lastChanges.size());
    for (std::size_t rank = 0; rank < byChange.size(); ++rank) {
        order[byChange[rank]] = std::uint32_t(rank);
    }
    return order;
}

bool LoadRegistry(Connection& db, CQuellmarkDoc& doc, Versions& versions, LoadNotes& notes,
                  CString& error) {
    if (!runAll(db, {"BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"}, error)) {
        return false;
    }
    std::optional<Result> last =
        query(db, "SELECT coalesce(max(seq), 0)::bigint FROM vora.changes", error);
    const bool ok = last && ReadInt64(fieldOf(*last, 0, 0), versions.lastChange) &&
                    loadSettings(db, doc, versions, error) &&
                    loadLists(db, doc, versions, notes, error) &&
                    loadIncidents(db, doc, notes, error) &&
                    loadCases(db, doc, versions, notes, error) && runAll(db, {"COMMIT"}, error);
    if (!ok) {
        rollback(db);
    }
    return ok;
}

bool ImportRegistry(Connection& db, const CQuellmarkDoc& doc, CString& error) {
    if (!runAll(db, {"BEGIN"}, error)) {
        return false;
    }
    std::optional<Result> held =
        query(db, "SELECT pg_advisory_xact_lock(" + std::to_string(kWriteLock) + ")", error);
    std::optional<Result> filled = held ? query(db,
                                                "SELECT (SELECT count(*) FROM vora.cases) + "
                                                "(SELECT count(*) FROM vora.incidents) + "
                                                "(SELECT count(*) FROM vora.list_items)",
                                                error)
                                        : std::nullopt;
    std::int64_t n = 0;
    if (!filled || !ReadInt64(fieldOf(*filled, 0, 0), n)) {
        rollback(db);
        return false;
    }
    if (n != 0) {
        rollback(db);
        error = "サーバーの台帳は空ではありません（症例、偶発症または一覧の名前があります）。"
                "読み込みは空の台帳にだけできます"_sj;
        return false;
    }
    const bool ok = importSettings(db, doc, error) && importLists(db, doc, error) &&
                    importIncidents(db, doc, error) && importCases(db, doc, error) &&
                    runAll(db, {"COMMIT"}, error);
    if (!ok) {
        rollback(db);
    }
    return ok;
}

} // namespace server
