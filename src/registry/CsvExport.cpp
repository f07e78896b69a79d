#include "registry/CsvExport.h"

#include "registry/CaseCodes.h"
#include "registry/ComorbidityCodes.h"

#include <charconv>
#include <filesystem>
#include <system_error>

namespace registry {
namespace {

// The full-width comma and space of cp932.
constexpr std::string_view kWideComma = "\x81\x43";
constexpr std::string_view kWideSpace = "\x81\x40";
constexpr std::string_view kLineEnd = "\r\n";

// The export's texts are written as they are held, never converted, so each is looked up once.
struct Words {
    const CString& male = "男性,"_sj;
    const CString& female = "女性,"_sj;
    const CString& gramMl = "g(ml),"_sj;
    const CString& units = "単位,"_sj;
    const CString& withheld = "停止,"_sj;
    const CString& incident = "有,"_sj;
};

const Words& words() {
    static const Words w;
    return w;
}

class Line {
public:
    explicit Line(std::string& out) : m_out(out) {}

    void Int(int value) {
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        m_out.append(digits, end);
        m_out += ',';
    }
    // Exactly two decimals, as printf's "%.2f" gives them, for any float (nan and inf too).
    void Fixed2(float value) {
        char digits[64];
        const auto end = std::to_chars(digits, digits + sizeof digits, double(value),
                                       std::chars_format::fixed, 2)
                             .ptr;
        m_out.append(digits, end);
        m_out += ',';
    }
    void Text(const CString& text) {
        AppendCleaned(m_out, text.view());
        m_out += ',';
    }
    // A label of a code table; a code outside the table gives an empty field.
    void Label(const CString& label) {
        m_out += label.view();
        m_out += ',';
    }
    // Texts that carry their own comma.
    void Field(const CString& field) { m_out += field.view(); }
    void Amount(int amount, int unit) {
        Int(amount);
        Field(unit == kUnitGramMl ? words().gramMl : words().units);
    }
    void End() { m_out += kLineEnd; }

private:
    std::string& m_out;
};

void appendPatient(Line& line, const CCaseRecord& r) {
    line.Text(r.GetstrId());
    line.Text(r.GetstrName());
    line.Text(r.GetstrKana());
    line.Fixed2(r.GetfHeight());
    line.Fixed2(r.GetfWeight());
    line.Field(r.GetnSex() == kSexMale ? words().male : words().female);
    line.Int(r.GetnAgeYears());
    line.Int(r.GetnAgeMonths());
    line.Int(r.GetnAgeDays());
}

void appendSurgery(Line& line, const CCaseRecord& r) {
    line.Text(r.GetstrDisease());
    line.Text(r.GetstrProcedure());
    line.Text(r.GetstrDepartment());
    line.Text(r.GetstrWard());
    line.Text(r.GetstrOperatingRoom());
    for (int i = 0; i < CCaseRecord::kPeople; ++i) {
        line.Text(r.GetAnesthesiologist(i));
    }
    for (int i = 0; i < CCaseRecord::kPeople; ++i) {
        line.Text(r.GetSupervisor(i));
    }
    // The form offers only "1".."6E"; a damaged file's text must not shift the columns either.
    line.Text(r.GetstrAsa());
    line.Label(PositionLabel(r.GetnPosition()));
    line.Label(SiteLabel(r.GetnSite()));
    line.Label(MethodLabel(r.GetnMethod()));
    line.Text(r.GetstrAnesthesiaTime());
    line.Text(r.GetstrSurgeryTime());
}

void appendFluids(Line& line, const CCaseRecord& r) {
    line.Int(r.GetnCrystalloid());
    line.Int(r.GetnColloid());
    line.Int(r.GetnBloodLoss());
    line.Text(r.GetstrBloodLossNote());
    line.Int(r.GetnUrine());
    line.Amount(r.GetnMap(), r.GetnMapUnit());
    line.Amount(r.GetnFfp(), r.GetnFfpUnit());
    line.Amount(r.GetnPc(), r.GetnPcUnit());
    line.Amount(r.GetnAutologous(), r.GetnAutologousUnit());
    line.Int(r.GetnAlbumin());
    line.Amount(r.GetnWholeBlood(), r.GetnWholeBloodUnit());
    line.Text(r.GetstrOtherProductName());
    line.Amount(r.GetnOtherProduct(), r.GetnOtherUnit());
    line.Text(r.GetstrTransfusionNote());
}

void appendRemarks(Line& line, const CCaseRecord& r) {
    int slots[kPreopSlotCount];
    UnpackPreopSlots(r.GetnPreopCode(), slots);
    for (int slot : slots) {
        line.Field(ExportLabel(slot));
    }
    line.Text(r.GetstrPreopComment());
    line.Text(r.GetstrNotes());
    line.Field(r.GetbWithhold() == 1 ? words().withheld : ","_sj);
    line.Text(r.GetstrDrugIncident());
}

// A case that points past the incident table still says it has an incident, but has no codes
// to show: its incident fields stay empty rather than made up.
void appendIncident(Line& line, const CQuellmarkDoc& doc, int row) {
    line.Field(words().incident);
    const bool exists = row >= 0 && row < doc.GetIncidentCount();
    for (int k = 0; k < CQuellmarkDoc::kIncidentValues; ++k) {
        if (exists) {
            line.Int(doc.GetIncidentValue(row, k));
        } else {
            line.Field(","_sj);
        }
    }
    for (int k = 1; k <= CQuellmarkDoc::kIncidentTexts; ++k) {
        line.Text(exists ? doc.GetIncidentText(row, k) : CString());
    }
}

constexpr std::size_t kChunk = 1 << 20;

} // namespace

const CString& ExportHeader() {
    static const CString header =
        "レコード番号,手術年,手術月,手術日,ID,名前,名前（かな）,身長,体重,性別,年齢（歳）,"
        "年齢(月),年齢(日),疾患,術式,"_sj +
        "手術担当科,病棟,手術室,麻酔医１,２,３,麻酔指導医１,２,３,ASAPS,体位,手術部位,麻酔法,"
        "麻酔時間,手術時間,"_sj +
        "晶質輸液量,膠質輸液,出血量,出血備考,尿量,輸血MAP,単位,FFP,単位,PC,単位,自己血,単位,"
        "アルブミン(ml),全血,単位,その他の血液製剤,投与量,単位,輸血備考,"_sj +
        "術前合併症１,２,３,術前合併症フリーコメント,術中、術後特記事項,学会への供給停止,"
        "薬剤インシデント,"_sj +
        "偶発症（有無）,種類,種類詳細,発症時期,防止の可能性,転帰,原因１,２,３,術前評価不十分,"
        "知識不足,技術不足,状況判断遅れ,コミュニケーション不足,監視不十分,過重労働,"
        "マンパワー不足,その他,偶発症種類追記,転帰の追記,主原因、成因の追記,"_sj +
        kLineEnd;
    return header;
}

void AppendCleaned(std::string& out, std::string_view text) {
    // Neither a comma nor a line feed nor a CR is ever the second byte of a cp932 character,
    // so the bytes can be looked at one by one.
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != ',' && c != '\n') {
            continue;
        }
        // The CR of a CR LF pair goes with its line feed; any other byte before a line feed
        // is a character of the text and stays.
        const std::size_t end = c == '\n' && i > start && text[i - 1] == '\r' ? i - 1 : i;
        out.append(text.substr(start, end - start));
        out += c == ',' ? kWideComma : kWideSpace;
        start = i + 1;
    }
    out.append(text.substr(start));
}

