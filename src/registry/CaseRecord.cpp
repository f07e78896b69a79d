#include "registry/CaseRecord.h"

#include "framework/LargeBlock.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace registry {
namespace {

constexpr std::size_t kEndsBytes = CaseTexts::kCount * sizeof(std::uint32_t);
constexpr std::size_t kFirstChunkBytes = std::size_t(64) << 10;
constexpr std::size_t kLargestChunkBytes = std::size_t(32) << 20;

std::size_t textBytes(const std::uint32_t* block) {
    return block ? block[CaseTexts::kCount - 1] : 0;
}

// A block of the case's own for bytes of text after the table of ends.
std::uint32_t* ownBlock(std::size_t textBytes) {
    return static_cast<std::uint32_t*>(::operator new(kEndsBytes + textBytes));
}

} // namespace

TextArena::~TextArena() {
    for (const Chunk& chunk : m_chunks) {
        fw::FreeLarge(chunk.bytes, chunk.size);
    }
}

void* TextArena::Allocate(std::size_t bytes) {
    bytes = (bytes + 3) & ~std::size_t(3);
    if (m_chunks.empty() || m_chunks.back().size - m_used < bytes) {
        // Each chunk as large as all before it: few chunks for a large registry, little room
        // unused for a small one.
        const std::size_t grown = m_chunks.empty()
                                      ? kFirstChunkBytes
                                      : std::min(2 * m_chunks.back().size, kLargestChunkBytes);
        const std::size_t size = std::max(bytes, grown);
        m_chunks.reserve(m_chunks.size() + 1);
        m_chunks.push_back({fw::AllocateLarge(size), size});
        m_used = 0;
    }
    void* room = static_cast<char*>(m_chunks.back().bytes) + m_used;
    m_used += bytes;
    return room;
}

CaseTexts::CaseTexts(const CaseTexts& other) {
    if (const std::uint32_t* from = other.block()) {
        std::uint32_t* copy = ownBlock(textBytes(from));
        std::memcpy(copy, from, kEndsBytes + textBytes(from));
        m_bits = reinterpret_cast<std::uintptr_t>(copy);
    }
}

CaseTexts& CaseTexts::operator=(const CaseTexts& other) {
    if (this != &other) {
        CaseTexts copy(other);
        std::swap(m_bits, copy.m_bits);
    }
    return *this;
}

CaseTexts::~CaseTexts() {
    if (owned()) {
        ::operator delete(reinterpret_cast<void*>(m_bits));
    }
}

void CaseTexts::replaceBlock(std::uint32_t* block, bool borrowed) noexcept {
    if (owned()) {
        ::operator delete(reinterpret_cast<void*>(m_bits));
    }
    m_bits = reinterpret_cast<std::uintptr_t>(block) | (borrowed ? kBorrowed : 0);
}

void CaseTexts::Set(int slot, std::string_view text) {
    const std::string_view old = View(slot);
    if (!block() && text.empty()) {
        return;
    }
    const std::size_t total = textBytes(block()) - old.size() + text.size();
    if (total > std::numeric_limits<std::uint32_t>::max()) {
        throw std::bad_alloc(); // the ends are 32 bits
    }
    std::uint32_t* fresh = ownBlock(total);
    char* out = reinterpret_cast<char*>(fresh + kCount);
    std::uint32_t end = 0;
    for (int i = 0; i < kCount; ++i) {
        // text may lie in the old block, which goes only once everything is copied.
        const std::string_view part = i == slot ? text : View(i);
        if (!part.empty()) {
            std::memcpy(out + end, part.data(), part.size());
        }
        end += std::uint32_t(part.size());
        fresh[i] = end;
    }
    replaceBlock(fresh, false);
}

void CaseTexts::Assign(const std::uint32_t (&ends)[kCount], const char* bytes, TextArena* arena) {
    const std::size_t total = ends[kCount - 1];
    auto* fresh = static_cast<std::uint32_t*>(arena ? arena->Allocate(kEndsBytes + total)
                                                    : ::operator new(kEndsBytes + total));
    std::memcpy(fresh, ends, kEndsBytes);
    std::memcpy(fresh + kCount, bytes, total);
    replaceBlock(fresh, arena != nullptr);
}

void CaseTexts::MoveInto(TextArena& arena) {
    if (const std::uint32_t* b = block(); b && owned()) {
        const std::size_t size = kEndsBytes + textBytes(b);
        void* moved = arena.Allocate(size);
        std::memcpy(moved, b, size);
        replaceBlock(static_cast<std::uint32_t*>(moved), true);
    }
}

bool operator==(const CaseTexts& a, const CaseTexts& b) noexcept {
    for (int i = 0; i < CaseTexts::kCount; ++i) {
        if (a.View(i) != b.View(i)) {
            return false;
        }
    }
    return true;
}

} // namespace registry
