#include "support/SortIndexReference.h"

#include "framework/Archive.h"
#include "framework/File.h"

#include <algorithm>
#include <sstream>

using namespace registry;

namespace testing_support {
namespace {

// The characters of a text in the text order, each as two bytes, high first, so that the
// byte-wise comparison of two results compares the characters in turn.
std::string characters(const CString& text) {
    std::string out;
    const std::string_view bytes = text.view();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        const auto u = static_cast<unsigned char>(c);
        if (u == 0) {
            break;
        }
        if ((u >= 0x81 && u <= 0x9F) || (u >= 0xE0 && u <= 0xFC)) {
            if (i + 1 == bytes.size() || bytes[i + 1] == 0) {
                break;
            }
            out += c;
            out += bytes[++i];
        } else {
            out += '\0';
            out += c;
        }
    }
    return out;
}

// Integers as four bytes each, high first, the sign bit flipped: byte order is number order.
std::string parts(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        const std::uint32_t u = std::uint32_t(v) ^ 0x80000000u;
        for (int shift = 24; shift >= 0; shift -= 8) {
            out += char((u >> shift) & 0xFF);
        }
    }
    return out;
}

} // namespace

void ReferenceIndexes::setKeys(std::size_t index, const CCaseRecord& r) {
    for (auto& column : m_keys) {
        column.resize(std::max(column.size(), index + 1));
    }
    auto set = [&](int key, std::string bytes) { m_keys[std::size_t(key - 1)][index] = bytes; };
    const fw::LocalDate date = fw::LocalDateOf(r.GettSurgery());
    set(kKeyDate, parts({date.year, date.month, date.day}));
    set(kKeyKana, characters(r.GetstrKana()));
    set(kKeyId, characters(r.GetstrId()));
    set(kKeyAge, parts({r.GetnAgeYears(), r.GetnAgeMonths(), r.GetnAgeDays()}));
    set(kKeySex, parts({r.GetnSex()}));
    set(kKeyDisease, characters(r.GetstrDisease()));
    set(kKeyProcedure, characters(r.GetstrProcedure()));
    set(kKeyDepartment, characters(r.GetstrDepartment()));
    set(kKeyAsa, characters(r.GetstrAsa()));
    set(kKeyMethod, parts({r.GetnMethod()}));
    set(kKeyAnesthesiologist, characters(r.GetAnesthesiologist(0)));
    set(kKeySupervisor, characters(r.GetSupervisor(0)));
}

ReferenceIndexes::ReferenceIndexes(std::vector<CCaseRecord> cases) {
    for (const CCaseRecord& r : cases) {
        Add(r);
    }
}

void ReferenceIndexes::Add(const CCaseRecord& r) {
    setKeys(m_inserted.size(), r);
    m_inserted.push_back(int(m_inserted.size()));
}

void ReferenceIndexes::Replace(int index, const CCaseRecord& r) {
    setKeys(std::size_t(index), r);
    m_inserted.erase(std::find(m_inserted.begin(), m_inserted.end(), index));
    m_inserted.push_back(index);
}

int ReferenceIndexes::Compare(int key, int a, int b) const {
    const std::vector<std::string>& keys = m_keys[std::size_t(key - 1)];
    const int c = keys[std::size_t(a)].compare(keys[std::size_t(b)]);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

std::vector<int> ReferenceIndexes::Index(int key) const {
    const std::vector<std::string>& keys = m_keys[std::size_t(key - 1)];
    std::vector<int> order(m_inserted.rbegin(), m_inserted.rend());
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return keys[std::size_t(a)] > keys[std::size_t(b)]; });
    return order;
}

std::array<std::vector<int>, kSortKeyCount> ReferenceIndexes::Indexes() const {
    std::array<std::vector<int>, kSortKeyCount> all;
    for (int key = 1; key <= kSortKeyCount; ++key) {
        all[std::size_t(key - 1)] = Index(key);
    }
    return all;
}

std::vector<int> DocumentIndex(const CQuellmarkDoc& doc, int key) {
    std::vector<int> index;
    for (int pos = 0; pos < doc.GetRecordCount(); ++pos) {
        index.push_back(doc.GetSortIndexEntry(key, pos));
    }
    return index;
}

std::vector<std::array<int, kSortKeyCount>> SavedIndexFields(const std::string& bytes) {
    fw::CMemFile file(bytes, "vora.dat");
    fw::CArchive ar(file, fw::CArchive::load);
    CString text;
    auto skip = [&](const char* fields) {
        for (const char* f = fields; *f; ++f) {
            if (*f == 't') {
                ar.ReadText(text);
            } else {
                ar.ReadInt32(); // an integer or a float
            }
        }
    };
    skip("itt"
         "iii"
         "iii"); // version, passwords, hospital
    for (int list = 0; list < 5; ++list) {
        for (std::int32_t n = ar.ReadInt32() ^ CQuellmarkDoc::kIntKey; n > 0; --n) {
            ar.ReadText(text);
        }
    }
    const std::int32_t records = ar.ReadInt32() ^ CQuellmarkDoc::kIntKey;
    std::vector<std::array<int, kSortKeyCount>> fields;
    for (std::int32_t i = 0; i < records; ++i) {
        // Fields 1 to 53 of a record block: t a text, i an integer or a float.
        skip("iiitttitttti"
             "tiititttt"
             "f"
             "t"
             "iiiiiiii"
             "tt"
             "i"
             "ttt"
             "ii"
             "t"
             "ii"
             "ttt"
             "iiiiiii"
             "f");
        std::array<int, kSortKeyCount>& entry = fields.emplace_back();
        for (int& value : entry) {
            value = ar.ReadInt32() ^ CQuellmarkDoc::kIntKey;
        }
    }
    return fields;
}

std::string SavedIndexMismatch(const std::string& bytes,
                               const std::array<std::vector<int>, kSortKeyCount>& indexes) {
    const auto fields = SavedIndexFields(bytes);
    if (fields.size() != indexes[0].size()) {
        return "the file holds " + std::to_string(fields.size()) + " cases, expected " +
               std::to_string(indexes[0].size());
    }
    for (std::size_t f = 0; f < kSavedIndexKeys.size(); ++f) {
        const int key = kSavedIndexKeys[f];
        const std::vector<int>& expected = indexes[std::size_t(key - 1)];
        std::vector<bool> listed(fields.size());
        for (std::size_t pos = 0; pos < fields.size(); ++pos) {
            const int saved = fields[pos][f];
            if (saved != expected[pos]) {
                std::ostringstream out;
                out << "index of key " << key << ", position " << pos << ": saved " << saved
                    << ", expected " << expected[pos];
                if (saved >= 0 && std::size_t(saved) < listed.size() &&
                    listed[std::size_t(saved)]) {
                    out << " (case " << saved << " listed twice)";
                }
                return out.str();
            }
            listed[std::size_t(saved)] = true;
        }
    }
    return {};
}

} // namespace testing_support
