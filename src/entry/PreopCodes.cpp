#include "entry/PreopCodes.h"

#include <array>

namespace entry {
namespace {

// How the comorbidity dialog offers each code; the text of a code is the case's.
struct PreopButton {
    int buttonId;
    const CString& caption;
    PreopGroup group;
};

using G = PreopGroup;

const std::array<PreopButton, kPreopCodeCount>& buttons() {
    static const std::array<PreopButton, kPreopCodeCount> table = {{
        {1054, "大動脈破裂"_sj, G::HemorrhagicShock},
        {1055, "外傷"_sj, G::HemorrhagicShock},
        {1056, "消化管出血"_sj, G::HemorrhagicShock},
        {1057, "産科的出血"_sj, G::HemorrhagicShock},
        {1059, "術後再出血"_sj, G::HemorrhagicShock},
        {1060, "血液凝固異常"_sj, G::HemorrhagicShock},
        {1061, "その他"_sj, G::HemorrhagicShock},
        {1062, "心筋梗塞・冠虚血"_sj, G::Cardiovascular},
        {1065, "弁疾患"_sj, G::Cardiovascular},
        {1066, "心筋症"_sj, G::Cardiovascular},
        {1113, "心不全"_sj, G::Cardiovascular},
        {1064, "先天性心疾患"_sj, G::Cardiovascular},
        {1063, "その他"_sj, G::Cardiovascular},
        {1114, "気管支喘息"_sj, G::Respiratory},
        {1115, "ARDS"_sj, G::Respiratory},
        {1116, "COLD"_sj, G::Respiratory},
        {1117, "肺炎"_sj, G::Respiratory},
        {1118, "胸水"_sj, G::Respiratory},
        {1119, "気胸"_sj, G::Respiratory},
        {1120, "気道狭窄"_sj, G::Respiratory},
        {1134, "その他"_sj, G::Respiratory},
        {1122, "頭蓋内出血"_sj, G::CentralNervous},
        {1123, "脳梗塞"_sj, G::CentralNervous},
        {1124, "脳浮腫"_sj, G::CentralNervous},
        {1125, "その他"_sj, G::CentralNervous},
        {1126, "多臓器不全・敗血症"_sj, G::Standalone},
        {1127, "甲状腺疾患"_sj, G::Metabolic},
        {1128, "副腎疾患"_sj, G::Metabolic},
        {1129, "高度肥満"_sj, G::Metabolic},
        {1130, "その他"_sj, G::Metabolic},
        {1131, "骨筋肉疾患"_sj, G::Standalone},
        {1132, "出血・凝固異常"_sj, G::Standalone},
        {1133, "その他"_sj, G::Standalone},
    }};
    return table;
}

const CString kEmpty;

const PreopButton* buttonOf(int code) {
    return registry::IsPreopCode(code) ? &buttons()[std::size_t(code - 1)] : nullptr;
}

} // namespace

int PreopButtonId(int code) {
    const PreopButton* item = buttonOf(code);
    return item ? item->buttonId : 0;
}

const CString& PreopButtonCaption(int code) {
    const PreopButton* item = buttonOf(code);
    return item ? item->caption : kEmpty;
}

PreopGroup PreopGroupOf(int code) {
    const PreopButton* item = buttonOf(code);
    return item ? item->group : PreopGroup::None;
}

const CString& PreopGroupCaption(PreopGroup group) {
    switch (group) {
    case PreopGroup::HemorrhagicShock:
        return "出血性ショック"_sj;
    case PreopGroup::Cardiovascular:
        return "循環器系疾患"_sj;
    case PreopGroup::Respiratory:
        return "呼吸器系疾患"_sj;
    case PreopGroup::CentralNervous:
        return "中枢神経系疾患"_sj;
    case PreopGroup::Metabolic:
        return "代謝・内分泌疾患"_sj;
    default:
        return kEmpty;
    }
}

int PreopCodeForButton(int buttonId) {
    for (int code = 1; code <= kPreopCodeCount; ++code) {
        if (buttonOf(code)->buttonId == buttonId) {
            return code;
        }
    }
    return 0;
}

const QuickNote& QuickNoteAt(int index) {
    static const QuickNote notes[kQuickNoteCount] = {
        {1055, "高血圧"_sj, "高血圧，"_sj},          {1056, "糖尿病"_sj, "糖尿病，"_sj},
        {1057, "ﾌﾙｽﾄﾏｯｸ"_sj, "フルストマック，"_sj}, {1059, "肝"_sj, "肝機能障害，"_sj},
        {1060, "腎"_sj, "腎機能障害，"_sj},
    };
    return notes[index];
}

const CString* QuickNoteText(int buttonId) {
    for (int i = 0; i < kQuickNoteCount; ++i) {
        if (QuickNoteAt(i).buttonId == buttonId) {
            return &QuickNoteAt(i).text;
        }
    }
    return nullptr;
}

void PreopSelection::Initialise(int packed, const CString& comment) {
    m_comment = comment;
    registry::UnpackPreopForDialog(packed, m_codes, m_count);
}

void PreopSelection::Add(int code) {
    if (!registry::IsPreopCode(code)) {
        return;
    }
    if (m_count < kPreopSlotCount) {
        m_codes[m_count++] = code;
    }
    m_comment += PreopText(code);
    m_comment += "，"_sj;
}

void PreopSelection::Clear() {
    for (int& code : m_codes) {
        code = 0;
    }
    m_count = 0;
}

const CString& PreopSelection::SlotText(int slot) const {
    return PreopText(SlotCode(slot));
}

int PreopSelection::SlotCode(int slot) const {
    return slot >= 0 && slot < kPreopSlotCount ? m_codes[slot] : 0;
}

} // namespace entry
