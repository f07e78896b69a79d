#include "registry/CaseCodes.h"

#include <array>

namespace registry {
namespace {

template <std::size_t N> const CString& pick(const std::array<const CString*, N>& table, int code) {
    static const CString empty;
    if (code < 1 || code > int(N)) {
        return empty;
    }
    return *table[std::size_t(code - 1)];
}

template <std::size_t N> int find(const std::array<const CString*, N>& table, const CString& text) {
    for (std::size_t i = 0; i < N; ++i) {
        if (*table[i] == text) {
            return int(i + 1);
        }
    }
    return 0;
}

const std::array<const CString*, kMethodCount>& methodTexts() {
    static const std::array<const CString*, kMethodCount> t = {
        &"全身麻酔"_sj,         &"TIVA"_sj,     &"全身麻酔＋硬膜外麻酔"_sj,
        &"TIVA＋硬膜外麻酔"_sj, &"CSEA"_sj,     &"硬膜外麻酔"_sj,
        &"脊髄くも膜下麻酔"_sj, &"伝達麻酔"_sj, &"その他"_sj};
    return t;
}

const std::array<const CString*, kMethodCount>& methodLabels() {
    static const std::array<const CString*, kMethodCount> t = {
        &"A_全身麻酔"_sj,         &"B_TIVA"_sj,     &"C_全身麻酔＋硬膜外麻酔"_sj,
        &"D_TIVA＋硬膜外麻酔"_sj, &"E_CSEA"_sj,     &"F_硬膜外麻酔"_sj,
        &"G_脊髄くも膜下麻酔"_sj, &"H_伝達麻酔"_sj, &"X_その他"_sj};
    return t;
}

const std::array<const CString*, kSiteCount>& siteTexts() {
    static const std::array<const CString*, kSiteCount> t = {&"開頭"_sj,
                                                             &"開胸・縦隔"_sj,
                                                             &"CABG"_sj,
                                                             &"CABG（Off Pump)"_sj,
                                                             &"先天性心疾患"_sj,
                                                             &"先天性心疾患（姑息術)"_sj,
                                                             &"その他の心臓手術"_sj,
                                                             &"胸部大動脈瘤"_sj,
                                                             &"腹部大動脈瘤"_sj,
                                                             &"開胸開腹"_sj,
                                                             &"開胸開腹（内視鏡）"_sj,
                                                             &"上腹部"_sj,
                                                             &"上腹部（内視鏡）"_sj,
                                                             &"下腹部"_sj,
                                                             &"下腹部（内視鏡）"_sj,
                                                             &"帝王切開"_sj,
                                                             &"頭頚部・咽喉頭"_sj,
                                                             &"胸壁・腹壁・会陰"_sj,
                                                             &"脊椎"_sj,
                                                             &"股関節・四肢末梢（含：末梢血管）"_sj,
                                                             &"検査"_sj,
                                                             &"検査（手術室外）"_sj,
                                                             &"その他"_sj};
    return t;
}

const std::array<const CString*, kSiteCount>& siteLabels() {
    static const std::array<const CString*, kSiteCount> t = {
        &"a_1_開頭"_sj,
        &"b_1_開胸・縦隔"_sj,
        &"c_1_CAB"_sj,
        &"c_2_CAB(Off-pump)"_sj,
        &"c_3_先天性心疾患"_sj,
        &"c_4_先天性心疾患（姑息）"_sj,
        &"c_5_その他の心臓手術"_sj,
        &"c_6_胸部大動脈瘤"_sj,
        &"c_7_腹部大動脈瘤"_sj,
        &"d_1_開胸開腹"_sj,
        &"d_2_開胸開腹（内視鏡）"_sj,
        &"e_1_上腹部"_sj,
        &"e_2_上腹部（内視鏡）"_sj,
        &"f_1_下腹部"_sj,
        &"f_2_下腹部（内視鏡）"_sj,
        &"g_1_帝王切開"_sj,
        &"h_1_頭頚部・咽喉頭"_sj,
        &"k_1_腹壁・胸壁・会陰"_sj,
        &"m_1_脊椎"_sj,
        &"n_1_股関節・四肢末梢（含、末梢血管）"_sj,
        &"p_1_検査"_sj,
        &"p_2_検査（手術室外）"_sj,
        &"x_1_その他"_sj};
    return t;
}

const std::array<const CString*, kPositionCount>& positionTexts() {
    static const std::array<const CString*, kPositionCount> t = {
        &"仰臥位"_sj, &"腹臥位"_sj, &"側臥位"_sj, &"砕石位"_sj, &"坐位"_sj, &"その他"_sj};
    return t;
}

const std::array<const CString*, kPositionCount>& positionLabels() {
    static const std::array<const CString*, kPositionCount> t = {&"1_仰臥位"_sj, &"2_腹臥位"_sj,
                                                                 &"3_側臥位"_sj, &"4_砕石位"_sj,
                                                                 &"5_坐位"_sj,   &"6_その他"_sj};
    return t;
}

const std::array<const CString*, kAsaCount>& asaTexts() {
    static const std::array<const CString*, kAsaCount> t = {&"1"_sj,  &"2"_sj,  &"3"_sj,  &"4"_sj,
                                                            &"5"_sj,  &"6"_sj,  &"1E"_sj, &"2E"_sj,
                                                            &"3E"_sj, &"4E"_sj, &"5E"_sj, &"6E"_sj};
    return t;
}

} // namespace

const CString& MethodText(int code) {
    return pick(methodTexts(), code);
}
const CString& SiteText(int code) {
    return pick(siteTexts(), code);
}
const CString& PositionText(int code) {
    return pick(positionTexts(), code);
}
const CString& MethodLabel(int code) {
    return pick(methodLabels(), code);
}
const CString& SiteLabel(int code) {
    return pick(siteLabels(), code);
}
const CString& PositionLabel(int code) {
    return pick(positionLabels(), code);
}
int MethodCode(const CString& text) {
    return find(methodTexts(), text);
}
int SiteCode(const CString& text) {
    return find(siteTexts(), text);
}
int PositionCode(const CString& text) {
    return find(positionTexts(), text);
}
const CString& AsaText(int i) {
    return pick(asaTexts(), i + 1);
}

const CString& SexText(int sex) {
    return sex == kSexMale ? "男性"_sj : "女性"_sj;
}
int SexCode(const CString& text) {
    return text == "男性"_sj ? kSexMale : kSexFemale;
}

const CString& UnitText(int unit) {
    static const CString empty;
    return unit == kUnitGramMl ? "g(ml)"_sj : unit == kUnitUnits ? "単位"_sj : empty;
}
int UnitCode(const CString& text) {
    return text == "g(ml)"_sj ? kUnitGramMl : kUnitUnits;
}

} // namespace registry
