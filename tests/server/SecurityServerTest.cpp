// The registry's roles as the server enforces them, the history nobody can edit, and the
// passwords that the server alone keeps.

#include "server/Commands.h"
#include "server/Rows.h"
#include "server/SchemaSql.h"
#include "server/ServerTestSupport.h"
#include "support/CaseBuilder.h"

#include <sstream>

namespace {

using namespace testing_support;
using registry::JournalEntry;
using registry::JournalKind;

class SecurityServerTest : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        CQuellmarkDoc start(CQuellmarkDoc::NoFile{});
        FillDocument(start, 12, 31);
        start.SetPasswords("admin-pw", "user-pw");
        std::unique_ptr<server::Connection> db = Connect();
        CString error;
        ASSERT_TRUE(server::ImportRegistry(*db, start, error)) << error.ToUtf8();
    }

    // The SQLSTATE the statement fails with on db, or "" when it runs.
    static std::string Refusal(server::Connection& db, const std::string& sql) {
        server::ServerError error;
        return db.Exec(sql, error) ? std::string() : error.sqlState;
    }
};

TEST_F(SecurityServerTest, EachRoleIsRefusedWhatIsNotItsToChange) {
    std::unique_ptr<server::Connection> user = Connect(User());
    std::unique_ptr<server::Connection> admin = Connect(Admin());
    const std::string forbiddenToBoth[] = {
        "UPDATE vora.history SET role_name = 'someone'",
        "DELETE FROM vora.history",
        "TRUNCATE vora.history",
        "INSERT INTO vora.changes (seq, kind, target, changed_at, changed_by) "
        "VALUES (999999, 1, 0, now(), 'x')",
        "DELETE FROM vora.changes",
        "UPDATE vora.cases SET last_change = 0 WHERE record_index = 0",
        "UPDATE vora.cases SET changed_by = 'someone else' WHERE record_index = 0",
        "DELETE FROM vora.cases WHERE record_index = 0",
        "DROP TABLE vora.cases",
    };
    for (const std::string& sql : forbiddenToBoth) {
        EXPECT_EQ(Refusal(*user, sql), "42501") << "general: " << sql;
        EXPECT_EQ(Refusal(*admin, sql), "42501") << "administrator: " << sql;
    }
    const std::string forbiddenToTheGeneralRole[] = {
        "INSERT INTO vora.list_items (list_index, position, name) VALUES (0, 999, 'x')",
        "DELETE FROM vora.list_items",
        "UPDATE vora.lists SET names = '{}'",
        "UPDATE vora.hospital SET beds = 1",
        "SELECT vora.set_password('" + m_roles.user + "', 'SCRAM-SHA-256$4096:x')",
        "SELECT count(*) FROM vora.history",
        // (A role may change its own password, as PostgreSQL lets every role do.)
        "ALTER ROLE " + m_roles.admin + " PASSWORD 'plain'",
    };
    for (const std::string& sql : forbiddenToTheGeneralRole) {
        EXPECT_EQ(Refusal(*user, sql), "42501") << "general: " << sql;
    }
    // What each may do.
    EXPECT_EQ(Refusal(*user, "SELECT count(*) FROM vora.case_export"), "");
    EXPECT_EQ(Refusal(*user, "UPDATE vora.cases SET procedure = 'x' WHERE record_index = 0"), "");
    EXPECT_EQ(Refusal(*admin, "UPDATE vora.hospital SET beds = 2"), "");
    EXPECT_EQ(Refusal(*admin, "SELECT count(*) FROM vora.history"), "");
    // A password goes to the server only hashed.
    EXPECT_EQ(Refusal(*admin, "SELECT vora.set_password('" + m_roles.user + "', 'plain')"),
              "22023");
    EXPECT_EQ(Refusal(*admin, "SELECT vora.set_password('postgres', 'SCRAM-SHA-256$4096:x')"),
              "42501");
}

TEST_F(SecurityServerTest, ACorrectionLeavesAHistoryRowOfWhoWhereAndWhat) {
    Workstation nurse(m_conninfo, User());
    const CString before = nurse.doc.GetRecord(3).GetstrProcedure();
    CString message;
    ASSERT_TRUE(ConfirmAt(nurse, Correction(nurse.doc, 3, "腹腔鏡下虫垂切除術"), &message))
        << message.ToUtf8();
    std::unique_ptr<server::Connection> db = Connect();
    server::ServerError failed;
    std::optional<server::Result> row =
        db->Query("SELECT role_name, workstation, before->>'procedure', after->>'procedure', "
                  "changed_at > now() - interval '1 minute' FROM vora.history "
                  "WHERE what = 'case' AND target = 3 ORDER BY id DESC LIMIT 1",
                  {}, failed);
    ASSERT_TRUE(row && row->Rows() == 1) << failed.message.ToUtf8();
    EXPECT_EQ(row->Value(0, 0), m_roles.user);
    EXPECT_EQ(row->Value(0, 1), server::Connection::ApplicationName());
    EXPECT_EQ(row->Value(0, 2), before.ToUtf8());
    EXPECT_EQ(row->Value(0, 3), "腹腔鏡下虫垂切除術");
    EXPECT_EQ(row->Value(0, 4), "t");

    // The administrator's form shows it; the general user's has no history to show.
    EXPECT_FALSE(nurse.store->HasHistory());
    Workstation office(m_conninfo, Admin());
    ASSERT_TRUE(office.store->HasHistory());
    std::vector<registry::HistoryLine> lines;
    ASSERT_TRUE(office.store->HistoryOf(office.doc, 3, lines, message)) << message.ToUtf8();
    ASSERT_EQ(lines.size(), 2u); // the correction, then the import
    EXPECT_EQ(lines[0].who.ToUtf8(), m_roles.user);
    EXPECT_EQ(lines[0].what.ToUtf8(), "変更：術式");
    EXPECT_EQ(lines[1].what.ToUtf8(), "登録");
}

