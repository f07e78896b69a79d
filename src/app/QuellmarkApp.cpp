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
#include "registry/ExportDoneDlg.h"
#include "registry/QuellmarkDoc.h"
#include "report/AggregateMenuDlg.h"

#include <memory>
#include <new>

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

// Loads vora.dat; a file that cannot be loaded is shown and the program ends without touching
// it.
std::unique_ptr<CQuellmarkDoc> loadDocument() {
    try {
        return std::make_unique<CQuellmarkDoc>();
    } catch (const fw::CFileException& e) {
        fw::ShowMessage(e.Message() +
                        "\r\n\r\nプログラムを終了します。ファイルは変更していません。"_sj);
    } catch (const std::bad_alloc&) {
        fw::ShowMessage(
            "「vora.dat」を読み込むためのメモリが足りません。プログラムを終了します。"_sj);
    }
    return nullptr;
}

} // namespace

int CQuellmarkApp::Run(int& argc, char** argv, const std::string& replayScript) {
    fw::InitApplication(argc, argv);
    CMainFrame frame;
    if (!replayScript.empty()) {
        fw::StartReplay(replayScript, frame);
    }
    std::unique_ptr<CQuellmarkDoc> doc = loadDocument();
    if (!doc) {
        return 1;
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
    frame.Show();
    view.OnInitialUpdate();
    return fw::RunEventLoop();
}
