// Workstations on one server: each confirmation one transaction, the server's order applied
// everywhere, no silent overwrite, no confirmation kept twice.

#include "server/Rows.h"
#include "server/ServerTestSupport.h"
#include "support/CaseBuilder.h"
#include "support/TempDir.h"

#include <poll.h>

namespace {

using namespace testing_support;
using registry::JournalEntry;
using registry::JournalKind;

class StoreServerTest : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        CQuellmarkDoc start(CQuellmarkDoc::NoFile{});
        FillDocument(start, 40, 21);
        start.SetPasswords("admin-pw", "user-pw"); // the import makes them the roles'

        std::unique_ptr<server::Connection> db = Connect();
        CString error;
        ASSERT_TRUE(server::ImportRegistry(*db, start, error)) << error.ToUtf8();
        m_start = StoredBytes(start);
    }

    // The document a data file holds after the same changes, made in the same order.
    std::string FileModeAfter(const std::vector<JournalEntry>& changes) {
        TempDir dir;
        WriteFile(dir.Path() + "/vora.dat", m_start);
        CQuellmarkDoc doc(dir.Path() + "/vora.dat");
        for (const JournalEntry& e : changes) {
            registry::ApplyJournalEntry(doc, e);
        }
        doc.SetPasswords({}, {}); // a workstation's are the roles', kept by the server alone
        return StoredBytes(doc);
    }

    std::string m_start;
};

JournalEntry listChange(const CStringArray& list, registry::MasterList which, const char* add) {
    JournalEntry e;
    e.kind = JournalKind::List;
    e.list = which;
    e.items = list;
    CString name;
    CString::FromUtf8(add, name);
    e.items.Add(name);
    return e;
}

TEST_F(StoreServerTest, WorkstationsKeepEveryCaseOnceInTheServersOrder) {
    Workstation a(m_conninfo, Admin());
    Workstation b(m_conninfo, Admin());
    // The order the server kept them in, as the file store would apply them.
    std::vector<JournalEntry> kept;
    auto confirm = [&kept](Workstation& ws, JournalEntry e) {
        JournalEntry asKept = e;
        CString message;
        ASSERT_TRUE(ConfirmAt(ws, e, &message)) << message.ToUtf8();
        kept.push_back(asKept);
    };
    // Both add without having seen the other's case: each gets a place of its own.
    confirm(a, NewCase(a.doc, "甲野一郎", 2021, true));
    confirm(b, NewCase(b.doc, "乙野二郎", 2021, true));
    EXPECT_EQ(b.doc.GetRecordCount(), 42); // b took in a's case before its own
    EXPECT_EQ(b.doc.RecordAt(41).GetnIncidentIndex(), b.doc.GetIncidentCount() - 1);
    kept.back().record.SetnIncidentIndex(b.doc.GetIncidentCount() - 1);
    confirm(a, Correction(a.doc, 3, "腹腔鏡下胆嚢摘出術"));
    confirm(b, Correction(b.doc, 40, "気管切開術")); // a's case, corrected on b
    confirm(b, listChange(b.doc.GetWardList(), registry::kListWards, "東5階"));
    JournalEntry hospital;
    hospital.kind = JournalKind::Hospital;
    hospital.hospitalType = 2;
    hospital.hospitalLocation = 4;
    hospital.beds = 612;
    hospital.specialists = 4.5f;
    confirm(a, hospital);
    confirm(a, Correction(a.doc, 3, "開腹胆嚢摘出術")); // a's own case again, later

    ASSERT_TRUE(a.store->CatchUp());
    ASSERT_TRUE(b.store->CatchUp());
    EXPECT_GT(a.changesSeen, 0);
    const std::string fresh = StoredBytes(*Load());
    EXPECT_TRUE(StoredBytes(a.doc) == fresh);
    EXPECT_TRUE(StoredBytes(b.doc) == fresh);
    // The same changes in the same order in a data file: the same bytes, sort indexes and all.
    EXPECT_TRUE(FileModeAfter(kept) == fresh);
}

