#include "registry/ListColumns.h"

namespace registry {

const std::array<const char*, kExportFields>& ListColumnNames() {
    // Some names are bare full-width digits that continue the name before them, as the
    // department's spreadsheets have always read them.
    static const std::array<const char*, kExportFields> names = {
        "レコード番号", "手術年", "手術月", "手術日", "ID", "名前", "名前（かな）", "身長", "体重",
        "性別", "年齢（歳）", "年齢(月)", "年齢(日)", "疾患", "術式",
        //
        "手術担当科", "病棟", "手術室", "麻酔医１", "２", "３", "麻酔指導医１", "２", "３", "ASAPS",
        "体位", "手術部位", "麻酔法", "麻酔時間", "手術時間",
        //
        "晶質輸液量", "膠質輸液", "出血量", "出血備考", "尿量", "輸血MAP", "単位", "FFP", "単位",
        "PC", "単位", "自己血", "単位", "アルブミン(ml)", "全血", "単位", "その他の血液製剤",
        "投与量", "単位", "輸血備考",
        //
        "術前合併症１", "２", "３", "術前合併症フリーコメント", "術中、術後特記事項",
        "学会への供給停止", "薬剤インシデント",
        //
        "偶発症（有無）", "種類", "種類詳細", "発症時期", "防止の可能性", "転帰", "原因１", "２",
        "３", "術前評価不十分", "知識不足", "技術不足", "状況判断遅れ", "コミュニケーション不足",
        "監視不十分", "過重労働", "マンパワー不足", "その他", "偶発症種類追記", "転帰の追記",
        "主原因、成因の追記"};
    return names;
}

const ListWords& listWords() {
    static const ListWords w{"男性"_sj, "女性"_sj, "g(ml)"_sj, "単位"_sj, "停止"_sj, "有"_sj};
    return w;
}

} // namespace registry
