#pragma once
// The annual figures of a report run (dialog 153): the two numbers the data file does not keep,
// typed on every run, beside the counted cases and the kept staff numbers for confirmation.

#include "framework/ui/Dialog.h"
#include "registry/QuellmarkDoc.h"
#include "report/HospitalInfo.h"

namespace report {

constexpr int kHospitalStatsDialogId = 153;

// Controls of the annual figures dialog.
namespace hospitalstats {
enum : int {
    kOperations = 1292,
    kRotators = 1293,
    kCases = 1294,
    kAnesthesiologists = 1295,
    kSpecialists = 1296,
    kPartTime = 1179,
};
} // namespace hospitalstats

// Shows the dialog for a run that counted cases; true with the typed figures when it was
// confirmed. The figures start from 0 on every run.
bool RunAnnualFigures(const CQuellmarkDoc& doc, int cases, AnnualFigures& figures);

} // namespace report

class CHospitalStatsDlg : public fw::CDialog {
public:
    CHospitalStatsDlg();

    int m_nOperations = 0;
    int m_nCases = 0;
    float m_fSpecialists = 0;
    float m_fAnesthesiologists = 0;
    float m_fPartTime = 0;
    float m_fRotators = 0;

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;
};
