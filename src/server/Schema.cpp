#include "server/Schema.h"

#include "registry/CaseCodes.h"
#include "registry/ComorbidityCodes.h"
#include "registry/QuellmarkDoc.h"
#include "server/Connection.h"
#include "server/Rows.h"
#include "server/SchemaSql.h"

namespace server {
namespace {

std::string utf8Of(const CString& text) {
    std::string utf8;
    TextToUtf8(text.view(), utf8);
    return utf8;
}

// The program's own rows of a new schema: the labels of its codes as the export writes them,
// the default passwords and an empty hospital information.
bool addFirstRows(Connection& db, ServerError& error) {
    const std::string insertLabel =
        "INSERT INTO vora.code_labels (kind, code, label) VALUES ($1, $2, $3)";
    struct Kind {
        const char* name;
        int last;
        CString (*label)(int);
    };
    const Kind kinds[] = {
        {"position", 6, [](int c) { return CString(registry::PositionLabel(c)); }},
        {"site", 23, [](int c) { return CString(registry::SiteLabel(c)); }},
        {"method", 9, [](int c) { return CString(registry::MethodLabel(c)); }},
        {"comorbidity", registry::kPreopCodeCount,
         [](int c) {
             // The export's labels carry the comma of its field.
             std::string_view label = registry::ExportLabel(c).view();
             label.remove_suffix(label.empty() ? 0 : 1);
             return CString(label);
         }},
    };
    for (const Kind& kind : kinds) {
        for (int code = 1; code <= kind.last; ++code) {
            const CString label = kind.label(code);
            if (label.IsEmpty()) {
                continue;
            }
            if (!db.Query(insertLabel,
                          {Param::Text(kind.name), Param::Text(std::to_string(code)),
                           Param::Text(utf8Of(label))},
                          error)) {
                return false;
            }
        }
    }
    const CQuellmarkDoc defaults(CQuellmarkDoc::NoFile{});
    Param exactAdmin, exactUser;
    Param admin = TextParam(defaults.GetAdminPassword().view(), &exactAdmin);
    Param user = TextParam(defaults.GetUserPassword().view(), &exactUser);
    return db.Query("INSERT INTO vora.passwords (admin_password, user_password, "
                    "exact_admin_password, exact_user_password) VALUES ($1, $2, $3, $4)",
                    {admin, user, exactAdmin, exactUser}, error) &&
           db.Query("INSERT INTO vora.hospital (hospital_type, hospital_location, beds, "
                    "specialists, full_time, part_time) VALUES ($1, $2, $3, $4, $5, $6)",
                    {Param::Int4(defaults.GetHospitalType()),
                     Param::Int4(defaults.GetHospitalLocation()), Param::Int4(defaults.GetBeds()),
                     Param::Float4(defaults.GetSpecialists()),
                     Param::Float4(defaults.GetFullTime()), Param::Float4(defaults.GetPartTime())},
                    error);
}

} // namespace

int SchemaVersionOf(Connection& db) {
    ServerError error;
    std::optional<Result> found =
        db.Query("SELECT to_regclass('vora.schema_info') IS NOT NULL, "
                 "EXISTS (SELECT 1 FROM pg_namespace WHERE nspname = 'vora')",
                 {}, error);
    if (!found || found->Rows() != 1) {
        return -1;
    }
    const bool ours = found->Value(0, 0) == "t";
    if (!ours) {
        return found->Value(0, 1) == "t" ? -1 : 0;
    }
    std::optional<Result> version =
        db.Query("SELECT max(version) FROM vora.schema_info", {}, error);
    if (!version || version->Rows() != 1 || version->IsNull(0, 0)) {
        return -1;
    }
    return int(version->Int(0, 0));
}

CString SchemaProblem(int version) {
    if (version == kSchemaVersion) {
        return {};
    }
    if (version == 0) {
        return "このデータベースにはまだ台帳がありません。先に vora --init-server で作ってください"_sj;
    }
    if (version < 0) {
        return "このデータベースのスキーマ vora はこのプログラムのものではありません"_sj;
    }
    if (version < kSchemaVersion) {
        return "台帳のスキーマが古い版です。vora --init-server で新しくしてください"_sj;
    }
    return "台帳のスキーマがこのプログラムより新しい版です。新しい版のプログラムを使ってください"_sj;
}

bool InitSchema(Connection& db, std::string& report) {
    const int version = SchemaVersionOf(db);
    if (version == kSchemaVersion) {
        report = "スキーマ vora はすでにバージョン " + std::to_string(kSchemaVersion) +
                 " で作成されています。変更はありません。";
        return true;
    }
    if (version < 0) {
        report = "このデータベースには、このプログラムのものではないスキーマ vora があります。"
                 "別のデータベースを指定してください。";
        return false;
    }
    if (version > kSchemaVersion) {
        report = "スキーマ vora のバージョン " + std::to_string(version) +
                 " はこのプログラム（バージョン " + std::to_string(kSchemaVersion) +
                 " まで）より新しいため、変更できません。新しい版のプログラムを使ってください。";
        return false;
    }
    ServerError error;
    const bool made = db.Exec("BEGIN", error) && db.Exec(SchemaVersion1Sql(), error) &&
                      addFirstRows(db, error) && db.Exec("COMMIT", error);
    if (!made) {
        ServerError ignored;
        db.Exec("ROLLBACK", ignored);
        report = "スキーマ vora を作成できません（" + error.message.ToUtf8() + "）。";
        return false;
    }
    report = "スキーマ vora（バージョン " + std::to_string(kSchemaVersion) + "）を作成しました。";
    return true;
}

} // namespace server
