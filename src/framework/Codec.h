#pragma once
// Conversion between the cp932 bytes held in memory and the UTF-8 of the window system, the
// automation scripts, the terminal and the department's server.

#include <string>
#include <string_view>
#include <vector>

namespace fw {

// True when byte c starts a double-byte character of code page 932.
constexpr bool IsLeadByte(unsigned char c) noexcept {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// True when byte c can be the second byte of a double-byte character of code page 932.
constexpr bool IsTrailByte(unsigned char c) noexcept {
    return c >= 0x40 && c <= 0xFC && c != 0x7F;
}

// False when some character has no cp932 form (an emoji, a rare kanji, a language tag) or the
// input is not valid UTF-8; out is then unspecified.
bool Utf8ToCp932(std::string_view utf8, std::string& out);

// Bytes that are not valid cp932 (a lone lead byte, an unassigned code) become U+FFFD, so that
// damaged texts still show; undecodable, when given, receives the bytes behind each U+FFFD in
// order.
std::string Cp932ToUtf8(std::string_view cp932,
                        std::vector<std::string_view>* undecodable = nullptr);

// The same conversions appending to out, so that one buffer serves a million texts. On false
// out is left as it was.
bool AppendUtf8ToCp932(std::string& out, std::string_view utf8);
void AppendCp932ToUtf8(std::string& out, std::string_view cp932,
                       std::vector<std::string_view>* undecodable = nullptr);

// The same again, done by iconv ("CP932") alone, one call per text: the reference the faster
// conversions above are held to, and what they fall back on where iconv answers something
// their tables cannot hold.
bool AppendUtf8ToCp932ByIconv(std::string& out, std::string_view utf8);
void AppendCp932ToUtf8ByIconv(std::string& out, std::string_view cp932,
                              std::vector<std::string_view>* undecodable = nullptr);

} // namespace fw
