#pragma once
// The annual report file for the national society: the hospital's figures for one calendar year
// and one coded line per case of that year, "_"-separated cp932 text written to KRV<year+1>.txt.
//
// A run: count the cases of the year (TallyYear), ask for the two annual figures, build the text
// (BuildReportText), check every case line, and write the file only when no case is abnormal.
// RunSocietyReport does all of it; the windows only ask for the figures and show its answer.

#include "framework/String.h"
#include "registry/CaseCodes.h"
#include "registry/QuellmarkDoc.h"
#include "report/HospitalInfo.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace report {

// Age groups A..G, each for males then females.
constexpr int kAgeGroupCount = 7;
constexpr int kAgeSexBuckets = 2 * kAgeGroupCount;

// What the pass over the cases finds for the aggregation year. The counts hold only codes of
// their lists; a code outside its list is counted nowhere.
struct ReportTally {
    int year = 0;
    int counted = 0;                              // cases of the year that are not withheld
    int withheld = 0;                             // cases of the year withheld from the society
    std::array<int, kAgeSexBuckets> ageSex{};     // Am, Af, Bm, Bf, ... Gm, Gf
    std::array<int, registry::kAsaCount> asa{};   // "1".."6", "1E".."6E"
    std::array<int, registry::kSiteCount> site{}; // by site code - 1
    std::array<int, registry::kPositionCount> position{};
    std::array<int, registry::kMethodCount> method{};
    std::vector<int> incidentCases; // record positions, in record order
    std::vector<int> plainCases;
    std::vector<int> abnormal; // record positions in the order they failed a check
};

// Counts the cases whose local surgery year is year and sorts them into incident and plain
// cases; each counted case that lacks a required entry goes onto the abnormal list.
ReportTally TallyYear(const CQuellmarkDoc& doc, int year);

// 'A'..'G' by the age in years and months; '\0' for a negative age.
char AgeGroupLetter(int years, int months);

const CString& HospitalHeaderLine(); // ends in CR LF
const CString& CaseHeaderLine();     // no line end of its own
// The 86 fields of the hospital, ending in CR LF. A region outside its list loses its field;
// RunSocietyReport never writes such a line.
CString HospitalValueLine(const HospitalInfo& info, const ReportTally& tally,
                          const AnnualFigures& figures);
// The 46 fields of one case, without line breaks.
CString CaseLine(const CQuellmarkDoc& doc, const CCaseRecord& record);

// The whole report: the two hospital lines, the case header, then CR LF and a case line for
// every incident case and then every plain case. Each case line that fails the line check is
// appended to tally.abnormal.
CString BuildReportText(const CQuellmarkDoc& doc, const HospitalInfo& info, ReportTally& tally,
                        const AnnualFigures& figures);

// "KRV%d.txt" with the year after the aggregation year, computed without overflow.
std::string ReportFileName(int year);

// Replaces the report file of year in folder (the working directory when empty) through the
// document's file calls. False with *error telling which file failed and why; an existing
// file then stays as it was.
bool SaveReportFile(const CQuellmarkDoc& doc, const CString& text, int year,
                    CString* error = nullptr, const std::string& folder = {});

// Asks for the annual figures of a run, with the counted cases at hand; false when cancelled.
using AskAnnualFigures = std::function<bool(const ReportTally& tally, AnnualFigures& figures)>;

// One report run for year: the text the report display shows (the written report, the list of
// abnormal cases, why the file could not be written, or why the hospital line cannot be made),
// or nothing at all when the annual figures were cancelled.
std::optional<CString> RunSocietyReport(const CQuellmarkDoc& doc, int year,
                                        const AskAnnualFigures& askFigures,
                                        const std::string& folder = {});

} // namespace report
