#pragma once
// The patient list export: every case of the registry, in entry order, as one comma-separated
// line of "vora_list.csv" for spreadsheets. The bytes are the texts as held, cp932, every field
// followed by a comma, every line ended by CR LF, nothing quoted.

#include "framework/File.h"
#include "framework/Progress.h"
#include "framework/String.h"
#include "registry/ListColumns.h"
#include "registry/QuellmarkDoc.h"

#include <functional>
#include <string>
#include <string_view>

namespace registry {

inline constexpr const char* kExportFileName = "vora_list.csv";

// The header line of the 78 column names, CR LF included.
const CString& ExportHeader();

// Appends value with exactly two decimals, as printf's "%.2f" gives it, for any float (nan and
// inf too).
void AppendFixed2(std::string& out, float value);

// Appends text so that it stays one field of one line: every comma becomes the full-width comma
// and every line break (CR LF, or a line feed alone) one full-width space. Nothing else changes.
void AppendCleaned(std::string& out, std::string_view text);

// Appends the line of case index (0-based), CR LF included.
void AppendCaseLine(std::string& out, const CQuellmarkDoc& doc, int index);

// Writes the header and the line of every case to file, a piece at a time. Throws
// fw::CancelledException once progress was cancelled.
void WriteCaseList(const CQuellmarkDoc& doc, fw::CFile& file,
                   fw::Progress& progress = fw::Progress::None());

// Replaces the file at path through save, which answers false with the reason in *reason, or
// throws fw::CancelledException when the user stopped it. On failure *error (when given) says
// in Japanese which file, which step and why, or that the export was cancelled, and that an
// earlier file at path was left as it was, or that none was made.
bool ExportReplacing(const std::string& path, CString* error,
                     const std::function<bool(CString* reason)>& save);

// Replaces the file at path with the export, as a whole or not at all, through the document's
// file calls. False when it failed or was cancelled, with *error saying in Japanese which file,
// which step and why, and that an earlier export at path was left as it was.
bool ExportCaseList(const CQuellmarkDoc& doc, const std::string& path = kExportFileName,
                    CString* error = nullptr, fw::Progress& progress = fw::Progress::None());

} // namespace registry
