// Feeds arbitrary bytes to the journal reader, as the entries after the header of the loaded
// data file. Any input must be read as entries, as a torn tail, or refused as damaged; what is
// read must apply to the document without reaching past it, and the document must save to a
// file that loads again with the same cases and incident rows.

#include "StoredBytes.h"
#include "registry/Journal.h"
#include "registry/QuellmarkDoc.h"

#include <cstdlib>

namespace {

const fw::FileIdentity kLoaded{true, 69, 1, 2};

// A registry of two cases, one pointing to the one incident row.
CQuellmarkDoc startingDocument() {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    CCaseRecord a;
    a.SetnIncidentIndex(doc.AddIncident());
    doc.AddRecord(a);
    CCaseRecord b;
    b.SetnIncidentIndex(-1);
    doc.AddRecord(b);
    return doc;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CQuellmarkDoc doc = startingDocument();
    std::string journal = registry::EncodeJournalHeader(kLoaded);
    journal.append(reinterpret_cast<const char*>(data), size);
    const registry::JournalContents contents =
        registry::ReadJournal(journal, kLoaded, doc.GetRecordCount(), doc.GetIncidentCount());
    if (contents.validLength > journal.size() ||
        (contents.status != registry::JournalContents::Ok && !contents.entries.empty())) {
        std::abort();
    }
    for (const registry::JournalEntry& entry : contents.entries) {
        registry::ApplyJournalEntry(doc, entry);
    }
    const std::string first = StoredBytes(doc);
    CQuellmarkDoc again(CQuellmarkDoc::NoFile{});
    fw::CMemFile file(first, "vora.dat");
    fw::CArchive ar(file, fw::CArchive::load, 4096);
    again.Serialize(ar);
    if (again.GetRecordCount() != doc.GetRecordCount() ||
        again.GetIncidentCount() != doc.GetIncidentCount()) {
        std::abort();
    }
    return 0;
}