void AppendCaseLine(std::string& out, const CQuellmarkDoc& doc, int index) {
    const CCaseRecord& r = doc.RecordAt(index);
    const fw::LocalDate date = fw::UnpackDate(doc.GetSurgeryDate(index));
    Line line(out);
    line.Int(index + 1);
    line.Int(date.year);
    line.Int(date.month);
    line.Int(date.day);
    appendPatient(line, r);
    appendSurgery(line, r);
    appendFluids(line, r);
    appendRemarks(line, r);
    if (r.GetnIncidentIndex() != -1) {
        appendIncident(line, doc, r.GetnIncidentIndex());
    }
    line.End();
}

void WriteCaseList(const CQuellmarkDoc& doc, fw::CFile& file) {
    std::string buffer;
    buffer.reserve(kChunk + 64 * 1024);
    buffer += ExportHeader().view();
    for (int i = 0; i < doc.GetRecordCount(); ++i) {
        AppendCaseLine(buffer, doc, i);
        if (buffer.size() >= kChunk) {
            file.Write(buffer.data(), buffer.size());
            buffer.clear();
        }
    }
    file.Write(buffer.data(), buffer.size());
}

bool ExportCaseList(const CQuellmarkDoc& doc, const std::string& path, CString* error) {
    std::error_code ec;
    const bool existed = std::filesystem::exists(path, ec);
    CString reason;
    if (fw::SaveFile(
            path, [&doc](fw::CFile& file) { WriteCaseList(doc, file); }, &reason,
            doc.GetFileOps())) {
        return true;
    }
    if (error) {
        *error = reason + (existed ? "。\r\n以前のファイルはそのまま残っています。"_sj
                                   : "。\r\nファイルは作成されていません。"_sj);
    }
    return false;
}

} // namespace registry
