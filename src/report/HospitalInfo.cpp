#include "report/HospitalInfo.h"

#include <cstring>

namespace report {

HospitalInfo HospitalInfoOf(const CQuellmarkDoc& doc) {
    return {doc.GetHospitalType(), doc.GetHospitalLocation(), doc.GetBeds(),
            doc.GetSpecialists(),  doc.GetFullTime(),         doc.GetPartTime()};
}

void StoreHospitalInfo(CQuellmarkDoc& doc, const HospitalInfo& info) {
    const HospitalInfo before = HospitalInfoOf(doc);
    doc.SetHospitalInfo(info.type, info.location, info.beds, info.specialists, info.fullTime,
                        info.partTime);
    const HospitalInfo after = HospitalInfoOf(doc);
    if (std::memcmp(&before, &after, sizeof before) != 0) {
        doc.GetJournal().Append(registry::HospitalChangeEntry(doc));
    }
}

bool IsReportableHospital(const HospitalInfo& info) {
    return info.type >= 0 && info.type < kHospitalTypeCount && RegionLetter(info.location) != '\0';
}

char RegionLetter(int location) {
    return location >= 0 && location < kRegionCount ? char('a' + location) : '\0';
}

const CString& BadHospitalInfoText() {
    return "病院情報の施設区分または所在地が正しくありません。病院情報を設定し直してください。\r\n"_sj;
}

} // namespace report
