#include "framework/String.h"

#include "framework/Codec.h"

#include <algorithm>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <mutex>
#include <new>
#include <unordered_map>

namespace {

// A heap block holds its capacity in front of the bytes.
char* allocateBlock(std::size_t capacity) {
    auto* block = static_cast<char*>(std::malloc(sizeof(std::uint32_t) + capacity + 1));
    if (!block) {
        throw std::bad_alloc();
    }
    auto cap = static_cast<std::uint32_t>(capacity);
    std::memcpy(block, &cap, sizeof cap);
    return block + sizeof(std::uint32_t);
}

void freeBlock(char* bytes) noexcept {
    std::free(bytes - sizeof(std::uint32_t));
}

std::uint32_t blockCapacity(const char* bytes) noexcept {
    std::uint32_t cap;
    std::memcpy(&cap, bytes - sizeof cap, sizeof cap);
    return cap;
}

locale_t cLocale() {
    static locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return locale;
}

std::string formatC(const char* format, va_list args) {
    locale_t previous = uselocale(cLocale());
    va_list copy;
    va_copy(copy, args);
    char small[256];
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    std::string out;
    if (n >= 0 && std::size_t(n) < sizeof small) {
        out.assign(small, std::size_t(n));
    } else if (n >= 0) {
        out.resize(std::size_t(n));
        std::vsnprintf(out.data(), out.size() + 1, format, args);
    }
    uselocale(previous);
    return out;
}

} // namespace

CString::CString(const char* text) : CString(std::string_view(text ? text : "")) {}

CString::CString(const char* bytes, int length)
    : CString(std::string_view(bytes, std::size_t(length))) {}

CString::CString(std::string_view bytes) {
    setInline(0);
    assign(bytes.data(), bytes.size());
}

CString::CString(const CString& other) {
    setInline(0);
    assign(other.data(), other.size());
}

CString::CString(CString&& other) noexcept {
    std::memcpy(static_cast<void*>(this), &other, sizeof *this);
    other.setInline(0);
}

CString& CString::operator=(const CString& other) {
    if (this != &other) {
        assign(other.data(), other.size());
    }
    return *this;
}

CString& CString::operator=(CString&& other) noexcept {
    if (this != &other) {
        release();
        std::memcpy(static_cast<void*>(this), &other, sizeof *this);
        other.setInline(0);
    }
    return *this;
}

CString& CString::operator=(std::string_view bytes) {
    if (bytes.data() >= data() && bytes.data() < data() + size()) {
        std::string copy(bytes);
        assign(copy.data(), copy.size());
    } else {
        assign(bytes.data(), bytes.size());
    }
    return *this;
}

CString::~CString() {
    release();
}

void CString::release() noexcept {
    if (isHeap()) {
        freeBlock(m_heap.ptr);
    }
    setInline(0);
}

void CString::Empty() {
    release();
}

std::size_t CString::capacity() const noexcept {
    return isHeap() ? blockCapacity(m_heap.ptr) : 15;
}

void CString::assign(const char* bytes, std::size_t n) {
    if (n <= capacity()) {
        char* dst = writable();
        std::memmove(dst, bytes, n);
        if (isHeap()) {
            m_heap.size = std::uint32_t(n);
            dst[n] = 0;
        } else {
            setInline(n);
        }
        return;
    }
    char* block = allocateBlock(n);
    std::memcpy(block, bytes, n);
    block[n] = 0;
    release();
    m_heap.ptr = block;
    m_heap.size = std::uint32_t(n);
    m_heap.tag = kHeapTag;
}

void CString::resize(std::size_t n) {
    std::size_t old = size();
    if (n > capacity()) {
        std::size_t cap = std::max(n, capacity() * 2);
        char* block = allocateBlock(cap);
        std::memcpy(block, data(), old);
        release();
        m_heap.ptr = block;
        m_heap.tag = kHeapTag;
    }
    char* dst = writable();
    if (n > old) {
        std::memset(dst + old, 0, n - old);
    }
    if (isHeap()) {
        m_heap.size = std::uint32_t(n);
        dst[n] = 0;
    } else {
        setInline(n);
    }
}

char* CString::GetBufferSetLength(int n) {
    resize(std::size_t(n < 0 ? 0 : n));
    return writable();
}

CString& CString::operator+=(std::string_view bytes) {
    if (bytes.data() >= data() && bytes.data() < data() + size()) {
        std::string copy(bytes);
        return *this += std::string_view(copy);
    }
    std::size_t old = size();
    resize(old + bytes.size());
    std::memcpy(writable() + old, bytes.data(), bytes.size());
    return *this;
}

int CString::Find(std::string_view sub, int start) const {
    return fw::FindInText(view(), sub, start);
}