TEST_F(StoreServerTest, ACorrectionOfWhatAnotherWorkstationChangedIsRefusedAndCanBeRepeated) {
    Workstation a(m_conninfo, Admin());
    Workstation b(m_conninfo, Admin());
    // Both open case 5.
    registry::ChangeBase baseA = a.doc.BaseOf({JournalKind::Case, 5});
    registry::ChangeBase baseB = b.doc.BaseOf({JournalKind::Case, 5});
    JournalEntry onA = Correction(a.doc, 5, "Ａの術式");
    JournalEntry onB = Correction(b.doc, 5, "Ｂの術式");
    CString message;
    ASSERT_TRUE(a.doc.Confirm(onA, baseA, message)) << message.ToUtf8();
    EXPECT_FALSE(b.doc.Confirm(onB, baseB, message));
    const std::string said = message.ToUtf8();
    EXPECT_NE(said.find("別の端末"), std::string::npos) << said;
    EXPECT_NE(said.find("術式"), std::string::npos) << said;
    EXPECT_EQ(said.find("名前"), std::string::npos) << said; // only what a changed is named
    // b holds a's version now, and nothing of its own went to the server.
    EXPECT_EQ(b.doc.RecordAt(5).GetstrProcedure().ToUtf8(), "Ａの術式");
    EXPECT_EQ(Load()->RecordAt(5).GetstrProcedure().ToUtf8(), "Ａの術式");
    // Having seen it, the user confirms again: now b's version is kept.
    ASSERT_TRUE(b.doc.Confirm(onB, baseB, message)) << message.ToUtf8();
    EXPECT_EQ(Load()->RecordAt(5).GetstrProcedure().ToUtf8(), "Ｂの術式");

    // A list, the passwords and the hospital information the same way.
    registry::ChangeBase listA = a.doc.BaseOf({JournalKind::List, registry::kListRooms});
    registry::ChangeBase listB = b.doc.BaseOf({JournalKind::List, registry::kListRooms});
    JournalEntry roomA = listChange(a.doc.GetRoomList(), registry::kListRooms, "第9手術室");
    JournalEntry roomB = listChange(b.doc.GetRoomList(), registry::kListRooms, "第10手術室");
    ASSERT_TRUE(a.doc.Confirm(roomA, listA, message)) << message.ToUtf8();
    EXPECT_FALSE(b.doc.Confirm(roomB, listB, message));
    EXPECT_NE(message.ToUtf8().find("一覧「手術室」"), std::string::npos) << message.ToUtf8();
    EXPECT_EQ(b.doc.GetRoomList().GetSize(), roomA.items.GetSize()); // the list in force
    registry::ChangeBase first = a.doc.BaseOf({JournalKind::Hospital, -1});
    registry::ChangeBase second = b.doc.BaseOf({JournalKind::Hospital, -1});
    JournalEntry e;
    e.kind = JournalKind::Hospital;
    e.beds = 10;
    ASSERT_TRUE(a.doc.Confirm(e, first, message)) << message.ToUtf8();
    e.beds = 20;
    EXPECT_FALSE(b.doc.Confirm(e, second, message));
    EXPECT_NE(message.ToUtf8().find("病院情報は"), std::string::npos) << message.ToUtf8();
    EXPECT_TRUE(b.doc.Confirm(e, second, message)) << message.ToUtf8();
    EXPECT_EQ(Load()->GetBeds(), 20);
}

// A confirmation whose commit was not heard back (the connection went while it was kept) is
// tried again by the same dialog: the case it kept is corrected, not added a second time.
TEST_F(StoreServerTest, ATryThatWasKeptUnheardIsNotKeptTwice) {
    Workstation ws(m_conninfo, User());
    // The earlier try, as the server kept it: a case and its incident row under the token.
    std::unique_ptr<server::Connection> db = Connect();
    server::ServerError failed;
    JournalEntry first = NewCase(ws.doc, "一度目", 2022, true);
    std::vector<server::Param> params = server::CaseParams(first.record);
    std::string values;
    for (std::size_t i = 0; i < params.size(); ++i) {
        values += ", $" + std::to_string(i + 3);
    }
    params.insert(params.begin(), server::Param::Text("2022-05-06"));
    params.insert(params.begin(), server::Param::Int4(40));
    server::IncidentRow row;
    row.values = first.incidentValues;
    row.texts = first.incidentTexts;
    std::vector<server::Param> incident = server::IncidentParams(row);
    incident.insert(incident.begin(), server::Param::Int4(ws.doc.GetIncidentCount()));
    std::string incidentValues;
    for (std::size_t i = 0; i < incident.size(); ++i) {
        incidentValues += (i ? ", $" : "$") + std::to_string(i + 1);
    }
    ASSERT_TRUE(db->Exec("BEGIN; SELECT set_config('vora.token', 'earlier-try', true)", failed));
    ASSERT_TRUE(db->Query("INSERT INTO vora.incidents (row_index, " + server::IncidentColumnList() +
                              ", exact_texts) VALUES (" + incidentValues + ")",
                          incident, failed))
        << failed.message.ToUtf8();
    ASSERT_TRUE(db->Query("INSERT INTO vora.cases (record_index, surgery_date, " +
                              server::CaseColumnList() + ", exact_texts) VALUES ($1, $2" + values +
                              ")",
                          params, failed))
        << failed.message.ToUtf8();
    ASSERT_TRUE(db->Exec("COMMIT", failed));

    // The dialog tries again with what it holds now.
    JournalEntry again = NewCase(ws.doc, "二度目", 2022, true);
    registry::ChangeBase base;
    base.pendingToken = "earlier-try";
    CString message;
    ASSERT_TRUE(ws.doc.Confirm(again, base, message)) << message.ToUtf8();
    std::unique_ptr<CQuellmarkDoc> fresh = Load();
    EXPECT_EQ(fresh->GetRecordCount(), 41);
    EXPECT_EQ(fresh->GetIncidentCount(), ws.doc.GetIncidentCount());
    EXPECT_EQ(fresh->RecordAt(40).GetstrName().ToUtf8(), "二度目");
    EXPECT_TRUE(StoredBytes(ws.doc) == StoredBytes(*fresh));
}

