#include "framework/Cp932Tables.h"

#include "framework/Codec.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace fw {
namespace {

// Output is gathered here and appended to the caller's string in pieces, so that a text is
// never given room for its longest possible form: a short text stays inside its std::string.
constexpr std::size_t kPiece = 512;
// The most a step writes: eight ASCII bytes, or a character of three bytes copied as four.
constexpr std::size_t kMostPerStep = 8;

bool eightAscii(const unsigned char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return (word & 0x8080808080808080u) == 0;
}

// Past the ASCII bytes at p.
const unsigned char* skipAscii(const unsigned char* p, const unsigned char* end) {
    while (end - p >= 8 && eightAscii(p)) {
        p += 8;
    }
    while (p != end && *p < 0x80) {
        ++p;
    }
    return p;
}

bool continuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 character at p with its code point in c, 0 when there is
// none there (a stray or missing continuation byte, an overlong form, a surrogate, a code
// point beyond U+10FFFF): iconv refuses exactly these.
std::size_t decodeUtf8(const unsigned char* p, const unsigned char* end, char32_t& c) {
    const unsigned char b = *p;
    const std::ptrdiff_t left = end - p;
    if (b >= 0xC2 && b <= 0xDF) {
        if (left < 2 || !continuation(p[1])) {
            return 0;
        }
        c = char32_t(b & 0x1F) << 6 | (p[1] & 0x3F);
        return 2;
    }
    if (b >= 0xE0 && b <= 0xEF) {
        if (left < 3 || !continuation(p[1]) || !continuation(p[2])) {
            return 0;
        }
        c = char32_t(b & 0x0F) << 12 | char32_t(p[1] & 0x3F) << 6 | (p[2] & 0x3F);
        return c < 0x800 || (c >= 0xD800 && c <= 0xDFFF) ? 0 : 3;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        if (left < 4 || !continuation(p[1]) || !continuation(p[2]) || !continuation(p[3])) {
            return 0;
        }
        c = char32_t(b & 0x07) << 18 | char32_t(p[1] & 0x3F) << 12 | char32_t(p[2] & 0x3F) << 6 |
            (p[3] & 0x3F);
        return c < 0x10000 || c > 0x10FFFF ? 0 : 4;
    }
    return 0;
}

// The UTF-8 bytes of any code point below U+110000, surrogates too (which iconv refuses).
std::size_t encodeUtf8(char32_t c, char* out) {
    if (c < 0x80) {
        out[0] = char(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = char(0xC0 | c >> 6);
        out[1] = char(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = char(0xE0 | c >> 12);
        out[1] = char(0x80 | (c >> 6 & 0x3F));
        out[2] = char(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = char(0xF0 | c >> 18);
    out[1] = char(0x80 | (c >> 12 & 0x3F));
    out[2] = char(0x80 | (c >> 6 & 0x3F));
    out[3] = char(0x80 | (c & 0x3F));
    return 4;
}

} // namespace

struct Cp932Tables::Iconv {
    iconv_t toCp932 = iconv_open("CP932", "UTF-8");
    iconv_t fromCp932 = iconv_open("UTF-8", "CP932");

    Iconv() = default;
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    ~Iconv() {
        for (iconv_t cd : {toCp932, fromCp932}) {
            if (cd != reinterpret_cast<iconv_t>(-1)) {
                iconv_close(cd);
            }
        }
    }

    bool ok() const {
        return toCp932 != reinterpret_cast<iconv_t>(-1) &&
               fromCp932 != reinterpret_cast<iconv_t>(-1);
    }

    // What iconv makes of exactly these bytes.
    struct Answer {
        bool converted;    // all of them, without an error
        int error;         // else errno
        std::size_t taken; // bytes converted before the error
        char out[16];      // more than any one character needs
        std::size_t size;
    };
    static Answer ask(iconv_t cd, const char* in, std::size_t size) {
        Answer a{};
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in);
        std::size_t srcLeft = size;
        char* dst = a.out;
        std::size_t dstLeft = sizeof a.out;
        a.converted = iconv(cd, &src, &srcLeft, &dst, &dstLeft) != std::size_t(-1);
        a.error = a.converted ? 0 : errno;
        a.converted = a.converted && srcLeft == 0;
        a.taken = size - srcLeft;
        a.size = sizeof a.out - dstLeft;
        return a;
    }
};

Cp932Tables& Cp932Tables::Shared() {
    static Cp932Tables* shared = new Cp932Tables;
    return *shared;
}

Cp932Tables::Cp932Tables() : m_iconv(std::make_unique<Iconv>()) {
    for (auto& page : m_pairs) {
        page.store(nullptr, std::memory_order_relaxed);
    }
    for (auto& page : m_cp932) {
        page.store(nullptr, std::memory_order_relaxed);
    }
    m_noCp932Page.fill(kNoCp932);
    if (!m_iconv->ok()) {
        return;
    }
    for (unsigned b = 0; b < 256; ++b) {
        const char byte = char(b);
        m_singles[b] = askUtf8(&byte, 1);
    }
    // ASCII is copied as it is, eight bytes at a time where it can be.
    const Cp932Page& ascii = cp932Page(0);
    m_usable = true;
    for (unsigned b = 0; b < 0x80; ++b) {
        const Utf8Code& single = m_singles[b];
        m_usable = m_usable && single.size == 1 && single.bytes[0] == char(b) && ascii[b] == b;
    }
}

Cp932Tables::~Cp932Tables() = default;

Cp932Tables::Utf8Code Cp932Tables::askUtf8(const char* cp932, std::size_t size) {
    const Iconv::Answer a = Iconv::ask(m_iconv->fromCp932, cp932, size);
    Utf8Code code{{}, kAskIconv};
    if (a.converted && a.size >= 1 && a.size <= 3) {
        code.size = std::uint8_t(a.size);
        std::memcpy(code.bytes, a.out, a.size);
    } else if (!a.converted && a.taken == 0 && a.error == EILSEQ) {
        code.size = kUndecodable;
    } else if (!a.converted && a.taken == 0 && a.error == EINVAL && size == 1) {
        code.size = kLeadByte;
    }
    return code;
}

std::uint16_t Cp932Tables::askCp932(char32_t c) {
    char utf8[4];
    const Iconv::Answer a = Iconv::ask(m_iconv->toCp932, utf8, encodeUtf8(c, utf8));
    if (!a.converted) {
        return a.error == EILSEQ || a.error == EINVAL ? kNoCp932 : kAskIconvCp932;
    }
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(a.out[i]); };
    if (a.size == 1) {
        return byte(0);
    }
    if (a.size == 2 && byte(0) != 0) {
        const unsigned code = byte(0) << 8 | byte(1);
        return code < kAskIconvCp932 ? std::uint16_t(code) : kAskIconvCp932;
    }
    // A character iconv turns into nothing has no cp932 form: storing the text would lose it.
    return a.size == 0 ? kNoCp932 : kAskIconvCp932;
}

const Cp932Tables::Utf8Page& Cp932Tables::askPairs(unsigned char lead) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (const Utf8Page* known = m_pairs[lead].load(std::memory_order_relaxed)) {
        return *known;
    }
    Utf8Page& page = m_utf8Pages.emplace_back();
    for (unsigned trail = 0; trail < 256; ++trail) {
        const char code[] = {char(lead), char(trail)};
        page[trail] = askUtf8(code, 2);
    }
    m_pairs[lead].store(&page, std::memory_order_release);
    return page;
}

const Cp932Tables::Cp932Page& Cp932Tables::askCp932Page(std::uint32_t page) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (const Cp932Page* known = m_cp932[page].load(std::memory_order_relaxed)) {
        return *known;
    }
    Cp932Page asked;
    bool any = false;
    for (unsigned low = 0; low < 256; ++low) {
        asked[low] = askCp932(char32_t(page << 8 | low));
        any = any || asked[low] != kNoCp932;
    }
    const Cp932Page* kept = any ? &m_cp932Pages.emplace_back(asked) : &m_noCp932Page;
    m_cp932[page].store(kept, std::memory_order_release);
    return *kept;
}