TEST_F(SecurityServerTest, PasswordsAreTheRolesAndReachTheServerHashed) {
    Workstation office(m_conninfo, Admin());
    JournalEntry change;
    change.kind = JournalKind::Passwords;
    change.adminPassword = office.doc.GetAdminPassword();
    CString::FromUtf8("新しい一般", change.userPassword);
    CString message;
    ASSERT_TRUE(ConfirmAt(office, change, &message)) << message.ToUtf8();
    EXPECT_TRUE(Connect({m_roles.user, "新しい一般"})->IsOpen());
    server::Connection old;
    CString error;
    bool wrong = false;
    EXPECT_FALSE(old.Open(m_conninfo, error, User(), &wrong));
    EXPECT_TRUE(wrong) << error.ToUtf8();
    EXPECT_TRUE(Connect(Admin())->IsOpen()); // the administrator's stays

    std::unique_ptr<server::Connection> db = Connect();
    server::ServerError failed;
    std::optional<server::Result> kept =
        db->Query("SELECT rolpassword LIKE 'SCRAM-SHA-256$%' FROM pg_authid WHERE rolname = $1",
                  {server::Param::Text(m_roles.user)}, failed);
    ASSERT_TRUE(kept && kept->Rows() == 1) << failed.message.ToUtf8();
    EXPECT_EQ(kept->Value(0, 0), "t");
    std::optional<server::Result> noted =
        db->Query("SELECT role_name, after->>'role', after::text FROM vora.history "
                  "WHERE what = 'password' ORDER BY id DESC LIMIT 1",
                  {}, failed);
    ASSERT_TRUE(noted && noted->Rows() == 1) << failed.message.ToUtf8();
    EXPECT_EQ(noted->Value(0, 0), m_roles.admin);
    EXPECT_EQ(noted->Value(0, 1), m_roles.user);
    EXPECT_EQ(std::string(noted->Value(0, 2)).find("新しい"), std::string::npos);
}

TEST_F(SecurityServerTest, ARegistryOfVersionOneTakesItsPasswordsIntoTheRoles) {
    Sql("DROP SCHEMA vora CASCADE");
    Sql(server::SchemaVersion1Sql());
    Sql("INSERT INTO vora.passwords (admin_password, user_password) VALUES ('古い管理', "
        "'old-user');"
        "INSERT INTO vora.hospital (hospital_type, hospital_location, beds, specialists, "
        "full_time, part_time) VALUES (1, 2, 300, 1, 2, 3);"
        "INSERT INTO vora.list_items VALUES (2, 0, '東5階', NULL), (2, 1, '西3階', NULL)");
    std::unique_ptr<server::Connection> db = Connect();
    std::string report;
    const auto never = [](server::RolePasswords&, std::string& why) {
        why = "not asked for an upgrade";
        return false;
    };
    ASSERT_TRUE(server::InitSchema(*db, m_roles, never, report)) << report;
    EXPECT_NE(report.find("新しくしました"), std::string::npos) << report;
    EXPECT_EQ(server::SchemaVersionOf(*db), server::kSchemaVersion);
    EXPECT_TRUE(Connect({m_roles.admin, "古い管理"})->IsOpen());
    EXPECT_TRUE(Connect({m_roles.user, "old-user"})->IsOpen());
    std::unique_ptr<CQuellmarkDoc> doc = Load();
    EXPECT_EQ(doc->GetBeds(), 300);
    ASSERT_EQ(doc->GetWardList().GetSize(), 2);
    EXPECT_EQ(doc->GetWardList()[1].ToUtf8(), "西3階");
    // Run again, nothing changes.
    EXPECT_TRUE(server::InitSchema(*db, m_roles, never, report));
    EXPECT_NE(report.find("変更はありません"), std::string::npos) << report;
}

TEST(RolePasswords, TwoLinesOfInputOrTwiceEachOnATerminal) {
    const struct {
        const char* input;
        bool terminal;
        bool read;
        const char* admin;
        const char* user;
        const char* why;
    } cases[] = {
        {"管理者の\nuser\n", false, true, "管理者の", "user", ""},
        {"only-one\n", false, false, "", "", "一般ユーザーのパスワードの行がありません"},
        {"\nuser\n", false, false, "", "", "管理者のパスワードが空です"},
        {"a\na\nb\nb\n", true, true, "a", "b", ""},
        {"a\nA\nb\nb\n", true, false, "", "", "管理者のパスワードが一致しません"},
        {"a\xf0\x9f\x98\x80\nb\n", false, false, "", "", "Shift-JIS にない文字"},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.input);
        std::ostringstream prompt;
        server::RolePasswords passwords;
        std::string why;
        EXPECT_EQ(server::ReadRolePasswords(in, c.terminal, prompt, passwords, why), c.read)
            << c.input;
        if (c.read) {
            EXPECT_EQ(passwords.admin, c.admin);
            EXPECT_EQ(passwords.user, c.user);
        } else {
            EXPECT_NE(why.find(c.why), std::string::npos) << why;
        }
    }
}

} // namespace
