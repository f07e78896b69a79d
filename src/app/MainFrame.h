#pragma once
// The main window: caption, menu, status bar and the case list as its client area. It also
// answers the automation runner for the main window.

#include "framework/ui/Automation.h"
#include "framework/ui/Window.h"

#include <functional>

class CQuellmarkView;

namespace app {

// Command ids of the menu and the accelerators.
enum MainCommand {
    kCmdExportList = 32771,
    kCmdExportWorkbook = 32772,
    kCmdForcedExit = 57665,
    kCmdUndo = 57643,
    kCmdCut = 57635,
    kCmdCopy = 57634,
    kCmdPaste = 57637,
    kCmdStatusBar = 59393,
    kCmdAbout = 57664,
    kCmdPrint = 57607,
    kCmdPrintDirect = 57608,
    kCmdPrintPreview = 57609,
};

} // namespace app

class CMainFrame : public fw::CFrameWnd, public fw::IMainAutomation {
public:
    CMainFrame();
    // exportList and exportWorkbook run the patient list exports (kCmdExportList,
    // kCmdExportWorkbook).
    void Create(CQuellmarkView& view, std::function<void()> exportList = {},
                std::function<void()> exportWorkbook = {});
    // Runs when the forced exit throws the session's changes away, before the window goes.
    void OnForcedExit(std::function<void()> discard) { m_discard = std::move(discard); }

    // fw::IMainAutomation
    bool press(int id, std::string& error) override;
    bool menu(int commandId, std::string& error) override;
    bool click(int x, int y, std::string& error) override;
    bool key(const std::string& name, int repeat, std::string& error) override;
    bool scroll(fw::ScrollCode code, int pos, std::string& error) override;
    bool resize(int width, int height, std::string& error) override;
    void close() override;
    bool enabled(int id, bool& value, std::string& error) override;
    bool visible(int id, bool& value, std::string& error) override;
    int rows() override;
    std::string statusText() override;
    bool cell(int row, int col, std::string& utf8, std::string& error) override;
    bool printPdf(const std::string& path, std::string& error) override;

protected:
    bool OnUpdateCommand(int id, bool& checked) override;
    void OnCommand(int id) override;
    bool OnCloseRequest() override;

private:
    bool isCommand(int id) const;

    bool isAdministratorAtWork() const;

    CQuellmarkView* m_view = nullptr;
    std::function<void()> m_exportList;
    std::function<void()> m_exportWorkbook;
    std::function<void()> m_discard;
};
