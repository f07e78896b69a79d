#include "framework/Width.h"
#include "framework/Codec.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::string sj(const std::string& utf8) {
    std::string out;
    EXPECT_TRUE(fw::Utf8ToCp932(utf8, out)) << utf8;
    return out;
}

std::u32string codePoints(const std::string& utf8) {
    std::u32string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t cp = n == 1 ? c : c & (0x3Fu >> (n - 1));
        for (std::size_t k = 1; k < n && i + k < utf8.size(); ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
        }
        out += cp;
        i += n;
    }
    return out;
}

// The ASCII character whose full-width form c is, or 0.
char halfWidthOf(char32_t c) {
    if (c == U'\u3000') {
        return ' ';
    }
    return c >= U'\uFF01' && c <= U'\uFF5E' ? char(c - U'\uFF01' + U'!') : 0;
}

// Every double-byte code of cp932 against what the C library decodes it to.
TEST(WidthTest, EveryFullWidthFormOfAsciiAndNothingElse) {
    int forms = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!fw::IsLeadByte(static_cast<unsigned char>(lead))) {
            continue;
        }
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F) {
                continue;
            }
            const char bytes[] = {char(lead), char(trail)};
            const std::u32string decoded = codePoints(fw::Cp932ToUtf8({bytes, 2}));
            const char expected = decoded.size() == 1 ? halfWidthOf(decoded[0]) : 0;
            EXPECT_EQ(fw::HalfWidthOf(static_cast<unsigned char>(lead),
                                      static_cast<unsigned char>(trail)),
                      expected)
                << std::hex << lead << ' ' << trail;
            forms += expected ? 1 : 0;
        }
    }
    EXPECT_EQ(forms, 95 + 2); // space to "~", and the second codes of the two quotes
}

TEST(WidthTest, FoldKeepsCharactersWholeAndEverythingElseAsItIs) {
    const struct {
        std::string text;
        std::string folded;
    } kCases[] = {
        {sj("００１２３４５"), "0012345"},
        {sj("ＡＢｃ－１２．５"), "ABc-12.5"},
        {sj("ID：Ａ１　＃９"), "ID:A1 #9"},
        {"\xFA\x57\xFA\x56\xEE\xFC\xEE\xFB", "\"'\"'"}, // both codes of each quote
        {sj("山田ソ表０"), sj("山田ソ表") + "0"}, // ソ and 表 end in the byte of a backslash
        {sj("ｱｲｳ０"), sj("ｱｲｳ") + "0"},
        {"\x89\x82\x60", "\x89\x82\x60"}, // 82 60 is Ａ only where 82 starts a character
        {sj("０") + "\x82", "0\x82"},     // a lead byte at the very end stays
        {"\x82", "\x82"},
        {"", ""},
        {"A123", "A123"},
    };
    for (const auto& c : kCases) {
        std::string buffer;
        EXPECT_EQ(fw::FoldWidth(c.text, buffer), c.folded) << c.text;
    }
    std::string buffer;
    const std::string plain = sj("山田花子 ABC-123");
    EXPECT_EQ(fw::FoldWidth(plain, buffer).data(), plain.data()); // nothing to fold: no copy
}

// The fold against a plain reference that folds the decoded text, on texts that mix every
// kind of character, with something to fold and without.
TEST(WidthTest, FoldAgreesWithFoldingTheDecodedText) {
    const std::vector<std::string> pieces = {"A",  "9",  "-",  " ",  "ｱ",  "ﾞ",  "山", "ソ", "表",
                                             "０", "Ｚ", "ｚ", "－", "　", "～", "＼", "￥", "ー"};
    std::mt19937 rng(24);
    for (int round = 0; round < 2000; ++round) {
        std::string text, expected;
        const int n = std::uniform_int_distribution<int>(0, 12)(rng);
        for (int i = 0; i < n; ++i) {
            const std::string& piece =
                pieces[std::uniform_int_distribution<std::size_t>(0, pieces.size() - 1)(rng)];
            text += sj(piece);
            const char half = halfWidthOf(codePoints(piece)[0]);
            expected += half ? std::string(1, half) : sj(piece);
        }
        std::string buffer;
        EXPECT_EQ(fw::FoldWidth(text, buffer), expected) << fw::Cp932ToUtf8(text);
    }
}

} // namespace
