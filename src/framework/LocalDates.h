#pragma once
// The local dates of many calendar times, as PackedLocalDateOf gives them, asking the C
// library once per day instead of once per time: loading a registry converts a million
// surgery dates that fall on a few thousand days.

#include "framework/Time32.h"

#include <cstdint>
#include <vector>

namespace fw {

class LocalDates {
public:
    PackedDate Of(Time32 t);

private:
    // The offset of local time from UTC through one UTC day, looked up once.
    std::int32_t offsetOfDay(std::int64_t day);

    // By UTC day of the 32-bit range: the offset in seconds while it is the same through the
    // whole day, or one of the marks below.
    std::vector<std::int32_t> m_offset;
};

} // namespace fw
