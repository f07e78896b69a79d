#include "framework/Codec.h"
#include "framework/Cp932Tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

// What a conversion from cp932 gives: the UTF-8 and the bytes behind each U+FFFD.
struct Decoded {
    std::string utf8;
    std::vector<std::string> undecodable;
    bool operator==(const Decoded&) const = default;
};

// What a conversion to cp932 gives.
struct Encoded {
    bool converted = false;
    std::string cp932;
    bool operator==(const Encoded&) const = default;
};

enum class By { Codec, Iconv };

Decoded decode(std::string_view cp932, By by) {
    std::vector<std::string_view> behind;
    Decoded d;
    if (by == By::Codec) {
        fw::AppendCp932ToUtf8(d.utf8, cp932, &behind);
    } else {
        fw::AppendCp932ToUtf8ByIconv(d.utf8, cp932, &behind);
    }
    d.undecodable.assign(behind.begin(), behind.end());
    return d;
}

Encoded encode(std::string_view utf8, By by) {
    Encoded e;
    e.converted = by == By::Codec ? fw::AppendUtf8ToCp932(e.cp932, utf8)
                                  : fw::AppendUtf8ToCp932ByIconv(e.cp932, utf8);
    return e;
}

std::string hex(std::string_view bytes) {
    std::string out;
    for (char c : bytes) {
        char two[4];
        std::snprintf(two, sizeof two, "%02X ", static_cast<unsigned char>(c));
        out += two;
    }
    return out.empty() ? "(empty)" : out.substr(0, out.size() - 1);
}

// UTF-8 of any code point below U+110000, surrogates too (which are not valid UTF-8).
std::string utf8Of(char32_t c) {
    std::string s;
    if (c < 0x80) {
        s += char(c);
    } else if (c < 0x800) {
        s += char(0xC0 | c >> 6);
        s += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        s += char(0xE0 | c >> 12);
        s += char(0x80 | (c >> 6 & 0x3F));
        s += char(0x80 | (c & 0x3F));
    } else {
        s += char(0xF0 | c >> 18);
        s += char(0x80 | (c >> 12 & 0x3F));
        s += char(0x80 | (c >> 6 & 0x3F));
        s += char(0x80 | (c & 0x3F));
    }
    return s;
}

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) {
        s += char(b);
    }
    return s;
}

// Counts the texts on which the codec and iconv alone disagree, and keeps the first few to
// show; counts too the texts iconv converted, so that a test can tell it compared results.
class Disagreements {
public:
    void Decode(std::string_view cp932) {
        ++m_texts;
        if (decode(cp932, By::Codec) != decode(cp932, By::Iconv)) {
            note(cp932);
        }
    }
    void Encode(std::string_view utf8) {
        ++m_texts;
        const Encoded expected = encode(utf8, By::Iconv);
        m_converted += expected.converted ? 1 : 0;
        if (encode(utf8, By::Codec) != expected) {
            note(utf8);
        }
    }
    int Count() const { return m_count; }
    int Texts() const { return m_texts; }
    int Converted() const { return m_converted; }
    std::string First() const { return m_first; }

private:
    void note(std::string_view text) {
        if (++m_count <= 5) {
            m_first += "\n  " + hex(text.substr(0, 48)) + (text.size() > 48 ? " ..." : "");
        }
    }
    int m_count = 0;
    int m_texts = 0;
    int m_converted = 0;
    std::string m_first;
};

