// The list's side of the document: which cases the list shows, in which order, and the text of
// each cell.

#include "framework/Width.h"
#include "registry/CaseCodes.h"
#include "registry/QuellmarkDoc.h"

#include <algorithm>

using namespace registry;

namespace {

bool contains(const CString& text, const CString& part) {
    return text.Find(part.view()) >= 0;
}

// Whether one case meets every active criterion. One matcher serves a whole run over the list,
// so that the texts it joins reuse one buffer instead of allocating for every case.
class CaseMatcher {
public:
    explicit CaseMatcher(const CaseFilter& filter) : m_f(filter) {
        std::string folded;
        m_idText = fw::FoldWidth(filter.strPatientText.view(), folded);
    }

    bool operator()(const CCaseRecord& r) {
        const int m = m_f.nMask;
        const bool male = r.GetnSex() == registry::kSexMale;
        if ((m & kFilterIncident) && r.GetnIncidentIndex() == -1)
            return false;
        if (!(m & kFilterMale) && male)
            return false;
        if (!(m & kFilterFemale) && !male)
            return false;
        if ((m & kFilterEmergency) && !r.IsEmergency())
            return false;
        if ((m & kFilterSite) && r.GetnSite() != m_f.nSiteIndex + 1)
            return false;
        if ((m & kFilterMethod) && r.GetnMethod() != m_f.nMethodIndex + 1)
            return false;
        if ((m & kFilterDrugIncident) && r.GetstrDrugIncident().IsEmpty())
            return false;
        if ((m & kFilterPatient) && !patientTextMatches(r))
            return false;
        if ((m & kFilterDepartment) && !contains(r.GetstrDepartment(), m_f.strDepartment))
            return false;
        if ((m & kFilterWard) && !contains(r.GetstrWard(), m_f.strWard))
            return false;
        if ((m & kFilterAnesthesiologist) &&
            !joinedContains(r.GetAnesthesiologist(0), r.GetAnesthesiologist(1),
                            r.GetAnesthesiologist(2), m_f.strAnesthesiologist))
            return false;
        if ((m & kFilterSupervisor) && !joinedContains(r.GetSupervisor(0), r.GetSupervisor(1),
                                                       r.GetSupervisor(2), m_f.strSupervisor))
            return false;
        if ((m & kFilterComorbidity) && !contains(r.GetstrPreopComment(), m_f.strComorbidity))
            return false;
        if ((m & kFilterNotes) && !contains(r.GetstrNotes(), m_f.strNotes))
            return false;
        return true;
    }

private:
    // The texts one after the other without separator: a filter text may span two of them.
    bool joinedContains(const CString& a, const CString& b, const CString& c, const CString& part) {
        if (part.IsEmpty()) {
            return true;
        }
        m_joined = a;
        m_joined += b;
        m_joined += c;
        return contains(m_joined, part);
    }

    bool patientTextMatches(const CCaseRecord& r) {
        switch (m_f.nPatientField) {
        case 0: // IDs typed with Japanese input on were stored full-width
            return fw::FindInText(fw::FoldWidth(r.GetstrId().view(), m_folded), m_idText) >= 0;
        case 1:
            return joinedContains(r.GetstrName(), r.GetstrKana(), {}, m_f.strPatientText);
        case 2:
            return contains(r.GetstrDisease(), m_f.strPatientText);
        case 3:
            return contains(r.GetstrProcedure(), m_f.strPatientText);
        default:
            // No field chosen: nothing to search, so nothing is rejected.
            return true;
        }
    }

    const CaseFilter& m_f;
    CString m_joined;
    std::string m_idText; // the patient text without regard to width
    std::string m_folded;
};

constexpr int kPrefetchAhead = 8;

void prefetchCase(const CCaseRecord& r) {
    const char* bytes = reinterpret_cast<const char*>(&r);
    for (std::size_t offset = 0; offset < sizeof(CCaseRecord); offset += 64) {
        __builtin_prefetch(bytes + offset);
    }
}

CString ageText(const CCaseRecord& r) {
    if (r.GetnAgeYears() != 0) {
        return CString::Formatted("%d", r.GetnAgeYears());
    }
    if (r.GetnAgeMonths() != 0) {
        return CString::Formatted("%d", r.GetnAgeMonths()) + "ヶ月"_sj;
    }
    return CString::Formatted("%d", r.GetnAgeDays()) + "日"_sj;
}

} // namespace

int CQuellmarkDoc::BuildDisplayIndex(int /*sortKey*/, fw::Time32 start, fw::Time32 end) {
    // The order is the surgery-date order whatever the first column shows. Every case is
    // looked at, so which cases the period keeps never depends on that order being right.
    const fw::PackedDate from = start != 0 ? fw::PackedLocalDateOf(start) : 0;
    const fw::PackedDate to = end != 0 ? fw::PackedLocalDateOf(end) : 0;
    const std::vector<int>& byDate = m_pSortIndex[kKeyDate - 1];
    m_pDisplayIndex.resize(byDate.size());
    int count = 0;
    for (int r : byDate) {
        fw::PackedDate d = m_surgeryDate[std::size_t(r)];
        if ((start != 0 && d < from) || (end != 0 && d > to)) {
            continue;
        }
        m_pDisplayIndex[std::size_t(count++)] = r;
    }
    return count;
}

int CQuellmarkDoc::FilterDisplayIndex(int count, const CaseFilter& filter) {
    CaseMatcher matches(filter);
    count = std::clamp(count, 0, int(m_pDisplayIndex.size()));
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        // The cases of the date order lie scattered over the record list; asking for one a few
        // steps ahead lets its memory arrive while the current one is tested, and its texts,
        // whose address is in the case, once the case has come.
        if (i + 2 * kPrefetchAhead < count) {
            prefetchCase(
                m_listRecords[std::size_t(m_pDisplayIndex[std::size_t(i + 2 * kPrefetchAhead)])]);
        }
        if (i + kPrefetchAhead < count) {
            m_listRecords[std::size_t(m_pDisplayIndex[std::size_t(i + kPrefetchAhead)])]
                .Texts()
                .Prefetch();
        }
        int r = m_pDisplayIndex[std::size_t(i)];
        if (matches(m_listRecords[std::size_t(r)])) {
            m_pDisplayIndex[std::size_t(kept++)] = r;
        }
    }
    return kept;
}

CString CQuellmarkDoc::FormatCell(int recordIndex, int column) const {
    const CCaseRecord& r = m_listRecords[std::size_t(recordIndex)];
    switch (column) {
    case kColDate: {
        fw::LocalDate d = fw::UnpackDate(m_surgeryDate[std::size_t(recordIndex)]);
        return CString::Formatted("%d/%d/%d", d.year, d.month, d.day);
    }
    case kColId:
        return r.GetstrId();
    case kColName:
        return r.GetstrName();
    case kColAge:
        return ageText(r);
    case kColSex:
        return registry::SexText(r.GetnSex());
    case kColDisease:
        return r.GetstrDisease();
    case kColProcedure:
        return r.GetstrProcedure();
    case kColDepartment:
        return r.GetstrDepartment();
    case kColAsa:
        return r.GetstrAsa();
    case kColMethod:
        return registry::MethodText(r.GetnMethod());
    case kColAnesthesiologist:
        return r.GetAnesthesiologist(0);
    case kColSupervisor:
        return r.GetSupervisor(0);
    default:
        return {};
    }
}
