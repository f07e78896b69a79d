// Feeds arbitrary bytes, in pieces the input chooses, to the reader of the server's binary
// COPY rows, as a login receives them. A row with the columns of a case is read as a case
// (with its text block in a loader's arena and in one of its own, which must agree), a row with
// the columns of an incident row as one; whatever is read must write as a row that reads back
// to the same row. The side column of exact bytes is unpacked from arbitrary bytes too. No
// input may crash, hang or make the reader allocate more than it holds.
//
// The input: one byte choosing the pieces, two bytes of a count of texts, then the stream.

#include "server/Rows.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::size_t kCaseFields = server::CaseColumns().size() + 1;
constexpr std::size_t kIncidentFields = 17 + 3 + 1;

// The row a case or an incident row writes.
std::string caseRow(const CCaseRecord& r) {
    server::CopyWriter out;
    out.Buffer().clear();
    server::WriteCaseFields(out, r);
    return out.Buffer();
}

std::string incidentRow(const server::IncidentRow& r) {
    server::CopyWriter out;
    out.Buffer().clear();
    server::WriteIncidentFields(out, r);
    return out.Buffer();
}

// The fields of a row that CopyWriter wrote without its head: each a 4-byte length (or -1
// for NULL) and its bytes.
std::vector<server::Field> fieldsOf(const std::string& row) {
    std::vector<server::Field> fields;
    std::size_t at = 0;
    while (at + 4 <= row.size()) {
        const auto* u = reinterpret_cast<const unsigned char*>(row.data() + at);
        const std::uint32_t n = std::uint32_t(u[0]) << 24 | u[1] << 16 | u[2] << 8 | u[3];
        at += 4;
        if (n == 0xffffffffu) {
            fields.push_back({{}, true});
            continue;
        }
        if (row.size() - at < n) {
            std::abort();
        }
        fields.push_back({std::string_view(row).substr(at, n), false});
        at += n;
    }
    return fields;
}

void readCase(const server::Field* fields, registry::TextArena& arena) {
    CCaseRecord own, inArena;
    int replaced = 0;
    CString error, arenaError;
    const bool read = server::ReadCaseFields(fields, own, replaced, error);
    if (read != server::ReadCaseFields(fields, inArena, replaced, arenaError, &arena)) {
        std::abort();
    }
    if (!read) {
        if (error.IsEmpty()) {
            std::abort();
        }
        return;
    }
    const std::string row = caseRow(own);
    if (caseRow(inArena) != row) {
        std::abort();
    }
    const std::vector<server::Field> again = fieldsOf(row);
    CCaseRecord back;
    if (again.size() != kCaseFields ||
        !server::ReadCaseFields(again.data(), back, replaced, error) || caseRow(back) != row) {
        std::abort();
    }
}

void readIncident(const server::Field* fields) {
    server::IncidentRow row;
    int replaced = 0;
    CString error;
    if (!server::ReadIncidentFields(fields, row, replaced, error)) {
        return;
    }
    const std::string written = incidentRow(row);
    const std::vector<server::Field> again = fieldsOf(written);
    server::IncidentRow back;
    if (again.size() != kIncidentFields ||
        !server::ReadIncidentFields(again.data(), back, replaced, error) ||
        incidentRow(back) != written) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string_view stream = input.substr(3);

    // Pieces of growing and shrinking sizes from 1 to 256 bytes.
    std::uint32_t state = data[0] | 1u;
    server::CopyReader reader;
    registry::TextArena arena;
    CString error;
    bool fed = true;
    for (std::size_t at = 0; fed && at < stream.size();) {
        state = state * 1103515245u + 12345u;
        const std::size_t piece = data[0] == 0 ? stream.size() : 1 + (state >> 16) % 256;
        fed = reader.Feed(
            stream.substr(at, piece),
            [&](const std::vector<server::Field>& fields, CString&) {
                for (const server::Field& f : fields) {
                    if (f.bytes.size() > stream.size()) {
                        std::abort(); // more than came
                    }
                }
                // As the login reads them: after record_index and last_change, after row_index.
                for (std::size_t skip : {std::size_t(0), std::size_t(1), std::size_t(2)}) {
                    if (fields.size() == kCaseFields + skip) {
                        readCase(fields.data() + skip, arena);
                    }
                    if (fields.size() == kIncidentFields + skip) {
                        readIncident(fields.data() + skip);
                    }
                }
                return true;
            },
            error);
        at += piece;
    }
    if (fed) {
        reader.Finish(error);
    } else if (error.IsEmpty()) {
        std::abort();
    }

    std::vector<std::string_view> texts;
    const std::size_t count = std::size_t(data[1]) << 8 | data[2];
    if (server::UnpackTexts(stream, count, texts) &&
        (texts.size() != count || server::PackTexts(texts) != stream)) {
        std::abort();
    }
    return 0;
}
