// The registry on the server: the schema, a data file through import and export, and the
// view of the patient list's columns.

#include "registry/CsvExport.h"
#include "server/Commands.h"
#include "server/Connection.h"
#include "server/Rows.h"
#include "server/Schema.h"
#include "server/ServerTestSupport.h"
#include "support/CaseBuilder.h"
#include "support/TempDir.h"

#include <cstring>
#include <sstream>

namespace {

using namespace testing_support;

CString sj(const char* utf8) {
    CString text;
    CString::FromUtf8(utf8, text);
    return text;
}

// Texts whose bytes UTF-8 does not give back: a NUL, bytes that are no character, a lone lead
// byte at the end, the duplicate codes of the NEC and IBM rows (0x8790, 0xED40, which read as
// 0x81E0 and 0xFA5C when they come back), and ones that do: half-width katakana, line breaks.
const std::string kAwkward[] = {
    std::string("a\0b", 3),
    "\x80\xa0\xfd\xfe\xff",
    "\x82\xa0\x82",
    "\x87\x90\xed\x40\x87\x9a",
    "\xb1\xb2\xb3 \x82\xa0\r\n\x8e\x52",
    "\x85\x40",
    "",
};

void fillAwkward(CQuellmarkDoc& doc) {
    FillDocument(doc, 60, 9);
    doc.SetPasswords(CString(kAwkward[0]), CString(kAwkward[3]));
    doc.SetHospitalInfo(5, 7, 1200, 3.25f, -0.0f, 1e-30f);
    for (const std::string& text : kAwkward) {
        doc.GetWardList().Add(CString(text));
    }
    for (int i = 0; i < doc.GetRecordCount(); ++i) {
        CCaseRecord r = doc.GetRecord(i);
        const std::string& text = kAwkward[std::size_t(i) % std::size(kAwkward)];
        r.SetstrNotes(CString(text));
        r.SetstrName(CString(text + "名前"));
        r.SetSupervisor(2, CString(text));
        doc.ReplaceRecord(i, r);
    }
    const int row = doc.AddIncident();
    doc.SetIncidentText(row, 2, CString(kAwkward[1]));
    doc.SetIncidentText(row, 3, CString(kAwkward[3]));
    // The longest text the case form takes.
    CCaseRecord last = doc.GetRecord(0);
    last.SetstrNotes(CString(std::string(65533, '\x82').replace(0, 2, "\x82\xa0")));
    last.SetnIncidentIndex(row);
    doc.AddRecord(last);
}

// The same bytes with version 1 and the hospital's three figures stored as integers.
std::string asVersionOne(std::string bytes, std::int32_t fullTime, std::int32_t partTime,
                         std::int32_t specialists) {
    std::int32_t one = 1;
    std::memcpy(bytes.data(), &one, 4);
    std::size_t at = 4;
    for (int text = 0; text < 2; ++text) {
        at += 1 + static_cast<unsigned char>(bytes[at]); // short passwords
    }
    for (std::int32_t v : {fullTime, partTime, specialists}) {
        v ^= CQuellmarkDoc::kIntKey;
        std::memcpy(bytes.data() + at, &v, 4);
        at += 4;
    }
    return bytes;
}

class RegistryServerTest : public ServerTest {
protected:
    // Loads the file as the program does, imports it into the empty registry and exports it
    // again: the bytes are those of a logout save in file mode.
    void ExpectRoundTrip(const std::string& fileBytes, const std::string& what) {
        SCOPED_TRACE(what);
        TempDir dir;
        const std::string path = dir.Path() + "/vora.dat";
        WriteFile(path, fileBytes);
        CQuellmarkDoc loaded(path);
        const std::string saved = StoredBytes(loaded);
        Sql("DELETE FROM vora.cases; DELETE FROM vora.incidents; DELETE FROM vora.list_items");
        std::unique_ptr<server::Connection> db = Connect();
        CString error;
        ASSERT_TRUE(server::ImportRegistry(*db, loaded, error)) << error.ToUtf8();
        std::unique_ptr<CQuellmarkDoc> exported = Load();
        // The passwords are the roles' now, which the user types to write them into a file.
        std::string admin, user;
        server::TextToUtf8(loaded.GetAdminPassword().view(), admin);
        server::TextToUtf8(loaded.GetUserPassword().view(), user);
        if (!admin.empty() && !user.empty()) {
            EXPECT_TRUE(Connect({m_roles.admin, admin})->IsOpen());
            EXPECT_TRUE(Connect({m_roles.user, user})->IsOpen());
        }
        EXPECT_EQ(exported->GetAdminPassword(), "");
        exported->SetPasswords(loaded.GetAdminPassword(), loaded.GetUserPassword());
        const std::string back = StoredBytes(*exported);
        ASSERT_EQ(back.size(), saved.size());
        EXPECT_TRUE(back == saved)
            << "first difference at byte "
            << std::mismatch(back.begin(), back.end(), saved.begin()).first - back.begin();
    }
};

TEST_F(RegistryServerTest, ImportThenExportGivesTheBytesOfALogoutSave) {
    for (Spread spread :
         {Spread::Decades, Spread::FewYears, Spread::TwentyYears, Spread::Everything}) {
        CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
        FillDocument(doc, 700, 3 + int(spread), spread);
        ExpectRoundTrip(StoredBytes(doc), "spread " + std::to_string(int(spread)));
    }
    CQuellmarkDoc distinct(CQuellmarkDoc::NoFile{});
    distinct.AddRecords(
        CasesWithDistinctKeys(900, {40, 30, 30, 20, 3, 25, 25, 10, 12, 10, 8, 8}, 5));
    ExpectRoundTrip(StoredBytes(distinct), "keys with NUL bytes and lead bytes at the end");

    CQuellmarkDoc awkward(CQuellmarkDoc::NoFile{});
    fillAwkward(awkward);
    ExpectRoundTrip(StoredBytes(awkward), "texts UTF-8 would change");

    CQuellmarkDoc fresh(CQuellmarkDoc::NoFile{});
    ExpectRoundTrip(StoredBytes(fresh), "a new registry");

    CQuellmarkDoc old(CQuellmarkDoc::NoFile{});
    FillDocument(old, 30, 4);
    old.SetHospitalInfo(2, 3, 300, 0, 0, 0);
    ExpectRoundTrip(asVersionOne(StoredBytes(old), 3, 1, 2), "version 1");
}

TEST_F(RegistryServerTest, ExactBytesAreKeptBesideTheirUtf8OnlyWhereNeeded) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    CCaseRecord plain = BlankCase("山田花子", 2020, 1, 2);
    CCaseRecord odd = BlankCase("", 2020, 1, 2);
    odd.SetstrName(CString(kAwkward[3]));
    doc.AddRecord(plain);
    doc.AddRecord(odd);
    std::unique_ptr<server::Connection> db = Connect();
    CString error;
    ASSERT_TRUE(server::ImportRegistry(*db, doc, error)) << error.ToUtf8();
    server::ServerError failed;
    std::optional<server::Result> rows = db->Query(
        "SELECT name, exact_texts IS NULL FROM vora.cases ORDER BY record_index", {}, failed);
    ASSERT_TRUE(rows) << failed.message.ToUtf8();
    ASSERT_EQ(rows->Rows(), 2);
    // An analyst reads the names as UTF-8; the one with duplicate codes shows their characters.
    EXPECT_EQ(rows->Value(0, 0), "山田花子");
    EXPECT_EQ(rows->Value(0, 1), "t");
    EXPECT_EQ(rows->Value(1, 0), "≒纊∵");
    EXPECT_EQ(rows->Value(1, 1), "f");
}

