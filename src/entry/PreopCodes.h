#pragma once
// The coded preoperative comorbidities: the society's fixed list of 33 codes, their packing into
// one integer of a case, and the selection rules of the comorbidity dialogs without a window.
//
// A packed code comes from the data file and may be damaged, so every function here takes any
// int: a slot whose digits do not make a code 1..33 is read as an empty slot.

#include "framework/String.h"

namespace entry {

constexpr int kPreopCodeCount = 33;
constexpr int kPreopSlotCount = 3;

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

// The text stored in a slot and appended to the comment; empty for 0 and outside 1..33.
const CString& PreopText(int code);
// Id and caption of the button that chooses the code; 0 and empty outside 1..33.
int PreopButtonId(int code);
const CString& PreopButtonCaption(int code);
PreopGroup PreopGroupOf(int code);
// The caption of a group box; empty for the standalone row.
const CString& PreopGroupCaption(PreopGroup group);
// The code that button id chooses, 0 when it is not a comorbidity button.
int PreopCodeForButton(int buttonId);

// The society report's two-character code ("1a".."9y"); empty for 0 and outside 1..33.
const CString& ReportCode(int code);
// The export field including its comma ("1a_,"); an empty field "," for 0 and outside 1..33.
const CString& ExportLabel(int code);

// slot 1 + 100 × slot 2 + 10000 × slot 3; a slot outside 0..33 packs as empty.
int PackPreop(const int slots[kPreopSlotCount]);
// Each slot from its own digits, as the export and the report read them.
void UnpackPreopSlots(int packed, int slots[kPreopSlotCount]);
// As the dialog reads them: the slots after the first empty one are empty too.
void UnpackPreopForDialog(int packed, int slots[kPreopSlotCount], int& count);

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

    int Packed() const { return PackPreop(m_codes); }
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
