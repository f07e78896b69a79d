#include "framework/Codec.h"

#include "framework/Cp932Tables.h"

#include <cerrno>
#include <iconv.h>

namespace fw {
namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter() {
        if (m_cd != reinterpret_cast<iconv_t>(-1)) {
            iconv_close(m_cd);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as it can; returns false at the first input it cannot convert, with
    // *consumed set to the bytes taken so far.
    bool run(std::string_view in, std::string& out, std::size_t* consumed) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        char buffer[4096];
        for (;;) {
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            std::size_t r = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, sizeof buffer - dstLeft);
            if (r != std::size_t(-1)) {
                if (srcLeft == 0) {
                    // Flush any shift state (none for these encodings, but cheap).
                    dst = buffer;
                    dstLeft = sizeof buffer;
                    iconv(m_cd, nullptr, nullptr, &dst, &dstLeft);
                    out.append(buffer, sizeof buffer - dstLeft);
                    *consumed = in.size();
                    return true;
                }
                continue;
            }
            if (errno == E2BIG) {
                continue;
            }
            *consumed = in.size() - srcLeft;
            return false;
        }
    }

private:
    iconv_t m_cd;
};

Converter& toCp932() {
    thread_local Converter c("CP932", "UTF-8");
    return c;
}

Converter& fromCp932() {
    thread_local Converter c("UTF-8", "CP932");
    return c;
}

// iconv leaves out the language tags U+E0000 to U+E007F without a word, as if they were not
// there; they have no cp932 form, and a text holding one must not be stored without it.
bool hasLanguageTag(std::string_view utf8) {
    for (std::size_t at = utf8.find("\xF3\xA0"); at != std::string_view::npos;
         at = utf8.find("\xF3\xA0", at + 1)) {
        if (at + 2 < utf8.size() && (utf8[at + 2] == '\x80' || utf8[at + 2] == '\x81')) {
            return true;
        }
    }
    return false;
}

} // namespace

bool Utf8ToCp932(std::string_view utf8, std::string& out) {
    out.clear();
    return AppendUtf8ToCp932(out, utf8);
}

std::string Cp932ToUtf8(std::string_view cp932, std::vector<std::string_view>* undecodable) {
    std::string out;
    AppendCp932ToUtf8(out, cp932, undecodable);
    return out;
}

bool AppendUtf8ToCp932(std::string& out, std::string_view utf8) {
    return Cp932Tables::Shared().AppendUtf8ToCp932(out, utf8);
}

void AppendCp932ToUtf8(std::string& out, std::string_view cp932,
                       std::vector<std::string_view>* undecodable) {
    Cp932Tables::Shared().AppendCp932ToUtf8(out, cp932, undecodable);
}

bool AppendUtf8ToCp932ByIconv(std::string& out, std::string_view utf8) {
    const std::size_t start = out.size();
    Converter& c = toCp932();
    std::size_t consumed = 0;
    if (c.ok() && !hasLanguageTag(utf8) && c.run(utf8, out, &consumed)) {
        return true;
    }
    out.resize(start);
    return false;
}

void AppendCp932ToUtf8ByIconv(std::string& out, std::string_view cp932,
                              std::vector<std::string_view>* undecodable) {
    Converter& c = fromCp932();
    if (!c.ok()) {
        return;
    }
    while (!cp932.empty()) {
        std::size_t consumed = 0;
        if (c.run(cp932, out, &consumed)) {
            break;
        }
        // Skip one undecodable character: a lead byte takes a trail byte with it, but not a
        // byte that cannot be one (a line break after a lone lead byte stays a line break).
        std::size_t skip = 1;
        if (IsLeadByte(static_cast<unsigned char>(cp932[consumed])) &&
            consumed + 1 < cp932.size() &&
            IsTrailByte(static_cast<unsigned char>(cp932[consumed + 1]))) {
            skip = 2;
        }
        out += "\xEF\xBF\xBD";
        if (undecodable) {
            undecodable->push_back(cp932.substr(consumed, skip));
        }
        cp932.remove_prefix(consumed + skip);
    }
}

} // namespace fw
