#include "registry/CsvExport.h"

#include "support/CaseBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using testing_support::BlankCase;

namespace {

// The expected bytes are written out by hand, field by field, in UTF-8 and converted to cp932
// on their own, apart from the writer.
std::string sj(const std::string& utf8) {
    CString out;
    EXPECT_TRUE(CString::FromUtf8(utf8, out)) << utf8;
    return out.str();
}

std::string fields(const std::vector<std::string>& utf8Fields) {
    std::string line;
    for (const std::string& f : utf8Fields) {
        line += sj(f) + ",";
    }
    return line;
}

std::string lineOf(const CQuellmarkDoc& doc, int index) {
    std::string out;
    registry::AppendCaseLine(out, doc, index);
    return out;
}

std::string exported(const CQuellmarkDoc& doc) {
    fw::CMemFile file;
    registry::WriteCaseList(doc, file);
    return file.Bytes();
}

long fieldCount(const std::string& line) {
    return std::count(line.begin(), line.end(), ',');
}

std::string cleaned(const std::string& bytes) {
    std::string out;
    registry::AppendCleaned(out, bytes);
    return out;
}

const char kHeaderUtf8[] =
    "レコード番号,手術年,手術月,手術日,ID,名前,名前（かな）,身長,体重,性別,年齢（歳）,年齢(月),"
    "年齢(日),疾患,術式,手術担当科,病棟,手術室,麻酔医１,２,３,麻酔指導医１,２,３,ASAPS,体位,"
    "手術部位,麻酔法,麻酔時間,手術時間,晶質輸液量,膠質輸液,出血量,出血備考,尿量,輸血MAP,単位,"
    "FFP,単位,PC,単位,自己血,単位,アルブミン(ml),全血,単位,その他の血液製剤,投与量,単位,輸血備考,"
    "術前合併症１,２,３,術前合併症フリーコメント,術中、術後特記事項,学会への供給停止,"
    "薬剤インシデント,偶発症（有無）,種類,種類詳細,発症時期,防止の可能性,転帰,原因１,２,３,"
    "術前評価不十分,知識不足,技術不足,状況判断遅れ,コミュニケーション不足,監視不十分,過重労働,"
    "マンパワー不足,その他,偶発症種類追記,転帰の追記,主原因、成因の追記,\r\n";

// A case with every member set to something of its own.
CCaseRecord fullCase() {
    CCaseRecord r = BlankCase("山田 太郎", 2010, 4, 1);
    r.SetstrKana("やまだ たろう"_sj);
    r.SetstrId("A-01");
    r.SetfHeight(160.5f);
    r.SetfWeight(55.25f);
    r.SetnAgeYears(30);
    r.SetnAgeMonths(1);
    r.SetnAgeDays(2);
    r.SetstrDisease("胃癌"_sj);
    r.SetstrProcedure("幽門側胃切除術"_sj);
    r.SetstrDepartment("外科"_sj);
    r.SetstrWard("5東"_sj);
    r.SetstrOperatingRoom("3");
    r.SetAnesthesiologist(0, "青木"_sj);
    r.SetAnesthesiologist(1, "石井"_sj);
    r.SetSupervisor(0, "上田"_sj);
    r.SetSupervisor(2, "遠藤"_sj);
    r.SetstrAsa("2E");
    r.SetnPosition(1);
    r.SetnSite(12);
    r.SetnMethod(3);
    r.SetstrAnesthesiaTime("2:30");
    r.SetstrSurgeryTime("1:45");
    r.SetInfusion(1500, 500);
    r.SetnBloodLoss(300);
    r.SetstrBloodLossNote("およそ"_sj);
    r.SetnUrine(200);
    r.SetMap(2, 2);
    r.SetFfp(4, 1);
    r.SetPc(10, 2);
    r.SetAutologous(400, 1);
    r.SetnAlbumin(250);
    r.SetWholeBlood(0, 1);
    r.SetOtherProduct("ｸﾘｵ"_sj, 3, 2);
    r.SetstrTransfusionNote("術中輸血"_sj);
    r.SetnPreopCode(50201);
    r.SetstrPreopComment("高血圧，"_sj);
    r.SetstrNotes("特記なし"_sj);
    return r;
}

// Fields 2 to 57 of fullCase, after its record number.
std::string fullCaseFields() {
    return fields({"2010",
                   "4",
                   "1",
                   "A-01",
                   "山田 太郎",
                   "やまだ たろう",
                   "160.50",
                   "55.25",
                   "男性",
                   "30",
                   "1",
                   "2",
                   "胃癌",
                   "幽門側胃切除術",
                   "外科",
                   "5東",
                   "3",
                   "青木",
                   "石井",
                   "",
                   "上田",
                   "",
                   "遠藤",
                   "2E",
                   "1_仰臥位",
                   "e_1_上腹部",
                   "C_全身麻酔＋硬膜外麻酔",
                   "2:30",
                   "1:45",
                   "1500",
                   "500",
                   "300",
                   "およそ",
                   "200",
                   "2",
                   "単位",
                   "4",
                   "g(ml)",
                   "10",
                   "単位",
                   "400",
                   "g(ml)",
                   "250",
                   "0",
                   "g(ml)",
                   "ｸﾘｵ",
                   "3",
                   "単位",
                   "術中輸血",
                   "1a_",
                   "1b_",
                   "1e_",
                   "高血圧，",
                   "特記なし",
                   "",
                   ""});
}

// One field of a line, 1-based, without its comma.
std::string field(const std::string& line, int column) {
    std::size_t start = 0;
    for (int i = 1; i < column; ++i) {
        start = line.find(',', start) + 1;
    }
    return line.substr(start, line.find(',', start) - start);
}

} // namespace

