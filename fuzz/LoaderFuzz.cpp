// Feeds arbitrary bytes to the data file loader. Any input must either load or be refused with
// a file exception; whatever loads must have every sort index in order, save, reload and save
// again to the same bytes, and every list and incident lookup must stay inside the document.

#include "StoredBytes.h"
#include "registry/QuellmarkDoc.h"

#include <cstdlib>
#include <new>
#include <vector>

namespace {

void load(CQuellmarkDoc& doc, std::string_view bytes) {
    fw::CMemFile file(bytes, "vora.dat");
    fw::CArchive ar(file, fw::CArchive::load, 4096);
    doc.Serialize(ar);
}

// Each index lists every case once, in non-increasing key order.
void checkSortIndexes(const CQuellmarkDoc& doc) {
    const int n = doc.GetRecordCount();
    for (int key = 1; key <= registry::kSortKeyCount; ++key) {
        std::vector<bool> listed(std::size_t(n), false);
        for (int pos = 0; pos < n; ++pos) {
            const int r = doc.GetSortIndexEntry(key, pos);
            if (r < 0 || r >= n || listed[std::size_t(r)]) {
                std::abort();
            }
            listed[std::size_t(r)] = true;
            if (pos > 0 && doc.CompareSortKeys(key, doc.GetSortIndexEntry(key, pos - 1), r) < 0) {
                std::abort();
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    try {
        load(doc, std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const fw::CFileException&) {
        return 0;
    }
    checkSortIndexes(doc);
    int shown = doc.BuildDisplayIndex(1, 0, 0);
    for (int i = 0; i < shown; ++i) {
        int r = doc.GetDisplayIndexEntry(i);
        for (int column = 1; column <= 12; ++column) {
            (void)doc.FormatCell(r, column);
        }
        int row = doc.GetRecord(r).GetnIncidentIndex();
        for (int k = 0; k < 17; ++k) {
            (void)doc.GetIncidentValue(row, k);
        }
        (void)doc.GetIncidentText(row, 1);
    }
    registry::CaseFilter everything;
    everything.nMask = 0x3FFF;
    (void)doc.FilterDisplayIndex(shown, everything);

    std::string first = StoredBytes(doc);
    CQuellmarkDoc again(CQuellmarkDoc::NoFile{});
    load(again, first);
    if (StoredBytes(again) != first) {
        std::abort();
    }
    return 0;
}
