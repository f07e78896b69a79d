#include "server/ServerTestSupport.h"

#include "server/Schema.h"
#include "support/CaseBuilder.h"

#include <atomic>
#include <unistd.h>

namespace testing_support {

namespace {

std::atomic<int> g_databases{0};

void run(server::Connection& db, const std::string& sql) {
    server::ServerError error;
    ASSERT_TRUE(db.Exec(sql, error)) << sql << ": " << error.message.ToUtf8();
}

} // namespace

void ServerTest::SetUp() {
    if (!std::getenv("PGHOST")) {
        GTEST_SKIP() << "no PostgreSQL server (run under pg_virtualenv)";
    }
    m_database = "vora_test_" + std::to_string(::getpid()) + "_" + std::to_string(++g_databases);
    m_conninfo = "dbname=" + m_database;
    // Roles belong to the whole server: each test has its own.
    m_roles = {m_database + "_user", m_database + "_admin"};
    server::Connection admin;
    CString error;
    ASSERT_TRUE(admin.Open("dbname=postgres", error)) << error.ToUtf8();
    run(admin, "DROP DATABASE IF EXISTS " + m_database);
    run(admin, "CREATE DATABASE " + m_database);
    std::unique_ptr<server::Connection> db = Connect();
    std::string report;
    const auto ask = [](server::RolePasswords& passwords, std::string&) {
        passwords = {"admin-pw", "user-pw"};
        return true;
    };
    ASSERT_TRUE(server::InitSchema(*db, m_roles, ask, report)) << report;
}

void ServerTest::TearDown() {
    if (m_database.empty()) {
        return;
    }
    server::Connection admin;
    CString error;
    if (admin.Open("dbname=postgres", error)) {
        server::ServerError ignored;
        admin.Exec("DROP DATABASE IF EXISTS " + m_database + " WITH (FORCE)", ignored);
        admin.Exec("DROP ROLE IF EXISTS " + m_roles.user + ", " + m_roles.admin, ignored);
    }
}

std::unique_ptr<server::Connection> ServerTest::Connect(const server::Login& login) {
    auto db = std::make_unique<server::Connection>();
    CString error;
    EXPECT_TRUE(db->Open(m_conninfo, error, login)) << error.ToUtf8();
    return db;
}

void ServerTest::Sql(const std::string& sql) {
    std::unique_ptr<server::Connection> db = Connect();
    run(*db, sql);
}

std::unique_ptr<CQuellmarkDoc> ServerTest::Load(server::Versions* versions) {
    std::unique_ptr<server::Connection> db = Connect();
    auto doc = std::make_unique<CQuellmarkDoc>(CQuellmarkDoc::NoFile{});
    server::Versions own;
    server::LoadNotes notes;
    CString error;
    EXPECT_TRUE(server::LoadRegistry(*db, *doc, versions ? *versions : own, notes, error))
        << error.ToUtf8();
    return doc;
}

Workstation::Workstation(const std::string& conninfo, const server::Login& login) {
    auto db = std::make_unique<server::Connection>();
    CString error;
    EXPECT_TRUE(db->Open(conninfo, error, login)) << error.ToUtf8();
    server::Versions versions;
    server::LoadNotes notes;
    EXPECT_TRUE(server::LoadRegistry(*db, doc, versions, notes, error)) << error.ToUtf8();
    server::ServerStore::Hooks hooks;
    hooks.changed = [this] { ++changesSeen; };
    store = std::make_unique<server::ServerStore>(conninfo, login, std::move(db), doc,
                                                  std::move(versions), std::move(hooks));
    EXPECT_TRUE(store->Start(error)) << error.ToUtf8();
    doc.SetStore(*store);
}

bool ConfirmAt(Workstation& ws, registry::JournalEntry change, CString* message) {
    registry::ChangeBase base = ws.doc.BaseOf(registry::TargetOf(change));
    CString why;
    const bool kept = ws.doc.Confirm(change, base, why);
    if (message) {
        *message = why;
    }
    return kept;
}

registry::JournalEntry NewCase(const CQuellmarkDoc& doc, const char* nameUtf8, int year,
                               bool incident) {
    registry::JournalEntry e;
    e.kind = registry::JournalKind::Case;
    e.recordIndex = -1;
    e.record = BlankCase(nameUtf8, year, 5, 6);
    e.record.SetnIncidentIndex(-1);
    if (incident) {
        e.incidentWritten = true;
        e.record.SetnIncidentIndex(doc.GetIncidentCount());
        e.incidentValues[0] = 3;
        e.incidentValues[16] = 1;
        CString::FromUtf8("換気困難", e.incidentTexts[0]);
    }
    return e;
}

registry::JournalEntry Correction(const CQuellmarkDoc& doc, int index, const char* procedureUtf8) {
    registry::JournalEntry e;
    e.kind = registry::JournalKind::Case;
    e.recordIndex = index;
    e.record = doc.GetRecord(index);
    CString procedure;
    CString::FromUtf8(procedureUtf8, procedure);
    e.record.SetstrProcedure(procedure);
    return e;
}

} // namespace testing_support
