#include "incident/IncidentCodes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace incident;

namespace {

struct Incident {
    int v[kValueCount] = {};
    Incident& set(int k, int value) {
        v[k] = value;
        return *this;
    }
    Incident& cause(int c1, int c2, int c3) {
        return set(kCause1, c1).set(kCause2, c2).set(kCause3, c3);
    }
};

std::string nameOf(int k, const Incident& incident) {
    return ValueName(k, incident.v).ToUtf8();
}

std::string helpOf(int k, const Incident& incident) {
    const CString* help = HelpText(k, incident.v);
    return help ? help->ToUtf8() : std::string("<none>");
}

// Names of values 0, 1, ... of field k and one more beyond the list, which must be nameless.
void expectList(int k, Incident incident, const std::vector<std::string>& names) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        incident.set(k, int(i));
        EXPECT_EQ(nameOf(k, incident), names[i]) << "k " << k << " value " << i;
    }
    incident.set(k, int(names.size()));
    EXPECT_EQ(nameOf(k, incident), "") << "k " << k << " past the end";
    incident.set(k, -1);
    EXPECT_EQ(nameOf(k, incident), "") << "k " << k << " negative";
}

} // namespace

TEST(IncidentNamesTest, NewIncidentReadsAsTheFirstEntryOfEveryList) {
    Incident fresh;
    CString names[kValueCount];
    IncidentNames(fresh.v, names);
    const char* expected[kValueCount] = {"危機的偶発症",
                                         "心停止",
                                         "手術開始前",
                                         "Yes",
                                         "後遺症無し",
                                         "麻酔管理が原因",
                                         "ヒューマンファクター",
                                         "主麻酔薬過量投与",
                                         "関与無し",
                                         "関与無し",
                                         "関与無し",
                                         "関与無し",
                                         "関与無し",
                                         "関与無し",
                                         "関与無し",
                                         "関与無し",
                                         "関与無し"};
    for (int k = 0; k < kValueCount; ++k) {
        EXPECT_EQ(names[k].ToUtf8(), expected[k]) << "k " << k;
    }
}

TEST(IncidentNamesTest, CategoryOnsetOutcomeAndDegreeLists) {
    expectList(kCategory, {},
               {"危機的偶発症", "神経系偶発症(脳・脊髄）", "その他の神経系偶発症", "その他"});
    expectList(kOnset, {}, {"手術開始前", "手術中", "手術終了後"});
    expectList(kOutcome, {},
               {"後遺症無し", "術中死亡", "術後7日以内死亡", "30日以内死亡", "植物状態移行",
                "中枢神経障害残存", "末梢神経障害残存", "その他の後遺症", "記録不明"});
    expectList(
        kCause1, {},
        {"麻酔管理が原因", "術中発症の病態が原因", "術前合併症が原因", "手術が原因", "その他"});
    for (int k = kFirstFactor; k < kFirstFactor + kFactorCount; ++k) {
        expectList(k, {}, {"関与無し", "わずかに関与", "ある程度関与", "かなり関与", "高度に関与"});
    }
}

TEST(IncidentNamesTest, TypeDetailFollowsTheCategory) {
    expectList(kTypeDetail, Incident().set(kCategory, 0),
               {"心停止", "高度低血圧", "高度低酸素血症", "高度不整脈", "その他の危機的偶発症"});
    expectList(kTypeDetail, Incident().set(kCategory, 1),
               {"脳血管障害", "脳浮腫", "脊髄損傷", "その他"});
    expectList(kTypeDetail, Incident().set(kCategory, 2),
               {"眼窩上神経", "顔面神経",   "反回神経",   "頚神経根", "胸神経根",
                "腰神経根",   "仙骨神経根", "馬尾神経",   "腕神経叢", "橈骨神経",
                "正中神経",   "尺骨神経",   "筋皮神経",   "坐骨神経", "大腿神経",
                "総腓骨神経", "前脛骨神経", "後脛骨神経", "伏在神経", "外側大腿皮神経",
                "陰部神経",   "閉鎖神経",   "その他"});
    expectList(kTypeDetail, Incident().set(kCategory, 3), {"その他"});
    EXPECT_EQ(nameOf(kTypeDetail, Incident().set(kCategory, 4)), "");
    EXPECT_EQ(nameOf(kTypeDetail, Incident().set(kCategory, -1)), "");
}