TEST_F(RegistryServerTest, TheCommandsImportIntoAnEmptyRegistryOnlyAndExportSafely) {
    TempDir dir;
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    FillDocument(doc, 120, 8);
    const std::string file = dir.Path() + "/vora.dat";
    WriteFile(file, StoredBytes(doc));
    std::ostringstream out, err;
    EXPECT_EQ(server::ImportDataCommand(m_conninfo, file, out, err), 0) << err.str();
    EXPECT_NE(out.str().find("症例 120 件"), std::string::npos) << out.str();

    // A second import is refused and changes nothing.
    std::ostringstream out2, err2;
    EXPECT_EQ(server::ImportDataCommand(m_conninfo, file, out2, err2), 1);
    EXPECT_NE(err2.str().find("空ではありません"), std::string::npos) << err2.str();
    EXPECT_EQ(Load()->GetRecordCount(), 120);

    const std::string exported = dir.Path() + "/exported.dat";
    std::ostringstream out3, err3;
    std::istringstream typed(doc.GetAdminPassword().ToUtf8() + "\n" +
                             doc.GetUserPassword().ToUtf8() + "\n");
    EXPECT_EQ(server::ExportDataCommand(m_conninfo, exported, typed, false, out3, err3), 0)
        << err3.str();
    EXPECT_EQ(ReadFile(exported), StoredBytes(doc));
    // No temporary file is left beside it.
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"exported.dat", "vora.dat"}));

    // A file that is not there, a damaged one and a server that is not there: exit 1.
    std::ostringstream out4, err4;
    EXPECT_EQ(server::ImportDataCommand(m_conninfo, dir.Path() + "/none.dat", out4, err4), 1);
    WriteFile(dir.Path() + "/cut.dat", StoredBytes(doc).substr(0, 500));
    EXPECT_EQ(server::ImportDataCommand(m_conninfo, dir.Path() + "/cut.dat", out4, err4), 1);
    std::istringstream none;
    EXPECT_EQ(server::ExportDataCommand(m_conninfo, exported, none, false, out4, err4), 1);
    EXPECT_NE(err4.str().find("パスワードの行がありません"), std::string::npos) << err4.str();
    std::istringstream two("a\nb\n");
    EXPECT_EQ(
        server::ExportDataCommand("host=/nonexistent dbname=x", exported, two, false, out4, err4),
        1);
    EXPECT_NE(err4.str().find("サーバーに接続できません"), std::string::npos) << err4.str();
}

