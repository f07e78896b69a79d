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
#include "server/Schema.h"
#include "server/ServerStore.h"

#include <csignal>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <unistd.h>

namespace {

bool promptLogin(CQuellmarkDoc& doc, int& generalUser) {
    CLoginDlg login;
    login.m_strUserPassword = doc.GetUserPassword();
    login.m_strAdminPassword = doc.GetAdminPassword();
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

// The department server: connected, its registry loaded as it stands now. The connection is
// the store's once the window is built.
std::unique_ptr<CQuellmarkDoc> openServer(const std::string& conninfo,
                                          std::unique_ptr<server::Connection>& db,
                                          server::Versions& versions) {
    db = std::make_unique<server::Connection>();
    CString error;
    if (!db->Open(conninfo, error)) {
        showServerFailure("サーバーに接続できません（"_sj + error +
                          "）。接続文字列（--server または設定ファイルの server）、ネットワーク、"
                          "サーバーが動いているかを確かめてください。"_sj);
        return nullptr;
    }
    if (const CString problem = server::SchemaProblem(server::SchemaVersionOf(*db));
        !problem.IsEmpty()) {
        showServerFailure(problem + "。"_sj);
        return nullptr;
    }
    try {
        auto doc = std::make_unique<CQuellmarkDoc>(CQuellmarkDoc::NoFile{});
        server::LoadNotes notes;
        if (!server::LoadRegistry(*db, *doc, versions, notes, error)) {
            showServerFailure("サーバーの台帳を読み込めません（"_sj + error + "）。"_sj);
            return nullptr;
        }
        if (notes.replacedCharacters > 0) {
            fw::ShowMessage(CString::Formatted("%d", notes.replacedCharacters) +
                            " 字の Shift-JIS にない文字（ほかのプログラムで書き込まれたもの）を"
                            "「〓」で表示します。"_sj);
        }
        return doc;
    } catch (const std::bad_alloc&) {
        showServerFailure("サーバーの台帳を読み込むためのメモリが足りません。"_sj);
    }
    return nullptr;
}

// Keeps the store's waits in the event loop and its state in the status bar.
class ServerSession {
    static constexpr int kBusyRetryMs = 100;

public:
    ServerSession(const std::string& conninfo, std::unique_ptr<server::Connection> db,
                  CQuellmarkDoc& doc, server::Versions versions, CMainFrame& frame,
                  CQuellmarkView& view)
        : m_frame(frame) {
        server::ServerStore::Hooks hooks;
        hooks.changed = [&view] { view.OnDocumentChanged(); };
        hooks.status = [this] { showStatus(); };
        hooks.rewatch = [this] { rearm(); };
        m_store = std::make_unique<server::ServerStore>(conninfo, std::move(db), doc,
                                                        std::move(versions), std::move(hooks));
        doc.SetStore(*m_store);
    }

    // Listens and brings in what changed since the load; false after a message.
    bool Start() {
        CString error;
        if (!m_store->Start(error) && m_store->IsConnected()) {
            showServerFailure("サーバーの変更を受け取れません（"_sj + error + "）。"_sj);
            return false;
        }
        showStatus();
        rearm();
        return true;
    }

private:
    void showStatus() { m_frame.SetStatusText(m_store->StatusText()); }
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

    CMainFrame& m_frame;
    std::unique_ptr<server::ServerStore> m_store;
    fw::EventWatch m_watch;
};

} // namespace

int CQuellmarkApp::Run(int& argc, char** argv, const std::string& replayScript,
                       const std::string& server) {
    // A write beyond a file size limit fails with EFBIG and is reported like any other.
    std::signal(SIGXFSZ, SIG_IGN);
    fw::InitApplication(argc, argv);
    fw::EndOnSignals();
    CMainFrame frame;
    if (!replayScript.empty()) {
        fw::StartReplay(replayScript, frame);
    }
    fw::FileLock lock;
    std::unique_ptr<server::Connection> db;
    server::Versions versions;
    std::unique_ptr<CQuellmarkDoc> doc =
        server.empty() ? openDataFile(lock) : openServer(server, db, versions);
    if (!doc) {
        return 1;
    }
    if (fw::IsEnding()) {
        return 0;
    }
    listview::ViewCommands commands;
    commands.login = [&doc](int& generalUser) { return promptLogin(*doc, generalUser); };
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
    std::unique_ptr<ServerSession> session;
    if (db) {
        session = std::make_unique<ServerSession>(server, std::move(db), *doc, std::move(versions),
                                                  frame, view);
        if (!session->Start()) {
            return 1;
        }
    }
    frame.Show();
    view.OnInitialUpdate();
    if (fw::IsEnding()) {
        return 0;
    }
    return fw::RunEventLoop();
}
