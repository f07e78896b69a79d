#include "listview/FilterForm.h"

#include "listview/PeriodDate.h"

using namespace registry;

namespace listview {
namespace {

struct Tick {
    int bit;
    int FilterForm::*box;
};
constexpr Tick kTicks[] = {
    {kFilterIncident, &FilterForm::m_bIncident},
    {kFilterMale, &FilterForm::m_bMale},
    {kFilterFemale, &FilterForm::m_bFemale},
    {kFilterEmergency, &FilterForm::m_bEmergency},
    {kFilterPatient, &FilterForm::m_bPatient},
    {kFilterDepartment, &FilterForm::m_bDepartment},
    {kFilterWard, &FilterForm::m_bWard},
    {kFilterAnesthesiologist, &FilterForm::m_bAnesthesiologist},
    {kFilterSupervisor, &FilterForm::m_bSupervisor},
    {kFilterSite, &FilterForm::m_bSite},
    {kFilterMethod, &FilterForm::m_bMethod},
    {kFilterComorbidity, &FilterForm::m_bComorbidity},
    {kFilterNotes, &FilterForm::m_bNotes},
    {kFilterDrugIncident, &FilterForm::m_bDrugIncident},
};

struct TextValue {
    int bit;
    CString FilterForm::*form;
    CString CaseFilter::*list;
};
constexpr TextValue kTextValues[] = {
    {kFilterPatient, &FilterForm::m_strPatientText, &CaseFilter::strPatientText},
    {kFilterDepartment, &FilterForm::m_strDepartment, &CaseFilter::strDepartment},
    {kFilterWard, &FilterForm::m_strWard, &CaseFilter::strWard},
    {kFilterAnesthesiologist, &FilterForm::m_strAnesthesiologist, &CaseFilter::strAnesthesiologist},
    {kFilterSupervisor, &FilterForm::m_strSupervisor, &CaseFilter::strSupervisor},
    {kFilterComorbidity, &FilterForm::m_strComorbidity, &CaseFilter::strComorbidity},
    {kFilterNotes, &FilterForm::m_strNotes, &CaseFilter::strNotes},
};

struct IndexValue {
    int bit;
    int FilterForm::*form;
    int CaseFilter::*list;
};
constexpr IndexValue kIndexValues[] = {
    {kFilterSite, &FilterForm::m_nSiteIndex, &CaseFilter::nSiteIndex},
    {kFilterMethod, &FilterForm::m_nMethodIndex, &CaseFilter::nMethodIndex},
};

} // namespace

void FilterForm::Load(const CaseFilter& filter, fw::Time32 start, fw::Time32 end) {
    m_tStart = start;
    m_tEnd = end;
    m_strStart = PeriodDateText(start);
    m_strEnd = PeriodDateText(end);
    m_nPatientField = filter.nPatientField;
    for (const Tick& t : kTicks) {
        if (filter.nMask & t.bit) {
            this->*t.box = 1;
        }
    }
    for (const TextValue& v : kTextValues) {
        if (filter.nMask & v.bit) {
            this->*v.form = filter.*v.list;
        }
    }
    for (const IndexValue& v : kIndexValues) {
        if (filter.nMask & v.bit) {
            this->*v.form = filter.*v.list;
        }
    }
}

int FilterForm::Mask() const {
    int mask = 0;
    for (const Tick& t : kTicks) {
        if (this->*t.box != 0) {
            mask |= t.bit;
        }
    }
    return mask;
}

void FilterForm::ApplyTo(CaseFilter& filter, fw::Time32& start, fw::Time32& end) const {
    start = m_tStart;
    end = m_tEnd;
    filter.nPatientField = m_nPatientField;
    filter.nMask = Mask();
    for (const TextValue& v : kTextValues) {
        if (filter.nMask & v.bit) {
            filter.*v.list = this->*v.form;
        }
    }
    for (const IndexValue& v : kIndexValues) {
        if (filter.nMask & v.bit) {
            filter.*v.list = this->*v.form;
        }
    }
}

void ClearFilter(CaseFilter& filter, fw::Time32& start, fw::Time32& end) {
    filter = CaseFilter{};
    start = 0;
    end = 0;
}

} // namespace listview
