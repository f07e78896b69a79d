#include "report/ReportCheck.h"

#include "registry/CaseCodes.h"

#include <algorithm>

namespace report {

int AsaIndex(const CString& asa) {
    // Every choice is one digit, with an E for an emergency case.
    const std::string_view text = asa.view();
    if (text.empty() || text.size() > 2 || text[0] < '1' || text[0] > '6') {
        return -1;
    }
    if (text.size() == 2 && text[1] != 'E') {
        return -1;
    }
    return (text[0] - '1') + (text.size() == 2 ? registry::kAsaCount / 2 : 0);
}

bool IsSiteCode(int site) {
    return site >= 1 && site <= registry::kSiteCount;
}

bool IsPositionCode(int position) {
    return position >= 1 && position <= registry::kPositionCount;
}

bool IsMethodCode(int method) {
    return method >= 1 && method <= registry::kMethodCount;
}

bool LacksRequiredEntry(const CQuellmarkDoc& doc, const CCaseRecord& record) {
    const int incident = record.GetnIncidentIndex();
    return AsaIndex(record.GetstrAsa()) < 0 || !IsSiteCode(record.GetnSite()) ||
           !IsPositionCode(record.GetnPosition()) || !IsMethodCode(record.GetnMethod()) ||
           record.GetnAgeYears() == -1 ||
           (incident != -1 && (incident < 0 || incident >= doc.GetIncidentCount()));
}

int CountSeparators(std::string_view line) {
    return int(std::count(line.begin(), line.end(), '_'));
}

bool IsWellFormedCaseLine(std::string_view line, bool completeCause) {
    return completeCause && CountSeparators(line) == kCaseLineSeparators;
}

CString AbnormalListText(const CQuellmarkDoc& doc, const std::vector<int>& abnormal) {
    CString text = "以下の患者で入力項目に異常が検出されました。\r\n\r\n"_sj;
    for (int index : abnormal) {
        const CCaseRecord& record = doc.RecordAt(index);
        const fw::LocalDate date = fw::UnpackDate(doc.GetSurgeryDate(index));
        text += CString::Formatted("%d / %d   ", date.month, date.day);
        text += record.GetstrId();
        text += "   ";
        text += record.GetstrName();
        text += "\r\n";
    }
    return text;
}

} // namespace report
