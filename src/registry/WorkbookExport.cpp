#include "registry/WorkbookExport.h"

#include "framework/Codec.h"
#include "registry/CsvExport.h"
#include "registry/ListColumns.h"
#include "registry/WorkbookScratch.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <unordered_map>
#include <xlsxwriter.h>

namespace registry {
namespace {

constexpr const char* kSheetName = "患者リスト";
constexpr std::string_view kEllipsis = "…";

// The bar's share of the rows; the rest is the library's compression of what they became,
// which takes about three times as long.
constexpr std::uint64_t kRowsShare = 250;
constexpr std::uint64_t kShares = 1000;
constexpr int kRowsPerReport = 256;

[[noreturn]] void fail(const std::string& file, const CString& reason) {
    throw fw::CFileException(file, 0, reason, fw::FileStep::Write);
}

// What went wrong inside the workbook library, in the user's words. The error number of the
// system, where one is known, says it best.
CString libraryErrorText(lxw_error error, int systemError) {
    if (error == LXW_ERROR_MEMORY_MALLOC_FAILED || systemError == ENOMEM) {
        return "メモリが足りません"_sj;
    }
    if (systemError != 0) {
        return fw::SystemErrorText(systemError);
    }
    switch (error) {
    case LXW_ERROR_CREATING_XLSX_FILE:
        return "ファイルを作成できません"_sj;
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
        return "作業用の一時ファイルを作成または読み込みできません"_sj;
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        return "ファイルに書き込めません"_sj;
    default:
        return "ワークブックを組み立てられません（内部のエラー "_sj + std::to_string(int(error)) +
               "）"_sj;
    }
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// An underscore, x, one or more hex digits and an underscore at text[i]: a spreadsheet reads
// any of them as a character's code, whatever the number of digits.
bool looksLikeEscape(std::string_view text, std::size_t i) {
    if (i + 3 >= text.size() || text[i] != '_' || (text[i + 1] != 'x' && text[i + 1] != 'X')) {
        return false;
    }
    std::size_t j = i + 2;
    while (j < text.size() && isHex(text[j])) {
        ++j;
    }
    return j > i + 2 && j < text.size() && text[j] == '_';
}

bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The UTF-8 of a cp932 text with a line feed for each CR LF, and its number of characters.
std::string cellCharacters(std::string_view cp932, std::size_t& characters) {
    std::string utf8 = fw::Cp932ToUtf8(cp932);
    std::size_t out = 0;
    characters = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') {
            continue;
        }
        characters += isContinuation(c) ? 0 : 1;
        utf8[out++] = c;
    }
    utf8.resize(out);
    return utf8;
}

std::string escaped(std::string utf8) {
    if (utf8.find('_') == std::string::npos) {
        return utf8;
    }
    std::string out;
    out.reserve(utf8.size() + 12);
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '_' && looksLikeEscape(utf8, i)) {
            out += "_x005F";
        }
        out += utf8[i];
    }
    return out;
}

struct WorkbookDeleter {
    void operator()(lxw_workbook* workbook) const { lxw_workbook_free(workbook); }
};

// The cells of one case as the sheet's row, column by column.
class SheetRow {
public:
    SheetRow(lxw_worksheet* sheet, lxw_format* decimals, lxw_format* wrapped,
             const std::string& reportName)
        : m_sheet(sheet), m_decimals(decimals), m_wrapped(wrapped), m_reportName(reportName) {}

    void Start(int index) {
        m_index = index;
        m_row = lxw_row_t(index + 1);
        m_col = 0;
    }
    void Number(int value) { put(worksheet_write_number(m_sheet, m_row, m_col, value, nullptr)); }
    // The number the CSV writes, shown as it writes it; a value that is no number (a damaged
    // file's nan) keeps the CSV's text.
    void Fixed2(float value) {
        m_scratch.clear();
        AppendFixed2(m_scratch, value);
        if (!std::isfinite(value)) {
            putText(m_scratch, nullptr);
            return;
        }
        put(worksheet_write_number(m_sheet, m_row, m_col, std::strtod(m_scratch.c_str(), nullptr),
                                   m_decimals));
    }
    void Text(std::string_view cp932) {
        if (cp932.empty()) {
            ++m_col;
            return;
        }
        bool cut = false;
        const std::string text = WorkbookCellText(cp932, &cut);
        if (cut && m_shortened.count++ == 0) {
            m_shortened.firstRecord = m_index + 1;
            m_shortened.firstColumn = int(m_col);
        }
        putText(text, text.find('\n') != std::string::npos ? m_wrapped : nullptr);
    }
    // The program's labels are few; each is converted once.
    void Label(std::string_view cp932) {
        if (cp932.empty()) {
            ++m_col;
            return;
        }
        auto [it, added] = m_labels.try_emplace(cp932.data());
        if (added) {
            it->second = WorkbookText(cp932);
        }
        putText(it->second, nullptr);
    }
    void Empty() { ++m_col; }

