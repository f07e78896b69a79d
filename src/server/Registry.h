#pragma once
// The whole registry between the server and a document: loaded at login in one snapshot,
// written into an empty registry by the import, and the versions a workstation keeps of what
// it holds, so that a correction of something another workstation changed meanwhile is seen.

#include "framework/String.h"
#include "registry/Journal.h"

#include <array>
#include <cstdint>
#include <vector>

class CQuellmarkDoc;

namespace server {

class Connection;

// The change number of the last change of each part of the registry a document holds.
struct Versions {
    std::vector<std::int64_t> cases; // by record index
    std::array<std::int64_t, registry::kMasterListCount> lists{};
    std::int64_t hospital = 0;
    std::int64_t lastChange = 0; // the newest change the document holds
};

// What loading found besides the registry.
struct LoadNotes {
    int replacedCharacters = 0; // characters Shift-JIS has no form for, shown as 〓
};

// Loads the whole registry into doc, which must be empty, as it stood at one moment. The
// passwords stay on the server: doc's are empty.
bool LoadRegistry(Connection& db, CQuellmarkDoc& doc, Versions& versions, LoadNotes& notes,
                  CString& error);

// Writes doc into the registry, which must be initialised and hold no case, incident row or
// list name, in one transaction: all or nothing.
bool ImportRegistry(Connection& db, const CQuellmarkDoc& doc, CString& error);

// After a list's names were written: its row takes them too, which records the change.
// $1 is the list's number; returns its last_change.
extern const char* const kListNamesUpdate;

// The order of the cases' last changes (case i changed as the result[i]-th), as
// CQuellmarkDoc::AddRecords takes it; equal numbers keep the cases' order.
std::vector<std::uint32_t> ChangeOrder(const std::vector<std::int64_t>& lastChanges);

} // namespace server
