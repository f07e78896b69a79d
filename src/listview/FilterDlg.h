#pragma once
// The filter dialog (dialog 150): which cases the list keeps, by any combination of fourteen
// criteria, and the display period.

#include "framework/StringArray.h"
#include "framework/ui/Dialog.h"
#include "listview/FilterForm.h"

namespace listview {

constexpr int kFilterDialogId = 150;

// Controls of the filter dialog.
namespace filterdlg {
enum : int {
    kStartButton = 1278,
    kStartText = 1282,
    kEndButton = 1279,
    kEndText = 1283,
    kAgeMinButton = 1280,
    kAgeMin = 1284,
    kAgeMaxButton = 1281,
    kAgeMax = 1285,
    kIncident = 1254,
    kMale = 1255,
    kFemale = 1256,
    kEmergency = 1257,
    kDrugIncident = 1182,
    kPatient = 1258,
    kFieldId = 1259, // first of the patient field's radio buttons
    kFieldName = 1260,
    kFieldDisease = 1261,
    kFieldProcedure = 1262,
    kPatientText = 1286,
    kDepartment = 1263,
    kDepartmentText = 1010,
    kWard = 1264,
    kWardText = 1011,
    kAnesthesiologist = 1267,
    kAnesthesiologistText = 1051,
    kSupervisor = 1269,
    kSupervisorText = 1086,
    kSite = 1271,
    kSiteList = 1050,
    kMethod = 1273,
    kMethodList = 1085,
    kComorbidity = 1276,
    kComorbidityText = 1287,
    kNotes = 1277,
    kNotesText = 1288,
    kApply = 1096, // 絞り込み
    kClear = 2,    // 絞り込み解除
};
} // namespace filterdlg

// Command 103 of the list: opens the dialog on the criteria and the period in force; "絞り込み"
// applies what it shows, any other way of closing it clears the filter and the period.
// Returns what DoModal returned.
int RunFilter(const CQuellmarkDoc& doc, registry::CaseFilter& filter, fw::Time32& start,
              fw::Time32& end);

} // namespace listview

class CFilterDlg : public fw::CDialog, public listview::FilterForm {
public:
    // The combo boxes offer the document's master lists.
    explicit CFilterDlg(const CQuellmarkDoc& doc);

    const CStringArray* m_pAnesthesiologistList;
    const CStringArray* m_pDepartmentList;
    const CStringArray* m_pWardList;
    const CStringArray* m_pSupervisorList;

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;
    bool OnInitDialog() override;

private:
    void fillCodeLists();
    void showComboTexts();
    void fillComboLists();
    void readComboTexts();
    void apply();
    void askDate(const CString& title, fw::Time32& time, CString& text);
};
