#pragma once
// The main window's services: the application, a frame with menu and status bar, a view with
// child buttons and a scroll bar that paints from an off-screen image, drawing on such images,
// and printing. Which windows stand behind them is the framework's business alone.

#include "framework/String.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace fw {

// Creates the application object; call once, first thing in main.
void InitApplication(int& argc, char** argv);
// Loads Qt's Japanese texts for its own windows; done by InitApplication. False when they are
// not installed (the windows then speak English).
bool LoadQtTranslations();
// Runs the event loop until the main window is destroyed; returns the exit status.
int RunEventLoop();
// Runs task from the event loop, after what is being handled now.
void PostTask(std::function<void()> task);

struct Rgb {
    unsigned char r, g, b;
};
constexpr Rgb kWhiteRgb{255, 255, 255};
constexpr Rgb kBlackRgb{0, 0, 0};

// Off-screen images, and the main window, are never larger than this a side: it is more than
// the largest screens show (7680 × 4320), and an image of a window made huge would take
// gigabytes (three of 50000 × 50000 pixels are 30 GB).
constexpr int kMaxImageSide = 8192;

// An off-screen image and the drawing the view needs on it. Text is black on the background
// colour, in the list font (a Japanese gothic font, 8 pixels for a half-width character).
// Drawing beyond the image is cut off.
class CDC {
public:
    CDC();
    ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    // A white image of width × height, each side cut to 1 .. kMaxImageSide. False when the
    // memory for it could not be had; the image is then the one there was.
    bool Create(int width, int height);
    // One of the program's pictures, by name ("background"); false when there is none.
    bool LoadPicture(const char* name);
    int Width() const;
    int Height() const;

    void FillSolidRect(int x, int y, int width, int height, Rgb color);
    void SetPixel(int x, int y, Rgb color);
    void SetBkColor(Rgb color);
    void TextOut(int x, int y, const CString& text);
    // Lines with the black pen; the end point is not drawn.
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    // Copies width × height pixels of source at (sx, sy) to (x, y).
    void BitBlt(int x, int y, int width, int height, const CDC& source, int sx, int sy);
    // The pixel at (x, y), for tests.
    Rgb GetPixel(int x, int y) const;
    bool SavePng(const std::string& path) const;

    struct Impl;

private:
    friend struct WindowAccess;
    std::unique_ptr<Impl> m_impl;
};

// Scroll bar actions, as the view receives them.
enum ScrollCode {
    kScrollLineUp,
    kScrollLineDown,
    kScrollPageUp,
    kScrollPageDown,
    kScrollThumbPosition,
    kScrollThumbTrack,
    kScrollTop,
    kScrollBottom,
    kScrollEnd,
};

// Keys the view tells apart; every other key arrives as kKeyOther.
enum ViewKey { kKeyOther, kKeyUp, kKeyDown, kKeyPageUp, kKeyPageDown, kKeyHome, kKeyEnd };

// The client area of the main window: child push buttons and one vertical scroll bar, painted
// by copying from an image that the view keeps up to date.
class CViewWnd {
public:
    CViewWnd();
    virtual ~CViewWnd();
    CViewWnd(const CViewWnd&) = delete;
    CViewWnd& operator=(const CViewWnd&) = delete;

    // A push button at left, top, right, bottom; created hidden and disabled.
    void CreateButton(int id, const CString& caption, int left, int top, int right, int bottom);
    // The vertical scroll bar, created visible at an empty rectangle.
    void CreateScrollBar(int id);
    void ShowControl(int id, bool show);
    void EnableControl(int id, bool enable);
    bool IsControlVisible(int id) const;
    bool IsControlEnabled(int id) const;
    bool HasControl(int id) const;
    void MoveControl(int id, int x, int y, int width, int height);
    // Clicks a child button as the user would.
    void ClickControl(int id);

    void SetScrollRange(int minPos, int maxPos);
    void SetScrollPos(int pos);
    int GetScrollPos() const;
    void GetScrollRange(int& minPos, int& maxPos) const;