TEST_F(RegistryServerTest, TheSchemaIsMadeOnceAndAForeignOneIsLeftAlone) {
    std::unique_ptr<server::Connection> db = Connect();
    std::string report;
    const auto ask = [](server::RolePasswords& passwords, std::string&) {
        passwords = {"admin-pw", "user-pw"};
        return true;
    };
    EXPECT_TRUE(server::InitSchema(*db, m_roles, ask, report));
    EXPECT_NE(report.find("変更はありません"), std::string::npos) << report;
    EXPECT_EQ(server::SchemaVersionOf(*db), server::kSchemaVersion);

    Sql("DROP SCHEMA vora CASCADE; CREATE SCHEMA vora; CREATE TABLE vora.cases (x int)");
    EXPECT_EQ(server::SchemaVersionOf(*db), -1);
    EXPECT_FALSE(server::InitSchema(*db, m_roles, ask, report));
    EXPECT_NE(report.find("このプログラムのものではない"), std::string::npos) << report;
    EXPECT_FALSE(server::SchemaProblem(-1).IsEmpty());
    Sql("DROP SCHEMA vora CASCADE");
    EXPECT_EQ(server::SchemaVersionOf(*db), 0);
    EXPECT_TRUE(server::InitSchema(*db, m_roles, ask, report));
    EXPECT_NE(report.find("作成しました"), std::string::npos) << report;
}

// The view's rows, cleaned as the export cleans its texts, are the export's lines.
TEST_F(RegistryServerTest, TheExportViewHasTheColumnsOfTheCsvExport) {
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    FillDocument(doc, 300, 12);
    CCaseRecord odd = BlankCase("甲,乙", 1999, 12, 31);
    odd.SetstrNotes(sj("一行目\r\n二行目"));
    odd.SetfHeight(170.125f); // a tie that "%.2f" settles to even: 170.12
    odd.SetfWeight(62.345f);
    odd.SetnPreopCode(20301);
    odd.SetnPosition(6);
    odd.SetnSite(23);
    odd.SetnMethod(9);
    odd.SetbWithhold(1);
    doc.AddRecord(odd);
    std::unique_ptr<server::Connection> db = Connect();
    CString error;
    ASSERT_TRUE(server::ImportRegistry(*db, doc, error)) << error.ToUtf8();
    server::ServerError failed;
    std::optional<server::Result> view =
        db->Query("SELECT * FROM vora.case_export ORDER BY record_number", {}, failed);
    ASSERT_TRUE(view) << failed.message.ToUtf8();
    ASSERT_EQ(view->Columns(), registry::kExportFields);
    ASSERT_EQ(view->Rows(), doc.GetRecordCount());
    for (int i = 0; i < doc.GetRecordCount(); ++i) {
        std::string expected;
        registry::AppendCaseLine(expected, doc, i);
        std::string line;
        int last = registry::kExportFields;
        while (last > 0 && view->IsNull(i, last - 1)) {
            --last;
        }
        last = std::max(last, registry::kExportFieldsWithoutIncident);
        for (int c = 0; c < last; ++c) {
            std::string cp932;
            int replaced = 0;
            server::TextFromUtf8(view->Value(i, c), cp932, replaced);
            registry::AppendCleaned(line, cp932);
            line += ",";
        }
        line += "\r\n";
        ASSERT_EQ(CString(line).ToUtf8(), CString(expected).ToUtf8()) << "case " << i;
    }
}

