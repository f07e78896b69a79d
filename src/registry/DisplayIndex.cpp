// The list's side of the document: which cases the list shows, in which order, and the text of
// each cell.

#include "registry/CaseCodes.h"
#include "registry/QuellmarkDoc.h"

namespace {

bool contains(const CString& text, const CString& part) {
    return text.Find(part.view()) >= 0;
}

CString joined(const CString (&parts)[3]) {
    CString all = parts[0];
    all += parts[1];
    all += parts[2];
    return all;
}

CString anesthesiologists(const CCaseRecord& r) {
    const CString parts[3] = {r.GetAnesthesiologist(0), r.GetAnesthesiologist(1),
                              r.GetAnesthesiologist(2)};
    return joined(parts);
}

CString supervisors(const CCaseRecord& r) {
    const CString parts[3] = {r.GetSupervisor(0), r.GetSupervisor(1), r.GetSupervisor(2)};
    return joined(parts);
}

bool patientTextMatches(const CCaseRecord& r, const CaseFilter& f) {
    switch (f.nPatientField) {
    case 0:
        return contains(r.GetstrId(), f.strPatientText);
    case 1:
        return contains(r.GetstrName() + r.GetstrKana(), f.strPatientText);
    case 2:
        return contains(r.GetstrDisease(), f.strPatientText);
    case 3:
        return contains(r.GetstrProcedure(), f.strPatientText);
    default:
        // No field chosen: nothing to search, so nothing is rejected.
        return true;
    }
}

bool passes(const CCaseRecord& r, const CaseFilter& f) {
    const int m = f.nMask;
    bool male = r.GetnSex() == registry::kSexMale;
    if ((m & kFilterIncident) && r.GetnIncidentIndex() == -1)
        return false;
    if (!(m & kFilterMale) && male)
        return false;
    if (!(m & kFilterFemale) && !male)
        return false;
    if ((m & kFilterEmergency) && !r.IsEmergency())
        return false;
    if ((m & kFilterPatient) && !patientTextMatches(r, f))
        return false;
    if ((m & kFilterDepartment) && !contains(r.GetstrDepartment(), f.strDepartment))
        return false;
    if ((m & kFilterWard) && !contains(r.GetstrWard(), f.strWard))
        return false;
    if ((m & kFilterAnesthesiologist) && !contains(anesthesiologists(r), f.strAnesthesiologist))
        return false;
    if ((m & kFilterSupervisor) && !contains(supervisors(r), f.strSupervisor))
        return false;
    if ((m & kFilterSite) && r.GetnSite() != f.nSiteIndex + 1)
        return false;
    if ((m & kFilterMethod) && r.GetnMethod() != f.nMethodIndex + 1)
        return false;
    if ((m & kFilterComorbidity) && !contains(r.GetstrPreopComment(), f.strComorbidity))
        return false;
    if ((m & kFilterNotes) && !contains(r.GetstrNotes(), f.strNotes))
        return false;
    if ((m & kFilterDrugIncident) && r.GetstrDrugIncident().IsEmpty())
        return false;
    return true;
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
    // The order is the surgery-date order whatever the first column shows.
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
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        int r = m_pDisplayIndex[std::size_t(i)];
        if (passes(m_listRecords[std::size_t(r)], filter)) {
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
