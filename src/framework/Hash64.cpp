#include "framework/Hash64.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace fw {
namespace {

constexpr std::uint64_t kP1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t kP2 = 0xC2B2AE3D27D4EB4Full;
constexpr std::uint64_t kP3 = 0x165667B19E3779F9ull;
constexpr std::uint64_t kP4 = 0x85EBCA77C2B2AE63ull;
constexpr std::uint64_t kP5 = 0x27D4EB2F165667C5ull;

std::uint64_t word64(const unsigned char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

std::uint32_t word32(const unsigned char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

std::uint64_t round(std::uint64_t lane, std::uint64_t word) {
    return std::rotl(lane + word * kP2, 31) * kP1;
}

std::uint64_t merge(std::uint64_t acc, std::uint64_t lane) {
    acc ^= round(0, lane);
    return acc * kP1 + kP4;
}

} // namespace

void Hash64::consumeStripes(const unsigned char* p, std::size_t stripes) {
    std::uint64_t a = m_lane[0], b = m_lane[1], c = m_lane[2], d = m_lane[3];
    for (std::size_t i = 0; i < stripes; ++i, p += kStripe) {
        a = round(a, word64(p));
        b = round(b, word64(p + 8));
        c = round(c, word64(p + 16));
        d = round(d, word64(p + 24));
    }
    m_lane[0] = a;
    m_lane[1] = b;
    m_lane[2] = c;
    m_lane[3] = d;
}

void Hash64::Update(const void* data, std::size_t n) {
    auto* p = static_cast<const unsigned char*>(data);
    m_total += n;
    if (m_pendingCount > 0) {
        const std::size_t take = std::min(n, kStripe - m_pendingCount);
        std::memcpy(m_pending + m_pendingCount, p, take);
        m_pendingCount += take;
        p += take;
        n -= take;
        if (m_pendingCount < kStripe) {
            return;
        }
        consumeStripes(m_pending, 1);
        m_pendingCount = 0;
    }
    consumeStripes(p, n / kStripe);
    p += n / kStripe * kStripe;
    n %= kStripe;
    std::memcpy(m_pending, p, n);
    m_pendingCount = n;
}

std::uint64_t Hash64::Digest() const {
    std::uint64_t h;
    if (m_total >= kStripe) {
        h = std::rotl(m_lane[0], 1) + std::rotl(m_lane[1], 7) + std::rotl(m_lane[2], 12) +
            std::rotl(m_lane[3], 18);
        for (std::uint64_t lane : m_lane) {
            h = merge(h, lane);
        }
    } else {
        h = m_lane[2] + kP5;
    }
    h += m_total;
    const unsigned char* p = m_pending;
    std::size_t n = m_pendingCount;
    for (; n >= 8; n -= 8, p += 8) {
        h ^= round(0, word64(p));
        h = std::rotl(h, 27) * kP1 + kP4;
    }
    if (n >= 4) {
        h ^= std::uint64_t(word32(p)) * kP1;
        h = std::rotl(h, 23) * kP2 + kP3;
        p += 4;
        n -= 4;
    }
    for (; n > 0; --n, ++p) {
        h ^= *p * kP5;
        h = std::rotl(h, 11) * kP1;
    }
    h ^= h >> 33;
    h *= kP2;
    h ^= h >> 29;
    h *= kP3;
    h ^= h >> 32;
    return h;
}

} // namespace fw
