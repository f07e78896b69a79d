#pragma once
// The registry's rows as the server holds them: PostgreSQL's binary COPY format read and
// written, and a case, an incident row and a text turned into columns and back. Texts go to
// the server as UTF-8; a text that would not come back as the same Shift-JIS bytes (a byte that
// is no character, a NUL, one of the duplicate codes) is kept exactly in a side column too.

#include "framework/String.h"
#include "framework/Time32.h"
#include "registry/CaseRecord.h"
#include "server/Connection.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace server {

// One field of a binary COPY row; null has no bytes.
struct Field {
    std::string_view bytes;
    bool null = false;
};

// Reads the rows of a binary COPY stream, given in pieces as they arrive; the fields of a row
// handed out are valid while row runs.
class CopyReader {
public:
    // Takes the next piece; calls row for each row that is complete. False with error when
    // the stream is not a binary COPY stream or row returned false (row sets error then).
    template <class Row> bool Feed(std::string_view piece, Row&& row, CString& error) {
        // The rows are read where they lie: only a row cut between two pieces is gathered
        // (libpq hands out one whole row a piece).
        if (!m_pending.empty()) {
            m_pending.append(piece.data(), piece.size());
            piece = m_pending;
        }
        std::size_t at = 0;
        while (true) {
            const ReadState state = next(piece, at, error);
            if (state == ReadState::Bad) {
                return false;
            }
            if (state != ReadState::Row) {
                break;
            }
            if (!row(m_fields, error)) {
                return false;
            }
        }
        if (piece.data() == m_pending.data()) {
            m_pending.erase(0, at);
        } else {
            m_pending.assign(piece.substr(at));
        }
        return true;
    }
    // After the last piece: false with error when the stream ended before its trailer.
    bool Finish(CString& error) const;

private:
    enum class ReadState { Row, NeedMore, Bad, Ended };
    ReadState next(std::string_view data, std::size_t& at, CString& error);

    std::string m_pending;
    bool m_header = false;
    bool m_ended = false;
    std::vector<Field> m_fields;
};

// Writes rows in the binary COPY format into a buffer that the caller sends on.
class CopyWriter {
public:
    CopyWriter();
    void BeginRow(int fields);
    void Int16(std::int16_t value);
    void Int(std::int32_t value);
    void Int64(std::int64_t value);
    void Float(float value);
    void Bytes(std::string_view bytes);
    // A text for a UTF-8 column, as TextToUtf8 gives it; false when its exact bytes must be
    // kept too.
    bool Text(std::string_view cp932);
    void Null();
    // A date as days from 2000-01-01.
    void Date(const fw::LocalDate& day);
    // The trailer after the last row.
    void End();
    std::string& Buffer() noexcept { return m_out; }

private:
    std::string m_out;
};

// Numbers of a binary field; false when the field does not have the size of one.
bool ReadInt16(const Field& f, std::int16_t& value);
bool ReadInt(const Field& f, std::int32_t& value);
bool ReadInt64(const Field& f, std::int64_t& value);
bool ReadFloat(const Field& f, float& value);

// A text for a UTF-8 column: true when the UTF-8 gives back the same bytes, else utf8 shows
// what it can (U+FFFD for what is no character) and the text needs its exact bytes kept.
bool TextToUtf8(std::string_view cp932, std::string& utf8);
// True when each character of cp932 on its own comes back from its UTF-8 as the same bytes
// and none is a NUL, by a table of every code: then so does the whole text, and TextToUtf8
// needs no conversion back to know it. False says nothing: TextToUtf8 then converts back.
bool CharactersComeBack(std::string_view cp932);
// A text from a UTF-8 column; a character Shift-JIS has no form for (put in by some other
// program) becomes "〓", and replaced counts it.
void TextFromUtf8(std::string_view utf8, std::string& cp932, int& replaced);
// The same, appended to cp932.
void AppendTextFromUtf8(std::string& cp932, std::string_view utf8, int& replaced);

// Several texts' exact bytes in one side column: each as a 4-byte little-endian length and its
// bytes. Reading checks every length against what remains.
std::string PackTexts(const std::vector<std::string_view>& texts);
bool UnpackTexts(std::string_view packed, std::size_t count, std::vector<std::string_view>& texts);

// The columns of a case, in the order of the data file (after record_index and the other
// columns of the server's own).
struct CaseColumn {
    const char* name;
    enum Kind { Int, Float, Text } kind;
    const char* label; // the column's name for the user, UTF-8
};
const std::vector<CaseColumn>& CaseColumns();
// "age_years, age_days, ..., weight": the case columns for a column list.
const std::string& CaseColumnList();
// The 17 value columns and 3 text columns of an incident row, in the order k = 0..16, 1..3.
const std::array<const char*, 20>& IncidentColumns();
const std::string& IncidentColumnList();

// The fields of a case in CaseColumns() order, then exact_texts: writes them into a row.
void WriteCaseFields(CopyWriter& out, const CCaseRecord& record);
// Reads fields (CaseColumns() order, then exact_texts) into record; false with error. With
// arena, the case's text block lies there (a loader's many cases), else the case owns it.
bool ReadCaseFields(const Field* fields, CCaseRecord& record, int& replaced, CString& error,
                    registry::TextArena* arena = nullptr);
// The same fields as the parameters of an INSERT or UPDATE, exact_texts last.
std::vector<Param> CaseParams(const CCaseRecord& record);

// An incident row's 17 values and 3 texts, and exact_texts.
struct IncidentRow {
    std::array<std::int32_t, 17> values{};
    std::array<CString, 3> texts;
};
void WriteIncidentFields(CopyWriter& out, const IncidentRow& row);
std::vector<Param> IncidentParams(const IncidentRow& row);
bool ReadIncidentFields(const Field* fields, IncidentRow& row, int& replaced, CString& error);

// The labels of the fields in which a and b differ, "名前、術式", for a message.
CString ChangedCaseFields(const CCaseRecord& a, const CCaseRecord& b);

// A text for a text parameter, and with exact, the parameter of its side column (NULL when the
// UTF-8 is exact).
Param TextParam(std::string_view cp932, Param* exact = nullptr);

} // namespace server
