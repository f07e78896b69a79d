#include "listview/DisplayItems.h"

#include "listview/PeriodDate.h"

#include <algorithm>

using namespace registry;

namespace listview {

void DisplayItems::Load(const int (&columns)[kColumnCount], fw::Time32 start, fw::Time32 end) {
    m_nChosenCount = 0;
    for (CString& text : m_strOrder) {
        text.Empty();
    }
    for (int p = 1; p <= kColumnCount; ++p) {
        const int code = columns[p - 1];
        if (isCode(code)) {
            m_strOrder[code - 1] += CString::Formatted("%d", p);
        }
    }
    m_tStart = start;
    m_tEnd = end;
    m_strStart = PeriodDateText(start);
    m_strEnd = PeriodDateText(end);
}

bool DisplayItems::Choose(int code) {
    const int* chosen = m_nChosen;
    const int* chosenEnd = chosen + m_nChosenCount;
    if (!isCode(code) || m_nChosenCount == kColumnCount ||
        std::find(chosen, chosenEnd, code) != chosenEnd) {
        return false;
    }
    m_nChosen[m_nChosenCount++] = code;
    m_strOrder[code - 1] += CString::Formatted("   %d", m_nChosenCount);
    return true;
}

void DisplayItems::ApplyTo(int (&columns)[kColumnCount], fw::Time32& start, fw::Time32& end) const {
    if (m_nChosenCount == kColumnCount) {
        std::copy(std::begin(m_nChosen), std::end(m_nChosen), columns);
    }
    start = m_tStart;
    end = m_tEnd;
}

const CString& DisplayItems::OrderText(int code) const {
    static const CString none;
    return isCode(code) ? m_strOrder[code - 1] : none;
}

} // namespace listview
