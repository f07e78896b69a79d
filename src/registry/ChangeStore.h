#pragma once
// Where a confirmed change goes. A dialog builds the change as an entry of the journal's kinds
// (a case with its incident row, a master list, the passwords, the hospital information) and
// hands it to the document's store before it closes: the store keeps it and changes the
// document through its own operations, or refuses it and the dialog stays open with what was
// typed. The file store is the journal beside the data file; a department's server is another.

#include "framework/Progress.h"
#include "framework/String.h"
#include "registry/Journal.h"

#include <cstdint>
#include <string>
#include <vector>

class CQuellmarkDoc;

namespace registry {

// What a change is made to: a case by its record index, a master list by its number, or the
// passwords or the hospital information (which field is unused).
struct ChangeTarget {
    JournalKind kind = JournalKind::Case;
    int which = -1;
};

// The target of an entry; an added case has none yet (which -1).
ChangeTarget TargetOf(const JournalEntry& entry);

// What a dialog started from, as its store knows it; it goes back to Confirm with every try.
struct ChangeBase {
    // The version of the target the dialog started from; 0 where the store counts none.
    std::uint64_t version = 0;
    // The case as the dialog opened it, to name what another workstation changed since.
    CCaseRecord openedCase;
    // A try of this dialog whose outcome the store could not learn (the connection went while
    // it was kept): the store looks for it before it tries again, so nothing is kept twice.
    std::string pendingToken;
};

// One change of a case as its history shows it: when (local time), who (the role), where (the
// workstation and its address) and what changed, in Japanese.
struct HistoryLine {
    CString when;
    CString who;
    CString where;
    CString what;
};

class ChangeStore {
public:
    virtual ~ChangeStore() = default;

    // What the document holds of target now: a dialog asks when it opens and gives it back
    // with its confirmation.
    virtual ChangeBase BaseOf(const CQuellmarkDoc& doc, const ChangeTarget& target) const = 0;

    // Keeps the change and applies it to doc (an added case gets its record index, a new
    // incident row its row, from the store). False when it was refused: the document is as it
    // was and message says why in Japanese. When another workstation changed the target after
    // base, the refusal says what changed and base becomes the version in force, so that the
    // user, having seen it, may confirm again over it.
    virtual bool Confirm(CQuellmarkDoc& doc, JournalEntry& entry, ChangeBase& base,
                         CString& message) = 0;

    // A logout: keeps what is not kept yet, telling progress how far it got (it may run on a
    // thread of its own). False with error when that failed or was cancelled (the user stays
    // logged in); notice, when set, is worth telling all the same.
    virtual bool EndSession(CQuellmarkDoc& doc, CString& error, CString& notice,
                            fw::Progress& progress) = 0;
    // Whether EndSession is quick and must run on the window system's thread; else it may take
    // a while and runs on a thread of its own behind a bar.
    virtual bool EndsSessionAtOnce() const { return false; }

    // Whether the store keeps who changed what (and the user may see it).
    virtual bool HasHistory() const { return false; }
    // The changes of the case at recordIndex and of its incident row, newest first.
    virtual bool HistoryOf(const CQuellmarkDoc& /*doc*/, int /*recordIndex*/,
                           std::vector<HistoryLine>& /*lines*/, CString& /*error*/) {
        return false;
    }
};

// The file store: the change is applied at once and appended to the document's journal (which
// warns by itself when it cannot keep it).
class JournalStore final : public ChangeStore {
public:
    ChangeBase BaseOf(const CQuellmarkDoc&, const ChangeTarget&) const override { return {}; }
    bool Confirm(CQuellmarkDoc& doc, JournalEntry& entry, ChangeBase& base,
                 CString& message) override;
    // Writes the data file.
    bool EndSession(CQuellmarkDoc& doc, CString& error, CString& notice,
                    fw::Progress& progress) override;
};

} // namespace registry
