// Texts laid into widths: a cut text keeps whole characters and says it was cut, a wrapped one
// loses nothing it has room for, and columns share a width so that the fewest texts are cut.

#include "framework/TextFit.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace {

CString sj(const std::string& utf8) {
    CString text;
    EXPECT_TRUE(CString::FromUtf8(utf8, text)) << utf8;
    return text;
}

// A font of the printed list in which a half-width character is 1 wide and a double-byte one
// 2, as the list's fixed-width fonts draw them.
double byBytes(const CString& text) {
    return text.GetLength();
}

// A proportional font: every character its own width, from 1 to 4, decided by its bytes.
double proportional(const CString& text) {
    double width = 0;
    for (unsigned char c : text.view()) {
        width += 0.5 + (c * 7 % 8) / 2.0;
    }
    return width;
}

// The longest start of whole characters of text that is no wider than width with tail after
// it, found by trying every start.
int referenceFittingBytes(const CString& text, double width, const fw::TextMeasure& measure,
                          const CString& tail) {
    int best = 0;
    for (int n = 1; n <= text.GetLength(); ++n) {
        if (text.LeftWhole(n).GetLength() == n && measure(text.Left(n) + tail) <= width) {
            best = n;
        }
    }
    return best;
}

} // namespace

// What the printed list shows of a text in a column of each width: the whole text when it fits,
// else whole characters and "…", never a half of a double-byte character. A half-width katakana
// is one byte and no lead byte; a lead byte standing last in a damaged text is one character.
TEST(TextFit, CutTextsKeepWholeCharactersAndEndWithEllipsis) {
    const struct {
        const char* text;
        double width;
        const char* shown;
    } kCases[] = {
        {"整形外科", 8, "整形外科"},
        {"整形外科", 7, "整形…"},
        {"全身麻酔＋硬膜外麻酔", 20, "全身麻酔＋硬膜外麻酔"},
        {"全身麻酔＋硬膜外麻酔", 19, "全身麻酔＋硬膜外…"},
        {"A整形外科", 7, "A整形…"}, // cut at 5 bytes it would halve 形
        {"A整形外科", 6, "A整…"},
        {"ｾｲｹｲｹﾞｶ", 5, "ｾｲｹ…"},
        {"ｾｲｹｲｹﾞｶ", 7, "ｾｲｹｲｹﾞｶ"},
        {"整形外科", 2, "…"},
        {"整形外科", 1, "…"},
        {"", 0, ""},
    };
    for (const auto& c : kCases) {
        const CString shown = fw::FitText(sj(c.text), c.width, byBytes);
        EXPECT_EQ(shown.ToUtf8(), c.shown) << c.text << " in " << c.width;
        EXPECT_TRUE(shown.GetLength() <= c.width || shown == sj("…")) << c.text;
    }
    const CString damaged("ABCD\x88");
    EXPECT_EQ(fw::FitText(damaged, 5, byBytes), damaged);
    EXPECT_EQ(fw::FitText(damaged, 4, byBytes), CString("AB") + sj("…"));
}

// The search that finds where a text is cut gives the longest start that fits, the same as
// trying every start, for texts of every kind of character and widths around their own.
TEST(TextFit, FindsTheLongestFittingStartAsTryingEveryStartWould) {
    const CString kCharacters[] = {"a", sj("ｱ"), sj("漢"), sj("…"), "\x88\x9F", "\xFC\xFC", " "};
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        CString text;
        const int length = int(rng() % 40);
        for (int i = 0; i < length; ++i) {
            text += kCharacters[rng() % std::size(kCharacters)];
        }
        if (rng() % 5 == 0) {
            text += "\x88"; // a lead byte without its trail
        }
        for (const fw::TextMeasure& measure :
             {fw::TextMeasure(byBytes), fw::TextMeasure(proportional)}) {
            const double width = double(rng() % 90) / 2;
            for (const CString& tail : {CString(), sj("…")}) {
                EXPECT_EQ(fw::FittingBytes(text, width, measure, tail),
                          referenceFittingBytes(text, width, measure, tail))
                    << "round " << round << " width " << width;
            }
        }
    }
}

