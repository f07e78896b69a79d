#include "report/HospitalInfo.h"

#include <cstring>

namespace report {

HospitalInfo HospitalInfoOf(const CQuellmarkDoc& doc) {
    return {doc.GetHospitalType(), doc.GetHospitalLocation(), doc.GetBeds(),
            doc.GetSpecialists(),  doc.GetFullTime(),         doc.GetPartTime()};
}

bool StoreHospitalInfo(CQuellmarkDoc& doc, const HospitalInfo& info, registry::ChangeBase& base,
                       CString& message) {
    const HospitalInfo before = HospitalInfoOf(doc);
    if (std::memcmp(&before, &info, sizeof before) == 0) {
        return true;
    }
    registry::JournalEntry change;
    change.kind = registry::JournalKind::Hospital;
    change.hospitalType = info.type;
    change.hospitalLocation = info.location;
    change.beds = info.beds;
    change.specialists = info.specialists;
    change.fullTime = info.fullTime;
    change.partTime = info.partTime;
    return doc.Confirm(change, base, message);
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