TEST(IncidentNamesTest, PreventabilityIsNoForEveryNonZeroValue) {
    EXPECT_EQ(nameOf(kPreventability, Incident()), "Yes");
    for (int value : {1, 7, -1, 1000}) {
        EXPECT_EQ(nameOf(kPreventability, Incident().set(kPreventability, value)), "No");
    }
}

TEST(IncidentNamesTest, CauseTwoFollowsCauseOne) {
    expectList(
        kCause2, Incident().set(kCause1, 0),
        {"ヒューマンファクター", "接続の外れ・接続不適切", "機器の整備・点検不備", "その他"});
    expectList(kCause2, Incident().set(kCause1, 1), {"全例"});
    expectList(kCause2, Incident().set(kCause1, 2),
               {"出血性ショック", "循環器系", "呼吸器系", "中枢神経系", "多臓器不全・敗血症",
                "代謝内分泌疾患", "骨筋肉疾患", "出血・凝固異常", "その他"});
    expectList(kCause2, Incident().set(kCause1, 3), {"大出血", "手術手技", "人工心肺", "その他"});
    expectList(kCause2, Incident().set(kCause1, 4), {"その他"});
    EXPECT_EQ(nameOf(kCause2, Incident().set(kCause1, 5)), "");
}

TEST(IncidentNamesTest, CauseThreeFollowsCauseOneAndTwo) {
    auto under = [](int c1, int c2) { return Incident().cause(c1, c2, 0); };
    expectList(kCause3, under(0, 0),
               {"主麻酔薬過量投与", "高位脊髄くも膜下麻酔", "局所麻酔薬中毒",
                "薬物投与（過量・選択不適切）", "アンプル・注射器の間違い", "ガス流量設定エラー",
                "換気不適切", "導入時気道確保操作不適切", "維持中の気道管理不適切", "誤嚥",
                "不適合輸血", "輸液・輸血管理の不適切", "血管内カテーテル穿刺・挿入不適切",
                "硬・脊麻穿刺不適切", "体位・機械的圧迫", "その他の医原性", "その他"});
    expectList(kCause3, under(0, 1),
               {"麻酔回路・呼吸回路", "ガス供給源", "動静脈ライン", "その他"});
    expectList(kCause3, under(0, 2),
               {"麻酔器（本体）", "ベンチレータ(本体)", "呼吸回路", "気道確保用具(チューブ等）",
                "モニター", "レーザー光線傷害", "マクロ・ミクロショック", "その他"});
    expectList(kCause3, under(0, 3), {"局所麻酔薬神経毒性", "その他"});
    expectList(kCause3, under(1, 0),
               {"急性冠症候群", "心不全", "重症不整脈", "肺水腫・肺出血", "気管支喘息", "気胸",
                "肺塞栓", "中枢神経系障害", "アナフィラキシーショック", "悪性高熱", "DIC",
                "電解質異常", "その他"});
    expectList(kCause3, under(2, 0),
               {"大動脈瘤破裂", "外傷", "消化管出血", "産科的出血", "術後再出血", "血液凝固障害",
                "その他"});
    expectList(kCause3, under(2, 1),
               {"心筋梗塞・冠虚血", "弁疾患", "心筋症", "心不全", "先天性心疾患", "その他"});
    expectList(kCause3, under(2, 2),
               {"気管支喘息", "ARDS", "COLD", "肺炎", "胸水", "気胸", "気道狭窄", "その他"});
    expectList(kCause3, under(2, 3), {"頭蓋内出血", "脳梗塞", "脳浮腫", "その他"});
    expectList(kCause3, under(2, 5), {"甲状腺疾患", "副腎疾患", "高度肥満", "その他"});
    expectList(kCause3, under(3, 1),
               {"術野使用薬品（含：骨セメント)", "器材の不備", "内視鏡下手術操作（含：CO2が原因)",
                "内視鏡以外の手術操作", "その他"});
    expectList(kCause3, under(3, 2), {"ポンプトラブル", "離脱不能", "その他"});
    for (auto [c1, c2] : {std::pair{2, 4}, {2, 6}, {2, 7}, {2, 8}, {3, 0}, {3, 3}, {4, 0}}) {
        expectList(kCause3, under(c1, c2), {"全例"});
    }
    // A cause 2 without a row leaves cause 3 nameless.
    EXPECT_EQ(nameOf(kCause3, under(1, 1)), "");
    EXPECT_EQ(nameOf(kCause3, under(4, 1)), "");
    EXPECT_EQ(nameOf(kCause3, under(5, 0)), "");
}

