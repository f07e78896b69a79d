#pragma once
// Dialog templates: the layout of a dialog as plain data, in dialog units, as the dialog classes
// declare it. The framework turns a template into windows when the dialog runs.

#include "framework/String.h"

#include <vector>

namespace fw {

// The standard button ids, which are also the results of DoModal: OK (the default button) and
// cancel (also Escape). Plain numbers, so that rules outside the windows can name them too.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
// What DoModal returns when the dialog could not run: it is running already, or the program
// is ending.
constexpr int kNoDialog = -1;

enum class CtlKind {
    Static,
    Push,
    Check,
    Radio,
    Group,
    Edit,
    ComboEdit, // editable combo box
    DropList,  // drop-down list
    ListCtrl,  // list control in list mode
    Icon,
    ProgressBar, // a bar that fills from 0 to 1000
};

enum CtlStyle : unsigned {
    kNone = 0,
    kHidden = 1u << 0,
    kDisabled = 1u << 1,
    kReadOnly = 1u << 2,
    kPassword = 1u << 3,
    kMultiLine = 1u << 4,
    kWantReturn = 1u << 5,
    kVScroll = 1u << 6,
    kSorted = 1u << 7,
    kGroup = 1u << 8,   // starts a radio group
    kDefault = 1u << 9, // default button
    kMultiSelect = 1u << 10,
    kAlignRight = 1u << 11,
    kAlignCenter = 1u << 12,
    // A label as high as the field beside it, its text centred so that it sits on the line of
    // the field's text.
    kAlignVCenter = 1u << 13,
    // An edit for half-width text (times, codes, patient IDs): the input method is off while
    // it has the focus, so half-width characters arrive however the user left it, and the
    // full-width forms that arrive all the same are folded. Edits exchanged as numbers are such
    // fields without the style.
    kHalfWidth = 1u << 14,
};

// A cp932 text (from a code table) as the UTF-8 that captions and list items of a template
// hold. The converted text stays for the rest of the run, as the template that points at it
// does.
const char* TemplateText(const CString& text);

// Id of labels, group boxes and icons that nothing refers to.
constexpr int kStaticId = -1;

struct CtlTemplate {
    int id;
    CtlKind kind;
    int x, y, cx, cy; // dialog units; for combo boxes cy is the height with the list dropped down
    const char* caption = ""; // UTF-8
    unsigned style = kNone;
    std::vector<const char*> items = {}; // UTF-8, the fixed list items of a combo or list
    // UTF-8, what the validation messages call the field. Without it they call it by the
    // nearest label before it in the template, which is usually the one beside it.
    const char* name = nullptr;
};

struct DlgTemplate {
    int id;
    int cx, cy;                        // client size in dialog units
    const char* title = nullptr;       // UTF-8; nullptr gives a dialog without a title bar
    std::vector<CtlTemplate> controls; // creation order, which is also the tab order
};

} // namespace fw
