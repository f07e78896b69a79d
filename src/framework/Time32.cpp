#include "framework/Time32.h"

#include <ctime>
#include <limits>

namespace fw {

LocalDateTime LocalDateTimeOf(Time32 t) {
    std::time_t tt = t;
    std::tm tm{};
    if (!localtime_r(&tt, &tm)) {
        return {1970, 1, 1, 0, 0, 0};
    }
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

LocalDate LocalDateOf(Time32 t) {
    LocalDateTime dt = LocalDateTimeOf(t);
    return {dt.year, dt.month, dt.day};
}

Time32 MakeTime32(int year, int month, int day, int hour, int minute, int second) {
    // Guard the arithmetic below before doing it: tm_year is year - 1900 and tm_mon month - 1,
    // both in an int. Such dates lie far outside the 32-bit range anyway.
    if (year < std::numeric_limits<int>::min() + 1900 ||
        month < std::numeric_limits<int>::min() + 1) {
        return kNoTime;
    }
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    if (t < 0 || t > std::numeric_limits<Time32>::max()) {
        return kNoTime;
    }
    return Time32(t);
}

Time32 Now32() {
    std::time_t t = std::time(nullptr);
    if (t < 0 || t > std::numeric_limits<Time32>::max()) {
        return kNoTime;
    }
    return Time32(t);
}

LocalDateTime LocalNow() {
    std::time_t tt = std::time(nullptr);
    std::tm tm{};
    localtime_r(&tt, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

} // namespace fw