TEST(CsvExportTest, AnEmptyRegistryGivesTheHeaderAlone) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    const std::string bytes = exported(doc);
    EXPECT_EQ(bytes, sj(kHeaderUtf8));
    EXPECT_EQ(registry::ExportHeader().str(), bytes);
    EXPECT_EQ(fieldCount(bytes), registry::kExportFields);
    // The continuing column names are full-width digits, as cp932 writes them.
    EXPECT_NE(bytes.find(",\x82\x51,\x82\x52,"), std::string::npos);
    EXPECT_EQ(bytes.substr(bytes.size() - 3), ",\r\n");
}

TEST(CsvExportTest, ACaseWithoutIncidentHas57Fields) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    doc.AddRecord(fullCase());
    const std::string line = lineOf(doc, 0);
    EXPECT_EQ(line, "1," + fullCaseFields() + "\r\n");
    EXPECT_EQ(fieldCount(line), registry::kExportFieldsWithoutIncident);
    EXPECT_EQ(exported(doc), sj(kHeaderUtf8) + line);
}

TEST(CsvExportTest, ACaseWithAnIncidentHas78Fields) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    doc.AddRecord(fullCase()); // no incident
    const int values[CQuellmarkDoc::kIncidentValues] = {0, 1, 2, 1, 3, 4, 0, 2, 0,
                                                        1, 2, 3, 4, 0, 1, 2, -7};
    doc.AddIncident(); // a row that no case refers to any more
    const int row = doc.AddIncident();
    for (int k = 0; k < CQuellmarkDoc::kIncidentValues; ++k) {
        doc.SetIncidentValue(row, k, values[k]);
    }
    doc.SetIncidentText(row, 1, "喉頭痙攣"_sj);
    doc.SetIncidentText(row, 2, "後遺症なし,軽快"_sj);
    doc.SetIncidentText(row, 3, "浅麻酔\r\n抜管時"_sj);
    CCaseRecord r = fullCase();
    r.SetnIncidentIndex(row);
    doc.AddRecord(r);

    const std::string line = lineOf(doc, 1);
    EXPECT_EQ(line, "2," + fullCaseFields() +
                        fields({"有",
                                "0",
                                "1",
                                "2",
                                "1",
                                "3",
                                "4",
                                "0",
                                "2",
                                "0",
                                "1",
                                "2",
                                "3",
                                "4",
                                "0",
                                "1",
                                "2",
                                "-7",
                                "喉頭痙攣",
                                "後遺症なし，軽快",
                                "浅麻酔　抜管時"}) +
                        "\r\n");
    EXPECT_EQ(fieldCount(line), registry::kExportFields);
    EXPECT_EQ(fieldCount(lineOf(doc, 0)), registry::kExportFieldsWithoutIncident);
}

