#include "support/ExampleRegistry.h"

#include "support/CaseBuilder.h"

#include <random>
#include <string>
#include <vector>

namespace testing_support {
namespace {

CString text(const char* utf8) {
    CString s;
    CString::FromUtf8(utf8, s);
    return s;
}

// What an operation is: a disease with its procedure, the department that operates, and the
// codes and the patients that go with it, so that the example reads like a department's list.
struct Operation {
    const char* disease;
    const char* procedure;
    const char* department;
    int site;
    int position;
    int method;
    int minAge;
    int maxAge;
    bool womenOnly;
    bool emergency;
};
const Operation kOperations[] = {
    {"胃癌", "幽門側胃切除術", "外科", 12, 1, 3, 45, 85, false, false},
    {"大腸癌", "腹腔鏡下結腸切除術", "外科", 15, 1, 3, 45, 88, false, false},
    {"胆石症", "腹腔鏡下胆嚢摘出術", "外科", 13, 1, 1, 30, 80, false, false},
    {"鼠径ヘルニア", "ヘルニア根治術", "外科", 18, 1, 7, 20, 85, false, false},
    {"肺癌", "胸腔鏡下肺葉切除術", "呼吸器外科", 2, 3, 3, 50, 85, false, false},
    {"乳癌", "乳房部分切除術", "外科", 18, 1, 2, 35, 80, true, false},
    {"子宮筋腫", "腹式子宮全摘術", "婦人科", 14, 1, 3, 35, 55, true, false},
    {"大腿骨頚部骨折", "人工骨頭置換術", "整形外科", 20, 3, 7, 70, 97, false, true},
    {"急性虫垂炎", "虫垂切除術", "外科", 14, 1, 1, 8, 70, false, true},
    {"腰部脊柱管狭窄症", "椎弓切除術", "整形外科", 19, 2, 2, 55, 85, false, false},
    {"慢性硬膜下血腫", "穿頭血腫除去術", "脳外科", 1, 1, 2, 65, 92, false, true},
    {"膀胱癌", "経尿道的膀胱腫瘍切除術", "泌尿器科", 21, 4, 7, 55, 88, false, false},
};

// An incident: the 17 codes in the order of the incident table, then its three addenda.
struct ExampleIncident {
    int values[CQuellmarkDoc::kIncidentValues];
    const char* addenda[CQuellmarkDoc::kIncidentTexts];
};

// Each one a complete cause code, so that the society report takes it.
const ExampleIncident kShowcaseIncident = {{0, 1, 1, 0, 0, 0, 0, 3, 1, 0, 0, 2, 0, 0, 0, 0, 0},
                                           {"硬膜外投与後の血圧低下", "", ""}};
const ExampleIncident kIncidents[] = {
    {{0, 2, 0, 0, 0, 0, 0, 7, 0, 1, 2, 1, 0, 0, 0, 0, 0}, {"挿管困難", "", ""}},
    {{2, 9, 2, 0, 6, 0, 0, 14, 0, 0, 0, 0, 0, 2, 0, 0, 0}, {"", "術後3か月で軽快", ""}},
    {{0, 3, 1, 1, 0, 1, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {"心房細動", "", ""}},
    {{3, 0, 2, 1, 0, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {"術後せん妄", "", "陳旧性心筋梗塞"}},
};
// The cases that carry them, by entry position (2024, 2025, 2025, 2026).
const int kIncidentCases[] = {20, 120, 170, 240};

const int kDrugIncidentCases[] = {45, 150, 260};
const char* const kDrugIncidentNotes[] = {
    "看護師が生理食塩水と間違えてキシロカインを準備、投与前に気付いた。",
    "ロクロニウム 50mg の指示に対し 5mg を投与。\r\n筋弛緩不十分で追加投与。",
    "抗菌薬の追加投与を30分忘れた。患者への影響なし。",
};
const int kWithheldCases[] = {130, 200};

// Entries of the incomplete year that the society report misses.
constexpr int kWithoutAsa = 30;
constexpr int kWithoutMethod = 55;
constexpr int kWithoutAge = 80;

void addIncident(CQuellmarkDoc& doc, CCaseRecord& r, const ExampleIncident& incident) {
    const int row = doc.AddIncident();
    for (int k = 0; k < CQuellmarkDoc::kIncidentValues; ++k) {
        doc.SetIncidentValue(row, k, incident.values[k]);
    }
    for (int k = 0; k < CQuellmarkDoc::kIncidentTexts; ++k) {
        doc.SetIncidentText(row, k + 1, text(incident.addenda[k]));
    }
    r.SetnIncidentIndex(row);
}

// The case the guide opens: every field of the form and of its sub-dialogs filled.
CCaseRecord showcaseCase() {
    CCaseRecord r = BlankCase("山田花子", 2026, 11, 27);
    r.SetstrKana(text("やまだ はなこ"));
    r.SetstrId(text("00123456"));
    r.SetnAgeYears(68);
    r.SetnSex(0);
    r.SetfHeight(156.0f);
    r.SetfWeight(52.5f);
    r.SetstrDisease(text("胃癌"));
    r.SetstrProcedure(text("腹腔鏡下幽門側胃切除術"));
    r.SetstrDepartment(text("外科"));
    r.SetstrWard(text("5東"));
    r.SetstrOperatingRoom(text("3"));
    r.SetAnesthesiologist(0, text("青木"));
    r.SetAnesthesiologist(1, text("上田"));
    r.SetSupervisor(0, text("石井"));
    r.SetstrAsa(text("2"));
    r.SetnPosition(1);
    r.SetnSite(13);
    r.SetnMethod(3);
    r.SetstrAnesthesiaTime(text("5:20"));
    r.SetstrSurgeryTime(text("4:35"));
    r.SetInfusion(2500, 500);
    r.SetnUrine(450);
    r.SetnBloodLoss(320);
    r.SetstrBloodLossNote(text("およそ"));
    r.SetMap(2, 2);
    r.SetstrTransfusionNote(text("術中輸血"));
    r.SetnPreopCode(8 + 100 * 14);
    r.SetstrPreopComment(text("心筋梗塞・冠虚血，気管支喘息，高血圧，糖尿病，"));
    r.SetstrNotes(text("導入時に血圧低下あり、エフェドリンで対応。\r\n術後経過良好。"));
    r.SetstrDrugIncident(
        text("硬膜外腔へのロピバカイン追加投与の後、血圧低下。\r\n投与量は指示どおり。"));
    return r;
}

// The given names of the generated cases, a man's beside a woman's, so that a patient's name
// can follow the sex.
struct GivenNames {
    const char* man;
    const char* manKana;
    const char* woman;
    const char* womanKana;
};
const GivenNames kGivenNames[] = {
    {"太郎", "たろう", "花子", "はなこ"},
    {"一郎", "いちろう", "美咲", "みさき"},
    {"健太", "けんた", "陽子", "ようこ"},
    {"翔", "しょう", "由美", "ゆみ"},
};

bool endsWith(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// Replaces the given name of a generated case by the one of the other sex when it does not fit.
void fitNameToSex(CCaseRecord& r) {
    std::string name = r.GetstrName().ToUtf8();
    std::string kana = r.GetstrKana().ToUtf8();
    const bool woman = r.GetnSex() != 1;
    for (const GivenNames& g : kGivenNames) {
        const std::string wrong = woman ? g.man : g.woman;
        const std::string wrongKana = woman ? g.manKana : g.womanKana;
        if (endsWith(name, wrong) && endsWith(kana, wrongKana)) {
            name.replace(name.size() - wrong.size(), wrong.size(), woman ? g.woman : g.man);
            kana.replace(kana.size() - wrongKana.size(), wrongKana.size(),
                         woman ? g.womanKana : g.manKana);
            r.SetstrName(text(name.c_str()));
            r.SetstrKana(text(kana.c_str()));
            return;
        }
    }
}

// Gives a generated case an operation and a patient that fit each other.
void giveOperation(CCaseRecord& r, std::mt19937& rng) {
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const Operation& op = kOperations[std::size_t(uniform(0, int(std::size(kOperations)) - 1))];
    r.SetstrDisease(text(op.disease));
    r.SetstrProcedure(text(op.procedure));
    r.SetstrDepartment(text(op.department));
    r.SetnSite(op.site);
    r.SetnPosition(op.position);
    r.SetnMethod(op.method);
    r.SetnAgeYears(uniform(op.minAge, op.maxAge));
    r.SetnAgeMonths(uniform(0, 11));
    if (op.womenOnly) {
        r.SetnSex(0);
    }
    fitNameToSex(r);
    const int asa = op.emergency ? uniform(1, 3) : uniform(1, 2);
    r.SetstrAsa(CString::Formatted(op.emergency && uniform(0, 1) ? "%dE" : "%d", asa));
}

template <std::size_t N> bool listed(const int (&positions)[N], int i) {
    for (int p : positions) {
        if (p == i) {
            return true;
        }
    }
    return false;
}

} // namespace

void FillExampleDocument(CQuellmarkDoc& doc) {
    FillDocument(doc, 0); // the master lists alone
    doc.SetHospitalInfo(3, 4, 420, 4.5f, 6.0f, 1.5f);

    // Sixty operating days from 2024-01-09 to 2026-11-20, evenly, so that every year has its
    // share, with about five cases each.
    constexpr int kFirstDay = 9;
    constexpr int kSpanDays = 1046;
    constexpr int kOperatingDays = 60;
    const int regular = kExampleCaseCount - 1;
    std::mt19937 rng(2024);
    std::mt19937 operations(26);
    std::vector<CCaseRecord> cases;
    cases.reserve(std::size_t(kExampleCaseCount));
    int nextIncident = 0;
    for (int i = 0; i < regular; ++i) {
        CCaseRecord r = RealisticCase(rng);
        giveOperation(r, operations);
        const int day = i * kOperatingDays / regular;
        r.SettSurgery(
            fw::MakeTime32(2024, 1, kFirstDay + day * kSpanDays / (kOperatingDays - 1), 10));
        if (listed(kIncidentCases, i)) {
            addIncident(doc, r, kIncidents[nextIncident++]);
        }
        for (std::size_t k = 0; k < std::size(kDrugIncidentCases); ++k) {
            if (kDrugIncidentCases[k] == i) {
                r.SetstrDrugIncident(text(kDrugIncidentNotes[k]));
            }
        }
        r.SetbWithhold(listed(kWithheldCases, i) ? 1 : 0);
        if (i == kWithoutAsa) {
            r.SetstrAsa({});
        } else if (i == kWithoutMethod) {
            r.SetnMethod(0);
            r.SetAnesthesiologist(0, text("青木"));
        } else if (i == kWithoutAge) {
            r.SetnAgeYears(-1);
            r.SetnAgeMonths(0);
        }
        cases.push_back(std::move(r));
    }
    CCaseRecord showcase = showcaseCase();
    addIncident(doc, showcase, kShowcaseIncident);
    cases.push_back(std::move(showcase));
    doc.AddRecords(std::move(cases));
}

} // namespace testing_support
