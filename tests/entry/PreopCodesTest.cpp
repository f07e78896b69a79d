#include "entry/PreopCodes.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>

using namespace entry;

namespace {

struct Expected {
    int buttonId;
    const char* caption;
    PreopGroup group;
};

using G = PreopGroup;

// Code order, as the comorbidity dialog and the society list give them.
const Expected kCodes[kPreopCodeCount] = {
    {1054, "大動脈破裂", G::HemorrhagicShock},
    {1055, "外傷", G::HemorrhagicShock},
    {1056, "消化管出血", G::HemorrhagicShock},
    {1057, "産科的出血", G::HemorrhagicShock},
    {1059, "術後再出血", G::HemorrhagicShock},
    {1060, "血液凝固異常", G::HemorrhagicShock},
    {1061, "その他", G::HemorrhagicShock},
    {1062, "心筋梗塞・冠虚血", G::Cardiovascular},
    {1065, "弁疾患", G::Cardiovascular},
    {1066, "心筋症", G::Cardiovascular},
    {1113, "心不全", G::Cardiovascular},
    {1064, "先天性心疾患", G::Cardiovascular},
    {1063, "その他", G::Cardiovascular},
    {1114, "気管支喘息", G::Respiratory},
    {1115, "ARDS", G::Respiratory},
    {1116, "COLD", G::Respiratory},
    {1117, "肺炎", G::Respiratory},
    {1118, "胸水", G::Respiratory},
    {1119, "気胸", G::Respiratory},
    {1120, "気道狭窄", G::Respiratory},
    {1134, "その他", G::Respiratory},
    {1122, "頭蓋内出血", G::CentralNervous},
    {1123, "脳梗塞", G::CentralNervous},
    {1124, "脳浮腫", G::CentralNervous},
    {1125, "その他", G::CentralNervous},
    {1126, "多臓器不全・敗血症", G::Standalone},
    {1127, "甲状腺疾患", G::Metabolic},
    {1128, "副腎疾患", G::Metabolic},
    {1129, "高度肥満", G::Metabolic},
    {1130, "その他", G::Metabolic},
    {1131, "骨筋肉疾患", G::Standalone},
    {1132, "出血・凝固異常", G::Standalone},
    {1133, "その他", G::Standalone},
};

} // namespace

TEST(PreopCodesTest, EveryCodeWithItsButtonAndGroup) {
    std::set<int> buttons;
    for (int code = 1; code <= kPreopCodeCount; ++code) {
        const Expected& want = kCodes[code - 1];
        SCOPED_TRACE(code);
        EXPECT_EQ(PreopButtonId(code), want.buttonId);
        EXPECT_EQ(PreopButtonCaption(code).ToUtf8(), want.caption);
        EXPECT_EQ(PreopGroupOf(code), want.group);
        EXPECT_EQ(PreopCodeForButton(want.buttonId), code);
        buttons.insert(want.buttonId);
    }
    EXPECT_EQ(buttons.size(), std::size_t(kPreopCodeCount));
}

TEST(PreopCodesTest, CodesOutsideTheListHaveNoButton) {
    for (int code : {0, 34, 99, -1, INT_MIN}) {
        EXPECT_TRUE(PreopButtonCaption(code).IsEmpty());
        EXPECT_EQ(PreopButtonId(code), 0);
        EXPECT_EQ(PreopGroupOf(code), PreopGroup::None);
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
