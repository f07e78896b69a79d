#include "listview/PeriodDate.h"

namespace listview {

PeriodDate PeriodDateOf(int year, int month, int day) {
    PeriodDate result;
    result.time = fw::MakeTime32(year, month, day, 12, 0, 0);
    if (result.time == 0) {
        // Noon of 1970 / 1 / 1 where local time is twelve hours ahead: time 0 would read as no
        // date, so the day is taken a second later.
        result.time = fw::MakeTime32(year, month, day, 12, 0, 1);
    }
    if (result.time != fw::kNoTime) {
        result.date = fw::LocalDateOf(result.time);
    }
    return result;
}

PeriodDate PeriodDateAt(fw::Time32 time) {
    PeriodDate result;
    result.time = time;
    if (time != 0) {
        result.date = fw::LocalDateOf(time);
    }
    return result;
}

CString PeriodDateText(const PeriodDate& date) {
    if (date.time == 0) {
        return "指定無し"_sj;
    }
    return CString::Formatted("%d / %d / %d", date.date.year, date.date.month, date.date.day);
}

} // namespace listview
