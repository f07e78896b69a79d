#include "app/QuellmarkApp.h"

#include "app/LoginDlg.h"
#include "app/MainFrame.h"
#include "entry/CaseFormDlg.h"
#include "framework/ui/Dialog.h"
#include "framework/ui/Replay.h"
#include "framework/ui/Window.h"
#include "listview/DisplayItemsDlg.h"
#include "listview/FilterDlg.h"
#include "listview/QuellmarkView.h"
#include "registry/AdminMenuDlg.h"
#include "registry/DataFolderAccess.h"
#include "registry/ExportDoneDlg.h"
#include "registry/QuellmarkDoc.h"
#include "report/AggregateMenuDlg.h"

#include "framework/FileTools.h"
#include "framework/Time32.h"
#include "framework/ui/EventWatch.h"
#include "framework/ui/ProgressDialog.h"
#include "framework/ui/Signals.h"
#include "server/Connection.h"
#include "server/Registry.h"
#include "server/Rows.h"
#include "server/Schema.h"
#include "server/ServerStore.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <unistd.h>

namespace {

class ServerSession;
int checkAtServer(ServerSession& session, const CString& password);

// The login prompt; with a server, the server checks the password.
bool promptLogin(CQuellmarkDoc& doc, int& generalUser, ServerSession* session) {
    CLoginDlg login;
    login.m_strUserPassword = doc.GetUserPassword();
    login.m_strAdminPassword = doc.GetAdminPassword();
    if (session) {
        login.m_check = [session](const CString& password) {
            return checkAtServer(*session, password);
        };
    }
    if (login.DoModal() != fw::kIdOk) {
        return false;
    }
    generalUser = login.m_bGeneralUser;
    return true;
}

void showLoadFailure(const fw::CFileException& e) {
    fw::ShowMessage(e.Message() +
                    "\r\n\r\nプログラムを終了します。ファイルは変更していません。"_sj);
}

// Whether vora.dat can be opened as the loader will open it. One that cannot (a link to a
// disk that is not mounted, a FIFO, a file this user may not read) is named before anything
// is made beside it.
bool dataFileOpens() {
    try {
        bool missing = false;
        fw::CDiskFile file(CQuellmarkDoc::kDataFileName, &missing);
        return true;
    } catch (const fw::CFileException& e) {
        showLoadFailure(e);
        return false;
    }
}

// Loads vora.dat; a file that cannot be loaded is shown and the program ends without touching
// it.
std::unique_ptr<CQuellmarkDoc> loadDocument() {
    try {
        return std::make_unique<CQuellmarkDoc>();
    } catch (const fw::CFileException& e) {
        showLoadFailure(e);
    } catch (const std::bad_alloc&) {
        fw::ShowMessage(
            "「vora.dat」を読み込むためのメモリが足りません。プログラムを終了します。"_sj);
    }
    return nullptr;
}

// Who holds the lock, as the next program shows it: host, process and start time.
std::string lockOwner() {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) {
        host[0] = '\0';
    }
    const fw::LocalDateTime now = fw::LocalNow();
    char started[32];
    std::snprintf(started, sizeof started, "%04d/%02d/%02d %02d:%02d:%02d", now.year % 10000,
                  now.month, now.day, now.hour, now.minute, now.second);
    return std::string(host) + "\n" + std::to_string(::getpid()) + "\n" + started + "\n";
}

CString heldMessage(const std::string& holder) {
    std::istringstream lines(holder);
    std::string parts[3];
    for (std::string& part : parts) {
        std::getline(lines, part);
    }
    CString text = "このデータファイルは別のプログラムが使用中です（コンピューター "_sj;
    const CString unknown = "不明"_sj;
    auto add = [&text, &unknown](const std::string& utf8) {
        CString part;
        text += !utf8.empty() && CString::FromUtf8(utf8, part) ? part : unknown;
    };
    add(parts[0]);
    text += "、プロセス "_sj;
    add(parts[1]);
    text += "、"_sj;
    add(parts[2]);
    text += " から）。そのプログラムを終了してから起動し直してください。このプログラムは終了しま"
            "す。"_sj;
    return text;
}

