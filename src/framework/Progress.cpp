#include "framework/Progress.h"

#include <algorithm>

namespace fw {

bool Progress::Report(std::uint64_t done, std::uint64_t total) {
    if (total > 0) {
        const std::uint64_t parts = std::min<std::uint64_t>(done, total) * kParts / total;
        std::uint32_t shown = m_parts.load(std::memory_order_relaxed);
        while (parts > shown && !m_parts.compare_exchange_weak(shown, std::uint32_t(parts),
                                                               std::memory_order_relaxed)) {
        }
    }
    return !IsCancelled();
}

Progress& Progress::None() {
    // Never cancelled; its parts are read by nobody.
    thread_local Progress none;
    return none;
}

} // namespace fw
