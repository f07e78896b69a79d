#pragma once
// The patient list as a workbook, "vora_list.xlsx": the columns and rows of "vora_list.csv" on
// one sheet, each cell typed so that a spreadsheet shows a text as the text the user typed and
// a number as a number, never reading a text as a date, a time, a number or a formula.

#include "framework/Progress.h"
#include "framework/String.h"
#include "registry/CsvExport.h"
#include "registry/QuellmarkDoc.h"

#include <string>

namespace registry {

inline constexpr const char* kWorkbookFileName = "vora_list.xlsx";

// The most cases one sheet holds below its header row.
constexpr int kWorkbookMaxCases = 1048575;
// The most characters one cell holds, as a spreadsheet counts what it reads.
constexpr int kCellCharacters = 32767;

// The cells that a written workbook holds shortened (longer than a cell holds).
struct ShortenedCells {
    int count = 0;
    int firstRecord = 0; // record number of the first, from 1
    int firstColumn = 0; // its column, from 0, as ListColumnNames orders them
};

// Writes the workbook of doc to the file filePath, created or emptied, by name. Temporary files
// of the writing go into tmpDir and have no name there; all are closed again when this returns
// or throws. Throws fw::CFileException, naming reportName, when the file cannot be written, and
// fw::CancelledException once progress was cancelled. *shortened (when given) says which cells
// were shortened.
void WriteWorkbook(const CQuellmarkDoc& doc, const std::string& filePath, const std::string& tmpDir,
                   const std::string& reportName, fw::Progress& progress = fw::Progress::None(),
                   ShortenedCells* shortened = nullptr);

// Replaces the file at path with the workbook, as a whole or not at all, through the
// document's file calls. False when it failed or was cancelled: everything it made is gone
// again, and *error says in Japanese which file, why, and what became of an earlier file at
// path.
bool ExportWorkbook(const CQuellmarkDoc& doc, const std::string& path = kWorkbookFileName,
                    CString* error = nullptr, fw::Progress& progress = fw::Progress::None(),
                    ShortenedCells* shortened = nullptr);

// The notice after a written workbook: that it was written and, when cells were shortened, how
// many and where the first is.
CString WorkbookNotice(const ShortenedCells& shortened);

// A text cell's value as the workbook holds it: UTF-8, a line break as the spreadsheet's own
// (a line feed), and anything that a spreadsheet would read as the format's escape of a
// character ("_x0041_", "_x1_": an underscore, x, hex digits, an underscore) escaped itself so
// that it reads back unchanged.
std::string WorkbookText(std::string_view cp932);

// The same, at most kCellCharacters characters as a spreadsheet reads them (an escape is the
// one character it stands for): a longer text is its first characters and "…", and *cut
// (when given) is set.
std::string WorkbookCellText(std::string_view cp932, bool* cut = nullptr);

} // namespace registry
