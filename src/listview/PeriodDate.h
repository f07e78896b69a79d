#pragma once
// A day of the display period or of a count's limits, as the date dialog takes it: the local
// year, month and day a user typed, normalised the way the calendar does it (2006 / 2 / 30 is
// 2006 / 3 / 2), and its calendar time. Only the day is ever read back, never stored.

#include "framework/String.h"
#include "framework/Time32.h"

namespace listview {

struct PeriodDate {
    fw::Time32 time = 0; // 0: no date
    fw::LocalDate date;  // the normalised day; meaningful when time is not 0
};

// The day year / month / day, checked and converted at 12:00 local time, so that whether a
// day fits the 32-bit range does not depend on the hour the user confirms it. time is
// fw::kNoTime when it does not fit.
PeriodDate PeriodDateOf(int year, int month, int day);

// The day of a stored limit (0: none).
PeriodDate PeriodDateAt(fw::Time32 time);

// "指定無し" for no date, else "%d / %d / %d".
CString PeriodDateText(const PeriodDate& date);
inline CString PeriodDateText(fw::Time32 time) {
    return PeriodDateText(PeriodDateAt(time));
}

} // namespace listview
