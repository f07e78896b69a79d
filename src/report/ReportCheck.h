#pragma once
// The check that holds the society report back while a case of the year lacks an entry the
// society needs or gives a malformed line, and the list of those cases shown instead.

#include "framework/String.h"
#include "registry/QuellmarkDoc.h"

#include <string_view>
#include <vector>

namespace report {

// The place of an ASA physical status among "1".."6", "1E".."6E", or -1 for any other text.
int AsaIndex(const CString& asa);

// True when the code is one of its list (site 1..23, position 1..6, method 1..9).
bool IsSiteCode(int site);
bool IsPositionCode(int position);
bool IsMethodCode(int method);

// The first check, made while the cases are counted: no ASA status, a site, position or method
// that is not one of its list (0 = not entered), the age not entered, or an incident index that
// names no row of the incident table (whose line would report a cardiac arrest).
bool LacksRequiredEntry(const CQuellmarkDoc& doc, const CCaseRecord& record);

// A case line has 46 fields and so 45 separators.
constexpr int kCaseLineSeparators = 45;
int CountSeparators(std::string_view line);

// The second check, on the finished line: exactly 45 separator bytes (a 0x5F anywhere counts,
// the second byte of a double-byte character too), and a cause code that is complete, since
// underscores typed into a free text could otherwise make up for the missing cause fields.
bool IsWellFormedCaseLine(std::string_view line, bool completeCause);

// "以下の患者で入力項目に異常が検出されました。" and one line per listed case: month, day, ID
// and name.
CString AbnormalListText(const CQuellmarkDoc& doc, const std::vector<int>& abnormal);

} // namespace report
