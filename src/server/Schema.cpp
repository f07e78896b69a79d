#include "server/Schema.h"

#include "registry/CaseCodes.h"
#include "registry/ComorbidityCodes.h"
#include "registry/QuellmarkDoc.h"
#include "server/Connection.h"
#include "server/Rows.h"
#include "server/SchemaSql.h"

#include <optional>

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

namespace {

bool exec(Connection& db, const std::string& sql, std::string& why) {
    ServerError error;
    if (!db.Exec(sql, error)) {
        why = error.message.ToUtf8();
        return false;
    }
    return true;
}

// The passwords of a registry of version 1, which become its roles'.
bool passwordsOfVersion1(Connection& db, RolePasswords& passwords, std::string& why) {
    ServerError error;
    std::optional<Result> r =
        db.Query("SELECT admin_password, user_password FROM vora.passwords", {}, error);
    if (!r || r->Rows() != 1) {
        why = r ? "パスワードの行がありません" : error.message.ToUtf8();
        return false;
    }
    passwords.admin = std::string(r->Value(0, 0));
    passwords.user = std::string(r->Value(0, 1));
    return true;
}

// Makes the role, or gives the one there its new password; says in notes when it was there.
bool makeRole(Connection& db, const std::string& role, const std::string& password,
              std::string& notes, std::string& why) {
    ServerError error;
    std::optional<Result> found =
        db.Query("SELECT 1 FROM pg_roles WHERE rolname = $1", {Param::Text(role)}, error);
    if (!found) {
        why = error.message.ToUtf8();
        return false;
    }
    const std::string hashed = db.HashedPassword(password, role);
    if (hashed.empty()) {
        why = "パスワードを暗号化できません";
        return false;
    }
    const bool there = found->Rows() > 0;
    if (there) {
        notes += "ロール " + role + " はすでにあったので、ログインとパスワードを設定し直しました。";
    }
    return exec(db,
                std::string(there ? "ALTER" : "CREATE") + " ROLE " + db.QuoteIdentifier(role) +
                    " LOGIN PASSWORD " + db.QuoteLiteral(hashed),
                why);
}

bool upgradeTo2(Connection& db, const Roles& roles, const RolePasswords& passwords,
                std::string& notes, std::string& why) {
    return makeRole(db, roles.user, passwords.user, notes, why) &&
           makeRole(db, roles.admin, passwords.admin, notes, why) &&
           exec(db,
                SchemaVersion2Sql(db.QuoteIdentifier(roles.user), db.QuoteIdentifier(roles.admin),
                                  db.QuoteLiteral(roles.user), db.QuoteLiteral(roles.admin),
                                  CaseColumnList(), IncidentColumnList()),
                why);
}

} // namespace

bool SetRolePassword(Connection& db, const std::string& role, const std::string& password,
                     CString& error) {
    const std::string hashed = db.HashedPassword(password, role);
    ServerError failed;
    if (hashed.empty() || !db.Query("SELECT vora.set_password($1, $2)",
                                    {Param::Text(role), Param::Text(hashed)}, failed)) {
        error = hashed.empty() ? "パスワードを暗号化できません"_sj : failed.message;
        return false;
    }
    return true;
}

bool RolesOf(Connection& db, Roles& roles) {
    ServerError error;
    std::optional<Result> r = db.Query("SELECT user_role, admin_role FROM vora.roles", {}, error);
    if (!r || r->Rows() != 1) {
        return false;
    }
    roles.user = std::string(r->Value(0, 0));
    roles.admin = std::string(r->Value(0, 1));
    return true;
}

bool InitSchema(Connection& db, const Roles& roles,
                const std::function<bool(RolePasswords&, std::string& why)>& ask,
                std::string& report) {
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
    if (roles.user.empty() || roles.admin.empty() || roles.user == roles.admin) {
        report = "一般ユーザーと管理者のロールには、別々の名前が要ります。";
        return false;
    }
    RolePasswords passwords;
    std::string why;
    if (version == 0 && !ask(passwords, why)) {
        report = "スキーマ vora を作成しませんでした（" + why + "）。";
        return false;
    }
    std::string notes;
    ServerError error;
    const bool done =
        exec(db, "BEGIN", why) &&
        (version != 0 || (exec(db, SchemaVersion1Sql(), why) &&
                          (addFirstRows(db, error) || (why = error.message.ToUtf8(), false)))) &&
        (version != 1 || passwordsOfVersion1(db, passwords, why)) &&
        upgradeTo2(db, roles, passwords, notes, why) && exec(db, "COMMIT", why);
    if (!done) {
        ServerError ignored;
        db.Exec("ROLLBACK", ignored);
        report = std::string(version == 0 ? "スキーマ vora を作成できません（"
                                          : "スキーマ vora を新しくできません（") +
                 why + "）。";
        return false;
    }
    report =
        std::string(version == 0 ? "スキーマ vora（バージョン " : "スキーマ vora をバージョン ") +
        std::to_string(kSchemaVersion) +
        (version == 0 ? "）を作成しました。"
                      : " に新しくしました（パスワードはロールのものになりました）。") +
        "一般ユーザーのロールは " + roles.user + "、管理者のロールは " + roles.admin + " です。" +
        notes;
    return true;
}

} // namespace server
