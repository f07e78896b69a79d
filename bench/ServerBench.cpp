// Speed of the department server's store on a registry of 1,000,000 realistic cases (twenty
// years of dates), with the server on this machine: the import, the login, a confirmation, and
// how soon another workstation shows it. The import and the login are each paired with a
// yardstick, the fastest simple way to move the same bytes through libpq: COPY FROM of the rows
// already built, and COPY TO of the same columns into libpq's buffers, thrown away.
//
//   pg_virtualenv -t build/bench/ServerBench [--cases=N] [benchmark options]
//
// The server is the one the PG* variables name (pg_virtualenv makes one for the run); without
// one the program says so and does nothing. It works in a database of its own, made and dropped
// by it. Besides the wall time each figure gives the processor time of this program and of the
// server's process that served it, read from /proc, since both share the machine's two cores.

#include "framework/Time32.h"
#include "registry/ChangeStore.h"
#include "registry/QuellmarkDoc.h"
#include "server/Connection.h"
#include "server/Registry.h"
#include "server/Rows.h"
#include "server/Schema.h"
#include "server/ServerStore.h"
#include "support/CaseBuilder.h"

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <poll.h>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using testing_support::Spread;

int g_cases = 1000000;

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Processor seconds of this program (all its threads).
double ownCpu() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Processor seconds of another process of this machine (the server's process of a
// connection), or 0 when /proc does not say.
double cpuOf(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream fields(text.substr(close + 2));
    std::string skip;
    for (int i = 3; i < 14; ++i) {
        fields >> skip;
    }
    double user = 0, system = 0;
    fields >> user >> system;
    return (user + system) / double(sysconf(_SC_CLK_TCK));
}

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void fail(const std::string& what) {
    std::fprintf(stderr, "ServerBench: %s\n", what.c_str());
    std::exit(1);
}

void exec(server::Connection& db, const std::string& sql) {
    server::ServerError error;
    if (!db.Exec(sql, error)) {
        fail(sql + ": " + error.message.ToUtf8());
    }
}

std::unique_ptr<server::Connection> connect(const std::string& conninfo,
                                            const server::Login& login = {}) {
    auto db = std::make_unique<server::Connection>();
    CString error;
    if (!db->Open(conninfo, error, login)) {
        fail("cannot connect: " + error.ToUtf8());
    }
    return db;
}

int backendPid(server::Connection& db) {
    return PQbackendPID(db.Raw());
}

// Wall, this program's and the server process's processor seconds of one run.
struct Took {
    double wall = 0, client = 0, server = 0;
};

class Meter {
public:
    explicit Meter(int serverPid)
        : m_pid(serverPid), m_wall(now()), m_client(ownCpu()), m_server(cpuOf(serverPid)) {}
    Took Stop() const { return {now() - m_wall, ownCpu() - m_client, cpuOf(m_pid) - m_server}; }

private:
    int m_pid;
    double m_wall, m_client, m_server;
};

struct Takes {
    std::vector<double> wall, client, server;
    void Add(const Took& t) {
        wall.push_back(t.wall);
        client.push_back(t.client);
        server.push_back(t.server);
    }
    void Report(benchmark::State& state, const std::string& prefix) const {
        state.counters[prefix + "_s"] = median(wall);
        state.counters[prefix + "_cpu_s"] = median(client);
        state.counters[prefix + "_server_cpu_s"] = median(server);
    }
};

// The bench's own database with the registry's schema, and the registry it imports.
class Bench {
public:
    static Bench& Get() {
        static Bench bench;
        return bench;
    }
    ~Bench() {
        server::Connection admin;
        CString error;
        if (admin.Open("dbname=postgres", error)) {
            server::ServerError ignored;
            admin.Exec("DROP DATABASE IF EXISTS " + m_database + " WITH (FORCE)", ignored);
            admin.Exec("DROP ROLE IF EXISTS " + m_roles.user + ", " + m_roles.admin, ignored);
        }
    }

    const std::string& Conninfo() const { return m_conninfo; }
    // The registry's administrator role, as a workstation logs in.
    server::Login Admin() const { return {m_roles.admin, "admin-pw"}; }
    const CQuellmarkDoc& Doc() const { return m_doc; }

    // An empty registry on a server that has written out what came before.
    void Empty(server::Connection& db) {
        exec(db, "TRUNCATE vora.cases, vora.incidents, vora.list_items, vora.changes, "
                 "vora.history");
        server::ServerError ignored; // CHECKPOINT needs a role that may; pg_virtualenv's may
        db.Exec("CHECKPOINT", ignored);
    }
    void EnsureImported() {
        if (m_imported) {
            return;
        }
        std::unique_ptr<server::Connection> db = connect(m_conninfo);
        Empty(*db);
        CString error;
        if (!server::ImportRegistry(*db, m_doc, error)) {
            fail("import: " + error.ToUtf8());
        }
        Imported(*db);
    }
    // The registry imported through db: vacuumed as the server's autovacuum would, so that no
    // login pays for the first look at the new rows.
    void Imported(server::Connection& db) {
        exec(db, "VACUUM ANALYZE");
        m_imported = true;
    }

    // The COPY streams the import sends, built once.
    const std::string& CaseStream() {
        if (m_caseStream.empty()) {
            const int columns = int(server::CaseColumns().size()) + 3;
            server::CopyWriter out;
            for (int i = 0; i < m_doc.GetRecordCount(); ++i) {
                out.BeginRow(columns);
                out.Int(i);
                out.Date(fw::UnpackDate(m_doc.GetSurgeryDate(i)));
                server::WriteCaseFields(out, m_doc.RecordAt(i));
            }
            out.End();
            m_caseStream = std::move(out.Buffer());
        }
        return m_caseStream;
    }
    const std::string& IncidentStream() {
        if (m_incidentStream.empty()) {
            server::CopyWriter out;
            for (int row = 0; row < m_doc.GetIncidentCount(); ++row) {
                server::IncidentRow r;
                for (int k = 0; k < CQuellmarkDoc::kIncidentValues; ++k) {
                    r.values[std::size_t(k)] = m_doc.GetIncidentValue(row, k);
                }
                for (int k = 1; k <= CQuellmarkDoc::kIncidentTexts; ++k) {
                    r.texts[std::size_t(k - 1)] = m_doc.GetIncidentText(row, k);
                }
                out.BeginRow(22);
                out.Int(row);
                server::WriteIncidentFields(out, r);
            }
            out.End();
            m_incidentStream = std::move(out.Buffer());
        }
        return m_incidentStream;
    }

private:
    Bench() {
        m_database = "vora_bench_" + std::to_string(::getpid());
        m_conninfo = "dbname=" + m_database;
        {
            std::unique_ptr<server::Connection> admin = connect("dbname=postgres");
            exec(*admin, "DROP DATABASE IF EXISTS " + m_database);
            exec(*admin, "CREATE DATABASE " + m_database);
        }
        // Roles belong to the whole server: the bench's own.
        m_roles = {m_database + "_user", m_database + "_admin"};
        std::unique_ptr<server::Connection> db = connect(m_conninfo);
        std::string report;
        const auto ask = [](server::RolePasswords& passwords, std::string&) {
            passwords = {"admin-pw", "user-pw"};
            return true;
        };
        if (!server::InitSchema(*db, m_roles, ask, report)) {
            fail("schema: " + report);
        }
        testing_support::FillDocument(m_doc, g_cases, 42, Spread::TwentyYears);
        m_doc.SetPasswords("admin-pw", "user-pw"); // the import makes them the roles'
    }

    std::string m_database;
    std::string m_conninfo;
    server::Roles m_roles;
    CQuellmarkDoc m_doc{CQuellmarkDoc::NoFile{}};
    bool m_imported = false;
    std::string m_caseStream;
    std::string m_incidentStream;
};

// ---------------------------------------------------------------------------------------------
// Yardsticks: libpq alone, the bytes ready or thrown away.

bool rawCommand(PGconn* conn, const char* sql) {
    PGresult* r = PQexec(conn, sql);
    const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
    PQclear(r);
    return ok;
}

void rawCopyIn(PGconn* conn, const std::string& sql, const std::string& stream) {
    PGresult* start = PQexec(conn, sql.c_str());
    if (PQresultStatus(start) != PGRES_COPY_IN) {
        fail(sql + ": " + PQerrorMessage(conn));
    }
    PQclear(start);
    constexpr std::size_t kPiece = std::size_t(1) << 20;
    for (std::size_t at = 0; at < stream.size(); at += kPiece) {
        const std::size_t n = std::min(kPiece, stream.size() - at);
        if (PQputCopyData(conn, stream.data() + at, int(n)) != 1) {
            fail(std::string("COPY: ") + PQerrorMessage(conn));
        }
    }
    PQputCopyEnd(conn, nullptr);
    PGresult* end = PQgetResult(conn);
    if (PQresultStatus(end) != PGRES_COMMAND_OK) {
        fail(sql + ": " + PQerrorMessage(conn));
    }
    PQclear(end);
    while (PGresult* more = PQgetResult(conn)) {
        PQclear(more);
    }
}

// The import's COPY of incidents and cases from bytes already built, in one transaction.
void plainImport(server::Connection& db) {
    Bench& bench = Bench::Get();
    PGconn* conn = db.Raw();
    if (!rawCommand(conn, "BEGIN")) {
        fail("BEGIN");
    }
    rawCopyIn(conn,
              "COPY vora.incidents (row_index, " + server::IncidentColumnList() +
                  ", exact_texts) FROM STDIN (FORMAT binary)",
              bench.IncidentStream());
    rawCopyIn(conn,
              "COPY vora.cases (record_index, surgery_date, " + server::CaseColumnList() +
                  ", exact_texts) FROM STDIN (FORMAT binary)",
              bench.CaseStream());
    if (!rawCommand(conn, "COMMIT")) {
        fail(std::string("COMMIT: ") + PQerrorMessage(conn));
    }
}

std::uint64_t rawCopyOut(PGconn* conn, const std::string& sql) {
    PGresult* start = PQexec(conn, sql.c_str());
    if (PQresultStatus(start) != PGRES_COPY_OUT) {
        fail(sql + ": " + PQerrorMessage(conn));
    }
    PQclear(start);
    std::uint64_t bytes = 0;
    for (;;) {
        char* buffer = nullptr;
        const int n = PQgetCopyData(conn, &buffer, 0);
        if (n < 0) {
            break;
        }
        bytes += std::uint64_t(n);
        PQfreemem(buffer);
    }
    PGresult* end = PQgetResult(conn);
    if (PQresultStatus(end) != PGRES_COMMAND_OK) {
        fail(sql + ": " + PQerrorMessage(conn));
    }
    PQclear(end);
    while (PGresult* more = PQgetResult(conn)) {
        PQclear(more);
    }
    return bytes;
}

// The login's COPY of the same columns of incidents and cases, in one snapshot, thrown away.
std::uint64_t plainLoad(server::Connection& db) {
    PGconn* conn = db.Raw();
    if (!rawCommand(conn, "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")) {
        fail("BEGIN");
    }
    std::uint64_t bytes =
        rawCopyOut(conn, "COPY (SELECT row_index, " + server::IncidentColumnList() +
                             ", exact_texts FROM vora.incidents) TO STDOUT "
                             "(FORMAT binary)");
    bytes +=
        rawCopyOut(conn, "COPY (SELECT record_index, last_change, " + server::CaseColumnList() +
                             ", exact_texts FROM vora.cases) TO STDOUT (FORMAT binary)");
    rawCommand(conn, "COMMIT");
    return bytes;
}

// ---------------------------------------------------------------------------------------------

// Each import is paired with the plain COPY of the same rows right before it, each into an
// empty registry on a server that has written out what came before.
void BM_Import(benchmark::State& state) {
    Bench& bench = Bench::Get();
    bench.CaseStream();
    bench.IncidentStream();
    std::unique_ptr<server::Connection> db = connect(bench.Conninfo());
    const int pid = backendPid(*db);
    Takes plain, import;
    for (auto _ : state) {
        bench.Empty(*db);
        Meter p(pid);
        plainImport(*db);
        plain.Add(p.Stop());
        bench.Empty(*db);
        Meter m(pid);
        CString error;
        if (!server::ImportRegistry(*db, bench.Doc(), error)) {
            state.SkipWithError(error.ToUtf8().c_str());
            break;
        }
        const Took took = m.Stop();
        import.Add(took);
        state.SetIterationTime(took.wall);
    }
    bench.Imported(*db);
    plain.Report(state, "plain");
    import.Report(state, "import");
    state.counters["x_plain"] = median(import.wall) / median(plain.wall);
    state.counters["cases"] = bench.Doc().GetRecordCount();
}
BENCHMARK(BM_Import)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// The login: the whole registry into an empty document, and the rows of the list it shows
// first (every case, newest first). Each is paired with the plain COPY right before it.
void BM_Login(benchmark::State& state) {
    Bench& bench = Bench::Get();
    bench.EnsureImported();
    std::unique_ptr<server::Connection> db = connect(bench.Conninfo());
    const int pid = backendPid(*db);
    Takes plain, login;
    std::vector<double> display;
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        Meter p(pid);
        bytes = plainLoad(*db);
        plain.Add(p.Stop());
        Meter m(pid);
        auto doc = std::make_unique<CQuellmarkDoc>(CQuellmarkDoc::NoFile{});
        server::Versions versions;
        server::LoadNotes notes;
        CString error;
        if (!server::LoadRegistry(*db, *doc, versions, notes, error)) {
            state.SkipWithError(error.ToUtf8().c_str());
            break;
        }
        const double loaded = now();
        const int rows = doc->BuildDisplayIndex(1, 0, 0);
        display.push_back(now() - loaded);
        const Took took = m.Stop();
        login.Add(took);
        state.SetIterationTime(took.wall);
        if (rows != bench.Doc().GetRecordCount()) {
            state.SkipWithError("the list does not show every case");
            break;
        }
        // Freeing the cases happens at exit, not while the user waits for the list.
        doc.reset();
    }
    plain.Report(state, "plain");
    login.Report(state, "login");
    state.counters["display_index_s"] = median(display);
    state.counters["x_plain"] = median(login.wall) / median(plain.wall);
    state.counters["copy_MiB"] = double(bytes) / 1048576.0;
}
BENCHMARK(BM_Login)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// The program's own share of the login: the rows of the cases as the server sent them (taken
// once, kept in memory) read into a document as the login reads them, without a server.
void BM_ReadCaseRows(benchmark::State& state) {
    Bench& bench = Bench::Get();
    bench.EnsureImported();
    std::string stream;
    {
        std::unique_ptr<server::Connection> db = connect(bench.Conninfo());
        server::ServerError failed;
        const bool ok = db->CopyOut(
            "COPY (SELECT record_index, last_change, " + server::CaseColumnList() +
                ", exact_texts FROM vora.cases) TO STDOUT (FORMAT binary)",
            [&](std::string_view row) {
                stream.append(row);
                return true;
            },
            failed);
        if (!ok) {
            fail("COPY: " + failed.message.ToUtf8());
        }
    }
    const int n = bench.Doc().GetRecordCount();
    for (auto _ : state) {
        auto doc = std::make_unique<CQuellmarkDoc>(CQuellmarkDoc::NoFile{});
        CQuellmarkDoc::RecordList records(static_cast<std::size_t>(n));
        registry::TextArena arena;
        std::vector<std::int64_t> versions(std::size_t(n), -1);
        server::CopyReader reader;
        int replaced = 0;
        CString error;
        // In pieces of about a row, as libpq hands them out.
        constexpr std::size_t kPiece = 512;
        bool ok = true;
        for (std::size_t at = 0; ok && at < stream.size(); at += kPiece) {
            ok = reader.Feed(
                std::string_view(stream).substr(at, kPiece),
                [&](const std::vector<server::Field>& fields, CString& rowError) {
                    std::int32_t index = -1;
                    std::int64_t last = 0;
                    if (!server::ReadInt(fields[0], index) || index < 0 || index >= n ||
                        !server::ReadInt64(fields[1], last)) {
                        return false;
                    }
                    versions[std::size_t(index)] = last;
                    return server::ReadCaseFields(fields.data() + 2, records[std::size_t(index)],
                                                  replaced, rowError, &arena);
                },
                error);
        }
        if (!ok || !reader.Finish(error)) {
            state.SkipWithError(("rows: " + error.ToUtf8()).c_str());
            break;
        }
        const std::vector<std::uint32_t> order = server::ChangeOrder(versions);
        doc->AddRecords(std::move(records), std::move(arena), &order);
        benchmark::DoNotOptimize(doc->GetRecordCount());
        state.PauseTiming();
        doc.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations() * stream.size()));
}
BENCHMARK(BM_ReadCaseRows)->Unit(benchmark::kMillisecond)->Iterations(5);

