#include "entry/PreopCodes.h"

#include <array>

namespace entry {
namespace {

struct PreopItem {
    const CString& text;
    int buttonId;
    const CString& caption;
    PreopGroup group;
    CString reportCode;
};

using G = PreopGroup;

const std::array<PreopItem, kPreopCodeCount>& items() {
    static const std::array<PreopItem, kPreopCodeCount> table = {{
        {"大動脈破裂"_sj, 1054, "大動脈破裂"_sj, G::HemorrhagicShock, "1a"},
        {"外傷"_sj, 1055, "外傷"_sj, G::HemorrhagicShock, "1b"},
        {"消化管出血"_sj, 1056, "消化管出血"_sj, G::HemorrhagicShock, "1c"},
        {"産科的出血"_sj, 1057, "産科的出血"_sj, G::HemorrhagicShock, "1d"},
        {"術後再出血"_sj, 1059, "術後再出血"_sj, G::HemorrhagicShock, "1e"},
        {"凝固異常（出血性ショック）"_sj, 1060, "血液凝固異常"_sj, G::HemorrhagicShock, "1f"},
        {"出血性ショック（その他）"_sj, 1061, "その他"_sj, G::HemorrhagicShock, "1x"},
        {"心筋梗塞・冠虚血"_sj, 1062, "心筋梗塞・冠虚血"_sj, G::Cardiovascular, "2a"},
        {"弁疾患"_sj, 1065, "弁疾患"_sj, G::Cardiovascular, "2b"},
        {"心筋症"_sj, 1066, "心筋症"_sj, G::Cardiovascular, "2c"},
        {"心不全"_sj, 1113, "心不全"_sj, G::Cardiovascular, "2d"},
        {"先天性心疾患"_sj, 1064, "先天性心疾患"_sj, G::Cardiovascular, "2e"},
        {"循環器系疾患（その他）"_sj, 1063, "その他"_sj, G::Cardiovascular, "2x"},
        {"気管支喘息"_sj, 1114, "気管支喘息"_sj, G::Respiratory, "3a"},
        {"ARDS"_sj, 1115, "ARDS"_sj, G::Respiratory, "3b"},
        {"COLD"_sj, 1116, "COLD"_sj, G::Respiratory, "3c"},
        {"肺炎"_sj, 1117, "肺炎"_sj, G::Respiratory, "3d"},
        {"胸水"_sj, 1118, "胸水"_sj, G::Respiratory, "3e"},
        {"気胸"_sj, 1119, "気胸"_sj, G::Respiratory, "3f"},
        {"気道狭窄"_sj, 1120, "気道狭窄"_sj, G::Respiratory, "3g"},
        {"呼吸器系疾患（その他）"_sj, 1134, "その他"_sj, G::Respiratory, "3x"},
        {"頭蓋内出血"_sj, 1122, "頭蓋内出血"_sj, G::CentralNervous, "4a"},
        {"脳梗塞"_sj, 1123, "脳梗塞"_sj, G::CentralNervous, "4b"},
        {"脳浮腫"_sj, 1124, "脳浮腫"_sj, G::CentralNervous, "4c"},
        {"中枢神経系疾患（その他）"_sj, 1125, "その他"_sj, G::CentralNervous, "4x"},
        {"多臓器不全・敗血症"_sj, 1126, "多臓器不全・敗血症"_sj, G::Standalone, "5y"},
        {"甲状腺疾患"_sj, 1127, "甲状腺疾患"_sj, G::Metabolic, "6a"},
        {"副腎疾患"_sj, 1128, "副腎疾患"_sj, G::Metabolic, "6b"},
        {"高度肥満"_sj, 1129, "高度肥満"_sj, G::Metabolic, "6c"},
        {"代謝・内分泌疾患（その他）"_sj, 1130, "その他"_sj, G::Metabolic, "6x"},
        {"骨筋肉疾患"_sj, 1131, "骨筋肉疾患"_sj, G::Standalone, "7y"},
        {"出血・凝固異常"_sj, 1132, "出血・凝固異常"_sj, G::Standalone, "8y"},
        {"その他"_sj, 1133, "その他"_sj, G::Standalone, "9y"},
    }};
    return table;
}

const CString kEmpty;

bool isCode(int code) {
    return code >= 1 && code <= kPreopCodeCount;
}

const PreopItem* itemOf(int code) {
    return isCode(code) ? &items()[std::size_t(code - 1)] : nullptr;
}

// A damaged slot (negative digits, or 34..99) reads as empty rather than as an index.
int slotOrEmpty(int code) {
    return isCode(code) ? code : 0;
}

const std::array<CString, kPreopCodeCount + 1>& exportLabels() {
    static const std::array<CString, kPreopCodeCount + 1> labels = [] {
        std::array<CString, kPreopCodeCount + 1> all;
        all[0] = ",";
        for (int code = 1; code <= kPreopCodeCount; ++code) {
            all[std::size_t(code)] = itemOf(code)->reportCode;
            all[std::size_t(code)] += "_,";
        }
        return all;
    }();
    return labels;
}

} // namespace

const CString& PreopText(int code) {
    const PreopItem* item = itemOf(code);
    return item ? item->text : kEmpty;
}

int PreopButtonId(int code) {
    const PreopItem* item = itemOf(code);
    return item ? item->buttonId : 0;
}

const CString& PreopButtonCaption(int code) {
    const PreopItem* item = itemOf(code);
    return item ? item->caption : kEmpty;
}

PreopGroup PreopGroupOf(int code) {
    const PreopItem* item = itemOf(code);
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
        if (itemOf(code)->buttonId == buttonId) {
            return code;
        }
    }
    return 0;
}

const CString& ReportCode(int code) {
    const PreopItem* item = itemOf(code);
    return item ? item->reportCode : kEmpty;
}

const CString& ExportLabel(int code) {
    return exportLabels()[std::size_t(slotOrEmpty(code))];
}

int PackPreop(const int slots[kPreopSlotCount]) {
    return slotOrEmpty(slots[0]) + 100 * slotOrEmpty(slots[1]) + 10000 * slotOrEmpty(slots[2]);
}

void UnpackPreopSlots(int packed, int slots[kPreopSlotCount]) {
    slots[0] = slotOrEmpty(packed % 100);
    slots[1] = slotOrEmpty(packed / 100 % 100);
    slots[2] = slotOrEmpty(packed / 10000 % 100);
}

void UnpackPreopForDialog(int packed, int slots[kPreopSlotCount], int& count) {
    UnpackPreopSlots(packed, slots);
    count = 0;
    while (count < kPreopSlotCount && slots[count] != 0) {
        ++count;
    }
    for (int slot = count; slot < kPreopSlotCount; ++slot) {
        slots[slot] = 0;
    }
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
    UnpackPreopForDialog(packed, m_codes, m_count);
}

void PreopSelection::Add(int code) {
    if (!isCode(code)) {
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
