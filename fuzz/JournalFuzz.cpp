// Feeds arbitrary bytes to the journal reader as a whole journal file, of either format, for
// the data file that was loaded. Any input must be read as entries, as a torn tail, or refused
// as damaged or as another file's; what is read must apply to the document without reaching
// past it, must read the same when written again, and the document must save to a file that
// loads again with the same cases and incident rows.

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
    const std::string journal(reinterpret_cast<const char*>(data), size);
    const registry::JournalContents contents =
        registry::ReadJournal(journal, kLoaded, doc.GetRecordCount(), doc.GetIncidentCount());
    if (contents.validLength > journal.size() || contents.entryCount < contents.entries.size() ||
        (contents.status == registry::JournalContents::OtherFile && !contents.entries.empty())) {
        std::abort();
    }
    // What was read is written again as this version writes it, and reads the same.
    std::string again = registry::EncodeJournalHeader(kLoaded);
    for (std::size_t i = 0; i < contents.entries.size(); ++i) {
        if (contents.entries[i].kind == registry::JournalKind::Saved) {
            std::abort(); // a closing entry is never a change to apply
        }
        again += registry::EncodeJournalEntry(contents.entries[i], std::uint32_t(i));
    }
    const registry::JournalContents reread =
        registry::ReadJournal(again, kLoaded, doc.GetRecordCount(), doc.GetIncidentCount());
    if (reread.status != registry::JournalContents::Ok ||
        reread.entries.size() != contents.entries.size() || reread.validLength != again.size()) {
        std::abort();
    }
    for (const registry::JournalEntry& entry : contents.entries) {
        registry::ApplyJournalEntry(doc, entry);
    }
    const std::string first = StoredBytes(doc);
    CQuellmarkDoc loaded(CQuellmarkDoc::NoFile{});
    fw::CMemFile file(first, "vora.dat");
    fw::CArchive ar(file, fw::CArchive::load, 4096);
    loaded.Serialize(ar);
    if (loaded.GetRecordCount() != doc.GetRecordCount() ||
        loaded.GetIncidentCount() != doc.GetIncidentCount()) {
        std::abort();
    }
    return 0;
}
