#include "framework/String.h"
#include "framework/Codec.h"

#include <gtest/gtest.h>

#include <clocale>
#include <random>
#include <string_view>
#include <vector>

namespace {

CString bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) {
        s += char(b);
    }
    return CString(s);
}

int sign(int v) {
    return v < 0 ? -1 : v > 0 ? 1 : 0;
}

} // namespace

TEST(StringTest, HoldsAnyBytesAndCopiesIndependently) {
    CString shortText("abc");
    CString longText(std::string(40, 'x'));
    CString withNul(std::string_view("a\0b", 3));
    EXPECT_EQ(withNul.GetLength(), 3);
    CString copy = longText;
    copy.SetAt(0, 'y');
    EXPECT_EQ(longText[0], 'x');
    copy = shortText;
    EXPECT_EQ(copy, "abc");
    copy += longText;
    EXPECT_EQ(copy.GetLength(), 43);
    copy = copy.Mid(1); // assignment from a part of itself
    EXPECT_EQ(copy.GetLength(), 42);
    CString moved = std::move(copy);
    EXPECT_TRUE(copy.IsEmpty());
    EXPECT_EQ(moved.GetLength(), 42);
    for (int n : {0, 14, 15, 16, 100}) {
        CString grown;
        for (int i = 0; i < n; ++i) {
            grown += char('a' + i % 26);
        }
        EXPECT_EQ(grown.GetLength(), n);
        EXPECT_EQ(grown.c_str()[n], '\0');
    }
}

TEST(StringTest, FindMatchesOnlyAtCharacterBoundaries) {
    // "ア" in cp932 is 0x83 0x41; a search for "A" (0x41) must not match its trail byte.
    CString text = "アA"_sj;
    EXPECT_EQ(text.Find("A"), 2);
    EXPECT_EQ(CString("アイ"_sj).Find("A"), -1);
    EXPECT_EQ(text.Find(""), 0);
    EXPECT_EQ(CString("abcabc").Find("c", 3), 5);
    EXPECT_EQ(CString("3E").Find('E'), 1);
    EXPECT_EQ(CString("").Find("a"), -1);
}

TEST(StringTest, LeftWholeNeverSplitsADoubleByteCharacter) {
    CString text = "ab漢字"_sj; // 2 + 2 + 2 bytes
    EXPECT_EQ(text.LeftWhole(3), "ab");
    EXPECT_EQ(text.LeftWhole(4), "ab漢"_sj);
    EXPECT_EQ(text.LeftWhole(5), "ab漢"_sj);
    EXPECT_EQ(text.LeftWhole(100), text);
    EXPECT_EQ(text.LeftWhole(0), "");
}

TEST(StringTest, CompareFollowsTheMultibyteOrder) {
    // Half-width katakana (single bytes 0xA1-0xDF) sort before every double-byte character,
    // although their bytes are larger than the lead bytes 0x81-0x9F.
    CString halfKana = "ｱ"_sj; // 0xB1
    CString kanji = "亜"_sj;   // 0x88 0x9F
    EXPECT_LT(halfKana.Compare(kanji), 0);
    EXPECT_GT(kanji.Compare(halfKana), 0);
    EXPECT_LT(CString("a").Compare(CString("b")), 0);
    EXPECT_LT(CString("").Compare(CString("a")), 0);
    EXPECT_EQ(CString("ab").Compare(CString("ab")), 0);
    // A NUL byte ends the text, and so does a lead byte without its trail.
    EXPECT_EQ(bytes({'a', 0, 'x'}).Compare(bytes({'a', 0, 'y'})), 0);
    EXPECT_EQ(bytes({'a', 0x88}).Compare(CString("a")), 0);
    EXPECT_EQ(bytes({'a', 0x88, 0}).Compare(CString("a")), 0);
}

