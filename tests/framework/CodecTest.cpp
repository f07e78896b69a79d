#include "framework/Codec.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

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