int fw::FindInText(std::string_view text, std::string_view sub, int start) {
    if (start < 0) {
        start = 0;
    }
    std::size_t i = std::size_t(start);
    while (i <= text.size()) {
        if (text.size() - i < sub.size()) {
            return -1;
        }
        if (text.compare(i, sub.size(), sub) == 0) {
            return int(i);
        }
        if (i == text.size()) {
            return -1;
        }
        i += (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
    }
    return -1;
}

CString CString::Left(int n) const {
    if (n <= 0) {
        return {};
    }
    return CString(view().substr(0, std::size_t(n)));
}

CString CString::Mid(int first) const {
    if (first < 0) {
        first = 0;
    }
    if (std::size_t(first) >= size()) {
        return {};
    }
    return CString(view().substr(std::size_t(first)));
}

CString CString::Mid(int first, int n) const {
    if (first < 0) {
        first = 0;
    }
    if (n <= 0 || std::size_t(first) >= size()) {
        return {};
    }
    return CString(view().substr(std::size_t(first), std::size_t(n)));
}

CString CString::LeftWhole(int n) const {
    std::string_view text = view();
    if (n <= 0) {
        return {};
    }
    if (std::size_t(n) >= text.size()) {
        return *this;
    }
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t width =
            (fw::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
        if (i + width > std::size_t(n)) {
            break;
        }
        i += width;
    }
    return CString(text.substr(0, i));
}

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = formatC(format, args);
    va_end(args);
    assign(out.data(), out.size());
}

CString CString::Formatted(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = formatC(format, args);
    va_end(args);
    return CString(out);
}

namespace {

// One character of the text order; 0 ends the text.
inline unsigned nextChar(const unsigned char*& p, const unsigned char* end) noexcept {
    if (p >= end) {
        return 0;
    }
    unsigned c = *p++;
    if (fw::IsLeadByte(static_cast<unsigned char>(c))) {
        if (p >= end || *p == 0) {
            return 0;
        }
        c = (c << 8) | *p++;
    }
    return c;
}

} // namespace

int CString::Compare(std::string_view textA, std::string_view textB) noexcept {
    auto* a = reinterpret_cast<const unsigned char*>(textA.data());
    auto* b = reinterpret_cast<const unsigned char*>(textB.data());
    const unsigned char* aEnd = a + textA.size();
    const unsigned char* bEnd = b + textB.size();
    for (;;) {
        unsigned ca = nextChar(a, aEnd);
        unsigned cb = nextChar(b, bEnd);
        if (ca != cb) {
            return ca > cb ? 1 : -1;
        }
        if (ca == 0) {
            return 0;
        }
    }
}

std::string_view CString::OrderedBytes(std::string_view text) noexcept {
    auto* begin = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* end = begin + text.size();
    // The usual text: no NUL byte, and a last byte that cannot start a character pair.
    if (begin == end || (!fw::IsLeadByte(end[-1]) && !std::memchr(begin, 0, text.size()))) {
        return text;
    }
    const unsigned char* p = begin;
    for (const unsigned char* next = p; nextChar(next, end) != 0;) {
        p = next;
    }
    return {text.data(), std::size_t(p - begin)};
}

std::uint64_t CString::SortChunk(std::string_view text, std::uint32_t& offset) noexcept {
    auto* begin = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* end = begin + text.size();
    const unsigned char* p = begin + std::min<std::size_t>(offset, text.size());
    std::uint64_t chunk = 0;
    bool ended = false;
    for (int i = 0; i < 4; ++i) {
        unsigned c = ended ? 0 : nextChar(p, end);
        ended = ended || c == 0;
        chunk = (chunk << 16) | c;
    }
    offset = std::uint32_t(ended ? text.size() : std::size_t(p - begin));
    return chunk;
}

bool CString::FromUtf8(std::string_view utf8, CString& out) {
    // One buffer for each thread, as a load converts millions of texts; not kept at the size
    // of an unusually long one.
    constexpr std::size_t kKeptBuffer = 1 << 16;
    thread_local std::string bytes;
    bytes.clear();
    const bool converted = fw::AppendUtf8ToCp932(bytes, utf8);
    if (converted) {
        out = std::string_view(bytes);
    }
    if (bytes.capacity() > kKeptBuffer) {
        bytes = std::string();
    }
    return converted;
}

std::string CString::ToUtf8() const {
    return fw::Cp932ToUtf8(view());
}

CString operator+(const CString& a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString& a, std::string_view b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(std::string_view a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}

const CString& operator""_sj(const char* utf8, std::size_t length) {
    static std::mutex mutex;
    static std::unordered_map<const char*, CString> cache;
    std::lock_guard<std::mutex> lock(mutex);
    auto found = cache.find(utf8);
    if (found != cache.end()) {
        return found->second;
    }
    CString text;
    if (!CString::FromUtf8(std::string_view(utf8, length), text)) {
        std::fprintf(stderr, "vora: program text has no cp932 form: %.*s\n", int(length), utf8);
        std::abort();
    }
    return cache.emplace(utf8, std::move(text)).first->second;
}