TEST(CsvExportTest, AnIncidentIndexThatNamesNoRowKeepsTheColumnsEmpty) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    const int row = doc.AddIncident();
    doc.SetIncidentValue(row, 0, 3);
    for (int index : {1, 5, -2}) {
        SCOPED_TRACE(index);
        CCaseRecord r = BlankCase("壊れた参照", 2010, 4, 1);
        r.SetnIncidentIndex(index);
        doc.AddRecord(r);
        const std::string line = lineOf(doc, doc.GetRecordCount() - 1);
        EXPECT_EQ(fieldCount(line), registry::kExportFields);
        EXPECT_EQ(line.substr(line.size() - 25), sj("有,") + std::string(20, ',') + "\r\n");
    }
}

TEST(CsvExportTest, NamesKeepTheirDoubleQuotesAndTurnCommasFullWidth) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    CCaseRecord r = BlankCase("山田,\"太郎\"", 2010, 4, 1);
    r.SetstrKana("\"やまだ\",,"_sj);
    doc.AddRecord(r);
    const std::string line = lineOf(doc, 0);
    EXPECT_EQ(field(line, 6), sj("山田，\"太郎\""));
    EXPECT_EQ(field(line, 7), sj("\"やまだ\"，，"));
    EXPECT_EQ(fieldCount(line), registry::kExportFieldsWithoutIncident);
}

TEST(CsvExportTest, LineBreaksBecomeOneFullWidthSpaceEach) {
    const struct {
        const char* name;
        std::string text;
        std::string expected;
    } cases[] = {
        {"two lines", sj("一行目\r\n二行目"), sj("一行目") + "\x81\x40" + sj("二行目")},
        {"empty lines", "a\r\n\r\nb",
         "a\x81\x40\x81\x40"
         "b"},
        // A line feed alone keeps the character before it whole: 癌 is 0x8A 0xE0.
        {"after a double-byte character", "\x8A\xE0\n\x8A\xE0", "\x8A\xE0\x81\x40\x8A\xE0"},
        {"after a half-width letter", "ab\ncd",
         "ab\x81\x40"
         "cd"},
        {"at the start", "\nabc",
         "\x81\x40"
         "abc"},
        {"two alone", "a\n\nb",
         "a\x81\x40\x81\x40"
         "b"},
        {"after a comma", ",\n", "\x81\x43\x81\x40"},
        {"a CR at the very end stays", "a\r", "a\r"},
        {"nothing to clean", sj("ｶﾅ\"と'タブ\t"), sj("ｶﾅ\"と'タブ\t")},
        {"empty", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(cleaned(c.text), c.expected);
    }
}

TEST(CsvExportTest, EveryFreeTextIsCleanedInItsColumn) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    CCaseRecord r = BlankCase("n,", 2010, 4, 1);
    r.SetstrNotes("術中\r\n血圧低下,昇圧"_sj);
    r.SetstrPreopComment("\n高血圧"_sj);
    r.SetstrDrugIncident("誤投与\n"_sj);
    doc.AddRecord(r);
    const std::string line = lineOf(doc, 0);
    EXPECT_EQ(field(line, 6), sj("n，"));
    EXPECT_EQ(field(line, 54), sj("　高血圧"));
    EXPECT_EQ(field(line, 55), sj("術中　血圧低下，昇圧"));
    EXPECT_EQ(field(line, 57), sj("誤投与　"));
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1);
    EXPECT_EQ(fieldCount(line), registry::kExportFieldsWithoutIncident);
}

