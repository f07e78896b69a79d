#include "framework/LocalDates.h"

#include <ctime>
#include <limits>

namespace fw {
namespace {

constexpr std::int64_t kDay = 86400;
constexpr std::int64_t kFirstDay = -(std::int64_t(1) << 31) / kDay - 1;
constexpr std::int64_t kLastDay = ((std::int64_t(1) << 31) - 1) / kDay;
constexpr std::int32_t kNotLooked = std::numeric_limits<std::int32_t>::min();
// The offset changes within the day: every time of it goes to the C library.
constexpr std::int32_t kChanging = kNotLooked + 1;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - (a % b < 0 ? 1 : 0);
}

// The civil date of a count of days since 1970-01-01 (proleptic Gregorian).
LocalDate civilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = floorDiv(z, 146097);
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int day = int(doy - (153 * mp + 2) / 5 + 1);
    const int month = int(mp < 10 ? mp + 3 : mp - 9);
    return {int(yoe + era * 400 + (month <= 2 ? 1 : 0)), month, day};
}

// True when the C library's local time of t is t + offset read as UTC, to the second.
bool shiftedBy(std::int64_t t, std::int32_t& offset) {
    const std::time_t tt = std::time_t(t);
    std::tm tm{};
    if (!localtime_r(&tt, &tm)) {
        return false;
    }
    offset = std::int32_t(tm.tm_gmtoff);
    const std::int64_t local = t + offset;
    const std::int64_t days = floorDiv(local, kDay);
    const std::int64_t second = local - days * kDay;
    const LocalDate d = civilFromDays(days);
    return d.year == tm.tm_year + 1900 && d.month == tm.tm_mon + 1 && d.day == tm.tm_mday &&
           second == tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec;
}

} // namespace

std::int32_t LocalDates::offsetOfDay(std::int64_t day) {
    if (m_offset.empty()) {
        m_offset.assign(std::size_t(kLastDay - kFirstDay + 1), kNotLooked);
    }
    std::int32_t& known = m_offset[std::size_t(day - kFirstDay)];
    if (known == kNotLooked) {
        // The same offset at the first and the last second of the day holds for the whole of
        // it: no zone changes its offset twice within a day and back. A zone whose local time
        // is not a plain shift of UTC (one counting leap seconds) fails the check and is asked
        // for every time.
        std::int32_t first = 0;
        std::int32_t last = 0;
        known =
            shiftedBy(day * kDay, first) && shiftedBy(day * kDay + kDay - 1, last) && first == last
                ? first
                : kChanging;
    }
    return known;
}

PackedDate LocalDates::Of(Time32 t) {
    const std::int32_t offset = offsetOfDay(floorDiv(t, kDay));
    if (offset == kChanging) {
        return PackedLocalDateOf(t);
    }
    return PackDate(civilFromDays(floorDiv(std::int64_t(t) + offset, kDay)));
}

} // namespace fw
