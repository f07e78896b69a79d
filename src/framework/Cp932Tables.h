#pragma once
// The tables behind the conversions of Codec.h: what iconv gives for each cp932 code and for
// each code point, asked of iconv a page of 256 codes at a time when a text first needs that
// page, so that a million texts convert exactly as iconv converts them without a call per text.

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace fw {

class Cp932Tables {
public:
    // The tables the conversions of Codec.h use, made at the first conversion and never
    // destroyed, so that a text converted while the program ends still converts.
    static Cp932Tables& Shared();

    Cp932Tables();
    ~Cp932Tables();
    Cp932Tables(const Cp932Tables&) = delete;
    Cp932Tables& operator=(const Cp932Tables&) = delete;

    // As fw::AppendUtf8ToCp932 and fw::AppendCp932ToUtf8; safe from several threads at once.
    bool AppendUtf8ToCp932(std::string& out, std::string_view utf8);
    void AppendCp932ToUtf8(std::string& out, std::string_view cp932,
                           std::vector<std::string_view>* undecodable);

private:
    // The UTF-8 of one cp932 code, copied as four bytes of which size count; a size above 3
    // says what to do instead.
    struct Utf8Code {
        char bytes[3];
        std::uint8_t size;
    };
    static constexpr std::uint8_t kUndecodable = 0;
    static constexpr std::uint8_t kLeadByte = 4; // the code goes on in the next byte
    static constexpr std::uint8_t kAskIconv = 5; // iconv gave what these four bytes cannot hold
    using Utf8Page = std::array<Utf8Code, 256>;

    // The cp932 of one code point: a single byte (below 0x100), lead * 256 + trail, or one of:
    static constexpr std::uint16_t kNoCp932 = 0xFFFF;
    static constexpr std::uint16_t kAskIconvCp932 = 0xFFFE;
    static constexpr std::uint32_t kCodePointPages = 0x110000 >> 8;
    using Cp932Page = std::array<std::uint16_t, 256>;

    struct Iconv;

    const Utf8Page& pairsOf(unsigned char lead) {
        const Utf8Page* page = m_pairs[lead].load(std::memory_order_acquire);
        return page ? *page : askPairs(lead);
    }
    const Cp932Page& cp932Page(std::uint32_t page) {
        const Cp932Page* known = m_cp932[page].load(std::memory_order_acquire);
        return known ? *known : askCp932Page(page);
    }
    const Utf8Page& askPairs(unsigned char lead);
    const Cp932Page& askCp932Page(std::uint32_t page);
    Utf8Code askUtf8(const char* cp932, std::size_t size);
    std::uint16_t askCp932(char32_t c);

    std::unique_ptr<Iconv> m_iconv; // after the constructor, used under m_mutex only
    std::mutex m_mutex;             // taken while a page is asked of iconv
    bool m_usable = false;          // iconv knows CP932, and ASCII stays ASCII both ways
    Utf8Page m_singles{};
    std::array<std::atomic<const Utf8Page*>, 256> m_pairs;
    std::array<std::atomic<const Cp932Page*>, kCodePointPages> m_cp932;
    Cp932Page m_noCp932Page{};        // shared by the many pages of which nothing maps
    std::deque<Utf8Page> m_utf8Pages; // the pages asked so far, where they stay
    std::deque<Cp932Page> m_cp932Pages;
};

} // namespace fw