TEST(CsvExportTest, ComorbiditySlotsFromTheirOwnDigits) {
    const struct {
        int packed;
        const char* fields5153;
    } cases[] = {
        {201, "1a_,1b_,,"},
        {300, ",1c_,,"},           // slot 1 empty, slot 2 filled: still written
        {330000, ",,9y_,"},        //
        {0, ",,,"},                //
        {3401, "1a_,,,"},          // 34 is no code
        {-201, ",,,"},             // negative digits are no codes
        {1330201, "1a_,1b_,9y_,"}, // digits above the third slot are ignored
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.packed);
        CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
        CCaseRecord r = BlankCase("a");
        r.SetnPreopCode(c.packed);
        doc.AddRecord(r);
        const std::string line = lineOf(doc, 0);
        EXPECT_EQ(field(line, 51) + "," + field(line, 52) + "," + field(line, 53) + ",",
                  c.fields5153);
        EXPECT_EQ(fieldCount(line), registry::kExportFieldsWithoutIncident);
    }
}

TEST(CsvExportTest, CodeLabelsAndCodesOutsideTheirTables) {
    const char* positions[] = {"",         "1_仰臥位", "2_腹臥位", "3_側臥位",
                               "4_砕石位", "5_坐位",   "6_その他"};
    const char* sites[] = {"",
                           "a_1_開頭",
                           "b_1_開胸・縦隔",
                           "c_1_CAB",
                           "c_2_CAB(Off-pump)",
                           "c_3_先天性心疾患",
                           "c_4_先天性心疾患（姑息）",
                           "c_5_その他の心臓手術",
                           "c_6_胸部大動脈瘤",
                           "c_7_腹部大動脈瘤",
                           "d_1_開胸開腹",
                           "d_2_開胸開腹（内視鏡）",
                           "e_1_上腹部",
                           "e_2_上腹部（内視鏡）",
                           "f_1_下腹部",
                           "f_2_下腹部（内視鏡）",
                           "g_1_帝王切開",
                           "h_1_頭頚部・咽喉頭",
                           "k_1_腹壁・胸壁・会陰",
                           "m_1_脊椎",
                           "n_1_股関節・四肢末梢（含、末梢血管）",
                           "p_1_検査",
                           "p_2_検査（手術室外）",
                           "x_1_その他"};
    const char* methods[] = {"",
                             "A_全身麻酔",
                             "B_TIVA",
                             "C_全身麻酔＋硬膜外麻酔",
                             "D_TIVA＋硬膜外麻酔",
                             "E_CSEA",
                             "F_硬膜外麻酔",
                             "G_脊髄くも膜下麻酔",
                             "H_伝達麻酔",
                             "X_その他"};
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    auto codes = [&](int position, int site, int method) {
        CCaseRecord r = BlankCase("a");
        r.SetnPosition(position);
        r.SetnSite(site);
        r.SetnMethod(method);
        doc.AddRecord(r);
        const std::string line = lineOf(doc, doc.GetRecordCount() - 1);
        EXPECT_EQ(fieldCount(line), registry::kExportFieldsWithoutIncident);
        return field(line, 26) + "|" + field(line, 27) + "|" + field(line, 28);
    };
    for (int code = 0; code <= 23; ++code) {
        SCOPED_TRACE(code);
        EXPECT_EQ(codes(std::min(code, 6), code, std::min(code, 9)),
                  sj(positions[std::min(code, 6)]) + "|" + sj(sites[code]) + "|" +
                      sj(methods[std::min(code, 9)]));
    }
    EXPECT_EQ(codes(7, 24, 10), "||");
    EXPECT_EQ(codes(-1, -1, -1), "||");
    EXPECT_EQ(codes(1 << 30, -(1 << 30), 99), "||");
}

