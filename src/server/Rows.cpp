#include "server/Rows.h"

#include "framework/Codec.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>

namespace server {
namespace {

constexpr char kSignature[11] = {'P', 'G', 'C', 'O', 'P', 'Y', '\n', '\377', '\r', '\n', '\0'};
constexpr std::size_t kHeaderBytes = 19;
// The replacement of a character Shift-JIS has no form for: 〓.
constexpr std::string_view kGeta = "\x81\xac";

std::uint32_t getBig32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return std::uint32_t(u[0]) << 24 | std::uint32_t(u[1]) << 16 | std::uint32_t(u[2]) << 8 | u[3];
}

std::uint16_t getBig16(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return std::uint16_t(u[0] << 8 | u[1]);
}

void setBig32(char* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        p[i] = char(value >> (8 * (3 - i)) & 0xff);
    }
}

template <int Bytes> void putBig(std::string& out, std::uint64_t value) {
    char bytes[Bytes];
    for (int i = 0; i < Bytes; ++i) {
        bytes[i] = char(value >> (8 * (Bytes - 1 - i)) & 0xff);
    }
    out.append(bytes, Bytes);
}

// How a field of a case is read and written.
struct CaseField {
    CaseColumn column;
    int (*getInt)(const CCaseRecord&) = nullptr;
    void (*setInt)(CCaseRecord&, int) = nullptr;
    float (*getFloat)(const CCaseRecord&) = nullptr;
    void (*setFloat)(CCaseRecord&, float) = nullptr;
    int slot = -1;
};