TEST(IncidentNamesTest, ValuesOutsideTheirListsAreNameless) {
    EXPECT_EQ(nameOf(kTypeDetail, Incident().set(kCategory, 2).set(kTypeDetail, 17)), "後脛骨神経");
    EXPECT_EQ(nameOf(kTypeDetail, Incident().set(kCategory, 2).set(kTypeDetail, 23)), "");
    Incident other = Incident().cause(0, 3, 1);
    EXPECT_EQ(nameOf(kCause1, other), "麻酔管理が原因");
    EXPECT_EQ(nameOf(kCause2, other), "その他");
    EXPECT_EQ(nameOf(kCause3, other), "その他");
    EXPECT_EQ(nameOf(kFirstFactor, Incident().set(kFirstFactor, 5)), "");
    EXPECT_EQ(nameOf(kFirstFactor + 8, Incident().set(kFirstFactor + 8, -1)), "");
    // Factor names are shown even when the factors are not needed.
    EXPECT_EQ(nameOf(kFirstFactor, Incident().set(kCause1, 2)), "関与無し");
    EXPECT_EQ(nameOf(-1, Incident()), "");
    EXPECT_EQ(nameOf(kValueCount, Incident()), "");
}

TEST(IncidentHelpTest, FixedFields) {
    EXPECT_EQ(helpOf(kCategory, {}), " 0: 危機的偶発症\r\n 1: 神経系偶発症(脳・脊髄）\r\n 2: "
                                     "その他の神経系偶発症 \r\n 3: その他");
    EXPECT_EQ(helpOf(kOnset, {}), " 0: 手術開始前\r\n 1: 手術中\r\n 2: 手術終了後");
    EXPECT_EQ(helpOf(kPreventability, {}), " 0: Yes\r\n 1: No");
    EXPECT_EQ(helpOf(kOutcome, {}), " 0: 後遺症無し\r\n 1: 術中死亡 \r\n 2: 術後7日以内死亡\r\n 3: "
                                    "30日以内死亡\r\n 4: 植物状態移行\r\n 5: 中枢神経障害残存\r\n "
                                    "6: 末梢神経障害残存\r\n 7: その他の後遺症 \r\n 8: 記録不明");
    EXPECT_EQ(helpOf(kCause1, {}), " 0: 麻酔管理が原因\r\n 1: 術中発症の病態が原因\r\n 2: "
                                   "術前合併症が原因\r\n 3: 手術が原因\r\n 4: その他");
    // Fixed lists do not depend on anything typed above them.
    EXPECT_EQ(helpOf(kOnset, Incident().set(kCategory, 9).set(kCause1, -4)),
              " 0: 手術開始前\r\n 1: 手術中\r\n 2: 手術終了後");
    EXPECT_EQ(helpOf(-1, {}), "<none>");
    EXPECT_EQ(helpOf(kValueCount, {}), "<none>");
}