// One program per data file, and only where it can keep its changes safely: the lock, the
// journal, the backups and the save at logout must all be possible. False, after a message,
// when another program holds the data file or something of these cannot be written; nothing
// has been changed then.
bool lockDataFile(fw::FileLock& lock) {
    std::string target;
    int error = 0;
    if (!fw::ResolveLinks(CQuellmarkDoc::kDataFileName, target, error)) {
        target = CQuellmarkDoc::kDataFileName;
    }
    if (const std::optional<registry::AccessProblem> problem =
            registry::FindAccessProblem(target)) {
        fw::ShowMessage(registry::UnsafeDataFileMessage(*problem));
        return false;
    }
    const std::string lockPath = target + ".lock";
    std::string holder;
    switch (lock.Take(lockPath, lockOwner(), holder, error, fw::FilePolicy::Beside(target))) {
    case fw::FileLock::Result::Taken:
        break;
    case fw::FileLock::Result::Held:
        fw::ShowMessage(heldMessage(holder));
        return false;
    case fw::FileLock::Result::Failed:
        fw::ShowMessage(registry::UnsafeDataFileMessage({fw::BaseNameOf(lockPath), error}));
        return false;
    }
    // What an ended program left half-written is no one's now.
    fw::RemoveMatchingFiles(fw::DirectoryOf(target),
                            {"." + fw::BaseNameOf(target) + ".tmp??????",
                             "." + fw::BaseNameOf(target) + ".journal.tmp??????"});
    fw::RemoveMatchingFiles(
        ".", {".vora_list.csv.tmp??????", ".vora_list.xlsx.tmp??????", ".KRV*.txt.tmp??????"});
    return true;
}

fw::LocalDate today() {
    const fw::LocalDateTime now = fw::LocalNow();
    return {now.year, now.month, now.day};
}

// The journal of this session, and what an earlier one left: applied, or put aside.
void keepChanges(CQuellmarkDoc& doc) {
    registry::ChangeJournal& journal = doc.GetJournal();
    journal.Enable(doc.GetDataFilePath(), [](const CString& text) { fw::ShowMessage(text); });
    journal.SetBase(doc.GetFileIdentity());
    const registry::ChangeJournal::Recovery recovery = journal.Recover(doc, fw::LocalNow());
    if (!recovery.message.IsEmpty()) {
        fw::ShowMessage(recovery.message);
    }
    doc.EnableDailyBackups(today);
}

// The data file: one program at a time, the journal of what an earlier run left, then loaded.
std::unique_ptr<CQuellmarkDoc> openDataFile(fw::FileLock& lock) {
    if (!dataFileOpens() || !lockDataFile(lock)) {
        return nullptr;
    }
    std::unique_ptr<CQuellmarkDoc> doc = loadDocument();
    if (doc) {
        keepChanges(*doc);
    }
    return doc;
}

void showServerFailure(const CString& what) {
    fw::ShowMessage(what + "\r\n\r\nプログラムを終了します。"_sj);
}

// The department's server: reached at start (no password is needed for that), logged in to
// with the password the login prompt takes, which is one of the registry's two roles'. The
// registry is loaded at the first login and brought up to date at every later one; a logout
// ends the connection. The store's waits run in the event loop, its state shows in the status
// bar.
class ServerSession {
public:
    static constexpr int kBusyRetryMs = 100;
    // Wrong passwords in a row after which each try waits, and how long.
    static constexpr int kFreeTries = 5;
    static constexpr long long kTryWaitMs = 30000;

    ServerSession(std::string conninfo, server::Roles roles, CQuellmarkDoc& doc)
        : m_conninfo(std::move(conninfo)), m_roles(std::move(roles)), m_doc(doc) {}