bool Cp932Tables::AppendUtf8ToCp932(std::string& out, std::string_view utf8) {
    if (!m_usable) {
        return AppendUtf8ToCp932ByIconv(out, utf8);
    }
    const std::size_t start = out.size();
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* const end = p + utf8.size();
    // ASCII goes over as it is: the whole of many texts (IDs, times, numbers).
    const unsigned char* const ascii = skipAscii(p, end);
    if (ascii != p) {
        out.append(utf8.data(), std::size_t(ascii - p));
        p = ascii;
    }
    char piece[kPiece];
    char* d = piece;
    while (p != end) {
        if (d > piece + kPiece - kMostPerStep) {
            out.append(piece, std::size_t(d - piece));
            d = piece;
        }
        if (*p < 0x80) {
            const std::size_t n = end - p >= 8 && eightAscii(p) ? 8 : 1;
            std::memcpy(d, p, n);
            d += n;
            p += n;
            continue;
        }
        char32_t c = 0;
        const std::size_t n = decodeUtf8(p, end, c);
        const std::uint16_t code = n ? cp932Page(c >> 8)[c & 0xFF] : kNoCp932;
        if (code < 0x100) {
            *d++ = char(code);
        } else if (code < kAskIconvCp932) {
            d[0] = char(code >> 8);
            d[1] = char(code & 0xFF);
            d += 2;
        } else {
            out.resize(start);
            return code == kAskIconvCp932 && AppendUtf8ToCp932ByIconv(out, utf8);
        }
        p += n;
    }
    if (d != piece) {
        out.append(piece, std::size_t(d - piece));
    }
    return true;
}