TEST(IncidentHelpTest, TypeDetailByCategory) {
    auto cat = [](int c) { return Incident().set(kCategory, c); };
    EXPECT_EQ(helpOf(kTypeDetail, cat(0)), " 0:心停止\r\n 1:高度低血圧\r\n 2:高度低酸素血症\r\n "
                                           "3:高度不整脈\r\n 4:その他の危機的偶発症");
    EXPECT_EQ(helpOf(kTypeDetail, cat(1)),
              " 0: 脳血管障害\r\n 1: 脳浮腫\r\n 2: 脊髄損傷\r\n 3: その他");
    EXPECT_EQ(helpOf(kTypeDetail, cat(2)),
              " 0: 眼窩上神経 \r\n 1: 顔面神経 \r\n 2: 反回神経 \r\n 3: 頚神経根 \r\n 4: 胸神経根 "
              "\r\n 5: 腰神経根 \r\n 6: 仙骨神経根 \r\n 7: 馬尾神経 \r\n 8: 腕神経叢 \r\n 9: "
              "橈骨神経 \r\n10: 正中神経 \r\n11: 尺骨神経 \r\n12: 筋皮神経 \r\n13: 坐骨神経 "
              "\r\n14: 大腿神経 \r\n15: 総腓骨神経 \r\n16: 前脛骨神経 \r\n17: 後脛骨神経 \r\n18: "
              "伏在神経 \r\n19: 外側大腿皮神経 \r\n20: 陰部神経 \r\n21: 閉鎖神経 \r\n22: その他");
    EXPECT_EQ(helpOf(kTypeDetail, cat(3)), " 0:その他");
    EXPECT_EQ(helpOf(kTypeDetail, cat(4)), "<none>");
    EXPECT_EQ(helpOf(kTypeDetail, cat(-1)), "<none>");
}

TEST(IncidentHelpTest, CauseTwoByCauseOne) {
    auto c1 = [](int c) { return Incident().set(kCause1, c); };
    EXPECT_EQ(helpOf(kCause2, c1(0)), " 0: ヒューマンファクター\r\n 1: 接続の外れ・接続不適切\r\n "
                                      "2: 機器の整備・点検不備\r\n 3: その他");
    EXPECT_EQ(helpOf(kCause2, c1(1)), " 0: 全例");
    EXPECT_EQ(helpOf(kCause2, c1(2)),
              " 0: 出血性ショック\r\n 1: 循環器系\r\n 2: 呼吸器系\r\n 3: 中枢神経系\r\n 4: "
              "多臓器不全・敗血症\r\n 5: 代謝内分泌疾患\r\n 6: 骨筋肉疾患\r\n 7: "
              "出血・凝固異常\r\n 8: その他");
    EXPECT_EQ(helpOf(kCause2, c1(3)), " 0: 大出血\r\n 1: 手術手技\r\n 2: 人工心肺\r\n 3: その他");
    EXPECT_EQ(helpOf(kCause2, c1(4)), " 0: その他");
    EXPECT_EQ(helpOf(kCause2, c1(5)), "<none>");
    EXPECT_EQ(helpOf(kCause2, c1(-1)), "<none>");
}