TEST(CsvExportTest, UnitsAgesSexAndTheWithheldFlag) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    auto line = [&](auto change) {
        CCaseRecord r = BlankCase("a");
        change(r);
        doc.AddRecord(r);
        return lineOf(doc, doc.GetRecordCount() - 1);
    };
    // Only unit code 1 is "g(ml)"; every other code is written as "単位".
    for (int unit : {0, 2, 3, -1}) {
        SCOPED_TRACE(unit);
        const std::string l = line([&](CCaseRecord& r) {
            r.SetMap(5, unit);
            r.SetOtherProduct({}, 6, unit);
        });
        EXPECT_EQ(field(l, 36) + "," + field(l, 37), sj("5,単位"));
        EXPECT_EQ(field(l, 48) + "," + field(l, 49), sj("6,単位"));
        EXPECT_EQ(field(l, 39), "g(ml)");
    }
    const std::string notGiven = line([](CCaseRecord&) {});
    EXPECT_EQ(field(notGiven, 11) + "," + field(notGiven, 12) + "," + field(notGiven, 13),
              "-1,0,0");
    EXPECT_EQ(field(notGiven, 10), sj("男性"));
    EXPECT_EQ(field(notGiven, 56), "");
    EXPECT_EQ(field(line([](CCaseRecord& r) { r.SetnSex(2); }), 10), sj("女性"));
    EXPECT_EQ(field(line([](CCaseRecord& r) { r.SetnSex(0); }), 10), sj("女性"));
    EXPECT_EQ(field(line([](CCaseRecord& r) { r.SetbWithhold(1); }), 56), sj("停止"));
    EXPECT_EQ(field(line([](CCaseRecord& r) { r.SetbWithhold(2); }), 56), "");
}

TEST(CsvExportTest, HeightAndWeightWithTwoDecimals) {
    const struct {
        float value;
        const char* text;
    } cases[] = {
        {160.5f, "160.50"}, {0.0f, "0.00"},     {55.255f, "55.26"},    {0.004f, "0.00"},
        {-0.004f, "-0.00"}, {-12.5f, "-12.50"}, {1e7f, "10000000.00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
        CCaseRecord r = BlankCase("a");
        r.SetfHeight(c.value);
        r.SetfWeight(c.value);
        doc.AddRecord(r);
        const std::string line = lineOf(doc, 0);
        EXPECT_EQ(field(line, 8), c.text);
        EXPECT_EQ(field(line, 9), c.text);
    }
}

// The writer formats fractions by itself; any float of a damaged file must come out as printf's
// "%.2f" writes it.
TEST(CsvExportTest, FractionsMatchPrintfForAnyFloat) {
    std::mt19937 rng(7);
    std::vector<float> values = {0.005f, 0.015f,  0.025f,   1.005f,      2.675f,
                                 1e-45f, 3.4e38f, -3.4e38f, 1.0f / 0.0f, -1.0f / 0.0f};
    for (int i = 0; i < 5000; ++i) {
        const std::uint32_t bits = rng();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        values.push_back(f);
        values.push_back(float(rng() % 300000) / 1000.0f);
    }
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    std::vector<CCaseRecord> cases;
    for (float f : values) {
        cases.push_back(BlankCase("a"));
        cases.back().SetfHeight(f);
    }
    doc.AddRecords(std::move(cases));
    for (int i = 0; i < doc.GetRecordCount(); ++i) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.2f", double(values[std::size_t(i)]));
        ASSERT_EQ(field(lineOf(doc, i), 8), expected) << i;
    }
}