TEST(ServerRows, TheBinaryCopyReaderTakesAnyPiecesAndRefusesDamage) {
    server::CopyWriter out;
    for (int row = 0; row < 3; ++row) {
        out.BeginRow(3);
        out.Int(row - 1);
        out.Bytes(std::string(std::size_t(row) * 300, 'x'));
        out.Null();
    }
    out.End();
    const std::string stream = out.Buffer();
    for (std::size_t piece : {std::size_t(1), std::size_t(7), stream.size()}) {
        server::CopyReader reader;
        CString error;
        std::vector<std::int32_t> seen;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            ASSERT_TRUE(reader.Feed(
                std::string_view(stream).substr(at, piece),
                [&](const std::vector<server::Field>& fields, CString&) {
                    std::int32_t v = 0;
                    EXPECT_TRUE(server::ReadInt(fields[0], v));
                    EXPECT_EQ(fields[1].bytes.size(), std::size_t(v + 1) * 300);
                    EXPECT_TRUE(fields[2].null);
                    seen.push_back(v);
                    return true;
                },
                error))
                << error.ToUtf8();
        }
        EXPECT_TRUE(reader.Finish(error));
        EXPECT_EQ(seen, (std::vector<std::int32_t>{-1, 0, 1})) << "pieces of " << piece;
    }
    // Cut short, a length beyond the stream, a bad signature.
    const std::string cut = stream.substr(0, stream.size() - 3);
    const std::string negative = std::string(stream).replace(21, 4, "\xff\xff\xff\xf0", 4);
    const std::string foreign = "PGCOPZ" + stream.substr(6);
    for (const std::string* bad : {&cut, &negative, &foreign}) {
        server::CopyReader reader;
        CString error;
        const bool fed = reader.Feed(
            *bad, [](const std::vector<server::Field>&, CString&) { return true; }, error);
        EXPECT_FALSE(fed && reader.Finish(error));
        EXPECT_FALSE(error.IsEmpty());
    }
    std::vector<std::string_view> texts;
    EXPECT_TRUE(server::UnpackTexts(server::PackTexts({"ab", "", "c"}), 3, texts));
    EXPECT_FALSE(server::UnpackTexts(server::PackTexts({"ab", "", "c"}), 2, texts));
    EXPECT_FALSE(server::UnpackTexts(std::string("\x09\0\0\0ab", 6), 1, texts));
}

TEST(ServerRows, LibpqReasonsAreSaidInJapaneseWhereTheyAreKnown) {
    const struct {
        const char* libpq;
        const char* japanese;
    } cases[] = {
        {"could not translate host name \"db9\" to address: Name or service not known\n",
         "サーバー名「db9」が見つかりません"},
        {"connection to server at \"10.0.0.5\", port 5432 failed: Connection refused\n\tIs the "
         "server running on that host and accepting TCP/IP connections?\n",
         "サーバーが接続を受け付けません"},
        {"connection to server at \"db1\" (10.0.0.5), port 5432 failed: FATAL:  password "
         "authentication failed for user \"vora_user\"\n",
         "ユーザー「vora_user」のパスワードが違います"},
        {"definition of service \"vora\" not found\n", "接続サービス「vora」が"},
        {"connection to server on socket \"/var/run/postgresql/.s.PGSQL.5432\" failed: FATAL:  "
         "role \"root\" does not exist\n",
         "ユーザー（ロール）「root」がサーバーにありません"},
        {"connection to server at \"db1\" (10.0.0.5), port 5432 failed: FATAL:  database "
         "\"vora\" does not exist\n",
         "データベース「vora」がサーバーにありません"},
        {"relation \"vora.cases\" does not exist", "relation \"vora.cases\" does not exist"},
        {"something new\nand more", "something new"},
    };
    for (const auto& c : cases) {
        EXPECT_NE(server::TranslateMessage(c.libpq).ToUtf8().find(c.japanese), std::string::npos)
            << server::TranslateMessage(c.libpq).ToUtf8();
    }
}

} // namespace
