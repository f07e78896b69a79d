// Local dates of many times at once, against the C library's date of each time.

#include "framework/LocalDates.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <random>
#include <string>

namespace {

// Runs a test in another zone and returns to the one the tests run in.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            m_old = old;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope() {
        if (m_old) {
            setenv("TZ", m_old->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    std::optional<std::string> m_old;
};

// Zones with summer time changed at night, by half an hour, across midnight, a day skipped,
// and one counting leap seconds, whose local time is no plain shift of UTC.
TEST(LocalDatesTest, EveryTimeGetsTheDateTheCLibraryGives) {
    const char* zones[] = {"Asia/Tokyo",          "UTC",
                           "Europe/Berlin",       "America/Santiago",
                           "Australia/Lord_Howe", "America/St_Johns",
                           "Pacific/Apia",        "right/Asia/Tokyo"};
    for (const char* zone : zones) {
        ZoneScope scope(zone);
        fw::LocalDates dates;
        auto check = [&](fw::Time32 t) {
            ASSERT_EQ(dates.Of(t), fw::PackedLocalDateOf(t)) << zone << " " << t;
        };
        check(INT32_MIN);
        check(INT32_MAX);
        check(0);
        check(-1);
        // Two years of changes, at a step that falls on every time of day in turn.
        const fw::Time32 from = fw::MakeTime32(2010, 6, 1);
        for (std::int64_t t = from; t < from + 2 * 366 * 86400LL; t += 1799) {
            check(fw::Time32(t));
        }
        std::mt19937 rng(7);
        for (int i = 0; i < 20000; ++i) {
            check(fw::Time32(rng()));
        }
    }
}

} // namespace
