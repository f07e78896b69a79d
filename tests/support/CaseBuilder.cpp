#include "support/CaseBuilder.h"

#include "framework/File.h"

#include <algorithm>
#include <array>
#include <limits>

using namespace registry;

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

constexpr int kTwentyYearsDays = 7305;
// The local days that a 32-bit time reaches at noon in Japan: from 1901-12-14 to 2038-01-18.
constexpr int kFirstDay = -24855;
constexpr int kDays = 49710;

// A time on day (counted from 1970-01-01) at noon in Japan, give or take up to five hours.
fw::Time32 timeOnDay(int day, int secondsFromNoon) {
    return fw::Time32(std::int64_t(day) * 86400 + 3 * 3600 + secondsFromNoon);
}

const std::array<const char*, 40> kSyllables = {
    "あ", "い", "う", "え", "お", "か", "き", "く", "け", "こ", "さ", "し", "す", "せ",
    "そ", "た", "ち", "つ", "て", "と", "な", "に", "ぬ", "ね", "の", "は", "ひ", "ふ",
    "へ", "ほ", "ま", "み", "む", "め", "も", "や", "ゆ", "よ", "ら", "ろ"};

void spreadEverything(CCaseRecord& r, std::mt19937& rng) {
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto syllables = [&](int n) {
        CString text;
        for (int i = 0; i < n; ++i) {
            text += pickText(rng, kSyllables);
        }
        return text;
    };
    r.SettSurgery(timeOnDay(kFirstDay + uniform(0, kDays - 1), uniform(-5 * 3600, 5 * 3600)));
    r.SetstrKana(syllables(uniform(2, 4)) + CString(" ") + syllables(uniform(2, 3)));
    r.SetnAgeYears(uniform(0, 110));
    r.SetnAgeMonths(uniform(0, 11));
    r.SetnAgeDays(uniform(0, 30));
    r.SetstrDisease(pickText(rng, kDisease) + CString::Formatted("%d", uniform(0, 99999)));
    r.SetstrProcedure(pickText(rng, kProcedure) + CString::Formatted("%d", uniform(0, 99999)));
    r.SetstrDepartment(pickText(rng, kDepartment) + CString::Formatted("%d", uniform(0, 999)));
    r.SetAnesthesiologist(0, pickText(rng, kFamily) + CString::Formatted("%d", uniform(0, 9999)));
    r.SetSupervisor(0, pickText(rng, kFamily) + CString::Formatted("%d", uniform(0, 9999)));
}

// Value v of integer keys: the extremes and -1 first, then many more.
int keyInt(int v) {
    constexpr int kFirst[] = {std::numeric_limits<int>::min(), -1, 0, 1,
                              std::numeric_limits<int>::max()};
    if (v < 5) {
        return kFirst[v];
    }
    return v % 2 ? std::numeric_limits<int>::max() - v : v;
}

// Value v of a text key: prefix, then v in bijective base 9 over characters of every kind.
CString keyText(const char* prefix, int v) {
    static const char* const kCharacters[9] = {
        "a", "Z", "\xB1", "\xDF", "\x82\xA0", "\x88\x9F", "\x81\x40", "\xE0\x40", "\xFC\xFC"};
    CString text = fromUtf8(prefix);
    for (; v > 0; v = (v - 1) / 9) {
        text += kCharacters[(v - 1) % 9];
    }
    return text;
}

// The same text with bytes after it that the text order does not read, now and then.
CString withIgnoredTail(CString text, std::mt19937& rng) {
    switch (rng() % 8) {
    case 0:
        return text + CString(std::string("\0x", 2));
    case 1:
        return text + CString(std::string("\0\x82\xA0", 3));
    case 2:
        return text + CString("\x88");
    case 3:
        return text + CString(std::string("\xE0\0y", 3));
    default:
        return text;
    }
}

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