TEST_F(StoreServerTest, AStoreWithoutItsConnectionRefusesAndConnectsAgainByItself) {
    long long now = 0;
    auto db = Connect(User());
    CQuellmarkDoc doc(CQuellmarkDoc::NoFile{});
    server::Versions versions;
    server::LoadNotes notes;
    CString error;
    ASSERT_TRUE(server::LoadRegistry(*db, doc, versions, notes, error));
    server::ServerStore::Hooks hooks;
    hooks.nowMs = [&now] { return now; };
    server::ServerStore store(m_conninfo, User(), std::move(db), doc, versions, hooks);
    ASSERT_TRUE(store.Start(error)) << error.ToUtf8();
    doc.SetStore(store);
    // The server ends this workstation's connection.
    Sql("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = current_database() "
        "AND pid <> pg_backend_pid()");
    JournalEntry change = NewCase(doc, "切断中", 2023);
    registry::ChangeBase base;
    CString message;
    EXPECT_FALSE(doc.Confirm(change, base, message));
    EXPECT_FALSE(message.IsEmpty());
    EXPECT_FALSE(store.IsConnected());
    EXPECT_EQ(doc.GetRecordCount(), 40);
    EXPECT_FALSE(doc.Confirm(change, base, message)); // still waiting
    EXPECT_NE(message.ToUtf8().find("接続していない"), std::string::npos) << message.ToUtf8();
    // The first wait is a second, the next ones longer.
    EXPECT_EQ(store.NextWait().timeoutMs, 1000);
    for (int tries = 0; tries < 200 && !store.IsConnected(); ++tries) {
        const server::ServerStore::Wait wait = store.NextWait();
        if (wait.fd >= 0) {
            pollfd ready{wait.fd, short(wait.write ? POLLOUT : POLLIN), 0};
            ::poll(&ready, 1, 1000);
        } else {
            now += wait.timeoutMs;
        }
        store.OnReady();
    }
    ASSERT_TRUE(store.IsConnected()) << store.StatusText().ToUtf8();
    ASSERT_TRUE(doc.Confirm(change, base, message)) << message.ToUtf8();
    EXPECT_EQ(Load()->GetRecordCount(), 41);

    // The administrator gives the general user a new password, and the connection goes
    // again: the old password is not tried over and over, the user is asked to log in anew.
    std::unique_ptr<server::Connection> owner = Connect();
    ASSERT_TRUE(server::SetRolePassword(*owner, m_roles.user, "次の一般", error)) << error.ToUtf8();
    Sql("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = current_database() "
        "AND pid <> pg_backend_pid()");
    for (int tries = 0; tries < 200; ++tries) {
        const server::ServerStore::Wait wait = store.NextWait();
        if (wait.fd < 0 && wait.timeoutMs < 0) {
            break;
        }
        if (wait.fd >= 0) {
            pollfd ready{wait.fd, short(wait.write ? POLLOUT : POLLIN), 0};
            ::poll(&ready, 1, 1000);
        } else {
            now += wait.timeoutMs;
        }
        store.OnReady();
    }
    EXPECT_NE(store.StatusText().ToUtf8().find("新しいパスワードでログインしてください"),
              std::string::npos)
        << store.StatusText().ToUtf8();
    EXPECT_FALSE(doc.Confirm(change, base, message));
    EXPECT_NE(message.ToUtf8().find("パスワードが変わったため"), std::string::npos);
}

} // namespace
