#pragma once
// One anesthesia case: patient, surgery, anesthesia, fluids and blood products, comorbidities,
// remarks, the link to its coded incident and the drug incident note. A plain value: copies
// are independent, and the class checks and converts nothing.

#include "framework/String.h"
#include "framework/Time32.h"

#include <cstdint>
#include <utility>

// Declares a member with its getter and setter.
#define VORA_CASE_FIELD(Type, Name)                                                                \
public:                                                                                            \
    const Type& Get##Name() const noexcept {                                                       \
        return m_##Name;                                                                           \
    }                                                                                              \
    void Set##Name(const Type& value) {                                                            \
        m_##Name = value;                                                                          \
    }                                                                                              \
    void Set##Name(Type&& value) {                                                                 \
        m_##Name = std::move(value);                                                               \
    }                                                                                              \
                                                                                                   \
private:                                                                                           \
    Type m_##Name{};

class CCaseRecord {
    // Members in declaration order; the archive order of the data file is its own.
    VORA_CASE_FIELD(CString, strName)
    VORA_CASE_FIELD(CString, strKana)
    VORA_CASE_FIELD(int, bWithhold)
    VORA_CASE_FIELD(CString, strId)
    VORA_CASE_FIELD(int, nAgeYears)
    VORA_CASE_FIELD(int, nAgeMonths)
    VORA_CASE_FIELD(int, nAgeDays)
    VORA_CASE_FIELD(int, nIncidentIndex)
    VORA_CASE_FIELD(int, nSex)
    VORA_CASE_FIELD(CString, strDisease)
    VORA_CASE_FIELD(CString, strProcedure)
    VORA_CASE_FIELD(float, fHeight)
    VORA_CASE_FIELD(float, fWeight)
    VORA_CASE_FIELD(fw::Time32, tSurgery)
    VORA_CASE_FIELD(CString, strWard)
    VORA_CASE_FIELD(CString, strOperatingRoom)
    VORA_CASE_FIELD(int, nMethod)
    VORA_CASE_FIELD(int, nSite)
    VORA_CASE_FIELD(int, nPreopCode)
    VORA_CASE_FIELD(CString, strPreopComment)
    VORA_CASE_FIELD(int, nPosition)

public:
    static constexpr int kPeople = 3;
    const CString& GetAnesthesiologist(int i) const { return m_strAnesthesiologist[i]; }
    void SetAnesthesiologist(int i, const CString& name) { m_strAnesthesiologist[i] = name; }
    const CString& GetSupervisor(int i) const { return m_strSupervisor[i]; }
    void SetSupervisor(int i, const CString& name) { m_strSupervisor[i] = name; }

private:
    CString m_strAnesthesiologist[kPeople];
    CString m_strSupervisor[kPeople];

    VORA_CASE_FIELD(CString, strDepartment)
    VORA_CASE_FIELD(CString, strAsa)
    VORA_CASE_FIELD(CString, strAnesthesiaTime)
    VORA_CASE_FIELD(CString, strSurgeryTime)
    VORA_CASE_FIELD(CString, strNotes)
    VORA_CASE_FIELD(CString, strTransfusionNote)
    VORA_CASE_FIELD(CString, strBloodLossNote)
    VORA_CASE_FIELD(int, nMapUnit)
    VORA_CASE_FIELD(int, nFfpUnit)
    VORA_CASE_FIELD(int, nPcUnit)
    VORA_CASE_FIELD(int, nAutologousUnit)
    VORA_CASE_FIELD(int, nWholeBloodUnit)
    VORA_CASE_FIELD(int, nOtherUnit)
    VORA_CASE_FIELD(int, nMap)
    VORA_CASE_FIELD(int, nFfp)
    VORA_CASE_FIELD(int, nPc)
    VORA_CASE_FIELD(int, nAutologous)
    VORA_CASE_FIELD(int, nWholeBlood)
    VORA_CASE_FIELD(int, nOtherProduct)
    VORA_CASE_FIELD(int, nAlbumin)
    VORA_CASE_FIELD(CString, strOtherProductName)
    VORA_CASE_FIELD(int, nCrystalloid)
    VORA_CASE_FIELD(int, nColloid)
    VORA_CASE_FIELD(int, nUrine)
    VORA_CASE_FIELD(int, nBloodLoss)
    VORA_CASE_FIELD(CString, strDrugIncident)

public:
    // Amount and unit code of a blood product are always set together.
    void SetMap(int amount, int unit) { m_nMap = amount, m_nMapUnit = unit; }
    void SetFfp(int amount, int unit) { m_nFfp = amount, m_nFfpUnit = unit; }
    void SetPc(int amount, int unit) { m_nPc = amount, m_nPcUnit = unit; }
    void SetAutologous(int amount, int unit) { m_nAutologous = amount, m_nAutologousUnit = unit; }
    void SetWholeBlood(int amount, int unit) { m_nWholeBlood = amount, m_nWholeBloodUnit = unit; }
    void SetOtherProduct(const CString& name, int amount, int unit) {
        m_strOtherProductName = name, m_nOtherProduct = amount, m_nOtherUnit = unit;
    }
    void SetInfusion(int crystalloid, int colloid) {
        m_nCrystalloid = crystalloid, m_nColloid = colloid;
    }

    // An emergency case carries an E in its ASA physical status.
    bool IsEmergency() const { return m_strAsa.Find('E') >= 0; }

    friend bool operator==(const CCaseRecord&, const CCaseRecord&) = default;
};

#undef VORA_CASE_FIELD
