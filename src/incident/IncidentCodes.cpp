#include "incident/IncidentCodes.h"

#include <vector>

namespace incident {
namespace {

// One entry of a code list: its name and what the report writes for it (a letter, or the digit
// of a cause 2 number).
struct Entry {
    CString name;
    char report;
};
using List = std::vector<Entry>;

// The cause 3 lists of one cause 2 value. A list whose only entry is "全例" stands for every
// case of its cause 2: the report writes y whatever cause 3 holds.
struct Cause2Row {
    Entry entry;
    List cause3;
    const CString* help;
};

// Everything that cause 1 selects.
struct CauseGroup {
    Entry entry;
    std::vector<Cause2Row> cause2;
    const CString* help;
    // The whole group has one report code, whatever cause 2 and cause 3 hold.
    bool singleCode;
};

const CString kEmpty;

bool inRange(int value, std::size_t count) {
    return value >= 0 && std::size_t(value) < count;
}

const Entry* entryAt(const List& list, int value) {
    return inRange(value, list.size()) ? &list[std::size_t(value)] : nullptr;
}

const CString& nameAt(const List& list, int value) {
    const Entry* entry = entryAt(list, value);
    return entry ? entry->name : kEmpty;
}

CString letterOf(const Entry* entry) {
    return entry ? CString(std::string_view(&entry->report, 1)) : CString();
}

const List& categories() {
    static const List list = {
        {"危機的偶発症"_sj, 'A'},
        {"神経系偶発症(脳・脊髄）"_sj, 'B'},
        {"その他の神経系偶発症"_sj, 'C'},
        {"その他"_sj, 'D'},
    };
    return list;
}

const List& criticalDetails() {
    static const List list = {
        {"心停止"_sj, 'a'},     {"高度低血圧"_sj, 'b'},           {"高度低酸素血症"_sj, 'c'},
        {"高度不整脈"_sj, 'd'}, {"その他の危機的偶発症"_sj, 'x'},
    };
    return list;
}

const List& centralNervousDetails() {
    static const List list = {
        {"脳血管障害"_sj, 'a'},
        {"脳浮腫"_sj, 'b'},
        {"脊髄損傷"_sj, 'c'},
        {"その他"_sj, 'x'},
    };
    return list;
}

const List& nerveDetails() {
    static const List list = {
        {"眼窩上神経"_sj, 'a'}, {"顔面神経"_sj, 'b'},       {"反回神経"_sj, 'c'},
        {"頚神経根"_sj, 'd'},   {"胸神経根"_sj, 'e'},       {"腰神経根"_sj, 'f'},
        {"仙骨神経根"_sj, 'g'}, {"馬尾神経"_sj, 'h'},       {"腕神経叢"_sj, 'k'},
        {"橈骨神経"_sj, 'm'},   {"正中神経"_sj, 'n'},       {"尺骨神経"_sj, 'q'},
        {"筋皮神経"_sj, 's'},   {"坐骨神経"_sj, 't'},       {"大腿神経"_sj, 'u'},
        {"総腓骨神経"_sj, 'v'}, {"前脛骨神経"_sj, 'w'},     {"後脛骨神経"_sj, 'A'},
        {"伏在神経"_sj, 'B'},   {"外側大腿皮神経"_sj, 'D'}, {"陰部神経"_sj, 'E'},
        {"閉鎖神経"_sj, 'F'},   {"その他"_sj, 'x'},
    };
    return list;
}

const List& otherDetails() {
    static const List list = {{"その他"_sj, 'x'}};
    return list;
}

// The type detail list of a category, nullptr outside 0..3.
const List* detailsOf(int category) {
    switch (category) {
    case 0:
        return &criticalDetails();
    case 1:
        return &centralNervousDetails();
    case 2:
        return &nerveDetails();
    case 3:
        return &otherDetails();
    default:
        return nullptr;
    }
}

const List& onsets() {
    static const List list = {{"手術開始前"_sj, '0'}, {"手術中"_sj, '1'}, {"手術終了後"_sj, '2'}};
    return list;
}

const List& outcomes() {
    static const List list = {
        {"後遺症無し"_sj, 'a'},       {"術中死亡"_sj, 'b'},       {"術後7日以内死亡"_sj, 'c'},
        {"30日以内死亡"_sj, 'd'},     {"植物状態移行"_sj, 'e'},   {"中枢神経障害残存"_sj, 'f'},
        {"末梢神経障害残存"_sj, 'g'}, {"その他の後遺症"_sj, 'h'}, {"記録不明"_sj, 'x'},
    };
    return list;
}

const List& degrees() {
    static const List list = {
        {"関与無し"_sj, '0'},   {"わずかに関与"_sj, '1'}, {"ある程度関与"_sj, '2'},
        {"かなり関与"_sj, '3'}, {"高度に関与"_sj, '4'},
    };
    return list;
}

const CString& allCasesHelp() {
    return " 0: 全例"_sj;
}

Cause2Row allCasesRow(const CString& name, char number) {
    return {{name, number}, {{"全例"_sj, 'y'}}, &allCasesHelp()};
}

bool coversAllCases(const List& cause3) {
    return cause3.size() == 1 && cause3[0].report == 'y';
}

CauseGroup anesthesiaGroup() {
    return {
        {"麻酔管理が原因"_sj, 'A'},
        {{{"ヒューマンファクター"_sj, '1'},
          {{"主麻酔薬過量投与"_sj, 'a'},
           {"高位脊髄くも膜下麻酔"_sj, 'b'},
           {"局所麻酔薬中毒"_sj, 'c'},
           {"薬物投与（過量・選択不適切）"_sj, 'd'},
           {"アンプル・注射器の間違い"_sj, 'e'},
           {"ガス流量設定エラー"_sj, 'f'},
           {"換気不適切"_sj, 'g'},
           {"導入時気道確保操作不適切"_sj, 'h'},
           {"維持中の気道管理不適切"_sj, 'k'},
           {"誤嚥"_sj, 'm'},
           {"不適合輸血"_sj, 'n'},
           {"輸液・輸血管理の不適切"_sj, 'q'},
           {"血管内カテーテル穿刺・挿入不適切"_sj, 's'},
           {"硬・脊麻穿刺不適切"_sj, 't'},
           {"体位・機械的圧迫"_sj, 'u'},
           {"その他の医原性"_sj, 'v'},
           {"その他"_sj, 'x'}},
          &" 0: 主麻酔薬過量投与\r\n 1: 高位脊髄くも膜下麻酔\r\n 2: 局所麻酔薬中毒\r\n 3: 薬物投与（過量・選択不適切）\r\n 4: アンプル・注射器の間違い \r\n 5: ガス流量設定エラー \r\n 6: 換気不適切 \r\n 7: 導入時気道確保操作不適切\r\n 8: 維持中の気道管理不適切\r\n 9: 誤嚥\r\n 10: 不適合輸血\r\n 11: 輸液・輸血管理の不適切\r\n 12: 血管内カテーテル穿刺・挿入不適切\r\n 13: 硬・脊麻穿刺不適切\r\n 14: 体位・機械的圧迫\r\n 15: その他の医原性\r\n 16: その他"_sj},
         {{"接続の外れ・接続不適切"_sj, '2'},
          {{"麻酔回路・呼吸回路"_sj, 'a'},
           {"ガス供給源"_sj, 'b'},
           {"動静脈ライン"_sj, 'c'},
           {"その他"_sj, 'x'}},
          &" 0: 麻酔回路・呼吸回路\r\n 1: ガス供給源\r\n 2: 動静脈ライン\r\n 3: その他"_sj},
         {{"機器の整備・点検不備"_sj, '3'},
          // This list alone reports its "その他" as h.
          {{"麻酔器（本体）"_sj, 'a'},
           {"ベンチレータ(本体)"_sj, 'b'},
           {"呼吸回路"_sj, 'c'},
           {"気道確保用具(チューブ等）"_sj, 'd'},
           {"モニター"_sj, 'e'},
           {"レーザー光線傷害"_sj, 'f'},
           {"マクロ・ミクロショック"_sj, 'g'},
           {"その他"_sj, 'h'}},
          &" 0: 麻酔器（本体）\r\n 1: ベンチレータ(本体)\r\n 2: 呼吸回路\r\n 3: 気道確保用具(チューブ等）\r\n 4: モニター\r\n 5: レーザー光線傷害\r\n 6: マクロ・ミクロショック\r\n 7: その他"_sj},
         {{"その他"_sj, '4'},
          {{"局所麻酔薬神経毒性"_sj, 'a'}, {"その他"_sj, 'x'}},
          &" 0: 局所麻酔薬神経毒性\r\n 1: その他"_sj}},
        &" 0: ヒューマンファクター\r\n 1: 接続の外れ・接続不適切\r\n 2: 機器の整備・点検不備\r\n 3: その他"_sj,
        false};
}

CauseGroup intraoperativeGroup() {
    return {
        {"術中発症の病態が原因"_sj, 'B'},
        {{{"全例"_sj, '1'},
          {{"急性冠症候群"_sj, 'a'},
           {"心不全"_sj, 'b'},
           {"重症不整脈"_sj, 'c'},
           {"肺水腫・肺出血"_sj, 'd'},
           {"気管支喘息"_sj, 'e'},
           {"気胸"_sj, 'f'},
           {"肺塞栓"_sj, 'g'},
           {"中枢神経系障害"_sj, 'h'},
           {"アナフィラキシーショック"_sj, 'k'},
           {"悪性高熱"_sj, 'm'},
           {"DIC"_sj, 'n'},
           {"電解質異常"_sj, 'q'},
           {"その他"_sj, 'x'}},
          &" 0: 急性冠症候群\r\n 1: 心不全\r\n 2: 重症不整脈\r\n 3: 肺水腫・肺出血\r\n 4: 気管支喘息\r\n 5: 気胸\r\n 6: 肺塞栓\r\n 7: 中枢神経系障害\r\n 8: アナフィラキシーショック\r\n 9: 悪性高熱\r\n 10: DIC\r\n 11: 電解質異常\r\n 12: その他"_sj}},
        &" 0: 全例"_sj,
        false};
}

CauseGroup comorbidityGroup() {
    return {
        {"術前合併症が原因"_sj, 'C'},
        {{{"出血性ショック"_sj, '1'},
          {{"大動脈瘤破裂"_sj, 'a'},
           {"外傷"_sj, 'b'},
           {"消化管出血"_sj, 'c'},
           {"産科的出血"_sj, 'd'},
           {"術後再出血"_sj, 'e'},
           {"血液凝固障害"_sj, 'f'},
           {"その他"_sj, 'x'}},
          &" 0: 大動脈瘤破裂\r\n 1: 外傷\r\n 2: 消化管出血\r\n 3: 産科的出血\r\n 4: 術後再出血\r\n 5: 血液凝固障害\r\n 6: その他"_sj},
         {{"循環器系"_sj, '2'},
          {{"心筋梗塞・冠虚血"_sj, 'a'},
           {"弁疾患"_sj, 'b'},
           {"心筋症"_sj, 'c'},
           {"心不全"_sj, 'd'},
           {"先天性心疾患"_sj, 'e'},
           {"その他"_sj, 'x'}},
          &" 0: 心筋梗塞・冠虚血\r\n 1: 弁疾患\r\n 2: 心筋症\r\n 3: 心不全\r\n 4: 先天性心疾患\r\n 5: その他"_sj},
         {{"呼吸器系"_sj, '3'},
          {{"気管支喘息"_sj, 'a'},
           {"ARDS"_sj, 'b'},
           {"COLD"_sj, 'c'},
           {"肺炎"_sj, 'd'},
           {"胸水"_sj, 'e'},
           {"気胸"_sj, 'f'},
           {"気道狭窄"_sj, 'g'},
           {"その他"_sj, 'x'}},
          &" 0: 気管支喘息\r\n 1: ARDS\r\n 2: COLD\r\n 3: 肺炎\r\n 4: 胸水\r\n 5: 気胸\r\n 6: 気道狭窄\r\n 7: その他"_sj},
         {{"中枢神経系"_sj, '4'},
          {{"頭蓋内出血"_sj, 'a'}, {"脳梗塞"_sj, 'b'}, {"脳浮腫"_sj, 'c'}, {"その他"_sj, 'x'}},
          &" 0: 頭蓋内出血\r\n 1: 脳梗塞\r\n 2: 脳浮腫\r\n 3: その他"_sj},
         allCasesRow("多臓器不全・敗血症"_sj, '5'),
         {{"代謝内分泌疾患"_sj, '6'},
          {{"甲状腺疾患"_sj, 'a'}, {"副腎疾患"_sj, 'b'}, {"高度肥満"_sj, 'c'}, {"その他"_sj, 'x'}},
          &" 0: 甲状腺疾患\r\n 1: 副腎疾患\r\n 2: 高度肥満\r\n 3: その他"_sj},
         allCasesRow("骨筋肉疾患"_sj, '7'),
         allCasesRow("出血・凝固異常"_sj, '8'),
         allCasesRow("その他"_sj, '9')},
        &" 0: 出血性ショック\r\n 1: 循環器系\r\n 2: 呼吸器系\r\n 3: 中枢神経系\r\n 4: 多臓器不全・敗血症\r\n 5: 代謝内分泌疾患\r\n 6: 骨筋肉疾患\r\n 7: 出血・凝固異常\r\n 8: その他"_sj,
        false};
}

CauseGroup surgeryGroup() {
    return {
        {"手術が原因"_sj, 'D'},
        {allCasesRow("大出血"_sj, '1'),
         {{"手術手技"_sj, '2'},
          {{"術野使用薬品（含：骨セメント)"_sj, 'a'},
           {"器材の不備"_sj, 'b'},
           {"内視鏡下手術操作（含：CO2が原因)"_sj, 'c'},
           {"内視鏡以外の手術操作"_sj, 'd'},
           {"その他"_sj, 'x'}},
          &" 0: 術野使用薬品（含：骨セメント)\r\n 1: 器材の不備\r\n 2: 内視鏡下手術操作（含：CO2が原因)\r\n 3: 内視鏡以外の手術操作\r\n 4: その他"_sj},
         {{"人工心肺"_sj, '3'},
          {{"ポンプトラブル"_sj, 'a'}, {"離脱不能"_sj, 'b'}, {"その他"_sj, 'x'}},
          &" 0: ポンプトラブル\r\n 1: 離脱不能\r\n 2: その他"_sj},
         allCasesRow("その他"_sj, '9')},
        &" 0: 大出血\r\n 1: 手術手技\r\n 2: 人工心肺\r\n 3: その他"_sj,
        false};
}

CauseGroup otherGroup() {
    return {{"その他"_sj, 'E'}, {allCasesRow("その他"_sj, '9')}, &" 0: その他"_sj, true};
}

const std::vector<CauseGroup>& causeGroups() {
    static const std::vector<CauseGroup> groups = {
        anesthesiaGroup(), intraoperativeGroup(), comorbidityGroup(), surgeryGroup(), otherGroup()};
    return groups;
}

const CauseGroup* causeGroupOf(int cause1) {
    const auto& groups = causeGroups();
    return inRange(cause1, groups.size()) ? &groups[std::size_t(cause1)] : nullptr;
}

const Cause2Row* cause2RowOf(const int values[kValueCount]) {
    const CauseGroup* group = causeGroupOf(values[kCause1]);
    if (!group || !inRange(values[kCause2], group->cause2.size())) {
        return nullptr;
    }
    return &group->cause2[std::size_t(values[kCause2])];
}

const CString& cause2Name(const int values[kValueCount]) {
    const Cause2Row* row = cause2RowOf(values);
    return row ? row->entry.name : kEmpty;
}

const CString& cause3Name(const int values[kValueCount]) {
    const Cause2Row* row = cause2RowOf(values);
    return row ? nameAt(row->cause3, values[kCause3]) : kEmpty;
}

const CString& typeDetailName(const int values[kValueCount]) {
    const List* details = detailsOf(values[kCategory]);
    return details ? nameAt(*details, values[kTypeDetail]) : kEmpty;
}

const CString& preventabilityName(int value) {
    return value == 0 ? "Yes"_sj : "No"_sj;
}

const CString& categoryHelp(int category) {
    static const CString* const helps[] = {
        &" 0:心停止\r\n 1:高度低血圧\r\n 2:高度低酸素血症\r\n 3:高度不整脈\r\n 4:その他の危機的偶発症"_sj,
        &" 0: 脳血管障害\r\n 1: 脳浮腫\r\n 2: 脊髄損傷\r\n 3: その他"_sj,
        &" 0: 眼窩上神経 \r\n 1: 顔面神経 \r\n 2: 反回神経 \r\n 3: 頚神経根 \r\n 4: 胸神経根 \r\n 5: 腰神経根 \r\n 6: 仙骨神経根 \r\n 7: 馬尾神経 \r\n 8: 腕神経叢 \r\n 9: 橈骨神経 \r\n10: 正中神経 \r\n11: 尺骨神経 \r\n12: 筋皮神経 \r\n13: 坐骨神経 \r\n14: 大腿神経 \r\n15: 総腓骨神経 \r\n16: 前脛骨神経 \r\n17: 後脛骨神経 \r\n18: 伏在神経 \r\n19: 外側大腿皮神経 \r\n20: 陰部神経 \r\n21: 閉鎖神経 \r\n22: その他"_sj,
        &" 0:その他"_sj,
    };
    return *helps[category];
}

const CString* fixedHelp(int k) {
    switch (k) {
    case kCategory:
        return &" 0: 危機的偶発症\r\n 1: 神経系偶発症(脳・脊髄）\r\n 2: その他の神経系偶発症 \r\n 3: その他"_sj;
    case kOnset:
        return &" 0: 手術開始前\r\n 1: 手術中\r\n 2: 手術終了後"_sj;
    case kPreventability:
        return &" 0: Yes\r\n 1: No"_sj;
    case kOutcome:
        return &" 0: 後遺症無し\r\n 1: 術中死亡 \r\n 2: 術後7日以内死亡\r\n 3: 30日以内死亡\r\n 4: 植物状態移行\r\n 5: 中枢神経障害残存\r\n 6: 末梢神経障害残存\r\n 7: その他の後遺症 \r\n 8: 記録不明"_sj;
    case kCause1:
        return &" 0: 麻酔管理が原因\r\n 1: 術中発症の病態が原因\r\n 2: 術前合併症が原因\r\n 3: 手術が原因\r\n 4: その他"_sj;
    default:
        return nullptr;
    }
}

const CString& factorHelp(int cause1) {
    if (cause1 != 0) {
        return "入力不要"_sj;
    }
    return " 0: 関与無し\r\n 1: わずかに関与\r\n 2: ある程度関与\r\n 3: かなり関与\r\n 4: 高度に関与"_sj;
}

bool isFactor(int k) {
    return k >= kFirstFactor && k < kFirstFactor + kFactorCount;
}

CString reportField(const CString& text) {
    CString field = text;
    field += '_';
    return field;
}

CString causeFields(char cause1, char cause2, char cause3) {
    const char fields[] = {cause1, '_', cause2, '_', cause3, '_'};
    return CString(std::string_view(fields, sizeof fields));
}

CString causePrefix(char cause1, char cause2) {
    const char fields[] = {cause1, '_', cause2, '_'};
    return CString(std::string_view(fields, sizeof fields));
}

// The cause 3 letter of a valid cause 1 and cause 2, 0 when cause 3 is outside its list.
char cause3Letter(const Cause2Row& row, int cause3) {
    if (coversAllCases(row.cause3)) {
        return 'y';
    }
    const Entry* entry = entryAt(row.cause3, cause3);
    return entry ? entry->report : '\0';
}

} // namespace

const CString& ValueLabel(int k) {
    static const CString* const labels[kValueCount] = {
        &"種類"_sj,           &"種類詳細"_sj,   &"発症時期"_sj, &"防止の可能性"_sj,
        &"転帰"_sj,           &"原因１"_sj,     &"原因2"_sj,    &"原因３"_sj,
        &"術前評価不十分"_sj, &"知識不足"_sj,   &"技術不足"_sj, &"状況判断遅れ"_sj,
        &"ｺﾐｭﾆｹｰｼｮﾝ不足"_sj,  &"監視不十分"_sj, &"過重労働"_sj, &"マンパワー不足"_sj,
        &"その他"_sj,
    };
    return inRange(k, kValueCount) ? *labels[k] : kEmpty;
}

const CString& TextLabel(int number) {
    static const CString* const labels[kTextCount] = {&"偶発症種類追記"_sj, &"転帰の追記事項"_sj,
                                                      &"主原因、成因の追記"_sj};
    return inRange(number - 1, kTextCount) ? *labels[number - 1] : kEmpty;
}

const CString& ValueName(int k, const int values[kValueCount]) {
    if (isFactor(k)) {
        return nameAt(degrees(), values[k]);
    }
    switch (k) {
    case kCategory:
        return nameAt(categories(), values[k]);
    case kTypeDetail:
        return typeDetailName(values);
    case kOnset:
        return nameAt(onsets(), values[k]);
    case kPreventability:
        return preventabilityName(values[k]);
    case kOutcome:
        return nameAt(outcomes(), values[k]);
    case kCause1: {
        const CauseGroup* group = causeGroupOf(values[k]);
        return group ? group->entry.name : kEmpty;
    }
    case kCause2:
        return cause2Name(values);
    case kCause3:
        return cause3Name(values);
    default:
        return kEmpty;
    }
}

void IncidentNames(const int values[kValueCount], CString names[kValueCount]) {
    for (int k = 0; k < kValueCount; ++k) {
        names[k] = ValueName(k, values);
    }
}

const CString* HelpText(int k, const int values[kValueCount]) {
    if (isFactor(k)) {
        return &factorHelp(values[kCause1]);
    }
    if (k == kTypeDetail) {
        return detailsOf(values[kCategory]) ? &categoryHelp(values[kCategory]) : nullptr;
    }
    if (k == kCause2) {
        const CauseGroup* group = causeGroupOf(values[kCause1]);
        return group ? group->help : nullptr;
    }
    if (k == kCause3) {
        const Cause2Row* row = cause2RowOf(values);
        return row ? row->help : nullptr;
    }
    return fixedHelp(k);
}

CString CategoryLetter(int category) {
    return letterOf(entryAt(categories(), category));
}

CString TypeDetailLetter(int category, int detail) {
    const List* details = detailsOf(category);
    if (!details) {
        return CString();
    }
    // The last category has one letter for every detail.
    return category == 3 ? CString("x") : letterOf(entryAt(*details, detail));
}

CString PreventabilityLetter(int preventability) {
    return preventability == 0 ? CString("Y") : CString("N");
}

CString OutcomeLetter(int outcome) {
    return letterOf(entryAt(outcomes(), outcome));
}

bool IsCompleteCause(const int values[kValueCount]) {
    const CauseGroup* group = causeGroupOf(values[kCause1]);
    if (group && group->singleCode) {
        return true;
    }
    const Cause2Row* row = cause2RowOf(values);
    return row && cause3Letter(*row, values[kCause3]) != '\0';
}

CString CauseReportFields(const int values[kValueCount]) {
    const CauseGroup* group = causeGroupOf(values[kCause1]);
    if (group && group->singleCode) {
        const Cause2Row& only = group->cause2.front();
        return causeFields(group->entry.report, only.entry.report, only.cause3.front().report);
    }
    const Cause2Row* row = cause2RowOf(values);
    if (!row) {
        return reportField(OutcomeLetter(values[kOutcome]));
    }
    const char cause3 = cause3Letter(*row, values[kCause3]);
    if (cause3 == '\0') {
        return causePrefix(group->entry.report, row->entry.report);
    }
    return causeFields(group->entry.report, row->entry.report, cause3);
}

CString FactorReportFields(const int values[kValueCount]) {
    if (values[kCause1] != 0) {
        return CString("_________");
    }
    CString fields;
    for (int k = kFirstFactor; k < kFirstFactor + kFactorCount; ++k) {
        fields += CString::Formatted("%d_", values[k]);
    }
    return fields;
}

CString IncidentReportFields(const int values[kValueCount]) {
    CString fields = reportField(CategoryLetter(values[kCategory]));
    fields += reportField(TypeDetailLetter(values[kCategory], values[kTypeDetail]));
    fields += CString::Formatted("%d_", values[kOnset]);
    fields += reportField(PreventabilityLetter(values[kPreventability]));
    fields += reportField(OutcomeLetter(values[kOutcome]));
    fields += CauseReportFields(values);
    fields += FactorReportFields(values);
    return fields;
}

} // namespace incident