// ---------------------------------------------------------------------------------------------
// Workstations

struct Workstation {
    Workstation(const std::string& conninfo, const server::Login& login) {
        std::unique_ptr<server::Connection> db = connect(conninfo, login);
        server::Versions versions;
        server::LoadNotes notes;
        CString error;
        if (!server::LoadRegistry(*db, doc, versions, notes, error)) {
            fail("load: " + error.ToUtf8());
        }
        server::ServerStore::Hooks hooks;
        hooks.changed = [this] { ++changesSeen; };
        store = std::make_unique<server::ServerStore>(conninfo, login, std::move(db), doc,
                                                      std::move(versions), std::move(hooks));
        if (!store->Start(error)) {
            fail("start: " + error.ToUtf8());
        }
        doc.SetStore(*store);
    }
    CQuellmarkDoc doc{CQuellmarkDoc::NoFile{}};
    std::unique_ptr<server::ServerStore> store;
    int changesSeen = 0;
};

struct Department {
    Workstation a{Bench::Get().Conninfo(), Bench::Get().Admin()};
    Workstation b{Bench::Get().Conninfo(), Bench::Get().Admin()};
};

Department& department() {
    static Department* d = [] {
        Bench::Get().EnsureImported();
        return new Department;
    }();
    return *d;
}

