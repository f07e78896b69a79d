#include "support/CaseBuilder.h"

#include "framework/File.h"

#include <array>

namespace testing_support {
namespace {

CString fromUtf8(const char* utf8) {
    CString s;
    CString::FromUtf8(utf8, s);
    return s;
}

template <std::size_t N>
CString pickText(std::mt19937& rng, const std::array<const char*, N>& items) {
    return fromUtf8(items[std::uniform_int_distribution<std::size_t>(0, N - 1)(rng)]);
}

const std::array<const char*, 12> kFamily = {"山田", "佐藤", "鈴木", "高橋", "田中", "渡辺",
                                             "伊藤", "中村", "小林", "加藤", "吉田", "山本"};
const std::array<const char*, 12> kFamilyKana = {"やまだ",   "さとう",   "すずき", "たかはし",
                                                 "たなか",   "わたなべ", "いとう", "なかむら",
                                                 "こばやし", "かとう",   "よしだ", "やまもと"};
const std::array<const char*, 8> kGiven = {"太郎", "花子", "一郎", "美咲",
                                           "健太", "陽子", "翔",   "由美"};
const std::array<const char*, 8> kGivenKana = {"たろう", "はなこ", "いちろう", "みさき",
                                               "けんた", "ようこ", "しょう",   "ゆみ"};
const std::array<const char*, 10> kDisease = {
    "胃癌", "大腸癌",   "胆石症",         "鼠径ヘルニア", "肺癌",
    "乳癌", "子宮筋腫", "大腿骨頚部骨折", "急性虫垂炎",   "腰部脊柱管狭窄症"};
const std::array<const char*, 10> kProcedure = {
    "幽門側胃切除術",     "腹腔鏡下結腸切除術", "腹腔鏡下胆嚢摘出術", "ヘルニア根治術",
    "胸腔鏡下肺葉切除術", "乳房部分切除術",     "腹式子宮全摘術",     "人工骨頭置換術",
    "虫垂切除術",         "椎弓切除術"};
const std::array<const char*, 6> kDepartment = {"外科",       "整形外科", "婦人科",
                                                "呼吸器外科", "泌尿器科", "脳外科"};
const std::array<const char*, 5> kWard = {"3東", "4西", "5東", "ICU", "6西"};
const std::array<const char*, 6> kRoom = {"1", "2", "3", "4", "5", "ﾊｲﾌﾞﾘｯﾄﾞ"};
const std::array<const char*, 6> kDoctor = {"青木", "石井", "上田", "遠藤", "大野", "岡本"};
const std::array<const char*, 4> kAsa = {"1", "2", "3", "2E"};

} // namespace

CCaseRecord BlankCase(const char* nameUtf8, int year, int month, int day) {
    CCaseRecord r;
    r.SetstrName(fromUtf8(nameUtf8));
    r.SettSurgery(fw::MakeTime32(year, month, day, 10, 0, 0));
    r.SetnSex(1);
    r.SetnAgeYears(-1);
    r.SetnAgeMonths(0);
    r.SetnAgeDays(0);
    r.SetnIncidentIndex(-1);
    r.SetMap(0, 1);
    r.SetFfp(0, 1);
    r.SetPc(0, 1);
    r.SetAutologous(0, 1);
    r.SetWholeBlood(0, 1);
    r.SetOtherProduct({}, 0, 1);
    return r;
}

CCaseRecord ReportableCase(const char* nameUtf8, int year, int month, int day) {
    CCaseRecord r = BlankCase(nameUtf8, year, month, day);
    r.SetnAgeYears(30);
    r.SetstrAsa("1");
    r.SetnSite(1);
    r.SetnPosition(1);
    r.SetnMethod(1);
    return r;
}

CCaseRecord RealisticCase(std::mt19937& rng) {
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::size_t family = std::size_t(uniform(0, int(kFamily.size()) - 1));
    std::size_t given = std::size_t(uniform(0, int(kGiven.size()) - 1));
    CCaseRecord r = BlankCase("", uniform(1990, 2037), uniform(1, 12), uniform(1, 28));
    r.SetstrName(fromUtf8(kFamily[family]) + fromUtf8(kGiven[given]));
    r.SetstrKana(fromUtf8(kFamilyKana[family]) + fromUtf8(" ") + fromUtf8(kGivenKana[given]));
    r.SetstrId(CString::Formatted("%08d", uniform(0, 99999999)));
    r.SetnAgeYears(uniform(0, 95));
    r.SetnAgeMonths(uniform(0, 11));
    r.SetnSex(uniform(0, 1));
    r.SetstrDisease(pickText(rng, kDisease));
    r.SetstrProcedure(pickText(rng, kProcedure));
    r.SetfHeight(float(uniform(1400, 1900)) / 10.0f);
    r.SetfWeight(float(uniform(350, 950)) / 10.0f);
    r.SetstrWard(pickText(rng, kWard));
    r.SetstrOperatingRoom(pickText(rng, kRoom));
    r.SetnMethod(uniform(1, 9));
    r.SetnSite(uniform(1, 23));
    r.SetnPosition(uniform(1, 6));
    r.SetnPreopCode(uniform(0, 3) == 0 ? uniform(1, 33) + 100 * uniform(0, 33) : 0);
    if (r.GetnPreopCode() != 0) {
        r.SetstrPreopComment(fromUtf8("高血圧，糖尿病，"));
    }
    r.SetAnesthesiologist(0, pickText(rng, kDoctor));
    if (uniform(0, 2) == 0) {
        r.SetAnesthesiologist(1, pickText(rng, kDoctor));
    }
    r.SetSupervisor(0, pickText(rng, kDoctor));
    r.SetstrDepartment(pickText(rng, kDepartment));
    r.SetstrAsa(pickText(rng, kAsa));
    r.SetstrAnesthesiaTime(CString::Formatted("%d:%02d", uniform(0, 9), uniform(0, 59)));
    r.SetstrSurgeryTime(CString::Formatted("%d:%02d", uniform(0, 8), uniform(0, 59)));
    if (uniform(0, 4) == 0) {
        r.SetstrNotes(fromUtf8("導入時に血圧低下あり、昇圧薬で対応。\r\n術後経過良好。"));
    }
    r.SetInfusion(uniform(500, 3000), uniform(0, 1000));
    r.SetnUrine(uniform(0, 1500));
    r.SetnBloodLoss(uniform(0, 2000));
    if (uniform(0, 9) == 0) {
        r.SetMap(uniform(2, 10), 2);
        r.SetstrTransfusionNote(fromUtf8("術中輸血"));
    }
    return r;
}

void FillDocument(CQuellmarkDoc& doc, int n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    for (const char* name : kDoctor) {
        doc.GetAnesthesiologistList().Add(fromUtf8(name));
        doc.GetSupervisorList().Add(fromUtf8(name));
    }
    for (const char* ward : kWard) {
        doc.GetWardList().Add(fromUtf8(ward));
    }
    for (const char* room : kRoom) {
        doc.GetRoomList().Add(fromUtf8(room));
    }
    for (const char* department : kDepartment) {
        doc.GetDepartmentList().Add(fromUtf8(department));
    }
    std::vector<CCaseRecord> cases;
    cases.reserve(std::size_t(n));
    for (int i = 0; i < n; ++i) {
        CCaseRecord r = RealisticCase(rng);
        if (i % 50 == 7) {
            int row = doc.AddIncident();
            doc.SetIncidentValue(row, 0, 0);
            doc.SetIncidentValue(row, 4, 1);
            doc.SetIncidentText(row, 1, fromUtf8("導入時"));
            r.SetnIncidentIndex(row);
        }
        cases.push_back(std::move(r));
    }
    doc.AddRecords(std::move(cases));
}

std::string StoredBytes(CQuellmarkDoc& doc) {
    fw::CMemFile file;
    fw::CArchive ar(file, fw::CArchive::store);
    doc.Serialize(ar);
    ar.Flush();
    return file.Bytes();
}

} // namespace testing_support
