#pragma once
// 32-bit calendar times in local time, as the data file stores surgery dates: seconds since
// 1970-01-01 00:00 UTC that fit a signed 32-bit value. Only the local year, month and day of a
// stored time are ever read back.

#include <cstdint>

namespace fw {

using Time32 = std::int32_t;

// What the C library's mktime answers when a date cannot be represented.
constexpr Time32 kNoTime = -1;

struct LocalDate {
    int year = 1970;
    int month = 1;
    int day = 1;
    friend bool operator==(const LocalDate&, const LocalDate&) = default;
};

struct LocalDateTime {
    int year, month, day, hour, minute, second;
};

// A date as one integer that orders as year, then month, then day.
using PackedDate = std::int32_t;
constexpr PackedDate PackDate(const LocalDate& d) noexcept {
    return (d.year << 9) | (d.month << 5) | d.day;
}
constexpr LocalDate UnpackDate(PackedDate p) noexcept {
    return {p >> 9, (p >> 5) & 15, p & 31};
}

LocalDate LocalDateOf(Time32 t);
LocalDateTime LocalDateTimeOf(Time32 t);
inline PackedDate PackedLocalDateOf(Time32 t) {
    return PackDate(LocalDateOf(t));
}

// Local year, month, day and time of day to a calendar time the way mktime does it: months
// and days out of range carry into the next month or year. kNoTime when the result lies
// before 1970-01-01 00:00 UTC or after 2038-01-19 03:14:07 UTC.
Time32 MakeTime32(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// The current time, or kNoTime once it no longer fits 32 bits.
Time32 Now32();

// The current local date and time, for forms that start from today.
LocalDateTime LocalNow();

} // namespace fw