int uniform(std::mt19937& rng, int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

// Pieces of cp932 texts, drawn from rng.
std::string asciiByte(std::mt19937& rng) {
    return std::string(1, char(uniform(rng, 1, 0x7F)));
}
std::string doubleByte(std::mt19937& rng) {
    int lead = 0;
    while (!fw::IsLeadByte(static_cast<unsigned char>(lead))) {
        lead = uniform(rng, 0x81, 0xFC);
    }
    int trail = 0x7F;
    while (!fw::IsTrailByte(static_cast<unsigned char>(trail))) {
        trail = uniform(rng, 0x40, 0xFC);
    }
    return bytes({lead, trail});
}
std::string halfWidthKatakana(std::mt19937& rng) {
    return bytes({uniform(rng, 0xA1, 0xDF)});
}
// A byte no cp932 character starts with, or a lead byte before a byte that cannot trail it.
std::string undecodable(std::mt19937& rng) {
    static const int kNeverFirst[] = {0x80, 0xA0, 0xFD, 0xFE, 0xFF};
    static const int kNeverTrail[] = {0x00, 0x0A, 0x0D, 0x20, 0x3F, 0x7F, 0xFD, 0xFE, 0xFF};
    if (uniform(rng, 0, 1) == 0) {
        return bytes({kNeverFirst[uniform(rng, 0, 4)]});
    }
    return doubleByte(rng).substr(0, 1) + bytes({kNeverTrail[uniform(rng, 0, 8)]});
}
std::string cp932Character(std::mt19937& rng) {
    const int kind = uniform(rng, 0, 19);
    return kind < 9    ? asciiByte(rng)
           : kind < 16 ? doubleByte(rng)
           : kind < 18 ? halfWidthKatakana(rng)
                       : undecodable(rng);
}
std::string cp932Characters(std::mt19937& rng, int minBytes, int maxBytes) {
    const int size = uniform(rng, minBytes, maxBytes);
    std::string text;
    while (int(text.size()) < size) {
        text += cp932Character(rng);
    }
    return text;
}
std::string asciiText(std::mt19937& rng, int maxBytes) {
    std::string text;
    for (int n = uniform(rng, 0, maxBytes); n > 0; --n) {
        text += asciiByte(rng);
    }
    return text;
}
// piece at a random place of an ASCII text of up to 40 bytes: at the start, inside one of the
// eight-byte words ASCII is copied in, across two of them, at the end.
std::string inAscii(std::mt19937& rng, const std::string& piece) {
    std::string text = asciiText(rng, 40);
    return text.insert(std::size_t(uniform(rng, 0, int(text.size()))), piece);
}

// Every character iconv reads from cp932, as UTF-8: the characters cp932 can hold.
const std::vector<std::string>& storableCharacters() {
    static const std::vector<std::string> all = [] {
        std::vector<std::string> found;
        for (int first = 0x80; first < 0x100; ++first) {
            for (int second = 0; second < 0x100; ++second) {
                const std::string code = second == 0 ? bytes({first}) : bytes({first, second});
                const Decoded d = decode(code, By::Iconv);
                if (d.undecodable.empty()) {
                    found.push_back(d.utf8);
                }
                if (second == 0 && d.undecodable.empty()) {
                    break;
                }
            }
        }
        return found;
    }();
    return all;
}

// Pieces of UTF-8 texts, drawn from rng.
std::string storable(std::mt19937& rng) {
    const std::vector<std::string>& all = storableCharacters();
    return all[std::size_t(uniform(rng, 0, int(all.size()) - 1))];
}
// Characters that cp932 holds under another code point (iconv writes their look-alikes).
std::string lookAlike(std::mt19937& rng) {
    static const char* const kLookAlikes[] = {"¥", "‾", "〜", "¢", "£", "¬", "—", "‖", "−"};
    return kLookAlikes[uniform(rng, 0, 8)];
}
std::string withoutCp932(std::mt19937& rng) {
    static const char* const kWithout[] = {"😀",          "𠮷",     "\uFFFD", "é",         "\uFEFF",
                                           "\U000E0001", "\uE758", "\u0080", "\U0010FFFF"};
    return kWithout[uniform(rng, 0, 8)];
}
std::string malformed(std::mt19937& rng) {
    static const char* const kMalformed[] = {"\x80",
                                             "\xBF",
                                             "\xC0\x80",
                                             "\xC1\xBF",
                                             "\xE3\x81",
                                             "\xE0\x80\xAF",
                                             "\xED\xA0\x80",
                                             "\xF4\x90\x80\x80",
                                             "\xF8\x88\x80\x80\x80",
                                             "\xFE",
                                             "\xFF",
                                             "\xF0\x9F\x98"};
    return kMalformed[uniform(rng, 0, 11)];
}
std::string utf8Character(std::mt19937& rng) {
    const int kind = uniform(rng, 0, 9);
    return kind < 4 ? asciiByte(rng) : kind < 8 ? storable(rng) : lookAlike(rng);
}
std::string utf8Characters(std::mt19937& rng, int minBytes, int maxBytes) {
    const int size = uniform(rng, minBytes, maxBytes);
    std::string text;
    while (int(text.size()) < size) {
        text += utf8Character(rng);
    }
    return text;
}

// A kind of text and how many of it to try.
struct Shape {
    const char* name;
    int count;
    std::function<std::string(std::mt19937&)> make;
    bool allConverted = false; // a text to cp932 that iconv always converts
};

} // namespace

