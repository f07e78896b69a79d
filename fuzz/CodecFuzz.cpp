// Feeds arbitrary bytes to the conversions between cp932 and UTF-8, read as cp932 and as UTF-8.
// Each must give exactly what iconv alone gives (the U+FFFD and the bytes behind each of them,
// or the refusal), and a cp932 text with nothing undecodable must come back from its UTF-8 as
// characters that read the same again.

#include "framework/Codec.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void same(bool agree) {
    if (!agree) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    std::string utf8 = "x";
    std::string utf8ByIconv = "x";
    std::vector<std::string_view> behind;
    std::vector<std::string_view> behindByIconv;
    fw::AppendCp932ToUtf8(utf8, input, &behind);
    fw::AppendCp932ToUtf8ByIconv(utf8ByIconv, input, &behindByIconv);
    same(utf8 == utf8ByIconv && behind == behindByIconv);

    std::string cp932 = "y";
    std::string cp932ByIconv = "y";
    const bool converted = fw::AppendUtf8ToCp932(cp932, input);
    same(converted == fw::AppendUtf8ToCp932ByIconv(cp932ByIconv, input));
    same(cp932 == cp932ByIconv && (converted || cp932 == "y"));

    if (behind.empty()) {
        std::string again;
        same(fw::Utf8ToCp932(std::string_view(utf8).substr(1), again));
        same("x" + fw::Cp932ToUtf8(again) == utf8);
    }
    return 0;
}