TEST(IncidentHelpTest, CauseThreeByCauseOneAndTwo) {
    auto c = [](int c1, int c2) { return Incident().cause(c1, c2, 0); };
    EXPECT_EQ(helpOf(kCause3, c(0, 0)),
              " 0: 主麻酔薬過量投与\r\n 1: 高位脊髄くも膜下麻酔\r\n 2: 局所麻酔薬中毒\r\n 3: "
              "薬物投与（過量・選択不適切）\r\n 4: アンプル・注射器の間違い \r\n 5: "
              "ガス流量設定エラー \r\n 6: 換気不適切 \r\n 7: 導入時気道確保操作不適切\r\n 8: "
              "維持中の気道管理不適切\r\n 9: 誤嚥\r\n 10: 不適合輸血\r\n 11: "
              "輸液・輸血管理の不適切\r\n 12: 血管内カテーテル穿刺・挿入不適切\r\n 13: "
              "硬・脊麻穿刺不適切\r\n 14: 体位・機械的圧迫\r\n 15: その他の医原性\r\n 16: その他");
    EXPECT_EQ(helpOf(kCause3, c(0, 1)),
              " 0: 麻酔回路・呼吸回路\r\n 1: ガス供給源\r\n 2: 動静脈ライン\r\n 3: その他");
    EXPECT_EQ(helpOf(kCause3, c(0, 2)),
              " 0: 麻酔器（本体）\r\n 1: ベンチレータ(本体)\r\n 2: 呼吸回路\r\n 3: "
              "気道確保用具(チューブ等）\r\n 4: モニター\r\n 5: レーザー光線傷害\r\n 6: "
              "マクロ・ミクロショック\r\n 7: その他");
    EXPECT_EQ(helpOf(kCause3, c(0, 3)), " 0: 局所麻酔薬神経毒性\r\n 1: その他");
    EXPECT_EQ(
        helpOf(kCause3, c(1, 0)),
        " 0: 急性冠症候群\r\n 1: 心不全\r\n 2: 重症不整脈\r\n 3: 肺水腫・肺出血\r\n 4: "
        "気管支喘息\r\n 5: 気胸\r\n 6: 肺塞栓\r\n 7: 中枢神経系障害\r\n 8: "
        "アナフィラキシーショック\r\n 9: 悪性高熱\r\n 10: DIC\r\n 11: 電解質異常\r\n 12: その他");
    EXPECT_EQ(helpOf(kCause3, c(2, 0)),
              " 0: 大動脈瘤破裂\r\n 1: 外傷\r\n 2: 消化管出血\r\n 3: 産科的出血\r\n 4: "
              "術後再出血\r\n 5: 血液凝固障害\r\n 6: その他");
    EXPECT_EQ(helpOf(kCause3, c(2, 1)), " 0: 心筋梗塞・冠虚血\r\n 1: 弁疾患\r\n 2: 心筋症\r\n 3: "
                                        "心不全\r\n 4: 先天性心疾患\r\n 5: その他");
    EXPECT_EQ(helpOf(kCause3, c(2, 2)), " 0: 気管支喘息\r\n 1: ARDS\r\n 2: COLD\r\n 3: 肺炎\r\n 4: "
                                        "胸水\r\n 5: 気胸\r\n 6: 気道狭窄\r\n 7: その他");
    EXPECT_EQ(helpOf(kCause3, c(2, 3)), " 0: 頭蓋内出血\r\n 1: 脳梗塞\r\n 2: 脳浮腫\r\n 3: その他");
    EXPECT_EQ(helpOf(kCause3, c(2, 5)),
              " 0: 甲状腺疾患\r\n 1: 副腎疾患\r\n 2: 高度肥満\r\n 3: その他");
    EXPECT_EQ(helpOf(kCause3, c(3, 1)),
              " 0: 術野使用薬品（含：骨セメント)\r\n 1: 器材の不備\r\n 2: "
              "内視鏡下手術操作（含：CO2が原因)\r\n 3: 内視鏡以外の手術操作\r\n 4: その他");
    EXPECT_EQ(helpOf(kCause3, c(3, 2)), " 0: ポンプトラブル\r\n 1: 離脱不能\r\n 2: その他");
    for (auto [c1, c2] : {std::pair{2, 4}, {2, 6}, {2, 7}, {2, 8}, {3, 0}, {3, 3}, {4, 0}}) {
        EXPECT_EQ(helpOf(kCause3, c(c1, c2)), " 0: 全例") << c1 << "," << c2;
    }
    for (auto [c1, c2] :
         {std::pair{0, 4}, {1, 1}, {2, 9}, {3, 4}, {4, 1}, {5, 0}, {-1, 0}, {0, -1}}) {
        EXPECT_EQ(helpOf(kCause3, c(c1, c2)), "<none>") << c1 << "," << c2;
    }
}

TEST(IncidentHelpTest, FactorsNeedEntryOnlyUnderAnesthesiaManagement) {
    const std::string degrees =
        " 0: 関与無し\r\n 1: わずかに関与\r\n 2: ある程度関与\r\n 3: かなり関与\r\n 4: 高度に関与";
    for (int k = kFirstFactor; k < kFirstFactor + kFactorCount; ++k) {
        EXPECT_EQ(helpOf(k, Incident()), degrees);
        for (int cause1 : {1, 2, 4, 5, -1}) {
            EXPECT_EQ(helpOf(k, Incident().set(kCause1, cause1)), "入力不要");
        }
    }
}

