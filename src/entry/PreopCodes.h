#pragma once
// The comorbidity dialogs without a window: the button that chooses each code of the society's
// list, the group boxes, the quick-entry notes and the selection rules. The codes themselves,
// their texts and their packing belong to the case (registry/ComorbidityCodes.h).

#include "framework/String.h"
#include "registry/ComorbidityCodes.h"

namespace entry {

using registry::kPreopCodeCount;
using registry::kPreopSlotCount;
using registry::PreopText;

// The group boxes of the comorbidity dialog; the standalone codes sit in a row of their own.
enum class PreopGroup {
    None,
    HemorrhagicShock,
    Cardiovascular,
    Respiratory,
    CentralNervous,
    Metabolic,
    Standalone
};

// Id and caption of the button that chooses the code; 0 and empty outside 1..33.
int PreopButtonId(int code);
const CString& PreopButtonCaption(int code);
PreopGroup PreopGroupOf(int code);
// The caption of a group box; empty for the standalone row.
const CString& PreopGroupCaption(PreopGroup group);
// The code that button id chooses, 0 when it is not a comorbidity button.
int PreopCodeForButton(int buttonId);

// A quick-entry button of the free comment dialog.
struct QuickNote {
    int buttonId;
    const CString& caption;
    const CString& text;
};
constexpr int kQuickNoteCount = 5;
// index 0..4, in the order of the buttons.
const QuickNote& QuickNoteAt(int index);
// The text that button id appends to the comment, nullptr when it is not a quick-entry button.
const CString* QuickNoteText(int buttonId);

// The comorbidity dialog's slots and comment, and the rules its buttons follow.
class PreopSelection {
public:
    void Initialise(int packed, const CString& comment);
    // Fills the next free slot with code (1..33) and appends its text and "，" to the comment,
    // also when all slots are taken; any other code changes nothing.
    void Add(int code);
    // Empties the slots; the comment stays.
    void Clear();
    void SetComment(const CString& comment) { m_comment = comment; }

    int Packed() const { return registry::PackPreop(m_codes); }
    const CString& Comment() const { return m_comment; }
    // Slots count from 0 here; outside 0..2 a slot reads as empty.
    const CString& SlotText(int slot) const;
    int SlotCode(int slot) const;
    int Count() const { return m_count; }

private:
    int m_codes[kPreopSlotCount] = {};
    int m_count = 0;
    CString m_comment;
};

} // namespace entry
