#include "server/Commands.h"

#include "framework/File.h"
#include "registry/QuellmarkDoc.h"
#include "server/Connection.h"
#include "server/Registry.h"
#include "server/Schema.h"

#include <istream>
#include <memory>
#include <new>
#include <ostream>
#include <termios.h>
#include <unistd.h>

namespace server {
namespace {

bool connect(Connection& db, const std::string& conninfo, std::ostream& err) {
    CString error;
    if (!db.Open(conninfo, error)) {
        err << "vora: サーバーに接続できません: " << error.ToUtf8() << "\n";
        return false;
    }
    return true;
}

// The registry's schema must be the one this program works with.
bool schemaReady(Connection& db, std::ostream& err) {
    const CString problem = SchemaProblem(SchemaVersionOf(db));
    if (!problem.IsEmpty()) {
        err << "vora: " << problem.ToUtf8() << "\n";
    }
    return problem.IsEmpty();
}

// A line of the terminal without its echo.
bool readHidden(std::istream& in, std::ostream& prompt, const std::string& text,
                std::string& line) {
    prompt << text << std::flush;
    termios before{};
    const bool tty = ::tcgetattr(STDIN_FILENO, &before) == 0;
    if (tty) {
        termios quiet = before;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const bool got = bool(std::getline(in, line));
    if (tty) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
        prompt << "\n";
    }
    return got;
}

std::string counts(const CQuellmarkDoc& doc) {
    return "症例 " + std::to_string(doc.GetRecordCount()) + " 件、偶発症 " +
           std::to_string(doc.GetIncidentCount()) + " 件";
}

} // namespace

bool ReadRolePasswords(std::istream& in, bool terminal, std::ostream& prompt,
                       RolePasswords& passwords, std::string& why) {
    struct Ask {
        const char* who;
        std::string& password;
    } asks[] = {{"管理者", passwords.admin}, {"一般ユーザー", passwords.user}};
    for (const Ask& ask : asks) {
        if (!terminal) {
            if (!std::getline(in, ask.password)) {
                why = std::string(ask.who) +
                      "のパスワードの行がありません（1 行目に管理者、2 行目に一般"
                      "ユーザーのパスワード）";
                return false;
            }
        } else {
            std::string again;
            if (!readHidden(in, prompt, std::string(ask.who) + "のパスワード: ", ask.password) ||
                !readHidden(in, prompt, "もう一度: ", again)) {
                why = "パスワードが入力されませんでした";
                return false;
            }
            if (again != ask.password) {
                why = std::string(ask.who) + "のパスワードが一致しません";
                return false;
            }
        }
        if (ask.password.empty()) {
            why = std::string(ask.who) + "のパスワードが空です";
            return false;
        }
        CString typed;
        if (!CString::FromUtf8(ask.password, typed)) {
            why = std::string(ask.who) + "のパスワードに Shift-JIS にない文字があります";
            return false;
        }
    }
    return true;
}

int InitServerCommand(const std::string& conninfo, const Roles& roles, std::istream& in,
                      bool terminal, std::ostream& out, std::ostream& err) {
    Connection db;
    if (!connect(db, conninfo, err)) {
        return 1;
    }
    std::string report;
    const auto ask = [&](RolePasswords& passwords, std::string& why) {
        return ReadRolePasswords(in, terminal, err, passwords, why);
    };
    if (!InitSchema(db, roles, ask, report)) {
        err << "vora: " << report << "\n";
        return 1;
    }
    out << report << "\n";
    return 0;
}

int ImportDataCommand(const std::string& conninfo, const std::string& file, std::ostream& out,
                      std::ostream& err) {
    std::unique_ptr<CQuellmarkDoc> doc;
    try {
        doc = std::make_unique<CQuellmarkDoc>(file);
    } catch (const fw::CFileException& e) {
        err << "vora: " << e.Message().ToUtf8() << "\n";
        return 1;
    } catch (const std::bad_alloc&) {
        err << "vora: データファイルを読み込むためのメモリが足りません\n";
        return 1;
    }
    if (!doc->GetFileIdentity().exists) {
        err << "vora: データファイル " << file << " がありません\n";
        return 1;
    }
    Connection db;
    if (!connect(db, conninfo, err) || !schemaReady(db, err)) {
        return 1;
    }
    CString error;
    if (!ImportRegistry(db, *doc, error)) {
        err << "vora: 読み込めませんでした（サーバーの台帳は変わっていません）: " << error.ToUtf8()
            << "\n";
        return 1;
    }
    out << file << " をサーバーの台帳に読み込みました（" << counts(*doc) << "）。\n";
    return 0;
}

int ExportDataCommand(const std::string& conninfo, const std::string& file, std::istream& in,
                      bool terminal, std::ostream& out, std::ostream& err) {
    Connection db;
    if (!connect(db, conninfo, err) || !schemaReady(db, err)) {
        return 1;
    }
    RolePasswords passwords;
    std::string why;
    if (!ReadRolePasswords(in, terminal, err, passwords, why)) {
        err << "vora: 書き出しませんでした: " << why << "\n";
        return 1;
    }
    try {
        CQuellmarkDoc doc(CQuellmarkDoc::NoFile{}, file);
        Versions versions;
        LoadNotes notes;
        CString error;
        if (!LoadRegistry(db, doc, versions, notes, error)) {
            err << "vora: サーバーの台帳を読めません: " << error.ToUtf8() << "\n";
            return 1;
        }
        CString admin, user;
        CString::FromUtf8(passwords.admin, admin);
        CString::FromUtf8(passwords.user, user);
        doc.SetPasswords(admin, user);
        if (!doc.SaveDataFile(&error)) {
            err << "vora: " << error.ToUtf8() << "\n";
            return 1;
        }
        out << "サーバーの台帳を " << file << " に書き出しました（" << counts(doc) << "）。\n";
        if (notes.replacedCharacters > 0) {
            out << "Shift-JIS にない文字 " << notes.replacedCharacters
                << " 字を「〓」に置き換えました。\n";
        }
    } catch (const std::bad_alloc&) {
        err << "vora: 台帳を読み込むためのメモリが足りません\n";
        return 1;
    }
    return 0;
}

} // namespace server
