#include "report/PersonCount.h"

#include "report/ReportCheck.h"

namespace report {
namespace {

bool containsName(std::string_view recorded, const CString& name) {
    // The byte search is quick and finds every place Find could; Find then keeps the ones that
    // start on a character boundary.
    return recorded.find(name.view()) != std::string_view::npos &&
           CString(recorded).Find(name) >= 0;
}

// The three names of one role in a case, where they lie in the case.
struct Names {
    std::string_view first;
    std::string_view second;
    std::string_view third;
};

// Without a line break in the name no match can run across the CR LF that joins the three
// names, so each name can be searched alone.
bool anyContains(const Names& names, const CString& name) {
    if (name.view().find_first_of("\r\n") == std::string_view::npos) {
        return containsName(names.first, name) || containsName(names.second, name) ||
               containsName(names.third, name);
    }
    CString joined(names.first);
    for (std::string_view next : {names.second, names.third}) {
        joined += "\r\n";
        joined += next;
    }
    return joined.Find(name) >= 0;
}

bool matches(const Names& names, const PersonQuery& query) {
    if (query.equals) {
        const std::string_view name = query.name.view();
        return names.first == name || names.second == name || names.third == name;
    }
    return anyContains(names, query.name);
}

void listIncomplete(CString& list, fw::PackedDate date, const CCaseRecord& record) {
    const fw::LocalDate day = fw::UnpackDate(date);
    list += CString::Formatted("%d / %d / %d   ", day.year, day.month, day.day);
    list += record.GetstrId();
    list += "   ";
    list += record.GetstrName();
    list += "\r\n";
}

// The six names the search reads lie in each case's text block, apart from the case, so
// reading them one case after the other waits on memory each time; asking for them some cases
// ahead hides that wait.
constexpr int kPrefetchDistance = 8;

void prefetchNames(const CQuellmarkDoc& doc, int index) {
    if (index < doc.GetRecordCount()) {
        doc.RecordAt(index).Texts().Prefetch();
    }
}

bool inPeriod(fw::PackedDate date, const PersonQuery& query) {
    return (query.first == 0 || date >= query.first) && (query.last == 0 || date <= query.last);
}

} // namespace

int SiteGroupOf(int site) {
    static constexpr int kGroups[registry::kSiteCount] = {1, 2, 3, 3, 3, 3, 3, 3,  3,  4,  4, 5,
                                                          5, 5, 5, 6, 7, 8, 9, 10, 11, 11, 11};
    return IsSiteCode(site) ? kGroups[site - 1] : 0;
}

PersonRole RoleOf(const CCaseRecord& record, const PersonQuery& query) {
    using T = CCaseRecord;
    if (matches({record.TextView(T::kAnesthesiologist0), record.TextView(T::kAnesthesiologist1),
                 record.TextView(T::kAnesthesiologist2)},
                query)) {
        return PersonRole::InCharge;
    }
    if (matches({record.TextView(T::kSupervisor0), record.TextView(T::kSupervisor1),
                 record.TextView(T::kSupervisor2)},
                query)) {
        return PersonRole::Supervising;
    }
    return PersonRole::None;
}

PersonCounts CountPersonCases(const CQuellmarkDoc& doc, const PersonQuery& query) {
    PersonCounts counts;
    if (query.name.IsEmpty()) {
        return counts;
    }
    CString list;
    const int count = doc.GetRecordCount();
    for (int i = 0; i < count; ++i) {
        const fw::PackedDate date = doc.GetSurgeryDate(i);
        if (!inPeriod(date, query)) {
            continue;
        }
        prefetchNames(doc, i + kPrefetchDistance);
        const CCaseRecord& record = doc.RecordAt(i);
        const PersonRole role = RoleOf(record, query);
        if (role == PersonRole::None) {
            continue;
        }
        const bool inCharge = role == PersonRole::InCharge;
        bool incomplete = false;
        if (IsMethodCode(record.GetnMethod())) {
            const std::size_t row = std::size_t(record.GetnMethod() - 1);
            ++(inCharge ? counts.methodInCharge : counts.methodSupervised)[row];
        } else {
            incomplete = true;
        }
        if (const int group = SiteGroupOf(record.GetnSite()); group != 0) {
            ++(inCharge ? counts.siteInCharge : counts.siteSupervised)[std::size_t(group - 1)];
        } else {
            incomplete = true;
        }
        if (incomplete) {
            ++counts.incomplete;
            listIncomplete(list, date, record);
        }
    }
    if (counts.incomplete != 0) {
        counts.message = "以下の患者で必要な情報が入力されていません。\r\n"_sj + list;
    }
    return counts;
}

} // namespace report
