#pragma once
// The hospital's figures at the head of the society report: the six the document keeps (type,
// region, beds and three staff numbers) and the two typed afresh on every report run.

#include "framework/String.h"
#include "registry/QuellmarkDoc.h"

namespace report {

// The entries of the type list (index 0..5, written as index + 1) and of the region list
// (index 0..7, written as the letters a..h).
constexpr int kHospitalTypeCount = 6;
constexpr int kRegionCount = 8;
// The largest bed count, staff number, year's operations or rotators the dialogs take; none is
// below 0.
constexpr int kFigureMax = 1000000;

struct HospitalInfo {
    int type = 0;
    int location = 0;
    int beds = 0;
    float specialists = 0; // full-time specialists
    float fullTime = 0;    // full-time anesthesiologists
    float partTime = 0;    // part-time anesthesiologists
};

HospitalInfo HospitalInfoOf(const CQuellmarkDoc& doc);
// Confirms info as the document's hospital information through its store (base: the version
// the dialog started from); nothing is kept when nothing changed. False with message when the
// store refused it.
bool StoreHospitalInfo(CQuellmarkDoc& doc, const HospitalInfo& info, registry::ChangeBase& base,
                       CString& message);

// A type or region outside its list (only a damaged data file holds one) would drop a field
// from the report's hospital line.
bool IsReportableHospital(const HospitalInfo& info);
// The region's report letter, '\0' outside the list.
char RegionLetter(int location);

// What the report display says instead of the report when the hospital line cannot be written.
const CString& BadHospitalInfoText();

// The two figures of one report run that the data file does not keep.
struct AnnualFigures {
    int operations = 0; // annual number of operations
    float rotators = 0; // number of rotators
};

} // namespace report
