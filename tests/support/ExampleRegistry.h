#pragma once
// The example registry that the user's guide shows: invented patients only, always the same
// bytes, so that its pictures change only when the program's windows do.

#include "registry/QuellmarkDoc.h"

namespace testing_support {

constexpr int kExampleCaseCount = 300;
// Every case of this year is complete, so its society report is written.
constexpr int kExampleCompleteYear = 2025;
// Three cases of this year lack an entry the society needs (the ASA status, the method, the
// age), so its report lists them instead.
constexpr int kExampleIncompleteYear = 2024;

// 300 cases dated from January 2024 to November 2026 in the order they were entered; the last
// and newest, at the top of the list, has every field and every sub-dialog filled. Also the
// master lists, the hospital information, a few incidents, drug incident notes and withheld
// cases.
void FillExampleDocument(CQuellmarkDoc& doc);

} // namespace testing_support
