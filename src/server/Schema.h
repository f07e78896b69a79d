#pragma once
// The registry's tables on a department's PostgreSQL server, in the schema "vora", and the
// steps that make and upgrade them. Every write to a registry table takes the registry's
// one write lock and is numbered from one sequence, and a trigger writes it into the change
// log and tells the listening workstations: the log is the order every workstation applies.

#include "framework/String.h"

#include <functional>
#include <string>
#include <string_view>

namespace server {

class Connection;

// The version of the schema this program makes and works with.
constexpr int kSchemaVersion = 2;

// The registry's two login roles of PostgreSQL, whose passwords are those of the login.
struct Roles {
    std::string user = "vora_user";
    std::string admin = "vora_admin";
};
// Their passwords as typed (UTF-8).
struct RolePasswords {
    std::string admin;
    std::string user;
};
// The number of the advisory lock every write transaction takes first.
constexpr long long kWriteLock = 0x766f7261; // "vora"
// The channel the change log's trigger notifies.
constexpr std::string_view kChangeChannel = "vora_change";

// The kinds of the change log, as the journal numbers them, and incident rows of their own.
enum ChangeKind : int {
    kChangeCase = 1,
    kChangeList = 2,
    kChangePasswords = 3,
    kChangeHospital = 4,
    kChangeIncident = 6,
};

// What a database holds: nothing of ours (0), our schema at a version, or a schema "vora"
// that is not ours (-1).
int SchemaVersionOf(Connection& db);

// What keeps the program from working on a database whose schema is at version (as
// SchemaVersionOf gives it), in Japanese; empty when it is the one this program works with.
CString SchemaProblem(int version);

// Makes the schema in a database that has none, in one transaction, with the two roles (made
// when missing) and the passwords ask gives (false with why: nothing is made); upgrades an
// older one, whose passwords become the roles'. The text for the user says what was done
// ("作成しました", "変更はありません"); false with the reason when it could not be done (also when
// the schema is newer than this program).
bool InitSchema(Connection& db, const Roles& roles,
                const std::function<bool(RolePasswords&, std::string& why)>& ask,
                std::string& report);
// Sets a role's password, hashed here, through the schema's function for it (inside the
// caller's transaction, if any).
bool SetRolePassword(Connection& db, const std::string& role, const std::string& password,
                     CString& error);
// The roles the registry of db was made with; false when db holds none.
bool RolesOf(Connection& db, Roles& roles);

} // namespace server
