#include "report/HospitalInfoDlg.h"

#include "report/HospitalInfo.h"

using fw::CtlKind;

namespace report {
namespace {

using namespace hospitalinfo;

// Wide enough for "小児病院・医療センター（国立を含む）" in the closed list.
constexpr int kListWidth = 167;

const fw::DlgTemplate& hospitalInfoDialog() {
    static const fw::DlgTemplate tmpl{
        kHospitalInfoDialogId,
        250,
        202,
        nullptr,
        {
            {fw::kStaticId, CtlKind::Static, 8, 15, 66, 14, "病院の種類", fw::kAlignVCenter},
            {kType,
             CtlKind::DropList,
             75,
             15,
             kListWidth,
             65,
             "",
             fw::kNone,
             {"大学病院", "国立病院・国立医療センター", "公立，自治体病院", "その他の総合病院",
              "その他の病院", "小児病院・医療センター（国立を含む）"}},
            {fw::kStaticId, CtlKind::Static, 8, 40, 66, 14, "病院の所在地", fw::kAlignVCenter},
            {kLocation,
             CtlKind::DropList,
             75,
             40,
             kListWidth,
             65,
             "",
             fw::kNone,
             {"北海道", "東北", "関東・甲信越（東京を除く）", "東京", "東海・北陸", "関西",
              "中国・四国", "九州"}},
            {fw::kStaticId, CtlKind::Static, 8, 65, 66, 14, "病床数", fw::kAlignVCenter},
            {kBeds, CtlKind::Edit, 75, 65, 65, 14, "", fw::kAlignRight},
            {fw::kStaticId, CtlKind::Static, 8, 90, 66, 14, "常勤専門医数", fw::kAlignVCenter},
            {kSpecialists, CtlKind::Edit, 75, 90, 65, 14, "", fw::kAlignRight},
            {fw::kStaticId, CtlKind::Static, 8, 115, 66, 14, "常勤麻酔科医数", fw::kAlignVCenter},
            {kFullTime, CtlKind::Edit, 75, 115, 65, 14, "", fw::kAlignRight},
            {fw::kStaticId, CtlKind::Static, 8, 140, 66, 14, "非常勤麻酔科医数", fw::kAlignVCenter},
            {kPartTime, CtlKind::Edit, 75, 140, 65, 14, "", fw::kAlignRight},
            {kConfirm, CtlKind::Push, 100, 175, 50, 14, "OK"},
            // Enter confirms nothing: the values are stored only through the OK button.
            {fw::kIdOk, CtlKind::Push, 5, 175, 50, 14, "OK",
             fw::kDefault | fw::kHidden | fw::kDisabled},
        }};
    return tmpl;
}

} // namespace

void EditHospitalInfo(CQuellmarkDoc& doc, CHospitalInfoDlg& dlg) {
    const HospitalInfo loaded = HospitalInfoOf(doc);
    dlg.m_nType = loaded.type;
    dlg.m_nLocation = loaded.location;
    dlg.m_nBeds = loaded.beds;
    dlg.m_fSpecialists = loaded.specialists;
    dlg.m_fFullTime = loaded.fullTime;
    dlg.m_fPartTime = loaded.partTime;
    // A refused confirmation may have taken the values before the bad one already: only the
    // whole set confirmed reaches the document.
    registry::ChangeBase base = doc.BaseOf({registry::JournalKind::Hospital, -1});
    dlg.OnConfirm([&] {
        CString message;
        if (StoreHospitalInfo(doc,
                              {dlg.m_nType, dlg.m_nLocation, dlg.m_nBeds, dlg.m_fSpecialists,
                               dlg.m_fFullTime, dlg.m_fPartTime},
                              base, message)) {
            return true;
        }
        fw::ShowMessage(message);
        return false;
    });
    dlg.DoModal();
    dlg.OnConfirm(nullptr);
}

} // namespace report

CHospitalInfoDlg::CHospitalInfoDlg() : CDialog(report::hospitalInfoDialog()) {
    OnClicked(report::hospitalinfo::kConfirm, [this] { confirm(); });
}

void CHospitalInfoDlg::DoDataExchange(fw::CDataExchange* pDX) {
    using namespace report::hospitalinfo;
    fw::DDX_CBIndex(pDX, kLocation, m_nLocation);
    fw::DDX_CBIndex(pDX, kType, m_nType);
    // What the society's file can take: no negative, endless or absurd head counts.
    fw::DDX_Text(pDX, kBeds, m_nBeds);
    fw::DDV_MinMaxInt(pDX, m_nBeds, 0, report::kFigureMax);
    fw::DDX_Text(pDX, kFullTime, m_fFullTime);
    fw::DDV_MinMaxFloat(pDX, m_fFullTime, 0, report::kFigureMax);
    fw::DDX_Text(pDX, kPartTime, m_fPartTime);
    fw::DDV_MinMaxFloat(pDX, m_fPartTime, 0, report::kFigureMax);
    fw::DDX_Text(pDX, kSpecialists, m_fSpecialists);
    fw::DDV_MinMaxFloat(pDX, m_fSpecialists, 0, report::kFigureMax);
}

void CHospitalInfoDlg::confirm() {
    if (UpdateData(true) && (!m_keep || m_keep())) {
        EndDialog(fw::kIdOk);
    }
}
