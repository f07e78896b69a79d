#pragma once
// A database of its own for each test on the PostgreSQL server the tests run beside
// (pg_virtualenv sets PGHOST, PGPORT, PGUSER and PGPASSWORD), with the registry's schema made.

#include "registry/QuellmarkDoc.h"
#include "server/Connection.h"
#include "server/Registry.h"
#include "server/Schema.h"
#include "server/ServerStore.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace testing_support {

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new connection to the test's database: as the database's owner, or with login.
    std::unique_ptr<server::Connection> Connect(const server::Login& login = {});
    // The registry's roles of this test and their passwords.
    server::Login Admin() const { return {m_roles.admin, "admin-pw"}; }
    server::Login User() const { return {m_roles.user, "user-pw"}; }
    // Runs sql on the test's database; fails the test when it does not run.
    void Sql(const std::string& sql);
    // The whole registry as a workstation loads it at login.
    std::unique_ptr<CQuellmarkDoc> Load(server::Versions* versions = nullptr);

    std::string m_database;
    std::string m_conninfo;
    server::Roles m_roles;
};

// A workstation: its document loaded from the server and its store.
struct Workstation {
    Workstation(const std::string& conninfo, const server::Login& login);
    CQuellmarkDoc doc{CQuellmarkDoc::NoFile{}};
    std::unique_ptr<server::ServerStore> store;
    int changesSeen = 0; // calls of the store's changed hook
};

// Confirms change through ws as a dialog would, starting from what ws holds of its target.
bool ConfirmAt(Workstation& ws, registry::JournalEntry change, CString* message = nullptr);

// A new case with a name and date; with incident, an incident of its own in the next row.
registry::JournalEntry NewCase(const CQuellmarkDoc& doc, const char* nameUtf8, int year,
                               bool incident = false);
// The case at index of doc with its procedure changed to procedureUtf8.
registry::JournalEntry Correction(const CQuellmarkDoc& doc, int index, const char* procedureUtf8);

} // namespace testing_support
