#pragma once
// The data folder the program works in.

#include <string>

namespace fw {

// Makes path the working directory, creating it and any missing parent first, readable by its
// owner only (it holds patient data); an existing folder keeps its permissions. False when it
// failed, with *error saying in Japanese (UTF-8, for the terminal) which folder and why.
bool EnterFolder(const std::string& path, std::string* error);

} // namespace fw