    // Whether the server answers at all; false after a message when it does not.
    bool Reachable() {
        CString error;
        if (server::Connection::Reachable(m_conninfo, error)) {
            return true;
        }
        showServerFailure("サーバーに接続できません（"_sj + error +
                          "）。接続文字列（--server または設定ファイルの server）、ネットワーク、"
                          "サーバーが動いているかを確かめてください。"_sj);
        return false;
    }

    void Attach(CMainFrame& frame, CQuellmarkView& view) {
        m_frame = &frame;
        m_view = &view;
    }

    // The login prompt's check of a password: 0 the administrator's, 1 the general user's, -1
    // neither (or nothing could be checked: the user was told).
    int Check(const CString& password) {
        const long long now = steadyMs();
        if (m_failures >= kFreeTries && now < m_nextTry) {
            fw::ShowMessage(CString::Formatted("%d", kFreeTries) +
                            " 回続けてパスワードが違ったため、あと "_sj +
                            CString::Formatted("%lld", (m_nextTry - now + 999) / 1000) +
                            " 秒待ってから入力してください。"_sj);
            return -1;
        }
        std::string typed;
        server::TextToUtf8(password.view(), typed);
        auto db = std::make_unique<server::Connection>();
        CString error;
        bool wrong = false;
        int role = -1;
        for (const auto& [name, general] : {std::pair{m_roles.admin, 0}, {m_roles.user, 1}}) {
            if (db->Open(m_conninfo, error, {name, typed}, &wrong)) {
                role = general;
                break;
            }
            if (!wrong) {
                fw::ShowMessage("サーバーにログインできません（"_sj + error + "）。"_sj);
                return -1;
            }
        }
        if (role < 0) {
            // The server logs each failure with the workstation; here each try after the free
            // ones waits.
            if (++m_failures >= kFreeTries) {
                m_nextTry = now + kTryWaitMs;
            }
            return -1;
        }
        m_failures = 0;
        const server::Login login{role == 0 ? m_roles.admin : m_roles.user, typed};
        return begin(login, std::move(db)) ? role : -1;
    }

    // The program ended because the server's registry could not be used.
    bool Failed() const { return m_failed; }

private:
    static long long steadyMs() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    bool begin(const server::Login& login, std::unique_ptr<server::Connection> db) {
        CString error;
        if (m_store) {
            if (!m_store->Resume(login, std::move(db), error) && m_store->IsConnected()) {
                fw::ShowMessage("サーバーの変更を受け取れません（"_sj + error + "）。"_sj);
            }
            rearm();
            return true;
        }
        if (const CString problem = server::SchemaProblem(server::SchemaVersionOf(*db));
            !problem.IsEmpty()) {
            return fail(problem + "。"_sj);
        }
        server::Versions versions;
        try {
            server::LoadNotes notes;
            if (!server::LoadRegistry(*db, m_doc, versions, notes, error)) {
                return fail("サーバーの台帳を読み込めません（"_sj + error + "）。"_sj);
            }
            if (notes.replacedCharacters > 0) {
                fw::ShowMessage(CString::Formatted("%d", notes.replacedCharacters) +
                                " 字の Shift-JIS にない文字（ほかのプログラムで書き込まれたもの）"
                                "を「〓」で表示します。"_sj);
            }
        } catch (const std::bad_alloc&) {
            return fail("サーバーの台帳を読み込むためのメモリが足りません。"_sj);
        }
        server::ServerStore::Hooks hooks;
        hooks.changed = [this] { m_view->OnDocumentChanged(); };
        hooks.status = [this] { showStatus(); };
        hooks.rewatch = [this] { rearm(); };
        m_store = std::make_unique<server::ServerStore>(m_conninfo, login, std::move(db), m_doc,
                                                        std::move(versions), std::move(hooks));
        m_doc.SetStore(*m_store);
        if (!m_store->Start(error) && m_store->IsConnected()) {
            fw::ShowMessage("サーバーの変更を受け取れません（"_sj + error + "）。"_sj);
        }
        showStatus();
        rearm();
        return true;
    }