// The sort indexes order texts by their chunks and find equal ones by the bytes the order
// reads; both must agree with Compare, NUL bytes and lone lead bytes included.
TEST(StringTest, SortChunksAndOrderedBytesAgreeWithCompare) {
    std::mt19937 rng(7);
    const int alphabet[] = {0, 'a', 'b', 0x81, 0x88, 0x9F, 0xA1, 0xB1, 0xDF, 0xE0, 0xFC, 0x40};
    auto randomText = [&] {
        std::string s;
        int n = std::uniform_int_distribution<int>(0, 12)(rng);
        for (int i = 0; i < n; ++i) {
            s += char(alphabet[std::uniform_int_distribution<int>(0, 11)(rng)]);
        }
        return CString(s);
    };
    auto chunkOrder = [](const CString& a, const CString& b) {
        std::uint32_t oa = 0;
        std::uint32_t ob = 0;
        for (;;) {
            const std::uint64_t ca = CString::SortChunk(a.view(), oa);
            const std::uint64_t cb = CString::SortChunk(b.view(), ob);
            if (ca != cb) {
                return ca > cb ? 1 : -1;
            }
            if ((ca & 0xFFFF) == 0) {
                return 0;
            }
        }
    };
    for (int i = 0; i < 20000; ++i) {
        CString a = randomText();
        CString b = randomText();
        const int c = sign(a.Compare(b));
        ASSERT_EQ(chunkOrder(a, b), c) << i;
        ASSERT_EQ(a.OrderedBytes() == b.OrderedBytes(), c == 0) << i;
    }
}

TEST(StringTest, ConvertsAtTheEdgeAndRefusesWhatCp932CannotHold) {
    CString text;
    ASSERT_TRUE(CString::FromUtf8("ﾚﾃﾞｨ 手術～", text));
    EXPECT_EQ(text.GetLength(), 4 + 1 + 4 + 2);
    EXPECT_EQ(text.ToUtf8(), "ﾚﾃﾞｨ 手術～");
    EXPECT_FALSE(CString::FromUtf8("痛い😀", text));
    EXPECT_FALSE(CString::FromUtf8("\xff\xfe", text));
    // A damaged text still shows: an undecodable byte becomes a replacement character.
    EXPECT_EQ(bytes({'a', 0x88}).ToUtf8(), "a\xEF\xBF\xBD");
    // An unassigned pair is one character; a lone lead byte does not swallow a line break.
    std::vector<std::string_view> behind;
    const CString damaged = bytes({0x85, 0x40, 'b', 0x88, '\r', '\n', 0xA0});
    EXPECT_EQ(fw::Cp932ToUtf8(damaged.view(), &behind), "\xEF\xBF\xBD"
                                                        "b\xEF\xBF\xBD\r\n\xEF\xBF\xBD");
    EXPECT_EQ(behind, (std::vector<std::string_view>{"\x85\x40", "\x88", "\xA0"}));
    EXPECT_EQ("\r\n"_sj.GetLength(), 2);
}

// A text converted after another, longer or refused, holds its own bytes only; a refused one
// leaves the text it was to go into as it was.
TEST(StringTest, ConvertsEachTextOnItsOwnWhateverCameBefore) {
    CString text;
    std::string longUtf8;
    for (int i = 0; i < 40000; ++i) {
        longUtf8 += "手術";
    }
    ASSERT_TRUE(CString::FromUtf8(longUtf8, text));
    EXPECT_EQ(text.GetLength(), 160000);
    ASSERT_TRUE(CString::FromUtf8("ｱ", text));
    EXPECT_EQ(text, "\xB1");
    EXPECT_FALSE(CString::FromUtf8("術😀", text));
    EXPECT_EQ(text, "\xB1");
    ASSERT_TRUE(CString::FromUtf8("", text));
    EXPECT_TRUE(text.IsEmpty());
}

TEST(StringTest, FormatsInTheCLocaleWhateverTheProcessLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = previous ? previous : "C";
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "ja_JP.UTF-8"}) {
        if (std::setlocale(LC_NUMERIC, name)) {
            break;
        }
    }
    EXPECT_EQ(CString::Formatted("%.2f,%d", 170.5, -1), "170.50,-1");
    std::setlocale(LC_NUMERIC, saved.c_str());
    CString big;
    big.Format("%s", std::string(1000, 'z').c_str());
    EXPECT_EQ(big.GetLength(), 1000);
}
