#include "registry/ChangeStore.h"

#include "registry/QuellmarkDoc.h"

namespace registry {

ChangeTarget TargetOf(const JournalEntry& entry) {
    switch (entry.kind) {
    case JournalKind::Case:
        return {entry.kind, entry.recordIndex};
    case JournalKind::List:
        return {entry.kind, int(entry.list)};
    default:
        return {entry.kind, -1};
    }
}

bool JournalStore::Confirm(CQuellmarkDoc& doc, JournalEntry& entry, ChangeBase& /*base*/,
                           CString& /*message*/) {
    ApplyJournalEntry(doc, entry);
    doc.GetJournal().Append(entry);
    return true;
}

bool JournalStore::EndSession(CQuellmarkDoc& doc, CString& error, CString& notice,
                              fw::Progress& progress) {
    return doc.SaveDataFile(&error, &notice, progress);
}

} // namespace registry