    bool fail(const CString& what) {
        showServerFailure(what);
        m_failed = true;
        fw::EndProgramNow();
        return false;
    }

    void showStatus() { m_frame->SetStatusText(m_store->StatusText()); }

    void rearm() {
        const server::ServerStore::Wait wait = m_store->NextWait();
        if (wait.fd < 0 && wait.timeoutMs < 0) {
            m_watch.Disarm();
            return;
        }
        m_watch.Arm(wait.fd, wait.write, wait.timeoutMs, [this] {
            if (fw::IsWorkRunning()) {
                // An export or a print reads the document meanwhile: the others' changes wait.
                m_watch.Arm(-1, false, kBusyRetryMs, [this] { rearm(); });
                return;
            }
            m_store->OnReady();
            rearm();
        });
    }

    std::string m_conninfo;
    server::Roles m_roles;
    CQuellmarkDoc& m_doc;
    CMainFrame* m_frame = nullptr;
    CQuellmarkView* m_view = nullptr;
    std::unique_ptr<server::ServerStore> m_store;
    fw::EventWatch m_watch;
    int m_failures = 0;
    long long m_nextTry = 0;
    bool m_failed = false;
};

int checkAtServer(ServerSession& session, const CString& password) {
    return session.Check(password);
}

} // namespace

int CQuellmarkApp::Run(int& argc, char** argv, const std::string& replayScript,
                       const std::string& server, const std::string& userRole,
                       const std::string& adminRole) {
    // A write beyond a file size limit fails with EFBIG and is reported like any other.
    std::signal(SIGXFSZ, SIG_IGN);
    fw::InitApplication(argc, argv);
    fw::EndOnSignals();
    CMainFrame frame;
    if (!replayScript.empty()) {
        fw::StartReplay(replayScript, frame);
    }
    fw::FileLock lock;
    std::unique_ptr<CQuellmarkDoc> doc;
    std::unique_ptr<ServerSession> session;
    if (server.empty()) {
        doc = openDataFile(lock);
    } else {
        doc = std::make_unique<CQuellmarkDoc>(CQuellmarkDoc::NoFile{});
        session = std::make_unique<ServerSession>(server, server::Roles{userRole, adminRole}, *doc);
        if (!session->Reachable()) {
            return 1;
        }
    }
    if (!doc) {
        return 1;
    }
    if (fw::IsEnding()) {
        return 0;
    }
    listview::ViewCommands commands;
    commands.login = [&doc, &session](int& generalUser) {
        return promptLogin(*doc, generalUser, session.get());
    };
    commands.newCase = [&doc] { entry::RunNewCase(*doc); };
    commands.openCase = [&doc](int recordIndex) { entry::RunExistingCase(*doc, recordIndex); };
    commands.displayItems = [](CQuellmarkView& v) {
        listview::RunDisplayItems(v.m_nColumn, v.m_tStart, v.m_tEnd);
    };
    commands.filter = [&doc](CQuellmarkView& v) {
        listview::RunFilter(*doc, v.m_filter, v.m_tStart, v.m_tEnd);
    };
    commands.aggregate = [&doc] { report::RunAggregateMenu(*doc); };
    commands.adminMenu = [&doc] { registry::OnAdminMenu(*doc); };
    commands.closeMainWindow = [&frame] { frame.RequestClose(); };
    CQuellmarkView view(*doc, std::move(commands));
    frame.Create(
        view, [&doc] { registry::OnExportList(*doc); },
        [&doc] { registry::OnExportWorkbook(*doc); });
    frame.OnForcedExit([&doc] { doc->GetJournal().Discard(); });
    if (session) {
        session->Attach(frame, view);
    }
    frame.Show();
    view.OnInitialUpdate();
    if (fw::IsEnding()) {
        return session && session->Failed() ? 1 : 0;
    }
    const int status = fw::RunEventLoop();
    return session && session->Failed() ? 1 : status;
}
