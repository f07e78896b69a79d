#pragma once
// The SQL of each version of the registry's schema.

#include <string>

namespace server {

// Makes the schema "vora" at version 1 in a database without it; the rows of the passwords,
// the hospital information and the code labels are the program's to add.
const char* SchemaVersion1Sql();

// Takes version 1 to version 2: the passwords become those of two login roles of PostgreSQL
// (userRole and adminRole, quoted identifiers, their names quoted as literals too), which
// the grants hold to what each may do; every change leaves a row in vora.history that no role
// of the registry can change. caseColumns and incidentColumns are the columns a workstation
// writes. The roles must exist; the passwords table is dropped.
std::string SchemaVersion2Sql(const std::string& userRole, const std::string& adminRole,
                              const std::string& userName, const std::string& adminName,
                              const std::string& caseColumns, const std::string& incidentColumns);

} // namespace server