registry::JournalEntry correction(const CQuellmarkDoc& doc, std::mt19937& rng) {
    registry::JournalEntry e;
    e.kind = registry::JournalKind::Case;
    e.recordIndex = int(rng() % unsigned(doc.GetRecordCount()));
    e.record = testing_support::RealisticCase(rng, Spread::TwentyYears);
    e.record.SetnIncidentIndex(doc.RecordAt(e.recordIndex).GetnIncidentIndex());
    return e;
}

registry::JournalEntry newCase(std::mt19937& rng) {
    registry::JournalEntry e;
    e.kind = registry::JournalKind::Case;
    e.recordIndex = -1;
    e.record = testing_support::RealisticCase(rng, Spread::TwentyYears);
    e.record.SetnIncidentIndex(-1);
    return e;
}

bool confirm(Workstation& ws, registry::JournalEntry entry, CString& message) {
    registry::ChangeBase base = ws.doc.BaseOf(registry::TargetOf(entry));
    return ws.doc.Confirm(entry, base, message);
}

// What workstation b waits for: its socket, as the event loop watches it, until its document
// holds a change more; false when that takes more than a minute.
bool waitForChange(Workstation& b) {
    const int before = b.changesSeen;
    const double deadline = now() + 60;
    while (b.changesSeen == before) {
        const server::ServerStore::Wait wait = b.store->NextWait();
        pollfd p{wait.fd, short(wait.write ? POLLOUT : POLLIN), 0};
        const int left = int((deadline - now()) * 1000);
        if (left <= 0) {
            return false;
        }
        const int timeout = wait.timeoutMs < 0 ? left : std::min(left, wait.timeoutMs);
        if (::poll(&p, wait.fd < 0 ? 0 : 1, timeout) < 0) {
            return false;
        }
        b.store->OnReady();
    }
    return true;
}