    const ShortenedCells& Shortened() const { return m_shortened; }

private:
    void putText(const std::string& utf8, lxw_format* format) {
        put(worksheet_write_string(m_sheet, m_row, m_col, utf8.c_str(), format));
    }
    void put(lxw_error error) {
        if (error != LXW_NO_ERROR) {
            CString column;
            CString::FromUtf8(ListColumnNames()[m_col], column);
            fail(m_reportName, "レコード番号 "_sj + std::to_string(m_index + 1) + " の「"_sj +
                                   column + "」を書けません："_sj + libraryErrorText(error, 0));
        }
        ++m_col;
    }

    lxw_worksheet* m_sheet;
    lxw_format* m_decimals;
    lxw_format* m_wrapped;
    const std::string& m_reportName;
    int m_index = 0;
    lxw_row_t m_row = 0;
    lxw_col_t m_col = 0;
    std::string m_scratch;
    std::unordered_map<const char*, std::string> m_labels;
    ShortenedCells m_shortened;
};

void writeHeader(lxw_worksheet* sheet, lxw_format* bold, int cases) {
    lxw_col_t col = 0;
    for (const char* name : ListColumnNames()) {
        worksheet_write_string(sheet, 0, col++, name, bold);
    }
    worksheet_freeze_panes(sheet, 1, 0);
    worksheet_autofilter(sheet, 0, 0, lxw_row_t(cases), kExportFields - 1);
}

// The bar while the library puts the file together: it reads the rows' file once to build
// the sheet and the sheet once to compress it, so twice the rows' bytes are read in all.
class Assembly {
public:
    Assembly(const WorkbookScratch& scratch, fw::Progress& progress)
        : m_scratch(scratch), m_progress(progress) {}

    void Start() {
        m_readBefore = m_scratch.BytesRead();
        m_toRead = 2 * m_scratch.BytesWritten() + 1;
        m_started = true;
    }
    bool KeepGoing() {
        if (!m_started) {
            return !m_progress.IsCancelled();
        }
        const std::uint64_t read = std::min(m_scratch.BytesRead() - m_readBefore, m_toRead);
        return m_progress.Report(kRowsShare * m_toRead + (kShares - kRowsShare) * read,
                                 kShares * m_toRead);
    }

private:
    const WorkbookScratch& m_scratch;
    fw::Progress& m_progress;
    std::uint64_t m_readBefore = 0;
    std::uint64_t m_toRead = 1;
    bool m_started = false;
};

} // namespace

std::string WorkbookText(std::string_view cp932) {
    std::size_t characters = 0;
    return escaped(cellCharacters(cp932, characters));
}

std::string WorkbookCellText(std::string_view cp932, bool* cut) {
    std::size_t characters = 0;
    std::string utf8 = cellCharacters(cp932, characters);
    const bool tooLong = characters > std::size_t(kCellCharacters);
    if (tooLong) {
        // The first characters, and the ellipsis as the last one.
        std::size_t kept = 0;
        std::size_t end = 0;
        while (kept < std::size_t(kCellCharacters) - 1) {
            ++end;
            while (end < utf8.size() && isContinuation(utf8[end])) {
                ++end;
            }
            ++kept;
        }
        utf8.resize(end);
        utf8 += kEllipsis;
    }
    if (cut) {
        *cut = tooLong;
    }
    return escaped(std::move(utf8));
}

