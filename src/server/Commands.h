#pragma once
// The command line's work on a department server, each returning the program's exit status:
// making the schema, loading a data file into an empty registry, writing the registry into a
// data file. What they say goes to out (done) and err (failed), as UTF-8 for the terminal.

#include "server/Schema.h"

#include <iosfwd>
#include <string>

namespace server {

// The two roles' passwords: on a terminal (terminal true) each asked twice without echo, else
// two lines of in, the administrator's first. False with why.
bool ReadRolePasswords(std::istream& in, bool terminal, std::ostream& prompt,
                       RolePasswords& passwords, std::string& why);

// --init-server: makes the schema in an empty database with the two roles, their passwords
// read as ReadRolePasswords does, or upgrades an older one. 0 also when there was nothing to
// do; 1 when it could not be done.
int InitServerCommand(const std::string& conninfo, const Roles& roles, std::istream& in,
                      bool terminal, std::ostream& out, std::ostream& err);

// --import-data FILE: 0 when the registry holds the file's data and the roles its passwords,
// 1 otherwise (nothing changed).
int ImportDataCommand(const std::string& conninfo, const std::string& file, std::ostream& out,
                      std::ostream& err);

// --export-data FILE: writes the registry as a data file, replacing FILE only when complete,
// with the two passwords read as ReadRolePasswords does (the server keeps only their hashes).
int ExportDataCommand(const std::string& conninfo, const std::string& file, std::istream& in,
                      bool terminal, std::ostream& out, std::ostream& err);

} // namespace server
