#include "registry/ComorbidityCodes.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using namespace registry;

namespace {

struct Expected {
    const char* text;
    const char* report;
};

// Code order, as the society list gives them.
const Expected kCodes[kPreopCodeCount] = {
    {"大動脈破裂", "1a"},
    {"外傷", "1b"},
    {"消化管出血", "1c"},
    {"産科的出血", "1d"},
    {"術後再出血", "1e"},
    {"凝固異常（出血性ショック）", "1f"},
    {"出血性ショック（その他）", "1x"},
    {"心筋梗塞・冠虚血", "2a"},
    {"弁疾患", "2b"},
    {"心筋症", "2c"},
    {"心不全", "2d"},
    {"先天性心疾患", "2e"},
    {"循環器系疾患（その他）", "2x"},
    {"気管支喘息", "3a"},
    {"ARDS", "3b"},
    {"COLD", "3c"},
    {"肺炎", "3d"},
    {"胸水", "3e"},
    {"気胸", "3f"},
    {"気道狭窄", "3g"},
    {"呼吸器系疾患（その他）", "3x"},
    {"頭蓋内出血", "4a"},
    {"脳梗塞", "4b"},
    {"脳浮腫", "4c"},
    {"中枢神経系疾患（その他）", "4x"},
    {"多臓器不全・敗血症", "5y"},
    {"甲状腺疾患", "6a"},
    {"副腎疾患", "6b"},
    {"高度肥満", "6c"},
    {"代謝・内分泌疾患（その他）", "6x"},
    {"骨筋肉疾患", "7y"},
    {"出血・凝固異常", "8y"},
    {"その他", "9y"},
};

struct Slots {
    int s[kPreopSlotCount] = {};
    int count = -1;
};

Slots forDialog(int packed) {
    Slots slots;
    UnpackPreopForDialog(packed, slots.s, slots.count);
    return slots;
}

Slots forExport(int packed) {
    Slots slots;
    UnpackPreopSlots(packed, slots.s);
    return slots;
}

void expectSlots(const Slots& got, int a, int b, int c) {
    EXPECT_EQ(got.s[0], a);
    EXPECT_EQ(got.s[1], b);
    EXPECT_EQ(got.s[2], c);
}

std::string exportFields(int packed) {
    Slots slots = forExport(packed);
    std::string fields;
    for (int code : slots.s) {
        fields += ExportLabel(code).str();
    }
    return fields;
}

} // namespace

TEST(ComorbidityCodesTest, EveryCodeWithItsTextReportCodeAndExportField) {
    for (int code = 1; code <= kPreopCodeCount; ++code) {
        const Expected& want = kCodes[code - 1];
        SCOPED_TRACE(code);
        EXPECT_EQ(PreopText(code).ToUtf8(), want.text);
        EXPECT_EQ(ReportCode(code).str(), want.report);
        EXPECT_EQ(ExportLabel(code).str(), std::string(want.report) + "_,");
    }
}

TEST(ComorbidityCodesTest, CodesOutsideTheListHaveNoTextAndAnEmptyField) {
    for (int code : {0, 34, 99, -1, INT_MIN}) {
        EXPECT_TRUE(PreopText(code).IsEmpty());
        EXPECT_TRUE(ReportCode(code).IsEmpty());
        EXPECT_EQ(ExportLabel(code).str(), ",");
    }
}

TEST(PreopPackingTest, PackAndUnpackForTheDialog) {
    const int slots[kPreopSlotCount] = {1, 2, 5};
    EXPECT_EQ(PackPreop(slots), 50201);
    const int damaged[kPreopSlotCount] = {33, -4, 2000000};
    EXPECT_EQ(PackPreop(damaged), 33);

    Slots three = forDialog(50201);
    expectSlots(three, 1, 2, 5);
    EXPECT_EQ(three.count, 3);
    Slots two = forDialog(201);
    expectSlots(two, 1, 2, 0);
    EXPECT_EQ(two.count, 2);
    Slots none = forDialog(0);
    expectSlots(none, 0, 0, 0);
    EXPECT_EQ(none.count, 0);
}

TEST(PreopPackingTest, DialogStopsAtTheFirstEmptySlot) {
    Slots gapFirst = forDialog(300);
    expectSlots(gapFirst, 0, 0, 0);
    EXPECT_EQ(gapFirst.count, 0);
    Slots gapSecond = forDialog(50001);
    expectSlots(gapSecond, 1, 0, 0);
    EXPECT_EQ(gapSecond.count, 1);
}

TEST(PreopPackingTest, ExportReadsEverySlotFromItsOwnDigits) {
    expectSlots(forExport(300), 0, 3, 0);
    expectSlots(forExport(50201), 1, 2, 5);
    // Digits above the third slot are not a slot of their own.
    expectSlots(forExport(1330201), 1, 2, 33);
    EXPECT_EQ(exportFields(201), "1a_,1b_,,");
    EXPECT_EQ(exportFields(300), ",1c_,,");
}

TEST(PreopPackingTest, DamagedPackedCodesGiveEmptySlots) {
    // Negative values leave negative remainders, and 34..99 are no codes: neither may index a
    // table.
    for (int packed : {-1, -201, -50201, INT_MIN, INT_MAX, 99, 3400, 990000}) {
        SCOPED_TRACE(packed);
        for (int slot : forExport(packed).s) {
            EXPECT_GE(slot, 0);
            EXPECT_LE(slot, kPreopCodeCount);
        }
        EXPECT_EQ(forDialog(packed).count, 0);
    }
    expectSlots(forExport(-201), 0, 0, 0);
    expectSlots(forExport(3401), 1, 0, 0);
    Slots partly = forDialog(3401);
    expectSlots(partly, 1, 0, 0);
    EXPECT_EQ(partly.count, 1);
    EXPECT_EQ(exportFields(INT_MIN), ",,,");
}
