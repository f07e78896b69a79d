#pragma once
// How far a long piece of work has got, and whether the user wants it stopped. The work (an
// export, on a thread of its own) reports to it every so often; the window that shows the bar
// reads it and cancels it. Nothing here knows of windows, so the work is tested without any.

#include <atomic>
#include <cstdint>
#include <exception>

namespace fw {

class Progress {
public:
    // The bar's resolution: Fraction() counts in parts of this.
    static constexpr std::uint32_t kParts = 1000;

    virtual ~Progress() = default;

    // The work has done `done` of `total` (any unit); false once it is to stop. Cheap enough to
    // be called for every few hundred rows.
    virtual bool Report(std::uint64_t done, std::uint64_t total);
    // Stops the work at its next report.
    void Cancel() noexcept { m_cancelled.store(true, std::memory_order_relaxed); }
    bool IsCancelled() const noexcept { return m_cancelled.load(std::memory_order_relaxed); }
    // How far the work is, from 0 to kParts; it never goes back.
    std::uint32_t Parts() const noexcept { return m_parts.load(std::memory_order_relaxed); }

    // Work that nobody watches: it goes on to the end.
    static Progress& None();

private:
    std::atomic<std::uint32_t> m_parts{0};
    std::atomic<bool> m_cancelled{false};
};

// Thrown by work that stopped because its progress was cancelled; what it made is gone again.
class CancelledException : public std::exception {
public:
    const char* what() const noexcept override { return "cancelled"; }
};

} // namespace fw
