#pragma once
// The patient list as a workbook, "vora_list.xlsx": the columns and rows of "vora_list.csv" on
// one sheet, each cell typed so that a spreadsheet shows a text as the text the user typed and
// a number as a number, never reading a text as a date, a time, a number or a formula.

#include "framework/String.h"
#include "registry/QuellmarkDoc.h"

#include <string>

namespace registry {

inline constexpr const char* kWorkbookFileName = "vora_list.xlsx";

// The most cases one sheet holds below its header row.
constexpr int kWorkbookMaxCases = 1048575;

// Writes the workbook of doc to the file filePath, created or emptied, by name. Temporary files
// of the writing go into tmpDir and are removed as they are made. Throws fw::CFileException,
// naming reportName, when a cell or the file cannot be written.
void WriteWorkbook(const CQuellmarkDoc& doc, const std::string& filePath, const std::string& tmpDir,
                   const std::string& reportName);

// Replaces the file at path with the workbook, as a whole or not at all, through the
// document's file calls. False when it failed, with *error saying in Japanese which file,
// which step and why, and what became of an earlier file at path.
bool ExportWorkbook(const CQuellmarkDoc& doc, const std::string& path = kWorkbookFileName,
                    CString* error = nullptr);

// A text cell's value as the workbook holds it: UTF-8, a line break as the spreadsheet's own
// (a line feed), and a text that looks like the format's escape of a character ("_x0041_")
// escaped itself so that it reads back unchanged.
std::string WorkbookText(std::string_view cp932);

} // namespace registry