// A caller converting a million texts keeps one buffer: the conversion goes after what it
// holds, and a refused text leaves it as it was.
TEST(CodecTest, AppendsAfterWhatTheBufferHolds) {
    std::string buffer = "前";
    ASSERT_TRUE(fw::AppendUtf8ToCp932(buffer, "ﾚﾃﾞｨ手術"));
    EXPECT_EQ(buffer, "前\xDA\xC3\xDE\xA8\x8E\xE8\x8F\x70");
    const std::string before = buffer;
    EXPECT_FALSE(fw::AppendUtf8ToCp932(buffer, "手術😀"));
    EXPECT_EQ(buffer, before);
    EXPECT_FALSE(fw::AppendUtf8ToCp932(buffer, std::string(3000, 'a') + "\xFF"));
    EXPECT_EQ(buffer, before);

    // Each U+FFFD's bytes are added to those already noted, and point into the text itself.
    std::string utf8 = "x";
    std::vector<std::string_view> behind{"earlier"};
    const std::string cp932 = "\x85\x40\x82\xA0\x88";
    fw::AppendCp932ToUtf8(utf8, cp932, &behind);
    EXPECT_EQ(utf8, "x\xEF\xBF\xBD"
                    "あ\xEF\xBF\xBD");
    ASSERT_EQ(behind, (std::vector<std::string_view>{"earlier", "\x85\x40", "\x88"}));
    EXPECT_EQ(behind[1].data(), cp932.data());
    EXPECT_EQ(behind[2].data(), cp932.data() + 4);

    // The returning forms are the appending ones on an empty buffer.
    std::string out = "left over";
    ASSERT_TRUE(fw::Utf8ToCp932("あ", out));
    EXPECT_EQ(out, "\x82\xA0");
    EXPECT_EQ(fw::Cp932ToUtf8("\x82\xA0"), "あ");
}

// The C library's converter leaves a language tag (U+E0000 to U+E007F) out of what it gives,
// as if it were not there. A tag has no cp932 form: the text is refused, as one with an emoji
// is, instead of being stored without it.
TEST(CodecTest, LanguageTagsAreRefusedNotLeftOut) {
    const char* const tags[] = {"\xF3\xA0\x80\x80", "\xF3\xA0\x80\x81", "\xF3\xA0\x81\x81",
                                "\xF3\xA0\x81\xBF"};
    for (const char* tag : tags) {
        for (const std::string& text : {std::string(tag), "田中" + std::string(tag) + "a"}) {
            std::string out = "kept";
            EXPECT_FALSE(fw::AppendUtf8ToCp932(out, text)) << hex(text);
            EXPECT_FALSE(fw::AppendUtf8ToCp932ByIconv(out, text)) << hex(text);
            EXPECT_EQ(out, "kept");
        }
    }
}