TEST(IncidentHelpTest, LineBreaksAreCrLfBytes) {
    const CString* help = HelpText(kPreventability, Incident().v);
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->view(), std::string_view(" 0: Yes\x0D\x0A 1: No"));
}

TEST(IncidentLabelTest, DialogLabels) {
    const char* expected[kValueCount] = {
        "種類",           "種類詳細",     "発症時期",      "防止の可能性",   "転帰",
        "原因１",         "原因2",        "原因３",        "術前評価不十分", "知識不足",
        "技術不足",       "状況判断遅れ", "ｺﾐｭﾆｹｰｼｮﾝ不足", "監視不十分",     "過重労働",
        "マンパワー不足", "その他"};
    for (int k = 0; k < kValueCount; ++k) {
        EXPECT_EQ(ValueLabel(k).ToUtf8(), expected[k]);
    }
    EXPECT_EQ(TextLabel(1).ToUtf8(), "偶発症種類追記");
    EXPECT_EQ(TextLabel(2).ToUtf8(), "転帰の追記事項");
    EXPECT_EQ(TextLabel(3).ToUtf8(), "主原因、成因の追記");
    EXPECT_TRUE(TextLabel(0).IsEmpty());
    EXPECT_TRUE(ValueLabel(kValueCount).IsEmpty());
}

namespace {

std::string letters(CString (*letter)(int), int count) {
    std::string all;
    for (int i = 0; i < count; ++i) {
        all += letter(i).str();
    }
    return all;
}

std::string detailLetters(int category, int count) {
    std::string all;
    for (int i = 0; i < count; ++i) {
        all += TypeDetailLetter(category, i).str();
    }
    return all;
}

std::string causeFields(int c1, int c2, int c3, int outcome = 0) {
    return CauseReportFields(Incident().cause(c1, c2, c3).set(kOutcome, outcome).v).str();
}

} // namespace

TEST(IncidentReportTest, LettersOfCategoryDetailPreventabilityAndOutcome) {
    EXPECT_EQ(letters(CategoryLetter, 4), "ABCD");
    EXPECT_EQ(CategoryLetter(4).str() + CategoryLetter(-1).str(), "");
    EXPECT_EQ(detailLetters(0, 6), "abcdx");
    EXPECT_EQ(detailLetters(1, 5), "abcx");
    EXPECT_EQ(detailLetters(2, 24), "abcdefghkmnqstuvwABDEFx");
    EXPECT_EQ(TypeDetailLetter(2, 17).str(), "A");
    EXPECT_EQ(TypeDetailLetter(2, -1).str(), "");
    EXPECT_EQ(TypeDetailLetter(3, 0).str() + TypeDetailLetter(3, 99).str() +
                  TypeDetailLetter(3, -5).str(),
              "xxx");
    EXPECT_EQ(TypeDetailLetter(4, 0).str(), "");
    EXPECT_EQ(PreventabilityLetter(0).str() + PreventabilityLetter(1).str() +
                  PreventabilityLetter(7).str() + PreventabilityLetter(-1).str(),
              "YNNN");
    EXPECT_EQ(letters(OutcomeLetter, 10), "abcdefghx");
    EXPECT_EQ(OutcomeLetter(-1).str(), "");
}

TEST(IncidentReportTest, EveryCompleteCauseCombination) {
    struct Row {
        int c1, c2;
        const char* prefix;
        const char* cause3;
    };
    const Row rows[] = {
        {0, 0, "A_1_", "abcdefghkmnqstuvx"},
        {0, 1, "A_2_", "abcx"},
        {0, 2, "A_3_", "abcdefgh"},
        {0, 3, "A_4_", "ax"},
        {1, 0, "B_1_", "abcdefghkmnqx"},
        {2, 0, "C_1_", "abcdefx"},
        {2, 1, "C_2_", "abcdex"},
        {2, 2, "C_3_", "abcdefgx"},
        {2, 3, "C_4_", "abcx"},
        {2, 5, "C_6_", "abcx"},
        {3, 1, "D_2_", "abcdx"},
        {3, 2, "D_3_", "abx"},
    };
    for (const Row& row : rows) {
        const std::string cause3 = row.cause3;
        for (std::size_t i = 0; i < cause3.size(); ++i) {
            EXPECT_EQ(causeFields(row.c1, row.c2, int(i)), row.prefix + cause3.substr(i, 1) + "_");
            EXPECT_TRUE(IsCompleteCause(Incident().cause(row.c1, row.c2, int(i)).v));
        }
        // One past the list, and below it, keep only the prefix.
        EXPECT_EQ(causeFields(row.c1, row.c2, int(cause3.size())), row.prefix);
        EXPECT_EQ(causeFields(row.c1, row.c2, -1), row.prefix);
        EXPECT_FALSE(IsCompleteCause(Incident().cause(row.c1, row.c2, -1).v));
    }
}