// Confirmations of workstation a with 1,000,000 cases loaded, while b also follows the
// registry; b takes in what a did after each, outside the time.
void BM_Confirm(benchmark::State& state, bool adds) {
    Department& d = department();
    std::mt19937 rng(adds ? 11 : 12);
    std::vector<double> took;
    for (auto _ : state) {
        registry::JournalEntry entry = adds ? newCase(rng) : correction(d.a.doc, rng);
        const int count = d.a.doc.GetRecordCount();
        CString message;
        const double start = now();
        const bool kept = confirm(d.a, std::move(entry), message);
        const double seconds = now() - start;
        if (!kept || d.a.doc.GetRecordCount() != count + (adds ? 1 : 0)) {
            state.SkipWithError(("refused: " + message.ToUtf8()).c_str());
            break;
        }
        took.push_back(seconds);
        state.SetIterationTime(seconds);
        if (!waitForChange(d.b)) {
            state.SkipWithError("the other workstation did not see the change");
            break;
        }
    }
    state.counters["median_ms"] = median(took) * 1000;
    state.counters["max_ms"] =
        took.empty() ? 0 : *std::max_element(took.begin(), took.end()) * 1000;
    state.counters["cases"] = d.a.doc.GetRecordCount();
}
BENCHMARK_CAPTURE(BM_Confirm, correction, false)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(100);
BENCHMARK_CAPTURE(BM_Confirm, new_case, true)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(100);

