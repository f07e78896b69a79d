#pragma once
// The data folder the program works in.

#include "framework/FilePolicy.h"

#include <string>

namespace fw {

// mkdir -p, the folders made getting the folder mode and group of policy: 0 when path is a
// folder afterwards (one that was there keeps its permissions), else the error number.
// Something else in the place of a folder on the way fails later, when it is used as one.
int MakeFolders(const std::string& path, const FilePolicy& policy);

// Makes path the working directory. With make, a missing folder and its missing parents are
// made first, readable by their owner only (it holds patient data); an existing folder keeps
// its permissions. False when it failed, with *error saying in Japanese (UTF-8, for the
// terminal) which folder and why.
bool EnterFolder(const std::string& path, bool make, std::string* error);

} // namespace fw
