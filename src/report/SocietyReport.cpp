#include "report/SocietyReport.h"

#include "framework/File.h"
#include "incident/IncidentCodes.h"
#include "registry/ComorbidityCodes.h"
#include "report/ReportCheck.h"

#include <charconv>
#include <filesystem>

namespace report {
namespace {

// Maker, product and version: the last three fields of the hospital line, which end it.
constexpr const char* kProgramFields = "quellmark_vora_1.4\r\n";

void appendInt(CString& out, long long value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out += std::string_view(digits, std::size_t(end - digits));
}

void appendIntField(CString& out, long long value) {
    appendInt(out, value);
    out += '_';
}

void appendText(CString& out, const CString& text) {
    out += text;
    out += '_';
}

void appendTenth(CString& out, float value) {
    out += CString::Formatted("%.1f_", double(value));
}

template <std::size_t N> int appendCounts(CString& out, const std::array<int, N>& counts) {
    int sum = 0;
    for (int count : counts) {
        appendIntField(out, count);
        sum += count;
    }
    return sum;
}

// A blood product's amount and unit code, or two empty fields when none was given.
void appendProduct(CString& out, int amount, int unit) {
    if (amount == 0) {
        out += "__";
        return;
    }
    appendIntField(out, amount);
    appendIntField(out, unit);
}

// The export's site label starts with the society's two site fields ("a_1_開頭").
constexpr int kSiteFieldsLength = 4;

void appendSite(CString& out, int site) {
    if (IsSiteCode(site)) {
        out += registry::SiteLabel(site).Left(kSiteFieldsLength);
    } else {
        out += "__";
    }
}

// So does the method label with the method's letter ("A_全身麻酔").
void appendMethod(CString& out, int method) {
    if (IsMethodCode(method)) {
        out += registry::MethodLabel(method).Left(1);
    }
    out += '_';
}

// The incident fields 27..46 of row; false when its cause code is not a complete one.
bool appendIncident(CString& out, const CQuellmarkDoc& doc, int row) {
    int values[incident::kValueCount];
    for (int k = 0; k < incident::kValueCount; ++k) {
        values[k] = doc.GetIncidentValue(row, k);
    }
    out += incident::IncidentReportFields(values);
    appendText(out, doc.GetIncidentText(row, 1));
    appendText(out, doc.GetIncidentText(row, 2));
    out += doc.GetIncidentText(row, 3);
    return incident::IsCompleteCause(values);
}

// Appends the case's line; false when its incident's cause code is incomplete.
bool appendCaseLine(CString& out, const CQuellmarkDoc& doc, const CCaseRecord& r) {
    if (const char age = AgeGroupLetter(r.GetnAgeYears(), r.GetnAgeMonths())) {
        out += age;
        out += '_';
    }
    out += r.GetnSex() == registry::kSexMale ? "M_" : "F_";
    appendText(out, r.GetstrAsa());
    appendSite(out, r.GetnSite());
    appendIntField(out, r.GetnPosition());
    appendMethod(out, r.GetnMethod());
    int slots[registry::kPreopSlotCount];
    registry::UnpackPreopSlots(r.GetnPreopCode(), slots);
    for (int slot : slots) {
        appendText(out, registry::ReportCode(slot));
    }
    appendProduct(out, r.GetnMap(), r.GetnMapUnit());
    appendProduct(out, r.GetnWholeBlood(), r.GetnWholeBloodUnit());
    appendProduct(out, r.GetnFfp(), r.GetnFfpUnit());
    appendProduct(out, r.GetnPc(), r.GetnPcUnit());
    appendProduct(out, r.GetnAutologous(), r.GetnAutologousUnit());
    // Albumin is always counted in millilitres.
    appendProduct(out, r.GetnAlbumin(), registry::kUnitGramMl);
    if (r.GetnOtherProduct() != 0) {
        appendText(out, r.GetstrOtherProductName());
        appendIntField(out, r.GetnOtherProduct());
        appendIntField(out, r.GetnOtherUnit());
    } else {
        out += "___";
    }
    appendText(out, r.GetstrTransfusionNote());
    if (r.GetnIncidentIndex() == -1) {
        out += "___________________"; // the twenty incident fields, empty
        return true;
    }
    return appendIncident(out, doc, r.GetnIncidentIndex());
}

void countCase(ReportTally& tally, const CCaseRecord& r) {
    ++tally.counted;
    if (const char age = AgeGroupLetter(r.GetnAgeYears(), r.GetnAgeMonths())) {
        const int female = r.GetnSex() == registry::kSexMale ? 0 : 1;
        ++tally.ageSex[std::size_t(2 * (age - 'A') + female)];
    }
    if (const int asa = AsaIndex(r.GetstrAsa()); asa >= 0) {
        ++tally.asa[std::size_t(asa)];
    }
    if (IsSiteCode(r.GetnSite())) {
        ++tally.site[std::size_t(r.GetnSite() - 1)];
    }
    if (IsPositionCode(r.GetnPosition())) {
        ++tally.position[std::size_t(r.GetnPosition() - 1)];
    }
    if (IsMethodCode(r.GetnMethod())) {
        ++tally.method[std::size_t(r.GetnMethod() - 1)];
    }
}

// The folder as an absolute path, as far as it can be had.
std::string absoluteFolder(const std::string& folder) {
    std::error_code error;
    const std::filesystem::path where = folder.empty() ? std::filesystem::current_path(error)
                                                       : std::filesystem::absolute(folder, error);
    if (error) {
        return folder.empty() ? "." : folder;
    }
    std::string text = where.lexically_normal().string();
    if (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    return text;
}

// The notice above the written text names the file and the folder it went to, so that the
// administrator finds it to send.
CString writtenText(int year, const std::string& folder) {
    return "報告用ファイル「"_sj + fw::PathText(ReportFileName(year)) +
           "」を以下の内容で書き出しました。\r\n保存先のフォルダー："_sj +
           fw::PathText(absoluteFolder(folder)) +
           "\r\n\r\nおかしい場合はダイアログの内容を直接テキストファイルにコピーしてください。\r\n\r\n"_sj;
}

} // namespace

char AgeGroupLetter(int years, int months) {
    if (years < 0) {
        return '\0';
    }
    if (years == 0) {
        return months < 1 ? 'A' : 'B';
    }
    if (years <= 5) {
        return 'C';
    }
    if (years <= 18) {
        return 'D';
    }
    if (years <= 65) {
        return 'E';
    }
    return years <= 85 ? 'F' : 'G';
}

ReportTally TallyYear(const CQuellmarkDoc& doc, int year) {
    ReportTally tally;
    tally.year = year;
    const int count = doc.GetRecordCount();
    for (int i = 0; i < count; ++i) {
        if (fw::UnpackDate(doc.GetSurgeryDate(i)).year != year) {
            continue;
        }
        const CCaseRecord& r = doc.RecordAt(i);
        if (r.GetbWithhold() != 0) {
            ++tally.withheld;
            continue;
        }
        countCase(tally, r);
        if (LacksRequiredEntry(doc, r)) {
            tally.abnormal.push_back(i);
        }
        (r.GetnIncidentIndex() != -1 ? tally.incidentCases : tally.plainCases).push_back(i);
    }
    return tally;
}

const CString& HospitalHeaderLine() {
    static const CString line =
        "HOSPITAL_LOCATION_BEDS_OPERATION_ANESTHESIA_STOP_SPECIALISTS_FULLTIME_PARTTIME_SUBTOTAL_"
        "NOVICE_TOTAL_Am_Af_Bm_Bf_Cm_Cf_Dm_Df_Em_Ef_Fm_Ff_Gm_Gf_TOTALm_TOTALf_gTOTAL_ASA1_ASA2_"
        "ASA3_ASA4_ASA5_ASA6_ASA1E_ASA2E_ASA3E_ASA4E_ASA5E_ASA6E_asaTOTAL_CRANIOTOMY_THORACOTOMY_"
        "ONPUMP_OFFPUMP_RADICAL_PALLIATIVE_OTHERSHEART_Taneurysm_Aaneurysm_Nthotacolaparotomy_"
        "Ethotacolaparotomy_Nepigasutium_Eepigasutium_Nhypogastrium_Ehypogastrium_Cesarean_"
        "HeadNeck_Surface_Spine_Extremities_Iexamination_Oexamination_OTHERSr_rTOTAL_DORSAL_PRONE_"
        "LATERAL_LITHOTOMY_SITTING_OTHERSp_pTOTAL_Inhalation_TIVA_InhalationB_TIVAB_CSEA_Epidural_"
        "Spinal_Conduction_OTHERSa_aTOTAL_maker_product_ver\r\n";
    return line;
}

const CString& CaseHeaderLine() {
    static const CString line =
        "AGE_SEX_ASAPS_PART1_PART2_POSITION_ANESTHESIA_COMPLICATION1_COMPLICATION2_COMPLICATION3_"
        "CRC_CRCUNIT_WB_WBUNIT_FFP_FFPUNIT_PC_PCUNIT_ABT_ABTUNIT_ALB5_ALB5UNIT_OTHER_OTHERAMOUNT_"
        "OTHERUNIT_POSTSCRIPT_category1_category2_period_prevention_outcome_cause1_cause2_cause3_"
        "a_b_c_d_e_f_g_h_x_postscript1_postscript2_postscript3";
    return line;
}

CString HospitalValueLine(const HospitalInfo& info, const ReportTally& tally,
                          const AnnualFigures& figures) {
    CString line;
    appendIntField(line, static_cast<long long>(info.type) + 1);
    if (const char region = RegionLetter(info.location)) {
        line += region;
        line += '_';
    }
    appendIntField(line, info.beds);
    appendIntField(line, figures.operations);
    appendIntField(line, tally.counted);
    appendIntField(line, tally.withheld);
    appendTenth(line, info.specialists);
    appendTenth(line, info.fullTime);
    appendTenth(line, info.partTime);
    // The society adds in single precision, one sum at a time.
    float subtotal = info.specialists + info.fullTime;
    subtotal = subtotal + info.partTime;
    appendTenth(line, subtotal);
    appendTenth(line, figures.rotators);
    const float total = figures.rotators + subtotal;
    appendTenth(line, total);
    long long males = 0;
    long long females = 0;
    for (std::size_t b = 0; b < tally.ageSex.size(); ++b) {
        appendIntField(line, tally.ageSex[b]);
        (b % 2 == 0 ? males : females) += tally.ageSex[b];
    }
    appendIntField(line, males);
    appendIntField(line, females);
    appendIntField(line, males + females);
    appendIntField(line, appendCounts(line, tally.asa));
    appendIntField(line, appendCounts(line, tally.site));
    appendIntField(line, appendCounts(line, tally.position));
    appendIntField(line, appendCounts(line, tally.method));
    line += kProgramFields;
    return line;
}

CString CaseLine(const CQuellmarkDoc& doc, const CCaseRecord& record) {
    CString line;
    appendCaseLine(line, doc, record);
    return line;
}

CString BuildReportText(const CQuellmarkDoc& doc, const HospitalInfo& info, ReportTally& tally,
                        const AnnualFigures& figures) {
    CString text = HospitalHeaderLine();
    text += HospitalValueLine(info, tally, figures);
    text += CaseHeaderLine();
    for (const std::vector<int>* cases : {&tally.incidentCases, &tally.plainCases}) {
        for (int index : *cases) {
            text += "\r\n";
            const int start = text.GetLength();
            const bool completeCause = appendCaseLine(text, doc, doc.RecordAt(index));
            if (!IsWellFormedCaseLine(text.view().substr(std::size_t(start)), completeCause)) {
                tally.abnormal.push_back(index);
            }
        }
    }
    return text;
}

std::string ReportFileName(int year) {
    return "KRV" + std::to_string(static_cast<long long>(year) + 1) + ".txt";
}

bool SaveReportFile(const CQuellmarkDoc& doc, const CString& text, int year, CString* error,
                    const std::string& folder) {
    const std::string name = ReportFileName(year);
    const std::string path = folder.empty() ? name : folder + "/" + name;
    const fw::FilePolicy policy = doc.NewFilePolicy();
    return fw::SaveFile(
        path, [&text](fw::CFile& file) { file.Write(text.data(), std::size_t(text.GetLength())); },
        error, doc.GetFileOps(), &policy);
}

std::optional<CString> RunSocietyReport(const CQuellmarkDoc& doc, int year,
                                        const AskAnnualFigures& askFigures,
                                        const std::string& folder) {
    const HospitalInfo info = HospitalInfoOf(doc);
    if (!IsReportableHospital(info)) {
        return BadHospitalInfoText();
    }
    ReportTally tally = TallyYear(doc, year);
    AnnualFigures figures;
    if (!askFigures(tally, figures)) {
        return std::nullopt;
    }
    const CString text = BuildReportText(doc, info, tally, figures);
    if (!tally.abnormal.empty()) {
        return AbnormalListText(doc, tally.abnormal);
    }
    CString error;
    if (!SaveReportFile(doc, text, year, &error, folder)) {
        // The text stays on show so that it can still be copied into a file by hand.
        error += "\r\n\r\n";
        return error + text;
    }
    return writtenText(year, folder) + text;
}

} // namespace report