// From a's confirmation returning to b's document holding the change, b waiting on its socket
// with poll() and calling OnReady as the event loop does.
void BM_OtherWorkstationSees(benchmark::State& state, bool adds) {
    Department& d = department();
    std::mt19937 rng(adds ? 21 : 22);
    std::vector<double> took;
    for (auto _ : state) {
        registry::JournalEntry entry = adds ? newCase(rng) : correction(d.a.doc, rng);
        const int index = entry.recordIndex;
        const CString procedure = entry.record.GetstrProcedure();
        const int count = d.b.doc.GetRecordCount();
        CString message;
        if (!confirm(d.a, std::move(entry), message)) {
            state.SkipWithError(("refused: " + message.ToUtf8()).c_str());
            break;
        }
        const double start = now();
        const bool seen = waitForChange(d.b);
        const double seconds = now() - start;
        const int at = adds ? count : index;
        if (!seen || d.b.doc.GetRecordCount() != count + (adds ? 1 : 0) ||
            d.b.doc.RecordAt(at).GetstrProcedure() != procedure) {
            state.SkipWithError("the other workstation did not see the change");
            break;
        }
        took.push_back(seconds);
        state.SetIterationTime(seconds);
    }
    state.counters["median_ms"] = median(took) * 1000;
    state.counters["max_ms"] =
        took.empty() ? 0 : *std::max_element(took.begin(), took.end()) * 1000;
}
BENCHMARK_CAPTURE(BM_OtherWorkstationSees, correction, false)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(50);
BENCHMARK_CAPTURE(BM_OtherWorkstationSees, new_case, true)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(50);