// Every byte alone and every two bytes that can start a text, in the places a text puts them:
// alone, between ASCII, across the eight-byte words ASCII is copied in, after a double-byte
// character and before a lone lead byte.
TEST(CodecTest, EveryByteAndEveryTwoBytesDecodeAsIconvDecodesThem) {
    const std::pair<std::string, std::string> places[] = {
        {"", ""}, {"x", "\r\n"}, {"abcdefg", "hijklmnop"}, {"\x82\xA0", "\x88"}};
    Disagreements singles;
    Disagreements pairs;
    for (const auto& [before, after] : places) {
        for (int first = 0; first < 0x100; ++first) {
            singles.Decode(before + bytes({first}) + after);
            for (int second = 0; second < 0x100; ++second) {
                pairs.Decode(before + bytes({first, second}) + after);
            }
        }
    }
    EXPECT_EQ(singles.Count(), 0) << singles.First();
    EXPECT_EQ(pairs.Count(), 0) << pairs.First();
    EXPECT_EQ(pairs.Texts(), 4 * 65536);
}

// Every code point, the surrogates among them in the UTF-8 form they are refused in, alone and
// between ASCII and a double-byte character.
TEST(CodecTest, EveryCodePointEncodesAsIconvEncodesIt) {
    Disagreements alone;
    Disagreements between;
    for (char32_t c = 0; c < 0x110000; ++c) {
        const std::string utf8 = utf8Of(c);
        alone.Encode(utf8);
        between.Encode("abcdefg" + utf8 + "漢");
    }
    EXPECT_EQ(alone.Count(), 0) << alone.First();
    EXPECT_EQ(between.Count(), 0) << between.First();
    // Every character cp932 holds, and besides them only ASCII and the nine look-alikes.
    const std::set<std::string> storable(storableCharacters().begin(), storableCharacters().end());
    EXPECT_EQ(alone.Converted(), int(storable.size()) + 128 + 9);
}

