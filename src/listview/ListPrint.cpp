#include "listview/ListPrint.h"

#include "listview/PeriodDate.h"
#include "registry/CaseCodes.h"

using namespace registry;

namespace listview {
namespace {

CString dayText(fw::Time32 time) {
    if (time == 0) {
        return "指定無し"_sj;
    }
    const fw::LocalDate day = PeriodDateAt(time).date;
    return CString::Formatted("%d/%d/%d", day.year, day.month, day.day);
}

const CString& patientFieldName(int field) {
    static const CString names[] = {"ID"_sj, "名前"_sj, "疾患"_sj, "手術"_sj};
    static const CString none;
    return field >= 0 && field < 4 ? names[field] : none;
}

} // namespace

CString FilterText(const CaseFilter& f) {
    const int m = f.nMask;
    std::vector<CString> parts;
    auto add = [&parts](int bit, int mask, CString text) {
        if (mask & bit) {
            parts.push_back(std::move(text));
        }
    };
    add(kFilterIncident, m, "偶発症例"_sj);
    // Both sexes are in unless one of them is left out.
    if ((m & kFilterMale) && !(m & kFilterFemale)) {
        parts.push_back("男性"_sj);
    } else if (!(m & kFilterMale) && (m & kFilterFemale)) {
        parts.push_back("女性"_sj);
    } else if (!(m & (kFilterMale | kFilterFemale))) {
        parts.push_back("男性・女性を除く"_sj);
    }
    add(kFilterEmergency, m, "緊急症例"_sj);
    add(kFilterDrugIncident, m, "薬剤インシデント"_sj);
    add(kFilterPatient, m,
        "患者抽出（"_sj + patientFieldName(f.nPatientField) + " "_sj + f.strPatientText + "）"_sj);
    add(kFilterDepartment, m, "手術担当科 "_sj + f.strDepartment);
    add(kFilterWard, m, "病棟 "_sj + f.strWard);
    add(kFilterAnesthesiologist, m, "麻酔医 "_sj + f.strAnesthesiologist);
    add(kFilterSupervisor, m, "指導医 "_sj + f.strSupervisor);
    add(kFilterSite, m, "手術部位 "_sj + SiteText(f.nSiteIndex + 1));
    add(kFilterMethod, m, "麻酔法 "_sj + MethodText(f.nMethodIndex + 1));
    add(kFilterComorbidity, m, "合併症 "_sj + f.strComorbidity);
    add(kFilterNotes, m, "術中、術後特記事項 "_sj + f.strNotes);
    if (parts.empty()) {
        return "なし"_sj;
    }
    CString text = parts.front();
    for (std::size_t i = 1; i < parts.size(); ++i) {
        text += "、"_sj + parts[i];
    }
    return text;
}

std::vector<CString> PrintTitleLines(int rowCount, fw::Time32 start, fw::Time32 end,
                                     const CaseFilter& filter) {
    return {"症例一覧（"_sj + CString::Formatted("%d", rowCount) + " 件）"_sj,
            "表示期間 "_sj + dayText(start) + " ～ "_sj + dayText(end),
            "絞り込み "_sj + FilterText(filter)};
}

CString PrintDateText(const fw::LocalDate& day) {
    return "印刷日 "_sj + CString::Formatted("%d/%d/%d", day.year, day.month, day.day);
}

} // namespace listview
