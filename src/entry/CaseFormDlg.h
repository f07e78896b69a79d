#pragma once
// The case form (dialog 133), in which every case is entered and corrected, and the two ways the
// list view opens it: for a new case and for a case of the list.

#include "entry/CaseForm.h"
#include "framework/StringArray.h"
#include "framework/Time32.h"
#include "framework/ui/Dialog.h"
#include "registry/QuellmarkDoc.h"

#include <initializer_list>

namespace entry {

constexpr int kCaseFormId = 133;

// Controls of the case form.
namespace caseform {
enum : int {
    kName = 1001,
    kId = 1002,
    kSex = 1003,
    kAgeYears = 1004,
    kHeight = 1006,
    kWeight = 1007,
    kDisease = 1008,
    kProcedure = 1009,
    kDepartment = 1010,
    kWard = 1011,
    kRoom = 1012,
    kMonth = 1013,
    kAnesthesiologist1 = 1014,
    kAnesthesiologist2 = 1015,
    kAnesthesiologist3 = 1016,
    kSupervisor1 = 1018,
    kSupervisor2 = 1019,
    kSupervisor3 = 1020,
    kYear = 1022,
    kDay = 1023,
    kDrugIncidentButton = 1037,
    kIncidentButton = 1038,
    kAnesthesiaTime = 1042,
    kSurgeryTime = 1043,
    kIdButton = 1047,
    kIncidentStatus = 1048,
    kAsa = 1049,
    kSite = 1050,
    kMethod = 1051,
    kAgeMonths = 1052,
    kAgeDays = 1053,
    kPosition = 1084,
    kConfirm = 1096,
    kKana = 1097,
    kPreopButton = 1098,
    kPreopComment = 1099,
    kMapUnit = 1146,
    kFfpUnit = 1147,
    kPcUnit = 1148,
    kAutologousUnit = 1149,
    kWholeBloodUnit = 1151,
    kNotes = 1152,
    kOtherName = 1153,
    kMap = 1154,
    kFfp = 1155,
    kPc = 1156,
    kAutologous = 1157,
    kAlbumin = 1158,
    kWholeBlood = 1159,
    kCrystalloid = 1160,
    kColloid = 1161,
    kUrine = 1162,
    kBloodLoss = 1163,
    kOtherAmount = 1164,
    kOtherUnit = 1165,
    kTransfusionNote = 1166,
    kBloodLossNote = 1167,
    kWithhold = 1180,
    kHistoryButton = 1181, // the administrator's, on a department server

};
} // namespace caseform

// The new-case flow (view command 101) and the correction of the case at recordIndex (a click
// on its row). Both return what the form's DoModal returned (-1 when recordIndex names no
// case); the document changes only when the form was confirmed with a patient name.
int RunNewCase(CQuellmarkDoc& doc);
int RunExistingCase(CQuellmarkDoc& doc, int recordIndex);

} // namespace entry

class CCaseFormDlg : public fw::CDialog, public entry::CaseForm {
public:
    // The form offers the document's master lists in its combo boxes.
    explicit CCaseFormDlg(CQuellmarkDoc& doc);

    CQuellmarkDoc* m_pDoc;
    const CStringArray* m_pAnesthesiologistList;
    const CStringArray* m_pSupervisorList;
    const CStringArray* m_pWardList;
    const CStringArray* m_pRoomList;
    const CStringArray* m_pDepartmentList;

    // When the form was confirmed: the time of day the surgery date is written with.
    const fw::LocalDateTime& GetConfirmedAt() const noexcept { return m_confirmedAt; }
    // The case the form corrects (-1 for a new one), whose history it can show.
    int m_nRecordIndex = -1;

    // Called when OK has read and checked every field, before the form closes: false keeps it
    // open with everything typed (the change was refused and the user was told).
    void OnConfirm(std::function<bool()> keep) { m_keep = std::move(keep); }

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;
    bool OnInitDialog() override;

private:
    void exchangePatient(fw::CDataExchange* pDX);
    void exchangeAmounts(fw::CDataExchange* pDX);
    void exchangeVolumesAndUnits(fw::CDataExchange* pDX);
    void showComboTexts();
    void fillComboLists();
    void readComboTexts();
    void showMembers(bool readSucceeded, std::initializer_list<int> changed);
    void showMember(int id);
    bool surgeryDateFits();

    void confirm();
    void editComorbidities();
    void editDrugIncident();
    void editIncident();
    void fillFromSameId();
    void showHistory();

    fw::LocalDateTime m_confirmedAt{};
    std::function<bool()> m_keep;
};
