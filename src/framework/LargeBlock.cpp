#include "framework/LargeBlock.h"

#include <cstdlib>
#include <sys/mman.h>

namespace fw {
namespace {

constexpr std::size_t kLargePage = std::size_t(2) << 20;
// Below this a block is not worth a large page of its own.
constexpr std::size_t kLargeFrom = 2 * kLargePage;

std::size_t roundedToPages(std::size_t bytes) {
    return (bytes + kLargePage - 1) & ~(kLargePage - 1);
}

} // namespace

void* AllocateLarge(std::size_t bytes) {
    if (bytes < kLargeFrom) {
        return ::operator new(bytes);
    }
    if (bytes > std::numeric_limits<std::size_t>::max() - kLargePage) {
        throw std::bad_alloc();
    }
    const std::size_t size = roundedToPages(bytes);
    void* block = std::aligned_alloc(kLargePage, size);
    if (!block) {
        throw std::bad_alloc();
    }
    // Only advice: where the system has no large pages, small ones serve as before.
    madvise(block, size, MADV_HUGEPAGE);
    return block;
}

void FreeLarge(void* block, std::size_t bytes) noexcept {
    if (bytes < kLargeFrom) {
        ::operator delete(block);
    } else {
        std::free(block);
    }
}

} // namespace fw
