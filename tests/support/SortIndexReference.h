#pragma once
// What the twelve sort indexes must hold, worked out plainly from the key table, and the index
// fields that a saved data file holds, for tests and the end-to-end checks.

#include "framework/Time32.h"
#include "registry/CaseRecord.h"
#include "registry/QuellmarkDoc.h"

#include <array>
#include <string>
#include <vector>

namespace testing_support {

// The keys of a record block's twelve index fields, in file order.
constexpr std::array<int, registry::kSortKeyCount> kSavedIndexKeys = {
    registry::kKeyAge,        registry::kKeyAnesthesiologist,
    registry::kKeySupervisor, registry::kKeyMethod,
    registry::kKeyAsa,        registry::kKeyDepartment,
    registry::kKeyDisease,    registry::kKeyId,
    registry::kKeyKana,       registry::kKeyProcedure,
    registry::kKeyDate,       registry::kKeySex};

// The indexes that inserting cases one by one gives: each index is a stable sort by
// descending key of the cases taken in reverse order of their last insertion, so that a case
// inserted later stands before the earlier ones of equal key.
class ReferenceIndexes {
public:
    // The cases inserted one by one in this order.
    explicit ReferenceIndexes(std::vector<CCaseRecord> cases = {});

    void Add(const CCaseRecord& r);
    // The case at index changes and is inserted again.
    void Replace(int index, const CCaseRecord& r);

    int Count() const { return int(m_inserted.size()); }
    // Record indexes in the order of their last insertion, the latest last.
    const std::vector<int>& InsertionOrder() const { return m_inserted; }
    std::vector<int> Index(int key) const;
    // All twelve, by key number - 1.
    std::array<std::vector<int>, registry::kSortKeyCount> Indexes() const;
    // The key table's comparison: below 0 when case a's key is smaller than case b's.
    int Compare(int key, int a, int b) const;

private:
    // The keys of a case read out once, each as bytes whose byte order is the key order: a
    // text as its characters in the text order (a double-byte character as lead * 256 + trail,
    // up to a NUL byte or a lead byte without its trail), two bytes each, high first; the
    // parts of an integer key as four bytes each, high first, with the sign bit flipped.
    // Kept key by key, so that sorting by one key reads only its own values.
    void setKeys(std::size_t index, const CCaseRecord& r);

    std::array<std::vector<std::string>, registry::kSortKeyCount> m_keys;
    std::vector<int> m_inserted;
};

// The index of key as the document holds it.
std::vector<int> DocumentIndex(const CQuellmarkDoc& doc, int key);

// The twelve index fields (fields 54 to 65) of every record block of a data file, in file
// order. Throws fw::CFileException when the bytes are no data file.
std::vector<std::array<int, registry::kSortKeyCount>> SavedIndexFields(const std::string& bytes);

// Empty when the saved index fields are those of the indexes (by key number - 1); otherwise
// what differs first.
std::string
SavedIndexMismatch(const std::string& bytes,
                   const std::array<std::vector<int>, registry::kSortKeyCount>& indexes);

} // namespace testing_support
