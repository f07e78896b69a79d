#include "support/SortIndexReference.h"

#include "framework/Archive.h"
#include "framework/File.h"

#include <algorithm>
#include <sstream>

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

} // namespace

void ReferenceIndexes::setKeys(std::size_t index, const CCaseRecord& r) {
    for (int k = 0; k < kSortKeyCount; ++k) {
        m_texts[std::size_t(k)].resize(std::max(m_texts[std::size_t(k)].size(), index + 1));
        m_numbers[std::size_t(k)].resize(std::max(m_numbers[std::size_t(k)].size(), index + 1));
    }
    auto text = [&](int key, const CString& t) {
        m_texts[std::size_t(key - 1)][index] = characters(t);
    };
    auto number = [&](int key, long long a, long long b = 0, long long c = 0) {
        m_numbers[std::size_t(key - 1)][index] = {a, b, c};
    };
    const fw::LocalDate date = fw::LocalDateOf(r.GettSurgery());
    number(kKeyDate, date.year, date.month, date.day);
    text(kKeyKana, r.GetstrKana());
    text(kKeyId, r.GetstrId());
    number(kKeyAge, r.GetnAgeYears(), r.GetnAgeMonths(), r.GetnAgeDays());
    number(kKeySex, r.GetnSex());
    text(kKeyDisease, r.GetstrDisease());
    text(kKeyProcedure, r.GetstrProcedure());
    text(kKeyDepartment, r.GetstrDepartment());
    text(kKeyAsa, r.GetstrAsa());
    number(kKeyMethod, r.GetnMethod());
    text(kKeyAnesthesiologist, r.GetAnesthesiologist(0));
    text(kKeySupervisor, r.GetSupervisor(0));
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
    const std::size_t k = std::size_t(key - 1);
    const std::vector<std::string>& texts = m_texts[k];
    if (int c = texts[std::size_t(a)].compare(texts[std::size_t(b)])) {
        return c < 0 ? -1 : 1;
    }
    const auto& x = m_numbers[k][std::size_t(a)];
    const auto& y = m_numbers[k][std::size_t(b)];
    return x < y ? -1 : x > y ? 1 : 0;
}

std::vector<int> ReferenceIndexes::Index(int key) const {
    std::vector<int> order(m_inserted.rbegin(), m_inserted.rend());
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return Compare(key, a, b) > 0; });
    return order;
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

std::string SavedIndexMismatch(const std::string& bytes, const ReferenceIndexes& reference) {
    const auto fields = SavedIndexFields(bytes);
    if (int(fields.size()) != reference.Count()) {
        return "the file holds " + std::to_string(fields.size()) + " cases, expected " +
               std::to_string(reference.Count());
    }
    for (std::size_t f = 0; f < kSavedIndexKeys.size(); ++f) {
        const int key = kSavedIndexKeys[f];
        const std::vector<int> expected = reference.Index(key);
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
