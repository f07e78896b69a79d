#pragma once
// The classification of an incident: 17 small integer codes, the names of their values, the help
// lists the entry dialog shows while they are typed, and the letters the society report writes.
//
// The codes are stored exactly as typed, without any range test, so every function here accepts
// any int in every position: a value outside its list has no name and no letter.

#include "framework/String.h"

namespace incident {

constexpr int kValueCount = 17;
constexpr int kTextCount = 3;

// Positions of the codes in an incident row.
constexpr int kCategory = 0;
constexpr int kTypeDetail = 1;
constexpr int kOnset = 2;
constexpr int kPreventability = 3;
constexpr int kOutcome = 4;
constexpr int kCause1 = 5;
constexpr int kCause2 = 6;
constexpr int kCause3 = 7;
constexpr int kFirstFactor = 8;
constexpr int kFactorCount = 9;

// Label of code k (0..16) and of text number 1..3 in the entry dialog; empty outside.
const CString& ValueLabel(int k);
const CString& TextLabel(int number);

// Name of values[k], read in the list that the codes above it select (the category for the
// type detail, cause 1 for cause 2, cause 1 and cause 2 for cause 3); empty when there is none.
const CString& ValueName(int k, const int values[kValueCount]);

// The names of all 17 codes at once.
void IncidentNames(const int values[kValueCount], CString names[kValueCount]);

// Help list of field k as the dialog shows it, or nullptr when the codes above it select no list
// (the dialog then keeps the help it showed before).
const CString* HelpText(int k, const int values[kValueCount]);

// Report letters, each one letter or empty when the value has none.
CString CategoryLetter(int category);
CString TypeDetailLetter(int category, int detail);
CString PreventabilityLetter(int preventability);
CString OutcomeLetter(int outcome);

// True when cause 1, cause 2 and cause 3 form a combination that has a complete report code.
// The report line of any other combination is short of separators; the report check can ask
// this directly instead of relying on the count alone, which typed underscores can make up.
bool IsCompleteCause(const int values[kValueCount]);

// The cause fields as the report writes them, each followed by "_": "A_4_x_", "C_5_y_". When
// the combination is not complete, only the cause 1 and cause 2 fields when these two are valid
// ("A_1_"), else the outcome field once more (its letter and "_").
CString CauseReportFields(const int values[kValueCount]);

// The nine factor fields: "%d_" each when cause 1 is 0, else nine bare separators.
CString FactorReportFields(const int values[kValueCount]);

// The report fields from category to the last factor, each followed by "_"; the three addenda
// that end a report line are the caller's.
CString IncidentReportFields(const int values[kValueCount]);

} // namespace incident
