#pragma once
// The fixed code lists of a case: anesthesia method, surgical site, position, blood product
// unit and sex, with the texts the form and the list show and the labels the CSV export writes.
// Code 0 means not entered and has the empty text; so has every code outside its list.

#include "framework/String.h"

namespace registry {

constexpr int kMethodCount = 9;
constexpr int kSiteCount = 23;
constexpr int kPositionCount = 6;

const CString& MethodText(int code);
const CString& SiteText(int code);
const CString& PositionText(int code);
const CString& MethodLabel(int code);
const CString& SiteLabel(int code);
const CString& PositionLabel(int code);

// The code of a form text: its place in the list, by whole-text comparison; 0 when none.
int MethodCode(const CString& text);
int SiteCode(const CString& text);
int PositionCode(const CString& text);

// Sex: 1 is male, every other value reads as female.
constexpr int kSexFemale = 0;
constexpr int kSexMale = 1;
const CString& SexText(int sex);
int SexCode(const CString& text);

// Blood product units: 1 "g(ml)", 2 "単位"; the form stores 2 for any text but "g(ml)", and
// shows codes other than 1 and 2 as the empty text.
constexpr int kUnitGramMl = 1;
constexpr int kUnitUnits = 2;
const CString& UnitText(int unit);
int UnitCode(const CString& text);

// The ASA physical status choices of the form, "1" to "6" and "1E" to "6E".
constexpr int kAsaCount = 12;
const CString& AsaText(int i);

} // namespace registry
