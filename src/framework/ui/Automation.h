#pragma once
// What the automation script runner needs of the main window; the main frame implements it.
// Texts are UTF-8. A call that cannot do what the step asks returns false and says why in
// error, in a few English words for the script's log.

#include "framework/ui/Window.h"

#include <string>

namespace fw {

struct IMainAutomation {
    virtual ~IMainAutomation() = default;
    // Command buttons 101-106 of the view; fails when the button is hidden or disabled.
    virtual bool press(int id, std::string& error) = 0;
    // A menu command; fails when the item is disabled or unknown.
    virtual bool menu(int commandId, std::string& error) = 0;
    // A left click at client coordinates of the view.
    virtual bool click(int x, int y, std::string& error) = 0;
    // One press of Return, Escape, Tab, Up, Down, PageUp, PageDown, Home, End, F1-F12 or one
    // character, with repeat as its repeat count.
    virtual bool key(const std::string& name, int repeat, std::string& error) = 0;
    // A scroll bar action; pos is the thumb's position for kScrollThumbPosition.
    virtual bool scroll(ScrollCode code, int pos, std::string& error) = 0;
    // Gives the view a client area of width × height pixels.
    virtual bool resize(int width, int height, std::string& error) = 0;
    // The caption's close button.
    virtual void close() = 0;
    // Buttons 101-106, the scroll bar 107 and menu items by command id.
    virtual bool enabled(int id, bool& value, std::string& error) = 0;
    virtual bool visible(int id, bool& value, std::string& error) = 0;
    virtual int rows() = 0;
    // The lasting text of the status bar (where the registry is kept), empty when none.
    virtual std::string statusText() = 0;
    // row from 1 (the first case of the list), col from 1 to 6.
    virtual bool cell(int row, int col, std::string& utf8, std::string& error) = 0;
    // Prints the list with the printer's page drawing into a PDF file at path.
    virtual bool printPdf(const std::string& path, std::string& error) = 0;
};

} // namespace fw