    int ClientWidth() const;
    int ClientHeight() const;
    // The image that painting copies; the view owns it.
    void SetImage(const CDC* image);
    void Invalidate();
    void InvalidateRect(int left, int top, int right, int bottom);
    void SetFocus();
    // One press of a named key with its repeat count, as the window system would deliver it,
    // for the automation runner.
    bool SendKey(const std::string& name, int repeat, std::string& error);
    // A left click at client coordinates, as the user would make it.
    void ClickAt(int x, int y);

protected:
    // Painting has copied the image; the view may start work of its own from here.
    virtual void OnDraw() {}
    virtual void OnSize(int /*width*/, int /*height*/) {}
    virtual void OnLButtonDown(int /*x*/, int /*y*/) {}
    // repeat: how many times the key counts, 1 or more.
    virtual void OnKeyDown(ViewKey /*key*/, int /*repeat*/) {}
    virtual void OnVScroll(ScrollCode /*code*/, int /*pos*/) {}
    virtual void OnMouseWheel(int /*steps*/) {}
    virtual void OnCommand(int /*id*/) {}

public:
    struct Impl;

private:
    friend struct WindowAccess;
    std::unique_ptr<Impl> m_impl;
};

struct MenuItemSpec {
    int id;           // 0 for a separator
    const char* text; // UTF-8; a tab separates the shortcut shown
};
struct MenuSpec {
    const char* title;
    std::vector<MenuItemSpec> items;
};

// The main window: caption, menu bar, the view as its client area and a status bar.
class CFrameWnd {
public:
    CFrameWnd();
    virtual ~CFrameWnd();
    CFrameWnd(const CFrameWnd&) = delete;
    CFrameWnd& operator=(const CFrameWnd&) = delete;

    // Builds the window around view with a client area of width × height pixels.
    // The status bar shows the idle text whenever no other message is shown.
    void Create(const char* titleUtf8, int width, int height, const std::vector<MenuSpec>& menus,
                CViewWnd& view, const char* idleTextUtf8,
                const std::vector<const char*>& indicatorsUtf8);
    void Show();
    // Closes the window for good; the event loop ends with status 0.
    void Destroy();
    // Asks to close as the caption's close button does; OnCloseRequest decides.
    void RequestClose();
    // Each side is cut to kMaxImageSide, the largest the window may become.
    void SetClientSize(int width, int height);
    bool IsStatusBarVisible() const;
    void ShowStatusBar(bool show);
    // A lasting text at the right of the status bar (where the registry is kept, say); empty
    // hides it.
    void SetStatusText(const CString& text);
    CString GetStatusText() const;
    bool HasMenuItem(int id) const;
    // Whether the update handler enables the command.
    bool IsCommandEnabled(int id);
    // Ctrl+key of the main window, handled by OnCommand(id).
    void AddAccelerator(const char* keySequence, int id);
    // Runs a command as the menu would.
    void RunCommand(int id) { OnCommand(id); }

protected:
    // Update handler: whether command id is enabled now, and whether it shows a check mark.
    virtual bool OnUpdateCommand(int /*id*/, bool& /*checked*/) { return false; }
    virtual void OnCommand(int /*id*/) {}
    // The caption's close button or the window system asks to close; true lets it close.
    virtual bool OnCloseRequest() { return false; }

public:
    struct Impl;

private:
    friend struct WindowAccess;
    std::unique_ptr<Impl> m_impl;
};

// A list printed as a document. Every page is headed by the title with the page number at its
// right, the first page then by the head lines (what the list holds), and every page by the
// column headers; the rows follow, and the footer text (the day it was printed) stands at the
// foot of every page. The columns share the page's width by the widest text each holds on the
// page; a text still too wide is cut after a whole character and ends with "…".
struct PrintedList {
    CString title;
    std::vector<CString> headLines;
    std::vector<CString> headers;
    int rowCount = 0;
    // The cells of a row (0 = first), asked for as its page is drawn, so that a long list costs
    // no memory before it is printed. Whole texts: the page decides how much of each it shows.
    std::function<std::vector<CString>(int row)> rowAt;
    CString footer;
};

// Prints the list through the print dialog (A4 portrait unless the user chooses otherwise), or
// shows it in the print preview, from which it can be printed. False when the user cancelled.
bool PrintList(const PrintedList& list, bool preview);
// Writes the same pages to a PDF file; false with the reason in error when that fails.
bool PrintListToPdf(const PrintedList& list, const std::string& path, std::string& error);

} // namespace fw
