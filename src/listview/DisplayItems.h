#pragma once
// The choice of the list's six columns and of its display period, as the display items dialog
// keeps them: the columns are chosen by pressing item buttons one after the other, beside each
// of which an order text tells its old and its new position.

#include "framework/String.h"
#include "framework/Time32.h"
#include "listview/ListLayout.h"
#include "registry/QuellmarkDoc.h"

namespace listview {

struct DisplayItems {
    fw::Time32 m_tEnd = 0;   // last day of the period, 0 = open
    fw::Time32 m_tStart = 0; // first day of the period, 0 = open
    int m_nChosen[kColumnCount]{};
    int m_nChosenCount = 0;
    // By column code - 1.
    CString m_strOrder[registry::kColumnCodeCount];
    CString m_strEnd;
    CString m_strStart;

    // Opens on the list's columns, each showing its position, and on its period.
    void Load(const int (&columns)[kColumnCount], fw::Time32 start, fw::Time32 end);
    // A press on the item button of column code; false when it changes nothing (the code is
    // chosen already, or six are).
    bool Choose(int code);
    // What OK gives the list: the chosen columns only when all six were chosen, the period
    // always.
    void ApplyTo(int (&columns)[kColumnCount], fw::Time32& start, fw::Time32& end) const;

    // The order text of column code; codes outside 1 to 12 have none.
    const CString& OrderText(int code) const;

private:
    static bool isCode(int code) { return code >= 1 && code <= registry::kColumnCodeCount; }
};

} // namespace listview