TEST(CsvExportTest, CasesInEntryOrderWithTheLocalSurgeryDate) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    doc.AddRecord(BlankCase("新しい", 2012, 5, 6));
    doc.AddRecord(BlankCase("古い", 1999, 12, 31));
    CCaseRecord midnight = BlankCase("深夜");
    midnight.SettSurgery(fw::MakeTime32(2010, 1, 1, 0, 30)); // still 2009 in UTC
    doc.AddRecord(midnight);
    doc.ReplaceRecord(0, BlankCase("直した", 2001, 2, 3)); // keeps its place
    const std::string bytes = exported(doc);
    ASSERT_EQ(bytes.rfind(sj(kHeaderUtf8), 0), 0u);
    std::vector<std::string> starts;
    for (std::size_t at = sj(kHeaderUtf8).size(), end; at < bytes.size(); at = end + 2) {
        end = bytes.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        const std::string l = bytes.substr(at, end - at);
        starts.push_back(field(l, 1) + "," + field(l, 2) + "," + field(l, 3) + "," + field(l, 4) +
                         " " + CString(field(l, 6)).ToUtf8());
    }
    EXPECT_EQ(starts, (std::vector<std::string>{"1,2001,2,3 直した", "2,1999,12,31 古い",
                                                "3,2010,1,1 深夜"}));
}

// Lines are written a piece at a time; the pieces must join up to the lines.
TEST(CsvExportTest, ALargeExportIsTheHeaderAndEveryLineInOrder) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    testing_support::FillDocument(doc, 9000, 3);
    std::string expected = registry::ExportHeader().str();
    for (int i = 0; i < doc.GetRecordCount(); ++i) {
        expected += lineOf(doc, i);
    }
    const std::string bytes = exported(doc);
    ASSERT_GT(bytes.size(), std::size_t(2) << 20);
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), doc.GetRecordCount() + 1);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), doc.GetRecordCount() + 1);
}

TEST(CsvExportTest, ExportReplacesTheFileAndRunningItTwiceLeavesTheSecond) {
    testing_support::TempDir dir;
    const std::string path = dir.Path() + "/vora_list.csv";
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    doc.AddRecord(BlankCase("一人目"));
    ASSERT_TRUE(registry::ExportCaseList(doc, path));
    EXPECT_EQ(testing_support::ReadFile(path), exported(doc));
    EXPECT_EQ(testing_support::FileMode(path), 0600u); // patient data: the owner's only
    doc.AddRecord(BlankCase("二人目"));
    ASSERT_TRUE(registry::ExportCaseList(doc, path));
    EXPECT_EQ(testing_support::ReadFile(path), exported(doc));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"vora_list.csv"});
}

TEST(CsvExportTest, AFailedExportSaysWhyAndLeavesTheEarlierFile) {
    const struct {
        fw::FileStep step;
        const char* words;
    } steps[] = {
        {fw::FileStep::Create, "（同じフォルダに一時ファイルを作成できません）"},
        {fw::FileStep::Write, "（一時ファイルへの書き込みに失敗しました）"},
        {fw::FileStep::Sync, "（ディスクへの書き出しに失敗しました）"},
        {fw::FileStep::Rename, "（一時ファイルを元のファイルに置き換えられません）"},
    };
    static_assert(std::size(steps) == std::size(testing_support::kSaveSteps));
    for (const auto& s : steps) {
        SCOPED_TRACE(s.words);
        testing_support::TempDir dir;
        const std::string path = dir.Path() + "/vora_list.csv";
        testing_support::WriteFile(path, "earlier export\r\n");
        CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
        doc.AddRecord(BlankCase("a"));
        testing_support::FailingFileOps failing(s.step, ENOSPC);
        doc.SetFileOps(failing);

        CString error;
        EXPECT_FALSE(registry::ExportCaseList(doc, path, &error));
        EXPECT_EQ(error.ToUtf8(), std::string("「vora_list.csv」を保存できません") + s.words +
                                      "：ディスクの空き容量が足りません。\r\n以前のファイルはそのま"
                                      "ま残っています。");
        EXPECT_EQ(testing_support::ReadFile(path), "earlier export\r\n");
        EXPECT_EQ(dir.Entries(), std::vector<std::string>{"vora_list.csv"});

        // Without an earlier file there is nothing to keep, and nothing is left behind.
        std::remove(path.c_str());
        EXPECT_FALSE(registry::ExportCaseList(doc, path, &error));
        EXPECT_NE(error.ToUtf8().find("。\r\nファイルは作成されていません。"), std::string::npos);
        EXPECT_TRUE(dir.Entries().empty());
    }
}
