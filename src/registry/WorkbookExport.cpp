#include "registry/WorkbookExport.h"

#include "framework/Codec.h"
#include "registry/CsvExport.h"
#include "registry/ListColumns.h"

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

[[noreturn]] void fail(const std::string& file, const CString& reason) {
    throw fw::CFileException(file, 0, reason, fw::FileStep::Write);
}

// What went wrong inside the workbook library, in the user's words.
CString libraryErrorText(lxw_error error, int systemError) {
    switch (error) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return "メモリが足りません"_sj;
    case LXW_ERROR_CREATING_XLSX_FILE:
        return systemError != 0 ? fw::SystemErrorText(systemError) : "ファイルを作成できません"_sj;
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
        return "作業用の一時ファイルを作成または読み込みできません"_sj;
    case LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED:
        return "1 つのセルに入る 32,767 文字を超えています"_sj;
    default:
        return "ワークブックを作成できません（"_sj + std::string_view(lxw_strerror(error)) +
               "）"_sj;
    }
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// "_xHHHH_" at text[i].
bool looksLikeEscape(std::string_view text, std::size_t i) {
    if (text.size() - i < 7 || text[i] != '_' || (text[i + 1] != 'x' && text[i + 1] != 'X') ||
        text[i + 6] != '_') {
        return false;
    }
    return isHex(text[i + 2]) && isHex(text[i + 3]) && isHex(text[i + 4]) && isHex(text[i + 5]);
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
        const std::string text = WorkbookText(cp932);
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
};

void writeHeader(lxw_worksheet* sheet, lxw_format* bold, int cases) {
    lxw_col_t col = 0;
    for (const char* name : ListColumnNames()) {
        worksheet_write_string(sheet, 0, col++, name, bold);
    }
    worksheet_freeze_panes(sheet, 1, 0);
    worksheet_autofilter(sheet, 0, 0, lxw_row_t(cases), kExportFields - 1);
}

} // namespace

std::string WorkbookText(std::string_view cp932) {
    const std::string utf8 = fw::Cp932ToUtf8(cp932);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') {
            continue;
        }
        if (c == '_' && looksLikeEscape(utf8, i)) {
            out += "_x005F";
        }
        out += c;
    }
    return out;
}

void WriteWorkbook(const CQuellmarkDoc& doc, const std::string& filePath, const std::string& tmpDir,
                   const std::string& reportName) {
    const int cases = doc.GetRecordCount();
    if (cases > kWorkbookMaxCases) {
        fail(reportName,
             "1 枚のシートに入る "_sj + std::to_string(kWorkbookMaxCases) + " 件を超えています"_sj);
    }
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
        fail(reportName,
             libraryErrorText(
                 workbook ? LXW_ERROR_CREATING_TMPFILE : LXW_ERROR_MEMORY_MALLOC_FAILED, 0));
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
    }
    // Closing writes the file and frees the workbook, whatever it answers.
    errno = 0;
    const lxw_error closed = workbook_close(workbook.release());
    const int systemError = errno;
    if (closed != LXW_NO_ERROR) {
        fail(reportName, libraryErrorText(closed, systemError));
    }
}

bool ExportWorkbook(const CQuellmarkDoc& doc, const std::string& path, CString* error) {
    const fw::FilePolicy policy = doc.NewFilePolicy();
    return ExportReplacing(path, error, [&](CString* reason) {
        return fw::SaveFileByName(
            path,
            [&](const std::string& tempPath) {
                std::string dir = std::filesystem::path(tempPath).parent_path().string();
                WriteWorkbook(doc, tempPath, dir.empty() ? "." : dir, path);
            },
            reason, doc.GetFileOps(), &policy);
    });
}

} // namespace registry
