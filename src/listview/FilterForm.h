#pragma once
// The values of the filter dialog and the rules that move them between the list's criteria and
// the dialog: the dialog opens on the criteria in force, and "絞り込み" hands back the ticked
// ones; every other way of leaving it clears the filter and the display period.

#include "framework/String.h"
#include "framework/Time32.h"
#include "registry/QuellmarkDoc.h"

namespace listview {

struct FilterForm {
    // Texts of the four editable combo boxes, which "絞り込み" reads as shown.
    CString m_strWard;
    CString m_strSupervisor;
    CString m_strAnesthesiologist;
    CString m_strDepartment;
    fw::Time32 m_tEnd = 0;
    fw::Time32 m_tStart = 0;

    // Exchanged with the controls, in this order.
    CString m_strStart;
    CString m_strEnd;
    int m_nMethodIndex = -1; // none chosen
    int m_bAnesthesiologist = 0;
    int m_bMethod = 0;
    int m_bComorbidity = 0;
    int m_bDepartment = 0;
    int m_bEmergency = 0;
    int m_bNotes = 0;
    int m_bPatient = 0;
    int m_bIncident = 0;
    int m_bMale = 0;
    int m_bSite = 0;
    int m_bWard = 0;
    int m_bSupervisor = 0;
    CString m_strAgeMax; // the age limits are shown but have no effect
    CString m_strAgeMin;
    CString m_strComorbidity;
    CString m_strNotes;
    CString m_strPatientText;
    int m_bFemale = 0;
    int m_nSiteIndex = -1;    // none chosen
    int m_nPatientField = -1; // none chosen
    int m_bDrugIncident = 0;

    // Opens on the criteria in force: the box of every set bit ticked with its value; the
    // patient field whatever the mask.
    void Load(const registry::CaseFilter& filter, fw::Time32 start, fw::Time32 end);
    // "絞り込み": the period, the patient field, the mask of the ticked boxes and the values of
    // the ticked criteria; the values of unticked criteria stay as they were.
    void ApplyTo(registry::CaseFilter& filter, fw::Time32& start, fw::Time32& end) const;
    // The bits of the ticked boxes.
    int Mask() const;
};

// Leaving the dialog without "絞り込み": no filter and an open period.
void ClearFilter(registry::CaseFilter& filter, fw::Time32& start, fw::Time32& end);

} // namespace listview
