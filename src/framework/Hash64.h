#pragma once
// A fast 64-bit hash of a stream of bytes, to recognise a file again: the same bytes give the
// same digest however they were cut into pieces on their way in. Not for secrets.

#include <cstddef>
#include <cstdint>

namespace fw {

class Hash64 {
public:
    void Update(const void* data, std::size_t n);
    std::uint64_t Digest() const;

private:
    static constexpr std::size_t kStripe = 32;
    void consumeStripes(const unsigned char* p, std::size_t stripes);

    // Four independent lanes, so that the processor works on four words at once.
    std::uint64_t m_lane[4] = {0x60EA27EEADC0B5D6ull + 0xC2B2AE3D27D4EB4Full, 0xC2B2AE3D27D4EB4Full,
                               0, 0x61C8864E7A143579ull};
    unsigned char m_pending[kStripe] = {};
    std::size_t m_pendingCount = 0;
    std::uint64_t m_total = 0;
};

} // namespace fw