// Whether the PG* variables name a server that answers.
bool serverThere(std::string& why) {
    server::Connection db;
    CString error;
    if (!db.Open("dbname=postgres", error)) {
        why = error.ToUtf8();
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--cases=", 8) == 0) {
            g_cases = std::max(1, std::atoi(argv[i] + 8));
        } else {
            args.push_back(argv[i]);
        }
    }
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    std::string why;
    if (!serverThere(why)) {
        std::printf("ServerBench: skipped, no PostgreSQL server to measure against (run it as "
                    "`pg_virtualenv -t %s`): %s\n",
                    argv[0], why.c_str());
        return 0;
    }
    {
        // What the figures were measured with: a server whose commits wait for the disk or not
        // (pg_virtualenv turns fsync off unless told -o fsync=on).
        server::Connection db;
        CString error;
        db.Open("dbname=postgres", error);
        for (const char* setting : {"server_version", "fsync", "synchronous_commit",
                                    "shared_buffers", "server_encoding"}) {
            server::ServerError failed;
            std::optional<server::Result> r = db.Query(std::string("SHOW ") + setting, {}, failed);
            benchmark::AddCustomContext(setting, r && r->Rows() == 1 ? std::string(r->Value(0, 0))
                                                                     : std::string("?"));
        }
        benchmark::AddCustomContext("cases", std::to_string(g_cases));
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
