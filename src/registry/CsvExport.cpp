#include "registry/CsvExport.h"

#include "registry/ListColumns.h"

#include <charconv>
#include <filesystem>
#include <system_error>

namespace registry {
namespace {

// The full-width comma and space of cp932.
constexpr std::string_view kWideComma = "\x81\x43";
constexpr std::string_view kWideSpace = "\x81\x40";
constexpr std::string_view kLineEnd = "\r\n";

// One line of the file: every cell followed by a comma.
class Line {
public:
    explicit Line(std::string& out) : m_out(out) {}

    void Number(int value) {
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        m_out.append(digits, end);
        m_out += ',';
    }
    void Fixed2(float value) {
        AppendFixed2(m_out, value);
        m_out += ',';
    }
    void Text(std::string_view text) {
        AppendCleaned(m_out, text);
        m_out += ',';
    }
    void Label(std::string_view label) {
        m_out += label;
        m_out += ',';
    }
    void Empty() { m_out += ','; }

private:
    std::string& m_out;
};

constexpr std::size_t kChunk = 1 << 20;

} // namespace

const CString& ExportHeader() {
    static const CString header = [] {
        std::string utf8;
        for (const char* name : ListColumnNames()) {
            utf8 += name;
            utf8 += ',';
        }
        CString text;
        CString::FromUtf8(utf8, text);
        return text + kLineEnd;
    }();
    return header;
}

void AppendFixed2(std::string& out, float value) {
    char digits[64];
    const auto end =
        std::to_chars(digits, digits + sizeof digits, double(value), std::chars_format::fixed, 2)
            .ptr;
    out.append(digits, end);
}

void AppendCleaned(std::string& out, std::string_view text) {
    // Neither a comma nor a line feed nor a CR is ever the second byte of a cp932 character,
    // so the bytes can be looked at one by one.
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != ',' && c != '\n') {
            continue;
        }
        // The CR of a CR LF pair goes with its line feed; any other byte before a line feed
        // is a character of the text and stays.
        const std::size_t end = c == '\n' && i > start && text[i - 1] == '\r' ? i - 1 : i;
        out.append(text.substr(start, end - start));
        out += c == ',' ? kWideComma : kWideSpace;
        start = i + 1;
    }
    out.append(text.substr(start));
}

void AppendCaseLine(std::string& out, const CQuellmarkDoc& doc, int index) {
    Line line(out);
    VisitListColumns(doc, index, line);
    out += kLineEnd;
}

void WriteCaseList(const CQuellmarkDoc& doc, fw::CFile& file, fw::Progress& progress) {
    std::string buffer;
    buffer.reserve(kChunk + 64 * 1024);
    buffer += ExportHeader().view();
    const int cases = doc.GetRecordCount();
    for (int i = 0; i < cases; ++i) {
        AppendCaseLine(buffer, doc, i);
        if (buffer.size() >= kChunk) {
            file.Write(buffer.data(), buffer.size());
            buffer.clear();
            if (!progress.Report(std::uint64_t(i) + 1, std::uint64_t(cases))) {
                throw fw::CancelledException();
            }
        }
    }
    file.Write(buffer.data(), buffer.size());
}

bool ExportReplacing(const std::string& path, CString* error,
                     const std::function<bool(CString* reason)>& save) {
    std::error_code ec;
    const bool existed = std::filesystem::exists(path, ec);
    CString reason;
    try {
        if (save(&reason)) {
            return true;
        }
    } catch (const fw::CancelledException&) {
        reason =
            "「"_sj + fw::PathText(fw::BaseNameOf(path)) + "」のエクスポートを取り消しました"_sj;
    }
    if (error) {
        *error = reason + (existed ? "。\r\n以前のファイルはそのまま残っています。"_sj
                                   : "。\r\nファイルは作成されていません。"_sj);
    }
    return false;
}

bool ExportCaseList(const CQuellmarkDoc& doc, const std::string& path, CString* error,
                    fw::Progress& progress) {
    const fw::FilePolicy policy = doc.NewFilePolicy();
    return ExportReplacing(path, error, [&](CString* reason) {
        return fw::SaveFile(
            path, [&](fw::CFile& file) { WriteCaseList(doc, file, progress); }, reason,
            doc.GetFileOps(), &policy);
    });
}

} // namespace registry