CCaseRecord RealisticCase(std::mt19937& rng, Spread spread) {
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
    switch (spread) {
    case Spread::Decades:
        break;
    case Spread::FewYears:
        r.SettSurgery(fw::MakeTime32(2021, 1, uniform(1, 3 * 365), 10, 0, 0));
        break;
    case Spread::TwentyYears:
        r.SettSurgery(fw::MakeTime32(2005, 1, uniform(1, kTwentyYearsDays), 10, 0, 0));
        break;
    case Spread::Everything:
        spreadEverything(r, rng);
        break;
    }
    return r;
}

void FillDocument(CQuellmarkDoc& doc, int n, std::uint32_t seed, Spread spread) {
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
        CCaseRecord r = RealisticCase(rng, spread);
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

namespace testing_support {

std::vector<CCaseRecord>
CasesWithDistinctKeys(int n, const std::array<int, kSortKeyCount>& distinct, std::uint32_t seed) {
    std::mt19937 rng(seed);
    // values[k][i]: the value number of key k + 1 for case i.
    std::array<std::vector<int>, kSortKeyCount> values;
    for (int k = 0; k < kSortKeyCount; ++k) {
        int d = std::max(1, std::min(distinct[std::size_t(k)], n));
        if (k + 1 == kKeyDate) {
            d = std::min(d, kDays);
        }
        std::vector<int>& v = values[std::size_t(k)];
        for (int i = 0; i < n; ++i) {
            v.push_back(i < d ? i : int(rng() % unsigned(d)));
        }
        std::shuffle(v.begin(), v.end(), rng);
    }
    auto value = [&](int key, int i) { return values[std::size_t(key - 1)][std::size_t(i)]; };
    // Shared prefixes of 0 to 16 characters, around the lengths that sorts read at once.
    static const char* const kPrefixes[] = {"",
                                            "ID",
                                            "abc",
                                            "ｶﾞｲｶ",
                                            "あいうえおかき",
                                            "腹腔鏡下胆嚢摘出",
                                            "ああああああああああああああああ"};
    auto text = [&](int key, int i) {
        const char* prefix = kPrefixes[(std::size_t(key) + seed) % std::size(kPrefixes)];
        return withIgnoredTail(keyText(prefix, value(key, i)), rng);
    };
    const int dateCount = std::max(1, std::min({distinct[kKeyDate - 1], n, kDays}));
    std::vector<CCaseRecord> cases;
    for (int i = 0; i < n; ++i) {
        CCaseRecord r = BlankCase(CString::Formatted("case %d", i).data());
        const int v = value(kKeyDate, i);
        const int seconds = int(rng() % 36000) - 5 * 3600;
        if (dateCount <= kTwentyYearsDays) {
            const fw::Time32 first = fw::MakeTime32(2005, 1, 1, 12, 0, 0);
            r.SettSurgery(first + fw::Time32(v * (kTwentyYearsDays / dateCount) * 86400 + seconds));
        } else {
            r.SettSurgery(timeOnDay(kFirstDay + int(std::int64_t(v) * kDays / dateCount), seconds));
        }
        r.SetstrKana(text(kKeyKana, i));
        r.SetstrId(text(kKeyId, i));
        const int age = value(kKeyAge, i);
        r.SetnAgeYears(keyInt(age % 6));
        r.SetnAgeMonths(keyInt(age / 6 % 4));
        r.SetnAgeDays(keyInt(age / 24));
        r.SetnSex(keyInt(value(kKeySex, i)));
        r.SetstrDisease(text(kKeyDisease, i));
        r.SetstrProcedure(text(kKeyProcedure, i));
        r.SetstrDepartment(text(kKeyDepartment, i));
        r.SetstrAsa(text(kKeyAsa, i));
        r.SetnMethod(keyInt(value(kKeyMethod, i)));
        r.SetAnesthesiologist(0, text(kKeyAnesthesiologist, i));
        r.SetSupervisor(0, text(kKeySupervisor, i));
        // The other people must not count.
        r.SetAnesthesiologist(1, keyText("", int(rng() % 50)));
        r.SetSupervisor(1, keyText("", int(rng() % 50)));
        cases.push_back(std::move(r));
    }
    return cases;
}

} // namespace testing_support
