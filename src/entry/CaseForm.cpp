#include "entry/CaseForm.h"

#include "framework/Width.h"
#include "framework/ui/DialogTemplate.h"
#include "registry/CaseCodes.h"

#include <algorithm>

namespace entry {
namespace {

using registry::UnitCode;
using registry::UnitText;

void readUnits(CaseForm& f, const CCaseRecord& r) {
    f.m_strMapUnit = UnitText(r.GetnMapUnit());
    f.m_strFfpUnit = UnitText(r.GetnFfpUnit());
    f.m_strPcUnit = UnitText(r.GetnPcUnit());
    f.m_strAutologousUnit = UnitText(r.GetnAutologousUnit());
    f.m_strWholeBloodUnit = UnitText(r.GetnWholeBloodUnit());
    f.m_strOtherUnit = UnitText(r.GetnOtherUnit());
}

void readPatient(CaseForm& f, const CCaseRecord& r) {
    f.m_strName = r.GetstrName();
    f.m_strKana = r.GetstrKana();
    f.m_strId = r.GetstrId();
    f.m_nAgeYears = r.GetnAgeYears();
    f.m_nAgeMonths = r.GetnAgeMonths();
    f.m_nAgeDays = r.GetnAgeDays();
    f.m_strSex = registry::SexText(r.GetnSex());
    f.m_fHeight = r.GetfHeight();
    f.m_fWeight = r.GetfWeight();
}

void readSurgery(CaseForm& f, const CCaseRecord& r) {
    const fw::LocalDate date = fw::LocalDateOf(r.GettSurgery());
    f.m_nYear = date.year;
    f.m_nMonth = date.month;
    f.m_nDay = date.day;
    f.m_strDisease = r.GetstrDisease();
    f.m_strProcedure = r.GetstrProcedure();
    f.m_strWard = r.GetstrWard();
    f.m_strOperatingRoom = r.GetstrOperatingRoom();
    f.m_strDepartment = r.GetstrDepartment();
    for (int i = 0; i < CaseForm::kPeople; ++i) {
        f.m_strAnesthesiologist[i] = r.GetAnesthesiologist(i);
        f.m_strSupervisor[i] = r.GetSupervisor(i);
    }
}

void readAnesthesia(CaseForm& f, const CCaseRecord& r) {
    f.m_strMethod = registry::MethodText(r.GetnMethod());
    f.m_strSite = registry::SiteText(r.GetnSite());
    f.m_strPosition = registry::PositionText(r.GetnPosition());
    f.m_strAsa = r.GetstrAsa();
    f.m_strAnesthesiaTime = r.GetstrAnesthesiaTime();
    f.m_strSurgeryTime = r.GetstrSurgeryTime();
}

void readFluids(CaseForm& f, const CCaseRecord& r) {
    readUnits(f, r);
    f.m_nMap = r.GetnMap();
    f.m_nFfp = r.GetnFfp();
    f.m_nPc = r.GetnPc();
    f.m_nAutologous = r.GetnAutologous();
    f.m_nWholeBlood = r.GetnWholeBlood();
    f.m_nOtherProduct = r.GetnOtherProduct();
    f.m_nAlbumin = r.GetnAlbumin();
    f.m_strOtherProductName = r.GetstrOtherProductName();
    f.m_nCrystalloid = r.GetnCrystalloid();
    f.m_nColloid = r.GetnColloid();
    f.m_nUrine = r.GetnUrine();
    f.m_nBloodLoss = r.GetnBloodLoss();
    f.m_strTransfusionNote = r.GetstrTransfusionNote();
    f.m_strBloodLossNote = r.GetstrBloodLossNote();
}

void readRemarks(CaseForm& f, const CCaseRecord& r) {
    f.m_nPreopCode = r.GetnPreopCode();
    f.m_strPreopComment = r.GetstrPreopComment();
    f.m_strNotes = r.GetstrNotes();
    f.m_strDrugIncident = r.GetstrDrugIncident();
    f.m_bWithhold = r.GetbWithhold();
}

// A negative index other than -1 can only come from a damaged data file; read as a case without
// incident it cannot pass for one of the form's own states.
void readIncident(CaseForm& f, int row, const CQuellmarkDoc& doc) {
    if (row < 0) {
        f.m_nIncidentState = kIncidentNone;
        return;
    }
    f.m_nIncidentState = row;
    for (int k = 0; k < CaseForm::kIncidentValues; ++k) {
        f.m_nIncidentValue[k] = doc.GetIncidentValue(row, k);
    }
    for (int k = 1; k <= CaseForm::kIncidentTexts; ++k) {
        f.m_strIncidentText[k - 1] = doc.GetIncidentText(row, k);
    }
    f.m_strIncidentStatus = "あり"_sj;
}

void writePatient(const CaseForm& f, CCaseRecord& r) {
    r.SetstrName(f.m_strName);
    r.SetstrKana(f.m_strKana);
    r.SetstrId(f.m_strId);
    r.SetnAgeYears(f.m_nAgeYears);
    r.SetnAgeMonths(f.m_nAgeMonths);
    r.SetnAgeDays(f.m_nAgeDays);
    r.SetnSex(registry::SexCode(f.m_strSex));
    r.SetfHeight(f.m_fHeight);
    r.SetfWeight(f.m_fWeight);
}

void writeSurgery(const CaseForm& f, CCaseRecord& r) {
    r.SetstrDisease(f.m_strDisease);
    r.SetstrProcedure(f.m_strProcedure);
    r.SetstrWard(f.m_strWard);
    r.SetstrOperatingRoom(f.m_strOperatingRoom);
    r.SetstrDepartment(f.m_strDepartment);
    for (int i = 0; i < CaseForm::kPeople; ++i) {
        r.SetAnesthesiologist(i, f.m_strAnesthesiologist[i]);
        r.SetSupervisor(i, f.m_strSupervisor[i]);
    }
}

void writeAnesthesia(const CaseForm& f, CCaseRecord& r) {
    r.SetnMethod(registry::MethodCode(f.m_strMethod));
    r.SetnSite(registry::SiteCode(f.m_strSite));
    r.SetnPosition(registry::PositionCode(f.m_strPosition));
    r.SetstrAsa(f.m_strAsa);
    r.SetstrAnesthesiaTime(f.m_strAnesthesiaTime);
    r.SetstrSurgeryTime(f.m_strSurgeryTime);
}

void writeFluids(const CaseForm& f, CCaseRecord& r) {
    r.SetMap(f.m_nMap, UnitCode(f.m_strMapUnit));
    r.SetFfp(f.m_nFfp, UnitCode(f.m_strFfpUnit));
    r.SetPc(f.m_nPc, UnitCode(f.m_strPcUnit));
    r.SetAutologous(f.m_nAutologous, UnitCode(f.m_strAutologousUnit));
    r.SetWholeBlood(f.m_nWholeBlood, UnitCode(f.m_strWholeBloodUnit));
    r.SetOtherProduct(f.m_strOtherProductName, f.m_nOtherProduct, UnitCode(f.m_strOtherUnit));
    r.SetnAlbumin(f.m_nAlbumin);
    r.SetInfusion(f.m_nCrystalloid, f.m_nColloid);
    r.SetnUrine(f.m_nUrine);
    r.SetnBloodLoss(f.m_nBloodLoss);
    r.SetstrTransfusionNote(f.m_strTransfusionNote);
    r.SetstrBloodLossNote(f.m_strBloodLossNote);
}

void writeRemarks(const CaseForm& f, CCaseRecord& r) {
    r.SetnPreopCode(f.m_nPreopCode);
    r.SetstrPreopComment(f.m_strPreopComment);
    r.SetstrNotes(f.m_strNotes);
    r.SetstrDrugIncident(f.m_strDrugIncident);
    r.SetbWithhold(f.m_bWithhold != 0 ? 1 : 0);
}

// The case's own row, or the next one when it has none. An index that names no row (a damaged
// data file) gets a new row too: writing to it would drop the incident without a word.
int rowToWrite(int openedIndex, const CQuellmarkDoc& doc) {
    if (openedIndex >= 0 && openedIndex < doc.GetIncidentCount()) {
        return openedIndex;
    }
    return doc.GetIncidentCount();
}

} // namespace

void InitNewCase(CaseForm& form, const fw::LocalDate& today) {
    form = CaseForm{};
    form.m_bEditMode = 0;
    form.m_nYear = today.year;
    form.m_nMonth = today.month;
    form.m_nDay = today.day;
    form.m_strSex = registry::SexText(1);
    for (CString* unit :
         {&form.m_strMapUnit, &form.m_strFfpUnit, &form.m_strPcUnit, &form.m_strAutologousUnit,
          &form.m_strWholeBloodUnit, &form.m_strOtherUnit}) {
        *unit = UnitText(1);
    }
    form.m_nIncidentState = kIncidentNone;
    form.m_nAgeYears = -1;
    form.m_nAgeMonths = 0;
    form.m_nAgeDays = 0;
}

void ReadCase(CaseForm& form, const CCaseRecord& record, const CQuellmarkDoc& doc) {
    form = CaseForm{};
    form.m_bEditMode = 1;
    readPatient(form, record);
    readSurgery(form, record);
    readAnesthesia(form, record);
    readFluids(form, record);
    readRemarks(form, record);
    readIncident(form, record.GetnIncidentIndex(), doc);
}

fw::Time32 SurgeryTime(const CaseForm& form, const fw::LocalDateTime& now) {
    return fw::MakeTime32(form.m_nYear, form.m_nMonth, form.m_nDay, now.hour, now.minute,
                          now.second);
}

bool WriteCase(const CaseForm& form, CCaseRecord& record, const fw::LocalDateTime& now) {
    const fw::Time32 surgery = SurgeryTime(form, now);
    if (surgery == fw::kNoTime) {
        return false;
    }
    record.SettSurgery(surgery);
    writePatient(form, record);
    writeSurgery(form, record);
    writeAnesthesia(form, record);
    writeFluids(form, record);
    writeRemarks(form, record);
    return true;
}

void IncidentToEdit(const CaseForm& form, int values[CaseForm::kIncidentValues],
                    CString texts[CaseForm::kIncidentTexts]) {
    const bool fresh =
        form.m_nIncidentState == kIncidentNone || form.m_nIncidentState == kIncidentDeleted;
    for (int k = 0; k < CaseForm::kIncidentValues; ++k) {
        values[k] = fresh ? 0 : form.m_nIncidentValue[k];
    }
    for (int k = 0; k < CaseForm::kIncidentTexts; ++k) {
        texts[k] = fresh ? CString() : form.m_strIncidentText[k];
    }
}

void TakeIncidentResult(CaseForm& form, int result, const int values[CaseForm::kIncidentValues],
                        const CString texts[CaseForm::kIncidentTexts]) {
    if (result == fw::kIdOk) {
        std::copy(values, values + CaseForm::kIncidentValues, form.m_nIncidentValue);
        std::copy(texts, texts + CaseForm::kIncidentTexts, form.m_strIncidentText);
        form.m_nIncidentState = kIncidentEdited;
        form.m_strIncidentStatus = "あり"_sj;
    } else if (result == fw::kIdCancel) { // the incident dialog's 削除
        form.m_nIncidentState = kIncidentDeleted;
        form.m_strIncidentStatus = "削除"_sj;
    }
}

registry::JournalEntry CaseChange(const CaseForm& form, const CCaseRecord& record, int recordIndex,
                                  int openedIndex, const CQuellmarkDoc& doc) {
    registry::JournalEntry e;
    e.kind = registry::JournalKind::Case;
    e.recordIndex = recordIndex;
    e.record = record;
    switch (form.m_nIncidentState) {
    case kIncidentEdited:
        e.incidentWritten = true;
        e.record.SetnIncidentIndex(rowToWrite(openedIndex, doc));
        std::copy(form.m_nIncidentValue, form.m_nIncidentValue + CaseForm::kIncidentValues,
                  e.incidentValues.begin());
        std::copy(form.m_strIncidentText, form.m_strIncidentText + CaseForm::kIncidentTexts,
                  e.incidentTexts.begin());
        break;
    case kIncidentDeleted:
        e.record.SetnIncidentIndex(kIncidentNone);
        break;
    default:
        e.record.SetnIncidentIndex(openedIndex);
        break;
    }
    return e;
}

bool FillFromSameId(CaseForm& form, const CQuellmarkDoc& doc) {
    if (form.m_bEditMode != 0) {
        return false;
    }
    // IDs typed with Japanese input on were stored full-width: the same ID either way.
    std::string typedBuffer, storedBuffer;
    const std::string_view typed = fw::FoldWidth(form.m_strId.view(), typedBuffer);
    int found = -1;
    fw::PackedDate foundDate = 0;
    for (int i = 0; i < doc.GetRecordCount(); ++i) {
        if (fw::FoldWidth(doc.RecordAt(i).GetstrId().view(), storedBuffer) != typed) {
            continue;
        }
        const fw::PackedDate date = doc.GetSurgeryDate(i);
        if (found < 0 || date > foundDate) {
            found = i;
            foundDate = date;
        }
    }
    if (found < 0) {
        return false;
    }
    const CCaseRecord& r = doc.RecordAt(found);
    form.m_strName = r.GetstrName();
    form.m_strKana = r.GetstrKana();
    form.m_fHeight = r.GetfHeight();
    form.m_fWeight = r.GetfWeight();
    form.m_strSex = registry::SexText(r.GetnSex());
    form.m_strPreopComment = r.GetstrPreopComment();
    form.m_nPreopCode = r.GetnPreopCode();
    return true;
}

} // namespace entry
