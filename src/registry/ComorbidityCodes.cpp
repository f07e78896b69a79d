#include "registry/ComorbidityCodes.h"

#include <array>

namespace registry {
namespace {

struct PreopCode {
    const CString& text;
    CString reportCode;
};

const std::array<PreopCode, kPreopCodeCount>& codes() {
    static const std::array<PreopCode, kPreopCodeCount> table = {{
        {"大動脈破裂"_sj, "1a"},
        {"外傷"_sj, "1b"},
        {"消化管出血"_sj, "1c"},
        {"産科的出血"_sj, "1d"},
        {"術後再出血"_sj, "1e"},
        {"凝固異常（出血性ショック）"_sj, "1f"},
        {"出血性ショック（その他）"_sj, "1x"},
        {"心筋梗塞・冠虚血"_sj, "2a"},
        {"弁疾患"_sj, "2b"},
        {"心筋症"_sj, "2c"},
        {"心不全"_sj, "2d"},
        {"先天性心疾患"_sj, "2e"},
        {"循環器系疾患（その他）"_sj, "2x"},
        {"気管支喘息"_sj, "3a"},
        {"ARDS"_sj, "3b"},
        {"COLD"_sj, "3c"},
        {"肺炎"_sj, "3d"},
        {"胸水"_sj, "3e"},
        {"気胸"_sj, "3f"},
        {"気道狭窄"_sj, "3g"},
        {"呼吸器系疾患（その他）"_sj, "3x"},
        {"頭蓋内出血"_sj, "4a"},
        {"脳梗塞"_sj, "4b"},
        {"脳浮腫"_sj, "4c"},
        {"中枢神経系疾患（その他）"_sj, "4x"},
        {"多臓器不全・敗血症"_sj, "5y"},
        {"甲状腺疾患"_sj, "6a"},
        {"副腎疾患"_sj, "6b"},
        {"高度肥満"_sj, "6c"},
        {"代謝・内分泌疾患（その他）"_sj, "6x"},
        {"骨筋肉疾患"_sj, "7y"},
        {"出血・凝固異常"_sj, "8y"},
        {"その他"_sj, "9y"},
    }};
    return table;
}

const CString kEmpty;

const PreopCode* codeOf(int code) {
    return IsPreopCode(code) ? &codes()[std::size_t(code - 1)] : nullptr;
}

// A damaged slot (negative digits, or 34..99) reads as empty rather than as an index.
int slotOrEmpty(int code) {
    return IsPreopCode(code) ? code : 0;
}

const std::array<CString, kPreopCodeCount + 1>& exportLabels() {
    static const std::array<CString, kPreopCodeCount + 1> labels = [] {
        std::array<CString, kPreopCodeCount + 1> all;
        all[0] = ",";
        for (int code = 1; code <= kPreopCodeCount; ++code) {
            all[std::size_t(code)] = codeOf(code)->reportCode;
            all[std::size_t(code)] += "_,";
        }
        return all;
    }();
    return labels;
}

} // namespace

const CString& PreopText(int code) {
    const PreopCode* item = codeOf(code);
    return item ? item->text : kEmpty;
}

const CString& ReportCode(int code) {
    const PreopCode* item = codeOf(code);
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

} // namespace registry