CString WorkbookNotice(const ShortenedCells& shortened) {
    CString notice = "vora_list.xlsxにデータを書き込みました。"_sj;
    if (shortened.count == 0) {
        return notice;
    }
    CString column;
    CString::FromUtf8(ListColumnNames()[std::size_t(shortened.firstColumn)], column);
    return notice + "\r\n1 つのセルに入る 32,767 文字を超える文字列 "_sj +
           std::to_string(shortened.count) +
           " 件は、先頭の部分と「…」にしました（最初はレコード番号 "_sj +
           std::to_string(shortened.firstRecord) + " の「"_sj + column +
           "」）。全文は CSV 形式のエクスポートに書き出されます。"_sj;
}

void WriteWorkbook(const CQuellmarkDoc& doc, const std::string& filePath, const std::string& tmpDir,
                   const std::string& reportName, fw::Progress& progress,
                   ShortenedCells* shortened) {
    const int cases = doc.GetRecordCount();
    if (cases > kWorkbookMaxCases) {
        fail(reportName,
             "1 枚のシートに入る "_sj + std::to_string(kWorkbookMaxCases) + " 件を超えています"_sj);
    }
    // Declared before the workbook, so that whatever the library leaves open when the workbook
    // is freed is closed after it.
    Assembly* assembly = nullptr;
    WorkbookScratch scratch(tmpDir, [&] { return assembly ? assembly->KeepGoing() : true; });
    Assembly closing(scratch, progress);
    assembly = &closing;

    // Constant memory: each row goes to a temporary file as soon as the next one starts, so
    // a registry of any size needs the same memory.
    std::string dir = tmpDir;
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = dir.data();
    std::unique_ptr<lxw_workbook, WorkbookDeleter> workbook(
        workbook_new_opt(filePath.c_str(), &options));
    lxw_worksheet* sheet = workbook ? workbook_add_worksheet(workbook.get(), kSheetName) : nullptr;
    if (!sheet) {
        fail(reportName, libraryErrorText(workbook ? LXW_ERROR_CREATING_TMPFILE
                                                   : LXW_ERROR_MEMORY_MALLOC_FAILED,
                                          scratch.Error()));
    }
    lxw_format* bold = workbook_add_format(workbook.get());
    format_set_bold(bold);
    lxw_format* decimals = workbook_add_format(workbook.get());
    format_set_num_format(decimals, "0.00");
    lxw_format* wrapped = workbook_add_format(workbook.get());
    format_set_text_wrap(wrapped);

    writeHeader(sheet, bold, cases);
    SheetRow row(sheet, decimals, wrapped, reportName);
    for (int i = 0; i < cases; ++i) {
        row.Start(i);
        VisitListColumns(doc, i, row);
        if (i % kRowsPerReport == 0) {
            if (!progress.Report(kRowsShare * std::uint64_t(i), kShares * std::uint64_t(cases))) {
                throw fw::CancelledException();
            }
            // The library does not look at its writes of the rows; a full disk shows here.
            if (scratch.Error() != 0) {
                fail(reportName, fw::SystemErrorText(scratch.Error()));
            }
        }
    }
    closing.Start();
    // Closing writes the file and frees the workbook, whatever it answers.
    errno = 0;
    const lxw_error closed = workbook_close(workbook.release());
    const int systemError = errno;
    if (scratch.Stopped() || progress.IsCancelled()) {
        throw fw::CancelledException();
    }
    if (scratch.Error() != 0) {
        fail(reportName, libraryErrorText(closed, scratch.Error()));
    }
    if (closed != LXW_NO_ERROR) {
        fail(reportName, libraryErrorText(closed, systemError));
    }
    if (shortened) {
        *shortened = row.Shortened();
    }
}

bool ExportWorkbook(const CQuellmarkDoc& doc, const std::string& path, CString* error,
                    fw::Progress& progress, ShortenedCells* shortened) {
    const fw::FilePolicy policy = doc.NewFilePolicy();
    return ExportReplacing(path, error, [&](CString* reason) {
        return fw::SaveFileByName(
            path,
            [&](const std::string& tempPath) {
                std::string dir = std::filesystem::path(tempPath).parent_path().string();
                WriteWorkbook(doc, tempPath, dir.empty() ? "." : dir, path, progress, shortened);
            },
            reason, doc.GetFileOps(), &policy);
    });
}

} // namespace registry