// Byte sequences that are no UTF-8, named, and every short sequence a broken text can hold:
// all two bytes, all three bytes after a lead byte of three, four bytes after each first
// byte of four and beyond, every character cut short.
TEST(CodecTest, MalformedUtf8IsRefusedAsIconvRefusesIt) {
    const std::pair<const char*, std::string> named[] = {
        {"overlong NUL", "\xC0\x80"},
        {"overlong slash in three bytes", "\xE0\x80\xAF"},
        {"overlong U+FFFF in four bytes", "\xF0\x8F\xBF\xBF"},
        {"high surrogate", "\xED\xA0\x80"},
        {"low surrogate", "\xED\xBF\xBF"},
        {"surrogate pair in six bytes", "\xED\xA0\xBD\xED\xB8\x80"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80"},
        {"five bytes", "\xF8\x88\x80\x80\x80"},
        {"six bytes", "\xFC\x84\x80\x80\x80\x80"},
        {"continuation byte alone", "\x80"},
        {"FE and FF", "\xFE\xFF"},
        {"kanji cut short at the end", "漢\xE5\xAD"},
        {"kanji cut short before ASCII", "\xE5\xAD"
                                         "a"},
        {"kanji cut short before kanji", "\xE5\xAD"
                                         "漢"},
        {"emoji cut short", "\xF0\x9F\x98"},
        {"lead byte of two at the end", "abcdefgh\xC3"},
    };
    for (const auto& [what, utf8] : named) {
        for (By by : {By::Codec, By::Iconv}) {
            std::string out;
            EXPECT_FALSE(by == By::Codec ? fw::AppendUtf8ToCp932(out, utf8)
                                         : fw::AppendUtf8ToCp932ByIconv(out, utf8))
                << what;
        }
    }

    Disagreements shortSequences;
    for (int first = 0; first < 0x100; ++first) {
        for (int second = 0; second < 0x100; ++second) {
            shortSequences.Encode(bytes({first, second}));
            for (int third = 0; third < 0x100 && first >= 0xE0 && first <= 0xEF; ++third) {
                shortSequences.Encode(bytes({first, second, third}));
            }
            for (int third : {0x41, 0x80, 0xBF, 0xC2}) {
                for (int fourth : {0x41, 0x80, 0xBF, 0xE3}) {
                    if (first >= 0xF0) {
                        shortSequences.Encode(bytes({first, second, third, fourth}));
                    }
                }
            }
        }
    }
    EXPECT_EQ(shortSequences.Count(), 0) << shortSequences.First();

    Disagreements cutShort;
    for (char32_t c = 0x80; c < 0x110000; c += c < 0x10000 ? 1 : 61) {
        const std::string utf8 = utf8Of(c);
        for (std::size_t keep = 1; keep < utf8.size(); ++keep) {
            cutShort.Encode(utf8.substr(0, keep));
            cutShort.Encode("ab" + utf8.substr(0, keep) + "c");
            cutShort.Encode(utf8.substr(0, keep) + "漢");
        }
    }
    EXPECT_EQ(cutShort.Count(), 0) << cutShort.First();
    EXPECT_EQ(cutShort.Converted(), 0);
}

// Texts of every kind the conversion treats differently, from a seeded generator.
TEST(CodecTest, RandomTextsDecodeAsIconvDecodesThem) {
    const Shape shapes[] = {
        {"pure ASCII", 3000, [](std::mt19937& rng) { return asciiText(rng, 40); }},
        {"ASCII with one double-byte character", 3000,
         [](std::mt19937& rng) { return inAscii(rng, doubleByte(rng)); }},
        {"ASCII with one half-width katakana", 2000,
         [](std::mt19937& rng) { return inAscii(rng, halfWidthKatakana(rng)); }},
        {"ASCII with one undecodable byte or pair", 2000,
         [](std::mt19937& rng) { return inAscii(rng, undecodable(rng)); }},
        {"half-width katakana between ASCII", 1000,
         [](std::mt19937& rng) {
             std::string text;
             for (int n = uniform(rng, 1, 30); n > 0; --n) {
                 text += uniform(rng, 0, 3) ? halfWidthKatakana(rng) : asciiByte(rng);
             }
             return text;
         }},
        {"a lone lead byte at the end", 2000,
         [](std::mt19937& rng) {
             return cp932Characters(rng, 0, 30) + doubleByte(rng).substr(0, 1);
         }},
        {"NUL bytes among characters", 2000,
         [](std::mt19937& rng) {
             std::string text = cp932Characters(rng, 0, 30);
             for (int n = uniform(rng, 1, 3); n > 0; --n) {
                 text.insert(std::size_t(uniform(rng, 0, int(text.size()))), 1, '\0');
             }
             return text;
         }},
        {"characters of every kind", 5000,
         [](std::mt19937& rng) { return cp932Characters(rng, 0, 64); }},
        {"long texts of every kind", 60,
         [](std::mt19937& rng) { return cp932Characters(rng, 4000, 20000); }},
        {"long ASCII ending in a double-byte character or a lone lead byte", 40,
         [](std::mt19937& rng) {
             return std::string(std::size_t(uniform(rng, 4000, 9000)), 'a') +
                    doubleByte(rng).substr(0, std::size_t(uniform(rng, 1, 2)));
         }},
        {"any bytes", 5000,
         [](std::mt19937& rng) {
             std::string text;
             for (int n = uniform(rng, 0, 40); n > 0; --n) {
                 text += char(uniform(rng, 0, 255));
             }
             return text;
         }},
    };
    std::mt19937 rng(932);
    for (const Shape& shape : shapes) {
        Disagreements d;
        for (int i = 0; i < shape.count; ++i) {
            d.Decode(shape.make(rng));
        }
        EXPECT_EQ(d.Count(), 0) << shape.name << d.First();
    }
}

TEST(CodecTest, RandomTextsEncodeAsIconvEncodesThem) {
    const Shape shapes[] = {
        {"pure ASCII", 3000, [](std::mt19937& rng) { return asciiText(rng, 40); }, true},
        {"ASCII with one character cp932 holds", 3000,
         [](std::mt19937& rng) { return inAscii(rng, storable(rng)); }, true},
        {"ASCII with one look-alike", 1000,
         [](std::mt19937& rng) { return inAscii(rng, lookAlike(rng)); }, true},
        {"ASCII with one character cp932 does not hold", 2000,
         [](std::mt19937& rng) { return inAscii(rng, withoutCp932(rng)); }},
        {"ASCII with one malformed sequence", 2000,
         [](std::mt19937& rng) { return inAscii(rng, malformed(rng)); }},
        {"characters cp932 holds", 5000,
         [](std::mt19937& rng) { return utf8Characters(rng, 0, 64); }, true},
        {"NUL bytes among characters", 2000,
         [](std::mt19937& rng) {
             std::string text;
             for (int n = uniform(rng, 1, 20); n > 0; --n) {
                 text += uniform(rng, 0, 3) ? utf8Character(rng) : std::string(1, '\0');
             }
             return text;
         },
         true},
        {"long texts", 60, [](std::mt19937& rng) { return utf8Characters(rng, 4000, 20000); },
         true},
        {"long texts with one character cp932 does not hold or one malformed sequence", 60,
         [](std::mt19937& rng) {
             std::string text = utf8Characters(rng, 4000, 20000);
             return text + (uniform(rng, 0, 1) ? withoutCp932(rng) : malformed(rng)) +
                    utf8Characters(rng, 0, 600);
         }},
        {"any code points", 3000,
         [](std::mt19937& rng) {
             std::string text;
             for (int n = uniform(rng, 1, 4); n > 0; --n) {
                 text += utf8Of(char32_t(uniform(rng, 0, 0x10FFFF)));
             }
             return text;
         }},
        {"any bytes", 5000,
         [](std::mt19937& rng) {
             std::string text;
             for (int n = uniform(rng, 0, 40); n > 0; --n) {
                 text += char(uniform(rng, 0, 255));
             }
             return text;
         }},
    };
    std::mt19937 rng(65001);
    for (const Shape& shape : shapes) {
        Disagreements d;
        for (int i = 0; i < shape.count; ++i) {
            d.Encode(shape.make(rng));
        }
        EXPECT_EQ(d.Count(), 0) << shape.name << d.First();
        if (shape.allConverted) {
            EXPECT_EQ(d.Converted(), d.Texts()) << shape.name;
        }
    }
}

// What the C library's CP932 does with the codes and characters that have more than one form,
// which texts typed here, kept in old data files and read by other programs rely on. Both the
// codec and iconv alone give it.
TEST(CodecTest, CodesAndCharactersWithMoreThanOneForm) {
    const std::pair<const char*, std::string> decoded[][2] = {
        {{"backslash, not yen", "\x5C"}, {"", "\\"}},
        {{"tilde, not overline", "\x7E"}, {"", "~"}},
        {{"half-width katakana", "\xB1\xDF"}, {"", "ｱﾟ"}},
        {{"0x8160 is the full-width tilde", "\x81\x60"}, {"", "～"}},
        {{"0x815C is the horizontal bar", "\x81\x5C"}, {"", "―"}},
        {{"0x8161 is the parallel sign", "\x81\x61"}, {"", "∥"}},
        {{"0x817C is the full-width hyphen-minus", "\x81\x7C"}, {"", "－"}},
        {{"≒ of NEC row 13 and of JIS row 2", "\x87\x90\x81\xE0"}, {"", "≒≒"}},
        {{"Ⅰ of NEC row 13 and of the IBM extensions", "\x87\x54\xFA\x4A"}, {"", "ⅠⅠ"}},
        {{"纊 of the NEC-selected and of the IBM extensions", "\xED\x40\xFA\x5C"}, {"", "纊纊"}},
        {{"￢ of JIS row 2, NEC-selected and IBM", "\x81\xCA\xEE\xF9\xFA\x54"}, {"", "￢￢￢"}},
        {{"user-defined codes are the private use area", "\xF0\x40\xF9\xFC"}, {"", "\uE000\uE757"}},
    };
    for (const auto& [code, utf8] : decoded) {
        for (By by : {By::Codec, By::Iconv}) {
            const Decoded d = decode(code.second, by);
            EXPECT_EQ(d.utf8, utf8.second) << code.first;
            EXPECT_TRUE(d.undecodable.empty()) << code.first;
        }
    }
    const std::pair<const char*, std::string> encoded[][2] = {
        {{"yen becomes the backslash byte", "¥"}, {"", "\x5C"}},
        {{"overline becomes the tilde byte", "‾"}, {"", "\x7E"}},
        {{"wave dash and full-width tilde", "〜～"}, {"", "\x81\x60\x81\x60"}},
        {{"em dash and horizontal bar", "—―"}, {"", "\x81\x5C\x81\x5C"}},
        {{"double vertical line and parallel sign", "‖∥"}, {"", "\x81\x61\x81\x61"}},
        {{"minus sign and full-width hyphen-minus", "−－"}, {"", "\x81\x7C\x81\x7C"}},
        {{"cent, pound and not become their full-width forms", "¢£¬"},
         {"", "\x81\x91\x81\x92\x81\xCA"}},
        {{"≒ in JIS row 2", "≒"}, {"", "\x81\xE0"}},
        {{"Ⅰ in NEC row 13", "Ⅰ"}, {"", "\x87\x54"}},
        {{"ⅰ among the IBM extensions", "ⅰ"}, {"", "\xFA\x40"}},
        {{"纊 among the IBM extensions", "纊"}, {"", "\xFA\x5C"}},
        {{"￢ in JIS row 2", "￢"}, {"", "\x81\xCA"}},
        {{"the private use area in user-defined codes", "\uE000\uE757"}, {"", "\xF0\x40\xF9\xFC"}},
    };
    for (const auto& [utf8, code] : encoded) {
        for (By by : {By::Codec, By::Iconv}) {
            const Encoded e = encode(utf8.second, by);
            EXPECT_TRUE(e.converted) << utf8.first;
            EXPECT_EQ(e.cp932, code.second) << utf8.first;
        }
    }
}

// Fresh tables asked for many pages by several threads at once: whichever thread asks a page
// of iconv first, every thread converts as iconv does.
TEST(CodecTest, TablesFilledByManyThreadsAtOnce) {
    std::vector<std::string> cp932Texts;
    std::vector<std::string> utf8Texts;
    for (int lead = 0x80; lead < 0x100; ++lead) {
        for (int trail = 0x3F; trail < 0x100; trail += 37) {
            cp932Texts.push_back("a" + bytes({lead, trail, lead, trail + 1}));
        }
    }
    for (char32_t c = 0x80; c < 0x110000; c += c < 0x10000 ? 61 : 4099) {
        utf8Texts.push_back(utf8Of(c) + "a" + utf8Of(c + 1));
    }
    std::vector<Decoded> decodedByIconv;
    for (const std::string& text : cp932Texts) {
        decodedByIconv.push_back(decode(text, By::Iconv));
    }
    std::vector<Encoded> encodedByIconv;
    for (const std::string& text : utf8Texts) {
        encodedByIconv.push_back(encode(text, By::Iconv));
    }

    auto tables = std::make_unique<fw::Cp932Tables>();
    constexpr int kThreads = 4;
    std::vector<int> wrong(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (std::size_t k = 0; k < cp932Texts.size(); ++k) {
                const std::size_t i = (k * 7 + std::size_t(t) * 101) % cp932Texts.size();
                Decoded d;
                std::vector<std::string_view> behind;
                tables->AppendCp932ToUtf8(d.utf8, cp932Texts[i], &behind);
                d.undecodable.assign(behind.begin(), behind.end());
                wrong[std::size_t(t)] += d == decodedByIconv[i] ? 0 : 1;
            }
            for (std::size_t k = 0; k < utf8Texts.size(); ++k) {
                const std::size_t i = (k * 13 + std::size_t(t) * 211) % utf8Texts.size();
                Encoded e;
                e.converted = tables->AppendUtf8ToCp932(e.cp932, utf8Texts[i]);
                wrong[std::size_t(t)] += e == encodedByIconv[i] ? 0 : 1;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong, std::vector<int>(kThreads, 0));
}
