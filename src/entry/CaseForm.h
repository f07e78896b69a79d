#pragma once
// The values of the case form and the rules that move them between a case and the form, without
// any window: opening a new or an existing case, writing the form back into a case, settling the
// incident in the document's incident table and filling patient data from an earlier case with
// the same ID.

#include "framework/String.h"
#include "framework/Time32.h"
#include "registry/CaseRecord.h"
#include "registry/QuellmarkDoc.h"

namespace entry {

// The form's incident states besides a row index of the incident table (0 or more).
constexpr int kIncidentNone = -1;
constexpr int kIncidentEdited = -2;
constexpr int kIncidentDeleted = -3;

struct CaseForm {
    static constexpr int kIncidentValues = CQuellmarkDoc::kIncidentValues;
    static constexpr int kIncidentTexts = CQuellmarkDoc::kIncidentTexts;
    static constexpr int kPeople = CCaseRecord::kPeople;

    // Exchanged with the controls, in the order in which they are read and validated.
    CString m_strMethod;
    CString m_strAsa;
    CString m_strDisease;
    CString m_strId;
    CString m_strIncidentStatus;
    CString m_strName;
    CString m_strProcedure;
    float m_fHeight = 0;
    float m_fWeight = 0;
    CString m_strSex;
    int m_nYear = 0;
    int m_nMonth = 0;
    int m_nDay = 0;
    CString m_strPosition;
    CString m_strSite;
    CString m_strAnesthesiaTime;
    CString m_strKana;
    CString m_strSurgeryTime;
    int m_nAgeYears = 0;
    int m_nAgeMonths = 0;
    int m_nAgeDays = 0;
    CString m_strPreopComment;
    CString m_strTransfusionNote;
    int m_nAlbumin = 0;
    int m_nWholeBlood = 0;
    int m_nAutologous = 0;
    int m_nFfp = 0;
    int m_nMap = 0;
    int m_nOtherProduct = 0;
    int m_nPc = 0;
    CString m_strOtherProductName;
    int m_nBloodLoss = 0;
    int m_nUrine = 0;
    CString m_strWholeBloodUnit;
    CString m_strAutologousUnit;
    CString m_strFfpUnit;
    CString m_strMapUnit;
    CString m_strOtherUnit;
    CString m_strPcUnit;
    int m_nColloid = 0;
    int m_nCrystalloid = 0;
    CString m_strNotes;
    CString m_strBloodLossNote;
    int m_bWithhold = 0;

    // The editable combo boxes, set when the form opens and read when it is confirmed.
    CString m_strAnesthesiologist[kPeople];
    CString m_strSupervisor[kPeople];
    CString m_strDepartment;
    CString m_strWard;
    CString m_strOperatingRoom;

    // Without a control of their own.
    int m_bEditMode = 0;
    int m_nPreopCode = 0;
    CString m_strDrugIncident;
    int m_nIncidentValue[kIncidentValues] = {};
    CString m_strIncidentText[kIncidentTexts]; // k = 1..3 at [0..2]
    int m_nIncidentState = kIncidentNone;
};

// A new case dated today: male, age not given, every unit "g(ml)", no incident.
void InitNewCase(CaseForm& form, const fw::LocalDate& today);

// An existing case into the form, its incident read from the document's incident table.
void ReadCase(CaseForm& form, const CCaseRecord& record, const CQuellmarkDoc& doc);

// The surgery date as a calendar time: now with its year, month and day replaced, normalised as
// mktime does; kNoTime when that lies outside the 32-bit range.
fw::Time32 SurgeryTime(const CaseForm& form, const fw::LocalDateTime& now);

// The form into every member of the case but its incident index. False, with the case left
// unchanged, when the surgery date cannot become a calendar time.
bool WriteCase(const CaseForm& form, CCaseRecord& record, const fw::LocalDateTime& now);

// What the incident dialog starts from: the form's incident, or a fresh one (values 0, texts
// empty) when the form has none or it was deleted.
void IncidentToEdit(const CaseForm& form, int values[CaseForm::kIncidentValues],
                    CString texts[CaseForm::kIncidentTexts]);

// The form after the incident dialog closed: result 1 takes the entered incident, 2 marks it
// deleted and keeps the form's values, anything else changes nothing.
void TakeIncidentResult(CaseForm& form, int result, const int values[CaseForm::kIncidentValues],
                        const CString texts[CaseForm::kIncidentTexts]);

// The change that confirming the form makes: record (the case as the form wrote it) at
// recordIndex (-1 adds it), whose incident index was openedIndex when the form opened (-1 for a
// new case). An incident entered in the form is written into the case's own row, or into the
// next row of the table when the case has none; the document itself is not touched.
registry::JournalEntry CaseChange(const CaseForm& form, const CCaseRecord& record, int recordIndex,
                                  int openedIndex, const CQuellmarkDoc& doc);

// On a new case, copies the patient data of the most recent case with exactly the form's ID.
// False when nothing was copied (an existing case, or no case with that ID).
bool FillFromSameId(CaseForm& form, const CQuellmarkDoc& doc);

} // namespace entry
