#pragma once
// What a printed case list says about itself: which cases it holds (their count, the display
// period and the filter in force) and the day it was printed.

#include "framework/String.h"
#include "framework/Time32.h"
#include "registry/QuellmarkDoc.h"

#include <vector>

namespace listview {

// "症例一覧（N 件）", the period and the filter, one line each.
std::vector<CString> PrintTitleLines(int rowCount, fw::Time32 start, fw::Time32 end,
                                     const registry::CaseFilter& filter);
// The criteria in force as the filter dialog names them, or "なし".
CString FilterText(const registry::CaseFilter& filter);
// "印刷日 2026/12/9".
CString PrintDateText(const fw::LocalDate& day);

} // namespace listview
