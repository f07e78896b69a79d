#include "entry/PreopCodes.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>

using namespace entry;

namespace {

struct Expected {
    const char* text;
    int buttonId;
    const char* caption;
    PreopGroup group;
    const char* report;
};

using G = PreopGroup;

// Code order, as the comorbidity dialog and the society list give them.
const Expected kCodes[kPreopCodeCount] = {
    {"大動脈破裂", 1054, "大動脈破裂", G::HemorrhagicShock, "1a"},
    {"外傷", 1055, "外傷", G::HemorrhagicShock, "1b"},
    {"消化管出血", 1056, "消化管出血", G::HemorrhagicShock, "1c"},
    {"産科的出血", 1057, "産科的出血", G::HemorrhagicShock, "1d"},
    {"術後再出血", 1059, "術後再出血", G::HemorrhagicShock, "1e"},
    {"凝固異常（出血性ショック）", 1060, "血液凝固異常", G::HemorrhagicShock, "1f"},
    {"出血性ショック（その他）", 1061, "その他", G::HemorrhagicShock, "1x"},
    {"心筋梗塞・冠虚血", 1062, "心筋梗塞・冠虚血", G::Cardiovascular, "2a"},
    {"弁疾患", 1065, "弁疾患", G::Cardiovascular, "2b"},
    {"心筋症", 1066, "心筋症", G::Cardiovascular, "2c"},
    {"心不全", 1113, "心不全", G::Cardiovascular, "2d"},
    {"先天性心疾患", 1064, "先天性心疾患", G::Cardiovascular, "2e"},
    {"循環器系疾患（その他）", 1063, "その他", G::Cardiovascular, "2x"},
    {"気管支喘息", 1114, "気管支喘息", G::Respiratory, "3a"},
    {"ARDS", 1115, "ARDS", G::Respiratory, "3b"},
    {"COLD", 1116, "COLD", G::Respiratory, "3c"},
    {"肺炎", 1117, "肺炎", G::Respiratory, "3d"},
    {"胸水", 1118, "胸水", G::Respiratory, "3e"},
    {"気胸", 1119, "気胸", G::Respiratory, "3f"},
    {"気道狭窄", 1120, "気道狭窄", G::Respiratory, "3g"},
    {"呼吸器系疾患（その他）", 1134, "その他", G::Respiratory, "3x"},
    {"頭蓋内出血", 1122, "頭蓋内出血", G::CentralNervous, "4a"},
    {"脳梗塞", 1123, "脳梗塞", G::CentralNervous, "4b"},
    {"脳浮腫", 1124, "脳浮腫", G::CentralNervous, "4c"},
    {"中枢神経系疾患（その他）", 1125, "その他", G::CentralNervous, "4x"},
    {"多臓器不全・敗血症", 1126, "多臓器不全・敗血症", G::Standalone, "5y"},
    {"甲状腺疾患", 1127, "甲状腺疾患", G::Metabolic, "6a"},
    {"副腎疾患", 1128, "副腎疾患", G::Metabolic, "6b"},
    {"高度肥満", 1129, "高度肥満", G::Metabolic, "6c"},
    {"代謝・内分泌疾患（その他）", 1130, "その他", G::Metabolic, "6x"},
    {"骨筋肉疾患", 1131, "骨筋肉疾患", G::Standalone, "7y"},
    {"出血・凝固異常", 1132, "出血・凝固異常", G::Standalone, "8y"},
    {"その他", 1133, "その他", G::Standalone, "9y"},
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

TEST(PreopCodesTest, EveryCodeWithItsTextButtonGroupAndReportCodes) {
    std::set<int> buttons;
    for (int code = 1; code <= kPreopCodeCount; ++code) {
        const Expected& want = kCodes[code - 1];
        SCOPED_TRACE(code);
        EXPECT_EQ(PreopText(code).ToUtf8(), want.text);
        EXPECT_EQ(PreopButtonId(code), want.buttonId);
        EXPECT_EQ(PreopButtonCaption(code).ToUtf8(), want.caption);
        EXPECT_EQ(PreopGroupOf(code), want.group);
        EXPECT_EQ(ReportCode(code).str(), want.report);
        EXPECT_EQ(ExportLabel(code).str(), std::string(want.report) + "_,");
        EXPECT_EQ(PreopCodeForButton(want.buttonId), code);
        buttons.insert(want.buttonId);
    }
    EXPECT_EQ(buttons.size(), std::size_t(kPreopCodeCount));
}

TEST(PreopCodesTest, CodesOutsideTheListHaveNoTextAndAnEmptyField) {
    for (int code : {0, 34, 99, -1, INT_MIN}) {
        EXPECT_TRUE(PreopText(code).IsEmpty());
        EXPECT_TRUE(ReportCode(code).IsEmpty());
        EXPECT_TRUE(PreopButtonCaption(code).IsEmpty());
        EXPECT_EQ(PreopButtonId(code), 0);
        EXPECT_EQ(PreopGroupOf(code), PreopGroup::None);
        EXPECT_EQ(ExportLabel(code).str(), ",");
    }
    EXPECT_EQ(PreopCodeForButton(1090), 0);
    EXPECT_EQ(PreopCodeForButton(1058), 0);
}

TEST(PreopCodesTest, GroupCaptions) {
    EXPECT_EQ(PreopGroupCaption(G::HemorrhagicShock).ToUtf8(), "出血性ショック");
    EXPECT_EQ(PreopGroupCaption(G::Cardiovascular).ToUtf8(), "循環器系疾患");
    EXPECT_EQ(PreopGroupCaption(G::Respiratory).ToUtf8(), "呼吸器系疾患");
    EXPECT_EQ(PreopGroupCaption(G::CentralNervous).ToUtf8(), "中枢神経系疾患");
    EXPECT_EQ(PreopGroupCaption(G::Metabolic).ToUtf8(), "代謝・内分泌疾患");
    EXPECT_TRUE(PreopGroupCaption(G::Standalone).IsEmpty());
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

TEST(PreopSelectionTest, PressesFillSlotsAndExtendTheComment) {
    PreopSelection selection;
    selection.Initialise(0, CString());
    selection.Add(1);
    selection.Add(2);
    EXPECT_EQ(selection.Packed(), 201);
    EXPECT_EQ(selection.Count(), 2);
    EXPECT_EQ(selection.Comment().ToUtf8(), "大動脈破裂，外傷，");
    EXPECT_EQ(selection.SlotText(0).ToUtf8(), "大動脈破裂");
    EXPECT_EQ(selection.SlotText(1).ToUtf8(), "外傷");
    EXPECT_TRUE(selection.SlotText(2).IsEmpty());

    selection.Clear();
    EXPECT_EQ(selection.Packed(), 0);
    EXPECT_EQ(selection.Count(), 0);
    EXPECT_TRUE(selection.SlotText(0).IsEmpty());
    EXPECT_EQ(selection.Comment().ToUtf8(), "大動脈破裂，外傷，");
}

TEST(PreopSelectionTest, AFourthPressKeepsTheSlotsButStillExtendsTheComment) {
    PreopSelection selection;
    selection.Initialise(50201, "既往"_sj);
    EXPECT_EQ(selection.Count(), 3);
    EXPECT_EQ(selection.SlotText(2).ToUtf8(), "術後再出血");
    selection.Add(33);
    EXPECT_EQ(selection.Packed(), 50201);
    EXPECT_EQ(selection.Count(), 3);
    EXPECT_EQ(selection.Comment().ToUtf8(), "既往その他，");
    // The same code twice takes two slots.
    selection.Clear();
    selection.Add(15);
    selection.Add(15);
    EXPECT_EQ(selection.Packed(), 1515);
}

TEST(PreopSelectionTest, AGapInTheStoredCodeIsFilledFromSlotOne) {
    PreopSelection selection;
    selection.Initialise(300, CString());
    EXPECT_EQ(selection.Count(), 0);
    selection.Add(8);
    EXPECT_EQ(selection.Packed(), 8);
    EXPECT_EQ(selection.SlotCode(0), 8);
    EXPECT_EQ(selection.SlotCode(3), 0);
    EXPECT_EQ(selection.SlotCode(-1), 0);
}

TEST(PreopSelectionTest, CodesWithoutAButtonChangeNothing) {
    PreopSelection selection;
    selection.Initialise(0, "x"_sj);
    selection.Add(0);
    selection.Add(34);
    selection.Add(-1);
    EXPECT_EQ(selection.Count(), 0);
    EXPECT_EQ(selection.Comment().str(), "x");
}

TEST(PreopQuickNoteTest, FiveButtonsAppendTheirTexts) {
    const struct {
        int id;
        const char* caption;
        const char* text;
    } expected[kQuickNoteCount] = {
        {1055, "高血圧", "高血圧，"},          {1056, "糖尿病", "糖尿病，"},
        {1057, "ﾌﾙｽﾄﾏｯｸ", "フルストマック，"}, {1059, "肝", "肝機能障害，"},
        {1060, "腎", "腎機能障害，"},
    };
    for (int i = 0; i < kQuickNoteCount; ++i) {
        EXPECT_EQ(QuickNoteAt(i).buttonId, expected[i].id);
        EXPECT_EQ(QuickNoteAt(i).caption.ToUtf8(), expected[i].caption);
        EXPECT_EQ(QuickNoteAt(i).text.ToUtf8(), expected[i].text);
        ASSERT_NE(QuickNoteText(expected[i].id), nullptr);
        EXPECT_EQ(QuickNoteText(expected[i].id)->ToUtf8(), expected[i].text);
    }
    EXPECT_EQ(QuickNoteText(1058), nullptr);
    EXPECT_EQ(QuickNoteText(1334), nullptr);
}