TEST(IncidentReportTest, AllCasesListsReportYWhateverCauseThree) {
    const std::pair<int, int> groups[] = {{2, 4}, {2, 6}, {2, 7}, {2, 8}, {3, 0}, {3, 3}};
    const char* expected[] = {"C_5_y_", "C_7_y_", "C_8_y_", "C_9_y_", "D_1_y_", "D_9_y_"};
    for (std::size_t i = 0; i < std::size(groups); ++i) {
        for (int cause3 : {0, 1, 42, -3}) {
            EXPECT_EQ(causeFields(groups[i].first, groups[i].second, cause3), expected[i]);
        }
    }
    for (int cause2 : {0, 1, -7}) {
        for (int cause3 : {0, 5, -1}) {
            EXPECT_EQ(causeFields(4, cause2, cause3), "E_9_y_");
            EXPECT_TRUE(IsCompleteCause(Incident().cause(4, cause2, cause3).v));
        }
    }
}

TEST(IncidentReportTest, WithoutAValidPrefixTheOutcomeFieldIsRepeated) {
    EXPECT_EQ(causeFields(5, 0, 0, 2), "c_");
    EXPECT_EQ(causeFields(-1, 0, 0, 8), "x_");
    EXPECT_EQ(causeFields(0, 4, 0, 0), "a_");
    EXPECT_EQ(causeFields(1, 1, 0, 1), "b_");
    EXPECT_EQ(causeFields(2, 9, 0, 3), "d_");
    // An outcome without a letter is an empty field, so only its separator comes again.
    EXPECT_EQ(causeFields(5, 0, 0, 9), "_");
    EXPECT_FALSE(IsCompleteCause(Incident().cause(5, 0, 0).v));
    EXPECT_FALSE(IsCompleteCause(Incident().cause(1, 1, 0).v));
}

TEST(IncidentReportTest, FactorFields) {
    Incident incident;
    for (int i = 0; i < kFactorCount; ++i) {
        incident.set(kFirstFactor + i, i);
    }
    incident.set(kFirstFactor + 8, -1);
    EXPECT_EQ(FactorReportFields(incident.v).str(), "0_1_2_3_4_5_6_7_-1_");
    for (int cause1 : {1, 4, 5, -1}) {
        EXPECT_EQ(FactorReportFields(incident.set(kCause1, cause1).v).str(), "_________");
    }
}

TEST(IncidentReportTest, WholeIncidentPart) {
    Incident nerve = Incident()
                         .set(kCategory, 2)
                         .set(kTypeDetail, 17)
                         .set(kOnset, 1)
                         .set(kPreventability, 7)
                         .set(kOutcome, 3)
                         .cause(2, 5, 3);
    EXPECT_EQ(IncidentReportFields(nerve.v).str(), "C_A_1_N_d_C_6_x__________");
    EXPECT_EQ(IncidentReportFields(Incident().v).str(), "A_a_0_Y_a_A_1_a_0_0_0_0_0_0_0_0_0_");
    Incident odd = Incident().set(kCategory, 7).set(kOnset, -2).set(kOutcome, 12).cause(9, 0, 0);
    EXPECT_EQ(IncidentReportFields(odd.v).str(), "__-2_Y_"
                                                 "_"
                                                 "_"
                                                 "_________");
}
