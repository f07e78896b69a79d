#pragma once
// The society's coded preoperative comorbidities as a case holds them: 33 codes with their
// texts, their report codes and export fields, packed three to one integer. The comorbidity
// dialogs, the CSV export and the society report all read this one table.
//
// A packed code comes from the data file and may be damaged, so every function here takes any
// int: a slot whose digits do not make a code 1..33 is read as an empty slot.

#include "framework/String.h"

namespace registry {

constexpr int kPreopCodeCount = 33;
constexpr int kPreopSlotCount = 3;

constexpr bool IsPreopCode(int code) noexcept {
    return code >= 1 && code <= kPreopCodeCount;
}

// The text stored in a slot and appended to the comment; empty for 0 and outside 1..33.
const CString& PreopText(int code);
// The society report's two-character code ("1a".."9y"); empty for 0 and outside 1..33.
const CString& ReportCode(int code);
// The export field including its comma ("1a_,"); an empty field "," for 0 and outside 1..33.
const CString& ExportLabel(int code);

// slot 1 + 100 × slot 2 + 10000 × slot 3; a slot outside 0..33 packs as empty.
int PackPreop(const int slots[kPreopSlotCount]);
// Each slot from its own digits, as the export and the report read them.
void UnpackPreopSlots(int packed, int slots[kPreopSlotCount]);
// As the dialog reads them: the slots after the first empty one are empty too.
void UnpackPreopForDialog(int packed, int slots[kPreopSlotCount], int& count);

} // namespace registry
