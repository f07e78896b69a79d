#pragma once
// The SQL of each version of the registry's schema.

namespace server {

// Makes the schema "vora" at version 1 in a database without it; the rows of the passwords,
// the hospital information and the code labels are the program's to add.
const char* SchemaVersion1Sql();

} // namespace server