void Cp932Tables::AppendCp932ToUtf8(std::string& out, std::string_view cp932,
                                    std::vector<std::string_view>* undecodable) {
    if (!m_usable) {
        AppendCp932ToUtf8ByIconv(out, cp932, undecodable);
        return;
    }
    const std::size_t start = out.size();
    const std::size_t undecodableStart = undecodable ? undecodable->size() : 0;
    const auto* p = reinterpret_cast<const unsigned char*>(cp932.data());
    const auto* const end = p + cp932.size();
    const unsigned char* const ascii = skipAscii(p, end);
    if (ascii != p) {
        out.append(cp932.data(), std::size_t(ascii - p));
        p = ascii;
    }
    char piece[kPiece];
    char* d = piece;
    while (p != end) {
        if (d > piece + kPiece - kMostPerStep) {
            out.append(piece, std::size_t(d - piece));
            d = piece;
        }
        const unsigned char b = *p;
        if (b < 0x80) {
            const std::size_t n = end - p >= 8 && eightAscii(p) ? 8 : 1;
            std::memcpy(d, p, n);
            d += n;
            p += n;
            continue;
        }
        static constexpr Utf8Code kCutShort{{}, kUndecodable};
        const Utf8Code* code = &m_singles[b];
        std::size_t taken = 1;
        if (code->size == kLeadByte) {
            code = end - p >= 2 ? &pairsOf(b)[p[1]] : &kCutShort;
            taken = 2;
        }
        if (code->size >= 1 && code->size <= 3) {
            std::memcpy(d, code, sizeof *code);
            d += code->size;
            p += taken;
            continue;
        }
        if (code->size == kAskIconv) {
            out.resize(start);
            if (undecodable) {
                undecodable->resize(undecodableStart);
            }
            AppendCp932ToUtf8ByIconv(out, cp932, undecodable);
            return;
        }
        // Skipped as AppendCp932ToUtf8ByIconv skips it: a lead byte takes a trail byte with
        // it, but not a byte that cannot be one (a line break stays a line break).
        const std::size_t skip = IsLeadByte(b) && end - p >= 2 && IsTrailByte(p[1]) ? 2 : 1;
        std::memcpy(d, "\xEF\xBF\xBD", 3);
        d += 3;
        if (undecodable) {
            undecodable->emplace_back(reinterpret_cast<const char*>(p), skip);
        }
        p += skip;
    }
    if (d != piece) {
        out.append(piece, std::size_t(d - piece));
    }
}

} // namespace fw
