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
    bool male = r.GetnSex() == 1;
    if ((m & 0x0001) && r.GetnIncidentIndex() == -1)
        return false;
    if (!(m & 0x0002) && male)
        return false;
    if (!(m & 0x0004) && !male)
        return false;
    if ((m & 0x0008) && !r.IsEmergency())
        return false;
    if ((m & 0x0010) && !patientTextMatches(r, f))
        return false;
    if ((m & 0x0020) && !contains(r.GetstrDepartment(), f.strDepartment))
        return false;
    if ((m & 0x0040) && !contains(r.GetstrWard(), f.strWard))
        return false;
    if ((m & 0x0080) && !contains(anesthesiologists(r), f.strAnesthesiologist))
        return false;
    if ((m & 0x0100) && !contains(supervisors(r), f.strSupervisor))
        return false;
    if ((m & 0x0200) && r.GetnSite() != f.nSiteIndex + 1)
        return false;
    if ((m & 0x0400) && r.GetnMethod() != f.nMethodIndex + 1)
        return false;
    if ((m & 0x0800) && !contains(r.GetstrPreopComment(), f.strComorbidity))
        return false;
    if ((m & 0x1000) && !contains(r.GetstrNotes(), f.strNotes))
        return false;
    if ((m & 0x2000) && r.GetstrDrugIncident().IsEmpty())
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
    case 1: {
        fw::LocalDate d = fw::UnpackDate(m_surgeryDate[std::size_t(recordIndex)]);
        return CString::Formatted("%d/%d/%d", d.year, d.month, d.day);
    }
    case 2:
        return r.GetstrId();
    case 3:
        return r.GetstrName();
    case 4:
        return ageText(r);
    case 5:
        return registry::SexText(r.GetnSex());
    case 6:
        return r.GetstrDisease();
    case 7:
        return r.GetstrProcedure();
    case 8:
        return r.GetstrDepartment();
    case 9:
        return r.GetstrAsa();
    case 10:
        return registry::MethodText(r.GetnMethod());
    case 11:
        return r.GetAnesthesiologist(0);
    case 12:
        return r.GetSupervisor(0);
    default:
        return {};
    }
}
