#pragma once
// Checks a data file the way the program loads it at start-up, writing nothing, and prints a
// summary without patient data: `key: value` lines in UTF-8 ending in `status: ok` or
// `status: error: reason`.

#include <ostream>
#include <string>

namespace registry {

// Returns 0 when the file loads, 1 when it does not.
int VerifyDataFile(const std::string& path, std::ostream& out);

} // namespace registry
