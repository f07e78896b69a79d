#pragma once
// Memory for the few very large arrays of a registry (the cases, their texts, the work of the
// sorts), which the system is asked to back with large pages: a million cases then fill some
// hundreds of pages instead of a hundred thousand, each of which costs a fault on first touch
// and a slot in the address cache on every use. Smaller requests are ordinary allocations.

#include <cstddef>
#include <limits>
#include <new>
#include <utility>

namespace fw {

// bytes of memory aligned for any type; throws std::bad_alloc.
void* AllocateLarge(std::size_t bytes);
// Gives back what AllocateLarge gave for the same number of bytes.
void FreeLarge(void* block, std::size_t bytes) noexcept;

// The allocator of a container that may grow very large.
template <class T> struct LargeBlockAllocator {
    using value_type = T;

    LargeBlockAllocator() noexcept = default;
    template <class U> LargeBlockAllocator(const LargeBlockAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) {
            throw std::bad_array_new_length();
        }
        return static_cast<T*>(AllocateLarge(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { FreeLarge(p, n * sizeof(T)); }

    // Growing a container default-initialises: plain values are left as they come, to be
    // written by their owner before being read, instead of being cleared first.
    template <class U> void construct(U* p) { ::new (static_cast<void*>(p)) U; }
    template <class U, class... Args> void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }

    template <class U>
    friend bool operator==(const LargeBlockAllocator&, const LargeBlockAllocator<U>&) noexcept {
        return true;
    }
};

} // namespace fw