// A remark of tens of thousands of bytes cut to a column is measured once whole and then only
// about as far as the column reaches, so a page of such cases prints without delay.
TEST(TextFit, LongTextIsNotMeasuredOverAndOver) {
    CString remark;
    while (remark.GetLength() < 60000) {
        remark += sj("導入時に血圧低下あり、");
    }
    long long measured = 0;
    const fw::TextMeasure counting = [&measured](const CString& text) {
        measured += text.GetLength();
        return byBytes(text);
    };
    const CString shown = fw::FitText(remark, 40, counting);
    EXPECT_EQ(shown, remark.LeftWhole(38) + sj("…"));
    EXPECT_LT(measured, remark.GetLength() + 1000);
}

// The criteria above a printed list go over as many lines as they need, up to the most the head
// may take, broken after a "、" between two criteria where the line has one, else after a space,
// else between any two characters; what goes beyond ends the last line with "…".
TEST(TextFit, WrapsBetweenCharactersAndMarksWhatDoesNotFit) {
    const struct {
        const char* text;
        double width;
        int maxLines;
        std::vector<std::string> lines;
    } kCases[] = {
        {"絞り込み なし", 20, 3, {"絞り込み なし"}},
        {"絞り込み 男性、緊急症例", 10, 3, {"絞り込み ", "男性、", "緊急症例"}},
        {"絞り込み 病棟 5東、病棟 6西", 14, 3, {"絞り込み 病棟 ", "5東、病棟 6西"}},
        {"絞り込み 男性、病棟 5東", 20, 3, {"絞り込み 男性、", "病棟 5東"}},
        {"男性、緊急症例、病棟東", 10, 3, {"男性、", "緊急症例、", "病棟東"}},
        {"A絞り込み", 4, 3, {"A絞", "り込", "み"}},
        {"絞り込み 男性、緊急症例", 10, 2, {"絞り込み ", "男性、緊…"}},
        {"絞り込み", 10, 1, {"絞り込み"}},
        {"絞り込み", 1, 3, {"絞", "り", "…"}},
        {"", 10, 3, {""}},
    };
    for (const auto& c : kCases) {
        const std::vector<CString> lines = fw::WrapText(sj(c.text), c.width, byBytes, c.maxLines);
        std::vector<std::string> shown;
        for (const CString& line : lines) {
            shown.push_back(line.ToUtf8());
        }
        EXPECT_EQ(shown, c.lines) << c.text << " in " << c.width;
    }
}

// Columns sharing a page: with room to spare each grows in proportion to what it holds; on a
// page too narrow the columns that want little stay whole and the widest give way, down to one
// common width; the page is always filled exactly.
TEST(TextFit, ColumnsShareTheWidthSoThatTheFewestAreCut) {
    const struct {
        std::vector<double> natural;
        double total;
        std::vector<double> widths;
    } kCases[] = {
        {{10, 20, 30}, 120, {20, 40, 60}},
        {{10, 20, 30}, 60, {10, 20, 30}},
        {{10, 10, 100}, 60, {10, 10, 40}},
        {{10, 50, 100}, 70, {10, 30, 30}},
        // a column a little wider than an even share stays whole beside a very wide one
        {{4, 10, 10, 20, 300}, 113, {4, 10, 10, 20, 69}},
        {{50, 50}, 60, {30, 30}},
        {{0, 0}, 10, {5, 5}},
        {{}, 10, {}},
    };
    for (const auto& c : kCases) {
        const std::vector<double> widths = fw::ShareWidth(c.natural, c.total);
        ASSERT_EQ(widths.size(), c.widths.size());
        for (std::size_t i = 0; i < widths.size(); ++i) {
            EXPECT_NEAR(widths[i], c.widths[i], 1e-9) << "column " << i << " of " << c.total;
        }
        if (!widths.empty()) {
            EXPECT_NEAR(std::accumulate(widths.begin(), widths.end(), 0.0), c.total, 1e-9);
        }
    }
}