#define VORA_INT(col, Name, label)                                                                 \
    CaseField {                                                                                    \
        {col, CaseColumn::Int, label}, [](const CCaseRecord& r) { return int(r.Get##Name()); },    \
            [](CCaseRecord& r, int v) { r.Set##Name(v); }                                          \
    }
#define VORA_FLOAT(col, Name, label)                                                               \
    CaseField {                                                                                    \
        {col, CaseColumn::Float, label}, nullptr, nullptr,                                         \
            [](const CCaseRecord& r) { return r.Get##Name(); },                                    \
            [](CCaseRecord& r, float v) { r.Set##Name(v); }                                        \
    }
#define VORA_TEXT(col, Slot, label)                                                                \
    CaseField {                                                                                    \
        {col, CaseColumn::Text, label}, nullptr, nullptr, nullptr, nullptr, CCaseRecord::Slot      \
    }

const std::vector<CaseField>& caseFields() {
    static const std::vector<CaseField> fields = {
        VORA_INT("age_years", nAgeYears, "年齢（歳）"),
        VORA_INT("age_days", nAgeDays, "年齢（日）"),
        VORA_INT("age_months", nAgeMonths, "年齢（月）"),
        VORA_TEXT("anesthesiologist_1", kAnesthesiologist0, "麻酔医１"),
        VORA_TEXT("anesthesiologist_2", kAnesthesiologist1, "麻酔医２"),
        VORA_TEXT("anesthesiologist_3", kAnesthesiologist2, "麻酔医３"),
        VORA_INT("method", nMethod, "麻酔法"),
        VORA_TEXT("anesthesia_time", kstrAnesthesiaTime, "麻酔時間"),
        VORA_TEXT("asa", kstrAsa, "ASAPS"),
        VORA_TEXT("transfusion_note", kstrTransfusionNote, "輸血備考"),
        VORA_TEXT("other_product_name", kstrOtherProductName, "その他の血液製剤"),
        VORA_INT("blood_loss", nBloodLoss, "出血量"),
        VORA_TEXT("blood_loss_note", kstrBloodLossNote, "出血備考"),
        VORA_INT("colloid", nColloid, "膠質輸液"),
        VORA_INT("crystalloid", nCrystalloid, "晶質輸液量"),
        VORA_TEXT("disease", kstrDisease, "疾患"),
        VORA_INT("preop_code", nPreopCode, "術前合併症"),
        VORA_TEXT("preop_comment", kstrPreopComment, "術前合併症フリーコメント"),
        VORA_TEXT("department", kstrDepartment, "手術担当科"),
        VORA_TEXT("drug_incident", kstrDrugIncident, "薬剤インシデント"),
        VORA_TEXT("notes", kstrNotes, "術中、術後特記事項"),
        VORA_FLOAT("height", fHeight, "身長"),
        VORA_TEXT("patient_id", kstrId, "ID"),
        VORA_INT("albumin", nAlbumin, "アルブミン"),
        VORA_INT("whole_blood", nWholeBlood, "全血"),
        VORA_INT("autologous", nAutologous, "自己血"),
        VORA_INT("incident_index", nIncidentIndex, "偶発症"),
        VORA_INT("ffp", nFfp, "FFP"),
        VORA_INT("map", nMap, "輸血MAP"),
        VORA_INT("other_product", nOtherProduct, "その他の血液製剤の投与量"),
        VORA_INT("pc", nPc, "PC"),
        VORA_TEXT("name", kstrName, "名前"),
        VORA_TEXT("name_kana", kstrKana, "名前（かな）"),
        VORA_INT("surgery_timestamp", tSurgery, "手術日"),
        VORA_TEXT("procedure", kstrProcedure, "術式"),
        VORA_TEXT("operating_room", kstrOperatingRoom, "手術室"),
        VORA_TEXT("surgery_time", kstrSurgeryTime, "手術時間"),
        VORA_INT("site", nSite, "手術部位"),
        VORA_INT("position", nPosition, "体位"),
        VORA_TEXT("ward", kstrWard, "病棟"),
        VORA_INT("sex", nSex, "性別"),
        VORA_INT("withhold", bWithhold, "学会への供給停止"),
        VORA_TEXT("supervisor_1", kSupervisor0, "麻酔指導医１"),
        VORA_TEXT("supervisor_2", kSupervisor1, "麻酔指導医２"),
        VORA_TEXT("supervisor_3", kSupervisor2, "麻酔指導医３"),
        VORA_INT("whole_blood_unit", nWholeBloodUnit, "全血の単位"),
        VORA_INT("autologous_unit", nAutologousUnit, "自己血の単位"),
        VORA_INT("ffp_unit", nFfpUnit, "FFPの単位"),
        VORA_INT("map_unit", nMapUnit, "輸血MAPの単位"),
        VORA_INT("other_unit", nOtherUnit, "その他の血液製剤の単位"),
        VORA_INT("pc_unit", nPcUnit, "PCの単位"),
        VORA_INT("urine", nUrine, "尿量"),
        VORA_FLOAT("weight", fWeight, "体重"),
    };
    return fields;
}

#undef VORA_INT
#undef VORA_FLOAT
#undef VORA_TEXT

std::string joined(const std::vector<const char*>& names) {
    std::string list;
    for (const char* name : names) {
        list += list.empty() ? "" : ", ";
        list += name;
    }
    return list;
}

// Appends the texts of count fields (in the order of their slots) to cp932 from their UTF-8
// fields, or from the exact bytes; calls ended(i) after text i.
template <class Ended>
bool readTexts(const Field* const* utf8, const Field& exact, std::size_t count, std::string& cp932,
               Ended&& ended, int& replaced, CString& error) {
    if (!exact.null) {
        std::vector<std::string_view> texts;
        if (!UnpackTexts(exact.bytes, count, texts)) {
            error = "文字の元のバイトの列が壊れています"_sj;
            return false;
        }
        for (std::size_t i = 0; i < count; ++i) {
            cp932.append(texts[i]);
            ended(i);
        }
        return true;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (utf8[i]->null) {
            error = "文字の列が空（NULL）です"_sj;
            return false;
        }
        AppendTextFromUtf8(cp932, utf8[i]->bytes, replaced);
        ended(i);
    }
    return true;
}

// The plain test of a text for a UTF-8 column: converted, and converted back to compare.
bool roundTrip(std::string_view cp932, std::string& utf8) {
    std::vector<std::string_view> undecodable;
    utf8 = fw::Cp932ToUtf8(cp932, &undecodable);
    bool exact = undecodable.empty();
    // The server's texts hold no NUL.
    for (std::size_t at = utf8.find('\0'); at != std::string::npos; at = utf8.find('\0', at)) {
        utf8.replace(at, 1, "\xef\xbf\xbd");
        exact = false;
    }
    if (exact) {
        std::string back;
        exact = fw::Utf8ToCp932(utf8, back) && back == cp932;
    }
    return exact;
}

// Whether each single byte and each pair of bytes, as a text of its own, comes back from its
// UTF-8 unchanged: asked of roundTrip when a text first holds it, then known.
class CodesComeBack {
public:
    static CodesComeBack& Shared() {
        static CodesComeBack* shared = new CodesComeBack; // never destroyed: used until the end
        return *shared;
    }

    bool Single(unsigned char b) { return known(b, 1); }
    bool Pair(unsigned char lead, unsigned char trail) {
        return known(256 + (std::size_t(lead) << 8 | trail), 2);
    }
    // ASCII but NUL comes back as it is (so a run of it needs no look at the table).
    bool AsciiComesBack() const { return m_ascii; }

private:
    CodesComeBack() {
        m_ascii = true;
        for (unsigned b = 1; b < 0x80; ++b) {
            m_ascii = m_ascii && Single(static_cast<unsigned char>(b));
        }
    }

    // index: the byte below 256, else 256 + lead * 256 + trail.
    bool known(std::size_t index, std::size_t size) {
        std::uint8_t state = m_state[index].load(std::memory_order_relaxed);
        if (state == kUnknown) {
            const char code[2] = {char(index < 256 ? index : (index - 256) >> 8),
                                  char(index & 0xff)};
            std::string utf8;
            // Two threads asking at once both find the same answer.
            state = roundTrip(std::string_view(size == 1 ? code + 1 : code, size), utf8)
                        ? kComesBack
                        : kChanges;
            m_state[index].store(state, std::memory_order_relaxed);
        }
        return state == kComesBack;
    }

    static constexpr std::uint8_t kUnknown = 0;
    static constexpr std::uint8_t kComesBack = 1;
    static constexpr std::uint8_t kChanges = 2;
    std::array<std::atomic<std::uint8_t>, 256 + 0x10000> m_state{};
    bool m_ascii = false;
};

bool eightAsciiWithoutNul(const char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    constexpr std::uint64_t kLow = 0x0101010101010101u;
    constexpr std::uint64_t kHigh = 0x8080808080808080u;
    return (word & kHigh) == 0 && ((word - kLow) & ~word & kHigh) == 0;
}

} // namespace

// ---------------------------------------------------------------------------------------------

CopyReader::ReadState CopyReader::next(std::string_view data, std::size_t& at, CString& error) {
    if (!m_header) {
        if (data.size() - at < kHeaderBytes) {
            return ReadState::NeedMore;
        }
        if (std::memcmp(data.data() + at, kSignature, sizeof kSignature) != 0) {
            error = "サーバーから受け取ったデータの形式が違います"_sj;
            return ReadState::Bad;
        }
        const std::uint32_t extension = getBig32(data.data() + at + 15);
        if (data.size() - at - kHeaderBytes < extension) {
            return ReadState::NeedMore;
        }
        at += kHeaderBytes + extension;
        m_header = true;
    }
    if (m_ended) {
        if (at != data.size()) {
            error = "サーバーから受け取ったデータの終わりの後にまだデータがあります"_sj;
            return ReadState::Bad;
        }
        return ReadState::Ended;
    }
    std::size_t p = at;
    if (data.size() - p < 2) {
        return ReadState::NeedMore;
    }
    const auto count = std::int16_t(getBig16(data.data() + p));
    p += 2;
    if (count == -1) {
        m_ended = true;
        at = p;
        return next(data, at, error); // nothing may follow the trailer, in this piece either
    }
    if (count < 0) {
        error = "サーバーから受け取った行の列の数が正しくありません"_sj;
        return ReadState::Bad;
    }
    m_fields.resize(std::size_t(count));
    for (Field& f : m_fields) {
        if (data.size() - p < 4) {
            return ReadState::NeedMore;
        }
        const auto length = std::int32_t(getBig32(data.data() + p));
        p += 4;
        if (length == -1) {
            f = {{}, true};
            continue;
        }
        if (length < 0) {
            error = "サーバーから受け取った値の長さが正しくありません"_sj;
            return ReadState::Bad;
        }
        if (data.size() - p < std::size_t(length)) {
            return ReadState::NeedMore;
        }
        f = {data.substr(p, std::size_t(length)), false};
        p += std::size_t(length);
    }
    at = p;
    return ReadState::Row;
}

bool CopyReader::Finish(CString& error) const {
    if (!m_ended || !m_pending.empty()) {
        error = "サーバーから受け取ったデータが途中で終わっています"_sj;
        return false;
    }
    return true;
}

CopyWriter::CopyWriter() {
    m_out.append(kSignature, sizeof kSignature);
    putBig<4>(m_out, 0); // flags
    putBig<4>(m_out, 0); // no header extension
}

void CopyWriter::BeginRow(int fields) {
    putBig<2>(m_out, std::uint16_t(fields));
}

void CopyWriter::Int16(std::int16_t value) {
    putBig<4>(m_out, 2);
    putBig<2>(m_out, std::uint16_t(value));
}

void CopyWriter::Int(std::int32_t value) {
    putBig<8>(m_out, std::uint64_t(4) << 32 | std::uint32_t(value));
}

void CopyWriter::Int64(std::int64_t value) {
    putBig<4>(m_out, 8);
    putBig<8>(m_out, std::uint64_t(value));
}

void CopyWriter::Float(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    putBig<8>(m_out, std::uint64_t(4) << 32 | bits);
}

void CopyWriter::Bytes(std::string_view bytes) {
    putBig<4>(m_out, std::uint32_t(bytes.size()));
    m_out.append(bytes);
}

bool CopyWriter::Text(std::string_view cp932) {
    if (cp932.empty()) {
        putBig<4>(m_out, 0);
        return true;
    }
    if (!CharactersComeBack(cp932)) {
        std::string utf8;
        const bool exact = roundTrip(cp932, utf8);
        Bytes(utf8);
        return exact;
    }
    // Converted straight into the row, its length put in front afterwards.
    const std::size_t at = m_out.size();
    putBig<4>(m_out, 0);
    fw::AppendCp932ToUtf8(m_out, cp932);
    setBig32(m_out.data() + at, std::uint32_t(m_out.size() - at - 4));
    return true;
}

void CopyWriter::Null() {
    putBig<4>(m_out, 0xffffffffu);
}

void CopyWriter::Date(const fw::LocalDate& day) {
    // Days from 2000-01-01, by the proleptic Gregorian calendar.
    auto daysFromCivil = [](long long y, unsigned m, unsigned d) {
        y -= m <= 2;
        const long long era = (y >= 0 ? y : y - 399) / 400;
        const auto yoe = unsigned(y - era * 400);
        const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + (long long)doe - 719468;
    };
    const long long days =
        daysFromCivil(day.year, unsigned(day.month), unsigned(day.day)) - daysFromCivil(2000, 1, 1);
    Int(std::int32_t(days));
}

void CopyWriter::End() {
    putBig<2>(m_out, 0xffff);
}

bool ReadInt16(const Field& f, std::int16_t& value) {
    if (f.null || f.bytes.size() != 2) {
        return false;
    }
    value = std::int16_t(getBig16(f.bytes.data()));
    return true;
}

bool ReadInt(const Field& f, std::int32_t& value) {
    if (f.null || f.bytes.size() != 4) {
        return false;
    }
    value = std::int32_t(getBig32(f.bytes.data()));
    return true;
}

bool ReadInt64(const Field& f, std::int64_t& value) {
    if (f.null || f.bytes.size() != 8) {
        return false;
    }
    value =
        std::int64_t(std::uint64_t(getBig32(f.bytes.data())) << 32 | getBig32(f.bytes.data() + 4));
    return true;
}

bool ReadFloat(const Field& f, float& value) {
    std::int32_t bits;
    if (!ReadInt(f, bits)) {
        return false;
    }
    std::memcpy(&value, &bits, sizeof value);
    return true;
}

// ---------------------------------------------------------------------------------------------

bool TextToUtf8(std::string_view cp932, std::string& utf8) {
    if (CharactersComeBack(cp932)) {
        utf8.clear();
        fw::AppendCp932ToUtf8(utf8, cp932);
        return true;
    }
    return roundTrip(cp932, utf8);
}

// A text comes back whole when each of its characters does: both conversions go character by
// character and know nothing of the characters around. The characters are cut as the
// conversion cuts them: a byte that comes back alone is a character, else a lead byte takes
// the next byte with it.
bool CharactersComeBack(std::string_view cp932) {
    CodesComeBack& codes = CodesComeBack::Shared();
    const bool ascii = codes.AsciiComesBack();
    const char* p = cp932.data();
    const char* const end = p + cp932.size();
    while (p != end) {
        if (ascii && end - p >= 8 && eightAsciiWithoutNul(p)) {
            p += 8;
            continue;
        }
        const auto b = static_cast<unsigned char>(*p);
        if (ascii && b < 0x80 && b != 0) {
            ++p;
            continue;
        }
        if (codes.Single(b)) {
            ++p;
            continue;
        }
        if (!fw::IsLeadByte(b) || end - p < 2 || !codes.Pair(b, static_cast<unsigned char>(p[1]))) {
            return false;
        }
        p += 2;
    }
    return true;
}

void TextFromUtf8(std::string_view utf8, std::string& cp932, int& replaced) {
    cp932.clear();
    AppendTextFromUtf8(cp932, utf8, replaced);
}

void AppendTextFromUtf8(std::string& cp932, std::string_view utf8, int& replaced) {
    if (utf8.empty() || fw::AppendUtf8ToCp932(cp932, utf8)) {
        return;
    }
    // Character by character, so that only what has no form is lost.
    std::string one;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t n = lead < 0x80    ? 1
                        : lead >= 0xf0 ? 4
                        : lead >= 0xe0 ? 3
                        : lead >= 0xc0 ? 2
                                       : 1;
        n = std::min(n, utf8.size() - i);
        if (fw::Utf8ToCp932(utf8.substr(i, n), one)) {
            cp932 += one;
        } else {
            cp932 += kGeta;
            ++replaced;
        }
        i += n;
    }
}

std::string PackTexts(const std::vector<std::string_view>& texts) {
    std::string packed;
    for (std::string_view t : texts) {
        const auto n = std::uint32_t(t.size());
        for (int i = 0; i < 4; ++i) {
            packed.push_back(char(n >> (8 * i) & 0xff));
        }
        packed.append(t);
    }
    return packed;
}

bool UnpackTexts(std::string_view packed, std::size_t count, std::vector<std::string_view>& texts) {
    texts.clear();
    std::size_t at = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (packed.size() - at < 4) {
            return false;
        }
        const auto* u = reinterpret_cast<const unsigned char*>(packed.data() + at);
        const std::uint32_t n = u[0] | u[1] << 8 | u[2] << 16 | std::uint32_t(u[3]) << 24;
        at += 4;
        if (packed.size() - at < n) {
            return false;
        }
        texts.push_back(packed.substr(at, n));
        at += n;
    }
    return at == packed.size();
}

Param TextParam(std::string_view cp932, Param* exact) {
    std::string utf8;
    const bool same = TextToUtf8(cp932, utf8);
    if (exact) {
        *exact = same ? Param::Null() : Param::Bytes(std::string(cp932));
    }
    return {std::move(utf8), true};
}

// ---------------------------------------------------------------------------------------------

const std::vector<CaseColumn>& CaseColumns() {
    static const std::vector<CaseColumn> columns = [] {
        std::vector<CaseColumn> out;
        for (const CaseField& f : caseFields()) {
            out.push_back(f.column);
        }
        return out;
    }();
    return columns;
}

const std::string& CaseColumnList() {
    static const std::string list = [] {
        std::vector<const char*> names;
        for (const CaseField& f : caseFields()) {
            names.push_back(f.column.name);
        }
        return joined(names);
    }();
    return list;
}

const std::array<const char*, 20>& IncidentColumns() {
    static const std::array<const char*, 20> columns = {
        "incident_type",
        "incident_type_detail",
        "onset",
        "preventability",
        "outcome",
        "cause_1",
        "cause_2",
        "cause_3",
        "insufficient_preop_evaluation",
        "lack_of_knowledge",
        "lack_of_skill",
        "delayed_judgement",
        "poor_communication",
        "insufficient_monitoring",
        "overwork",
        "lack_of_manpower",
        "other_cause",
        "incident_type_note",
        "outcome_note",
        "cause_note",
    };
    return columns;
}

const std::string& IncidentColumnList() {
    static const std::string list = joined({IncidentColumns().begin(), IncidentColumns().end()});
    return list;
}

namespace {

std::string packedCaseTexts(const CCaseRecord& record) {
    std::vector<std::string_view> texts;
    for (int slot = 0; slot < CCaseRecord::kTextSlotCount; ++slot) {
        texts.push_back(record.TextView(CCaseRecord::TextSlot(slot)));
    }
    return PackTexts(texts);
}

} // namespace

void WriteCaseFields(CopyWriter& out, const CCaseRecord& record) {
    bool exact = true;
    for (const CaseField& f : caseFields()) {
        switch (f.column.kind) {
        case CaseColumn::Int:
            out.Int(f.getInt(record));
            break;
        case CaseColumn::Float:
            out.Float(f.getFloat(record));
            break;
        case CaseColumn::Text:
            exact = out.Text(record.TextView(CCaseRecord::TextSlot(f.slot))) && exact;
            break;
        }
    }
    if (exact) {
        out.Null();
    } else {
        out.Bytes(packedCaseTexts(record));
    }
}

std::vector<Param> CaseParams(const CCaseRecord& record) {
    std::vector<Param> params;
    params.reserve(caseFields().size() + 1);
    bool exact = true;
    for (const CaseField& f : caseFields()) {
        switch (f.column.kind) {
        case CaseColumn::Int:
            params.push_back(Param::Int4(f.getInt(record)));
            break;
        case CaseColumn::Float:
            params.push_back(Param::Float4(f.getFloat(record)));
            break;
        case CaseColumn::Text: {
            Param side;
            params.push_back(TextParam(record.TextView(CCaseRecord::TextSlot(f.slot)), &side));
            exact = exact && !side.value;
            break;
        }
        }
    }
    params.push_back(exact ? Param::Null() : Param::Bytes(packedCaseTexts(record)));
    return params;
}

bool ReadCaseFields(const Field* fields, CCaseRecord& record, int& replaced, CString& error,
                    registry::TextArena* arena) {
    const std::vector<CaseField>& all = caseFields();
    const Field* texts[registry::CaseTexts::kCount];
    int slots[registry::CaseTexts::kCount];
    std::size_t count = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const CaseField& f = all[i];
        bool ok = true;
        switch (f.column.kind) {
        case CaseColumn::Int: {
            std::int32_t v = 0;
            ok = ReadInt(fields[i], v);
            if (ok) {
                f.setInt(record, v);
            }
            break;
        }
        case CaseColumn::Float: {
            float v = 0;
            ok = ReadFloat(fields[i], v);
            if (ok) {
                f.setFloat(record, v);
            }
            break;
        }
        case CaseColumn::Text:
            texts[count] = &fields[i];
            slots[count] = f.slot;
            ++count;
            break;
        }
        if (!ok) {
            CString::FromUtf8(std::string("列「") + f.column.name + "」の値が正しくありません",
                              error);
            return false;
        }
    }
    // The texts in slot order, which is their order among the columns too, gathered in one
    // buffer that serves every case of a load.
    std::uint32_t ends[registry::CaseTexts::kCount] = {};
    thread_local std::string bytes;
    bytes.clear();
    bool ok = readTexts(
        texts, fields[all.size()], count, bytes,
        [&](std::size_t i) {
            ends[slots[i]] = std::uint32_t(
                std::min<std::size_t>(bytes.size(), std::numeric_limits<std::uint32_t>::max()));
        },
        replaced, error);
    if (ok && bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
        error = "症例の文字が長すぎます"_sj;
        ok = false;
    }
    if (ok) {
        record.Texts().Assign(ends, bytes.data(), arena);
    }
    return ok;
}

void WriteIncidentFields(CopyWriter& out, const IncidentRow& row) {
    for (std::int32_t v : row.values) {
        out.Int(v);
    }
    bool exact = true;
    for (const CString& t : row.texts) {
        exact = out.Text(t.view()) && exact;
    }
    if (exact) {
        out.Null();
        return;
    }
    std::vector<std::string_view> texts;
    for (const CString& t : row.texts) {
        texts.push_back(t.view());
    }
    out.Bytes(PackTexts(texts));
}

std::vector<Param> IncidentParams(const IncidentRow& row) {
    std::vector<Param> params;
    for (std::int32_t v : row.values) {
        params.push_back(Param::Int4(v));
    }
    bool exact = true;
    std::vector<std::string_view> texts;
    for (const CString& t : row.texts) {
        Param side;
        params.push_back(TextParam(t.view(), &side));
        exact = exact && !side.value;
        texts.push_back(t.view());
    }
    params.push_back(exact ? Param::Null() : Param::Bytes(PackTexts(texts)));
    return params;
}

bool ReadIncidentFields(const Field* fields, IncidentRow& row, int& replaced, CString& error) {
    for (std::size_t k = 0; k < row.values.size(); ++k) {
        if (!ReadInt(fields[k], row.values[k])) {
            error = "偶発症の値が正しくありません"_sj;
            return false;
        }
    }
    const Field* texts[std::tuple_size_v<decltype(row.texts)>];
    for (std::size_t i = 0; i < row.texts.size(); ++i) {
        texts[i] = &fields[row.values.size() + i];
    }
    std::string bytes;
    std::size_t begin = 0;
    return readTexts(
        texts, fields[row.values.size() + row.texts.size()], row.texts.size(), bytes,
        [&](std::size_t i) {
            row.texts[i] = CString(std::string_view(bytes).substr(begin));
            begin = bytes.size();
        },
        replaced, error);
}

CString ChangedCaseFields(const CCaseRecord& a, const CCaseRecord& b) {
    CString names;
    for (const CaseField& f : caseFields()) {
        bool same = true;
        switch (f.column.kind) {
        case CaseColumn::Int:
            same = f.getInt(a) == f.getInt(b);
            break;
        case CaseColumn::Float: {
            const float x = f.getFloat(a);
            const float y = f.getFloat(b);
            same = std::memcmp(&x, &y, sizeof x) == 0;
            break;
        }
        case CaseColumn::Text:
            same = a.TextView(CCaseRecord::TextSlot(f.slot)) ==
                   b.TextView(CCaseRecord::TextSlot(f.slot));
            break;
        }
        if (!same) {
            CString label;
            CString::FromUtf8(f.column.label, label);
            names += (names.IsEmpty() ? CString() : "、"_sj) + label;
        }
    }
    return names;
}

} // namespace server
