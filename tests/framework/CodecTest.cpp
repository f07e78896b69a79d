#include "framework/Codec.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::string hex(std::string_view bytes) {
    std::string out;
    for (char c : bytes) {
        char two[4];
        std::snprintf(two, sizeof two, "%02X ", static_cast<unsigned char>(c));
        out += two;
    }
    return out.empty() ? "(empty)" : out.substr(0, out.size() - 1);
}

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
