#include "framework/ui/Window.h"

#include "framework/ui/DialogImpl.h"
#include "framework/ui/InputSimulation.h"
#include "framework/ui/ProgressDialog.h"

#include <QAbstractSlider>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QMainWindow>
#include <QMenuBar>
#include <QPageLayout>
#include <QPaintEngine>
#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QTranslator>

#include <clocale>
#include <map>

// The pictures live in the library; the executable must ask for them to be linked in. The
// macro declares a function of the global namespace, so it cannot stand inside fw.
static void initResources() {
    Q_INIT_RESOURCE(resources);
}

namespace fw {

// The framework's way into the windows' insides and their protected handlers.
struct WindowAccess {
    static CDC::Impl& impl(const CDC& dc) { return *dc.m_impl; }
    static CViewWnd::Impl& impl(const CViewWnd& view) { return *view.m_impl; }
    static void draw(CViewWnd& view) { view.OnDraw(); }
    static void size(CViewWnd& view, int width, int height) { view.OnSize(width, height); }
    static void lButtonDown(CViewWnd& view, int x, int y) { view.OnLButtonDown(x, y); }
    static void keyDown(CViewWnd& view, ViewKey key, int repeat) { view.OnKeyDown(key, repeat); }
    static void vScroll(CViewWnd& view, ScrollCode code, int pos) { view.OnVScroll(code, pos); }
    static void mouseWheel(CViewWnd& view, int steps) { view.OnMouseWheel(steps); }
    static void command(CViewWnd& view, int id) { view.OnCommand(id); }
    static bool updateCommand(CFrameWnd& frame, int id, bool& checked) {
        return frame.OnUpdateCommand(id, checked);
    }
    static void command(CFrameWnd& frame, int id) { frame.OnCommand(id); }
    static bool closeRequest(CFrameWnd& frame) { return frame.OnCloseRequest(); }
};

namespace {

QString fromBytes(const CString& text) {
    return QString::fromStdString(text.ToUtf8());
}

constexpr int kListPixelSize = 16;
constexpr int kListSmallestPixelSize = 10;
constexpr int kListByteWidth = 8; // pixels a byte of text may take: the columns give it 9

// Whether every cp932 character drawn in font takes at most kListByteWidth pixels a byte: all
// of ASCII one width (dates and IDs line up), the half-width katakana no more, the double-byte
// characters no more than twice that. The
// font's own word on its pitch is no help: fontconfig calls the Japanese monospaced fonts
// "dual" and Qt then says they are not fixed.
bool keepsByteWidth(const QFont& font) {
    const QFontMetrics metrics(font);
    const int half = metrics.horizontalAdvance(QLatin1Char('0'));
    if (half > kListByteWidth) {
        return false;
    }
    for (char16_t c = 0x20; c < 0x7F; ++c) {
        if (metrics.horizontalAdvance(QChar(c)) != half) {
            return false;
        }
    }
    for (char16_t c = 0xFF61; c <= 0xFF9F; ++c) { // half-width katakana
        if (metrics.horizontalAdvance(QChar(c)) > half) {
            return false;
        }
    }
    for (QChar c : QStringLiteral("あア漢字０ＡＷｍ－ー：／（）＋～①")) {
        if (metrics.horizontalAdvance(c) > 2 * half) {
            return false;
        }
    }
    return true;
}

QFont listFontFor(const char* family, int pixelSize) {
    QFont font(QString::fromLatin1(family));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(pixelSize);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// The list font: a Japanese gothic font in which a half-width character is 8 pixels wide, so
// that the column widths of 9 pixels a byte leave a little air. The families are asked for by
// their own names, which fontconfig matches whatever the session's language (its list of
// families names them in that language), and what it matched is measured; the generic
// monospaced font comes last, made smaller if it must.
const QFont& listFont() {
    static const QFont font = [] {
        for (const char* family : {"IPAGothic", "VL Gothic", "Noto Sans Mono CJK JP"}) {
            const QFont f = listFontFor(family, kListPixelSize);
            if (keepsByteWidth(f)) {
                return f;
            }
        }
        for (int size = kListPixelSize; size >= kListSmallestPixelSize; --size) {
            const QFont f = listFontFor("monospace", size);
            if (keepsByteWidth(f)) {
                return f;
            }
        }
        qWarning("vora: no font keeps the list's texts within their columns; install "
                 "fonts-ipafont-gothic, fonts-vlgothic or fonts-noto-cjk");
        return listFontFor("monospace", kListSmallestPixelSize);
    }();
    return font;
}

QColor toColor(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

} // namespace

void InitApplication(int& argc, char** argv) {
    static QApplication* app = nullptr;
    if (app) {
        return;
    }
    app = new QApplication(argc, argv);
    initResources();
    QApplication::setApplicationName(QStringLiteral("vora"));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/vora/vora.png")));
    LoadQtTranslations();
    // Qt takes the locale from the environment; numbers are always read and written the C way.
    std::setlocale(LC_NUMERIC, "C");
}

bool LoadQtTranslations() {
    // Qt's own windows (the print dialog, the preview, an edit's context menu) speak Japanese
    // like the rest of the program, whatever the session's language.
    static QTranslator* translator = nullptr;
    if (translator) {
        return true;
    }
    auto* loaded = new QTranslator(qApp);
    if (!loaded->load(QStringLiteral("qtbase_ja"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete loaded;
        return false;
    }
    QCoreApplication::installTranslator(loaded);
    translator = loaded;
    return true;
}

int RunEventLoop() {
    return QApplication::exec();
}

void PostTask(std::function<void()> task) {
    QTimer::singleShot(0, qApp, [task = std::move(task)] { task(); });
}

// ---------------------------------------------------------------------------------------------
// Off-screen images

// A painter stays open across drawing calls, since opening one costs more than most of what
// the list draws with it; anything that reads the pixels closes it first.
struct CDC::Impl {
    QImage image;
    Rgb background = kWhiteRgb;
    QPoint pen;
    std::unique_ptr<QPainter> active;

    QPainter& painter() {
        if (!active) {
            active = std::make_unique<QPainter>(&image);
            active->setFont(listFont());
        }
        return *active;
    }
    void flush() { active.reset(); }
    ~Impl() { flush(); }
};

CDC::CDC() : m_impl(std::make_unique<Impl>()) {}
CDC::~CDC() = default;

bool CDC::Create(int width, int height) {
    m_impl->flush();
    QImage image(std::clamp(width, 1, kMaxImageSide), std::clamp(height, 1, kMaxImageSide),
                 QImage::Format_RGB32);
    // A null image is how Qt says the memory could not be had.
    if (image.isNull()) {
        return false;
    }
    image.fill(Qt::white);
    m_impl->image = std::move(image);
    return true;
}

bool CDC::LoadPicture(const char* name) {
    QImage picture(QStringLiteral(":/vora/%1.png").arg(QString::fromLatin1(name)));
    if (picture.isNull()) {
        return false;
    }
    m_impl->flush();
    m_impl->image = picture.convertToFormat(QImage::Format_RGB32);
    return true;
}

int CDC::Width() const {
    return m_impl->image.width();
}
int CDC::Height() const {
    return m_impl->image.height();
}

void CDC::FillSolidRect(int x, int y, int width, int height, Rgb color) {
    m_impl->painter().fillRect(x, y, width, height, toColor(color));
}

void CDC::SetPixel(int x, int y, Rgb color) {
    m_impl->flush();
    if (m_impl->image.rect().contains(x, y)) {
        m_impl->image.setPixel(x, y, toColor(color).rgb());
    }
}

void CDC::SetBkColor(Rgb color) {
    m_impl->background = color;
}

void CDC::TextOut(int x, int y, const CString& text) {
    if (text.IsEmpty()) {
        return;
    }
    QPainter& p = m_impl->painter();
    static const QFontMetrics metrics(listFont());
    QString shown = fromBytes(text);
    p.fillRect(x, y, metrics.horizontalAdvance(shown), metrics.height(),
               toColor(m_impl->background));
    p.setPen(Qt::black);
    p.drawText(x, y + metrics.ascent(), shown);
}

void CDC::MoveTo(int x, int y) {
    m_impl->pen = QPoint(x, y);
}

void CDC::LineTo(int x, int y) {
    QPainter& p = m_impl->painter();
    p.setPen(QPen(Qt::black, 1));
    QPoint end(x, y);
    // Up to the end point, not including it.
    QPoint step = end - m_impl->pen;
    if (step.x() != 0) {
        step.setX(step.x() > 0 ? -1 : 1);
    }
    if (step.y() != 0) {
        step.setY(step.y() > 0 ? -1 : 1);
    }
    if (m_impl->pen != end) {
        p.drawLine(m_impl->pen, end + step);
    }
    m_impl->pen = end;
}

void CDC::BitBlt(int x, int y, int width, int height, const CDC& source, int sx, int sy) {
    source.m_impl->flush();
    QPainter& p = m_impl->painter();
    p.drawImage(QRect(x, y, width, height), source.m_impl->image, QRect(sx, sy, width, height));
}

Rgb CDC::GetPixel(int x, int y) const {
    m_impl->flush();
    QRgb c = m_impl->image.pixel(x, y);
    return {static_cast<unsigned char>(qRed(c)), static_cast<unsigned char>(qGreen(c)),
            static_cast<unsigned char>(qBlue(c))};
}

bool CDC::SavePng(const std::string& path) const {
    m_impl->flush();
    return m_impl->image.save(QString::fromStdString(path), "PNG");
}

// ---------------------------------------------------------------------------------------------
// The view

namespace {

ViewKey viewKeyOf(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Up:
        return kKeyUp;
    case Qt::Key_Down:
        return kKeyDown;
    case Qt::Key_PageUp:
        return kKeyPageUp;
    case Qt::Key_PageDown:
        return kKeyPageDown;
    case Qt::Key_Home:
        return kKeyHome;
    case Qt::Key_End:
        return kKeyEnd;
    default:
        return kKeyOther;
    }
}

class ViewWidget : public QWidget {
public:
    explicit ViewWidget(CViewWnd& owner) : m_owner(owner) {
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    const CDC* image = nullptr;
    QSize requested{800, 500};

    QSize sizeHint() const override { return requested; }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter p(this);
        if (!image || !WindowAccess::impl(*image).image.rect().contains(event->rect())) {
            p.fillRect(event->rect(), palette().window());
        }
        if (image) {
            WindowAccess::impl(*image).flush();
            p.drawImage(event->rect(), WindowAccess::impl(*image).image, event->rect());
        }
        p.end();
        if (!event->rect().isEmpty()) {
            WindowAccess::draw(m_owner);
        }
    }
    void resizeEvent(QResizeEvent*) override { WindowAccess::size(m_owner, width(), height()); }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) {
            WindowAccess::lButtonDown(m_owner, int(event->position().x()),
                                      int(event->position().y()));
        }
    }
    void wheelEvent(QWheelEvent* event) override {
        int steps = event->angleDelta().y() / 120;
        if (steps != 0) {
            WindowAccess::mouseWheel(m_owner, steps);
        }
    }
    void keyPressEvent(QKeyEvent* event) override {
        // Auto-repeat mostly arrives as separate presses; a compressed one counts as often.
        WindowAccess::keyDown(m_owner, viewKeyOf(event->key()), std::max(event->count(), 1));
    }

private:
    CViewWnd& m_owner;
};

} // namespace

struct CViewWnd::Impl {
    // Guarded: the frame deletes it with its window, which may go before the view.
    QPointer<ViewWidget> widget;
    std::map<int, QPushButton*> buttons;
    QScrollBar* scrollBar = nullptr;
    int scrollBarId = 0;

    QWidget* control(int id) const {
        if (auto found = buttons.find(id); found != buttons.end()) {
            return found->second;
        }
        return id == scrollBarId ? scrollBar : nullptr;
    }
};

CViewWnd::CViewWnd() : m_impl(std::make_unique<Impl>()) {
    m_impl->widget = new ViewWidget(*this);
}

CViewWnd::~CViewWnd() {
    // The frame owns the widget once it is its client area.
    if (m_impl->widget && !m_impl->widget->parent()) {
        delete m_impl->widget;
    }
}

void CViewWnd::CreateButton(int id, const CString& caption, int left, int top, int right,
                            int bottom) {
    auto* button = new QPushButton(fromBytes(caption), m_impl->widget);
    button->setGeometry(left, top, right - left, bottom - top);
    button->setFont(detail::dialogFont());
    button->setFocusPolicy(Qt::TabFocus);
    button->hide();
    button->setEnabled(false);
    QObject::connect(button, &QPushButton::clicked, m_impl->widget,
                     [this, id] { WindowAccess::command(*this, id); });
    m_impl->buttons[id] = button;
}

void CViewWnd::CreateScrollBar(int id) {
    m_impl->scrollBarId = id;
    m_impl->scrollBar = new QScrollBar(Qt::Vertical, m_impl->widget);
    m_impl->scrollBar->setGeometry(0, 0, 0, 0);
    m_impl->scrollBar->setRange(0, 0);
    m_impl->scrollBar->setFocusPolicy(Qt::NoFocus);
    m_impl->scrollBar->show();
    QScrollBar* bar = m_impl->scrollBar;
    // The view decides every new position itself, from the position before the action.
    QObject::connect(bar, &QAbstractSlider::actionTriggered, m_impl->widget,
                     [this, bar](int action) {
                         int before = bar->value();
                         int thumb = bar->sliderPosition();
                         bar->setSliderPosition(before);
                         switch (action) {
                         case QAbstractSlider::SliderSingleStepAdd:
                             WindowAccess::vScroll(*this, kScrollLineDown, 0);
                             break;
                         case QAbstractSlider::SliderSingleStepSub:
                             WindowAccess::vScroll(*this, kScrollLineUp, 0);
                             break;
                         case QAbstractSlider::SliderPageStepAdd:
                             WindowAccess::vScroll(*this, kScrollPageDown, 0);
                             break;
                         case QAbstractSlider::SliderPageStepSub:
                             WindowAccess::vScroll(*this, kScrollPageUp, 0);
                             break;
                         case QAbstractSlider::SliderToMinimum:
                             WindowAccess::vScroll(*this, kScrollTop, 0);
                             break;
                         case QAbstractSlider::SliderToMaximum:
                             WindowAccess::vScroll(*this, kScrollBottom, 0);
                             break;
                         case QAbstractSlider::SliderMove:
                             WindowAccess::vScroll(*this, kScrollThumbTrack, thumb);
                             break;
                         default:
                             break;
                         }
                         bar->setSliderPosition(bar->value());
                     });
}

void CViewWnd::ShowControl(int id, bool show) {
    if (QWidget* w = m_impl->control(id)) {
        w->setVisible(show);
    }
}

void CViewWnd::EnableControl(int id, bool enable) {
    if (QWidget* w = m_impl->control(id)) {
        w->setEnabled(enable);
    }
}

bool CViewWnd::IsControlVisible(int id) const {
    QWidget* w = m_impl->control(id);
    return w && !w->isHidden();
}

bool CViewWnd::IsControlEnabled(int id) const {
    QWidget* w = m_impl->control(id);
    return w && w->isEnabled();
}

bool CViewWnd::HasControl(int id) const {
    return m_impl->control(id) != nullptr;
}

void CViewWnd::MoveControl(int id, int x, int y, int width, int height) {
    if (QWidget* w = m_impl->control(id)) {
        w->setGeometry(x, y, width, height);
        w->update();
    }
}

void CViewWnd::ClickControl(int id) {
    if (auto found = m_impl->buttons.find(id); found != m_impl->buttons.end()) {
        found->second->click();
    }
}

void CViewWnd::SetScrollRange(int minPos, int maxPos) {
    QSignalBlocker quiet(m_impl->scrollBar);
    m_impl->scrollBar->setRange(minPos, maxPos);
}

void CViewWnd::SetScrollPos(int pos) {
    QSignalBlocker quiet(m_impl->scrollBar);
    m_impl->scrollBar->setValue(pos);
    m_impl->scrollBar->setSliderPosition(pos);
}

int CViewWnd::GetScrollPos() const {
    return m_impl->scrollBar->value();
}

void CViewWnd::GetScrollRange(int& minPos, int& maxPos) const {
    minPos = m_impl->scrollBar->minimum();
    maxPos = m_impl->scrollBar->maximum();
}

int CViewWnd::ClientWidth() const {
    return m_impl->widget->width();
}
int CViewWnd::ClientHeight() const {
    return m_impl->widget->height();
}
void CViewWnd::SetImage(const CDC* image) {
    m_impl->widget->image = image;
}
void CViewWnd::Invalidate() {
    m_impl->widget->update();
}

void CViewWnd::InvalidateRect(int left, int top, int right, int bottom) {
    m_impl->widget->update(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
}

void CViewWnd::SetFocus() {
    m_impl->widget->setFocus(Qt::OtherFocusReason);
}

bool CViewWnd::SendKey(const std::string& name, int repeat, std::string& error) {
    int key = 0;
    QString text;
    if (!ResolveKey(name, key, text)) {
        error = "unknown key \"" + name + "\"";
        return false;
    }
    // Straight to the handler: a key event could carry no more than 65535 repeats.
    WindowAccess::keyDown(*this, viewKeyOf(key), std::max(repeat, 1));
    return true;
}

void CViewWnd::ClickAt(int x, int y) {
    SendClick(m_impl->widget, QPoint(x, y));
}

// ---------------------------------------------------------------------------------------------
// The frame

namespace {

class FrameWindow : public QMainWindow {
public:
    explicit FrameWindow(CFrameWnd& owner) : m_owner(owner) {
        // No close button in the caption: the window closes by the program's own rules.
        setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint);
    }
    bool destroying = false;

protected:
    void closeEvent(QCloseEvent* event) override {
        if (destroying || WindowAccess::closeRequest(m_owner)) {
            event->accept();
            QTimer::singleShot(0, qApp, [] { QApplication::exit(0); });
        } else {
            event->ignore();
        }
    }

private:
    CFrameWnd& m_owner;
};

} // namespace

struct CFrameWnd::Impl {
    FrameWindow* window = nullptr;
    CViewWnd* view = nullptr;
    std::map<int, QAction*> actions;
};

CFrameWnd::CFrameWnd() : m_impl(std::make_unique<Impl>()) {}

CFrameWnd::~CFrameWnd() {
    delete m_impl->window;
}

void CFrameWnd::Create(const char* titleUtf8, int width, int height,
                       const std::vector<MenuSpec>& menus, CViewWnd& view, const char* idleTextUtf8,
                       const std::vector<const char*>& indicatorsUtf8) {
    m_impl->window = new FrameWindow(*this);
    m_impl->view = &view;
    m_impl->window->setWindowTitle(QString::fromUtf8(titleUtf8));
    for (const MenuSpec& group : menus) {
        QMenu* menu = m_impl->window->menuBar()->addMenu(QString::fromUtf8(group.title));
        for (const MenuItemSpec& item : group.items) {
            if (item.id == 0) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromUtf8(item.text));
            int id = item.id;
            action->setData(id);
            QObject::connect(action, &QAction::triggered, m_impl->window,
                             [this, id] { WindowAccess::command(*this, id); });
            m_impl->actions[id] = action;
        }
        // Enabled states come from the update handler each time the menu opens.
        QObject::connect(menu, &QMenu::aboutToShow, m_impl->window, [this, menu] {
            for (QAction* action : menu->actions()) {
                if (action->isSeparator()) {
                    continue;
                }
                bool checked = false;
                action->setEnabled(
                    WindowAccess::updateCommand(*this, action->data().toInt(), checked));
                action->setCheckable(checked);
                action->setChecked(checked);
            }
        });
    }
    m_impl->window->setCentralWidget(WindowAccess::impl(view).widget);
    m_impl->window->setMaximumSize(kMaxImageSide, kMaxImageSide);
    QStatusBar* bar = m_impl->window->statusBar();
    bar->setSizeGripEnabled(false);
    const QString idle = QString::fromUtf8(idleTextUtf8);
    bar->showMessage(idle);
    // Pointing at a menu item shows its (empty) tip and clears the message; the idle text
    // comes back whenever nothing else is shown.
    QObject::connect(bar, &QStatusBar::messageChanged, bar, [bar, idle](const QString& text) {
        if (text.isEmpty()) {
            bar->showMessage(idle);
        }
    });
    for (const char* indicator : indicatorsUtf8) {
        auto* label = new QLabel(QString::fromUtf8(indicator));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        // The lock states are not known here; the indicators stand greyed.
        label->setEnabled(false);
        bar->addPermanentWidget(label);
    }
    SetClientSize(width, height);
}

void CFrameWnd::Show() {
    m_impl->window->show();
}

void CFrameWnd::Destroy() {
    m_impl->window->destroying = true;
    m_impl->window->close();
}

void CFrameWnd::RequestClose() {
    m_impl->window->close();
}

void CFrameWnd::SetClientSize(int width, int height) {
    auto* widget = static_cast<ViewWidget*>(WindowAccess::impl(*m_impl->view).widget);
    widget->requested =
        QSize(std::clamp(width, 1, kMaxImageSide), std::clamp(height, 1, kMaxImageSide));
    widget->updateGeometry();
    if (m_impl->window->isVisible()) {
        QSize extra = m_impl->window->size() - widget->size();
        m_impl->window->resize(widget->requested + extra);
    } else {
        m_impl->window->adjustSize();
        m_impl->window->resize(m_impl->window->sizeHint());
    }
}

bool CFrameWnd::IsStatusBarVisible() const {
    return !m_impl->window->statusBar()->isHidden();
}
void CFrameWnd::ShowStatusBar(bool show) {
    m_impl->window->statusBar()->setVisible(show);
}
bool CFrameWnd::HasMenuItem(int id) const {
    return m_impl->actions.count(id) != 0;
}

bool CFrameWnd::IsCommandEnabled(int id) {
    bool checked = false;
    return WindowAccess::updateCommand(*this, id, checked);
}

void CFrameWnd::AddAccelerator(const char* keySequence, int id) {
    auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(keySequence)), m_impl->window);
    QObject::connect(shortcut, &QShortcut::activated, m_impl->window, [this, id] {
        if (IsCommandEnabled(id)) {
            WindowAccess::command(*this, id);
        }
    });
}

// ---------------------------------------------------------------------------------------------
// Printing

namespace {

constexpr double kMarginMm = 15;
constexpr double kListPointSize = 9;
constexpr double kTitlePointSize = 11;
constexpr double kRowSpacing = 1.45; // rows' pitch, in lines of the font

void preparePrinter(QPrinter& printer) {
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                      QPageLayout::Millimeter));
    printer.setDocName(QStringLiteral("vora"));
}

QString shown(const CString& text) {
    return QString::fromStdString(text.ToUtf8());
}

// Where everything of the printed list lies, in the printer's pixels.
class ListPages {
public:
    ListPages(const PrintedList& list, QPaintDevice& device, QRect page)
        : m_list(list), m_page(page), m_font(detail::dialogFont().family()), m_title(m_font) {
        m_font.setPointSizeF(kListPointSize);
        m_title.setPointSizeF(kTitlePointSize);
        m_title.setBold(true);
        const QFontMetricsF metrics(m_font, &device);
        m_ascent = metrics.ascent();
        m_row = metrics.height() * kRowSpacing;
        m_titleRow = QFontMetricsF(m_title, &device).height() * kRowSpacing;
        placeColumns(metrics);
        const double body = page.height() - 2 * m_row; // the header above, the foot below
        const double first = body - double(list.titleLines.size()) * m_titleRow - m_row / 2;
        m_firstRows = std::max(1, int(first / m_row));
        m_otherRows = std::max(1, int(body / m_row));
    }

    int pageCount() const {
        const qsizetype rows = m_list.rowCount;
        if (rows <= m_firstRows) {
            return 1;
        }
        return int(1 + (rows - m_firstRows + m_otherRows - 1) / m_otherRows);
    }

    void draw(QPainter& p, int pageIndex) const {
        double y = m_page.top();
        if (pageIndex == 0) {
            p.setFont(m_title);
            for (const CString& line : m_list.titleLines) {
                p.drawText(QPointF(m_page.left(), y + m_titleRow * 0.7), shown(line));
                y += m_titleRow;
            }
            y += m_row / 2;
        }
        p.setFont(m_font);
        drawRow(p, y, m_list.headers);
        y += m_row;
        p.drawLine(QPointF(m_page.left(), y - m_row * 0.15),
                   QPointF(m_page.right(), y - m_row * 0.15));
        const qsizetype first =
            pageIndex == 0 ? 0 : m_firstRows + qsizetype(pageIndex - 1) * m_otherRows;
        const qsizetype last = std::min<qsizetype>(
            qsizetype(m_list.rowCount), first + (pageIndex == 0 ? m_firstRows : m_otherRows));
        for (qsizetype i = first; i < last; ++i) {
            drawRow(p, y, m_list.rowAt ? m_list.rowAt(int(i)) : std::vector<CString>{});
            y += m_row;
        }
        const double foot = m_page.bottom() - m_row + m_ascent;
        p.drawText(QPointF(m_page.left(), foot), shown(m_list.footer));
        const QString number = QStringLiteral("%1 / %2").arg(pageIndex + 1).arg(pageCount());
        p.drawText(QRectF(m_page.left(), m_page.bottom() - m_row, m_page.width(), m_row),
                   Qt::AlignRight | Qt::AlignTop, number);
    }

private:
    // Each column gets its share of the page width by its width in characters.
    void placeColumns(const QFontMetricsF& metrics) {
        double total = 0;
        for (int w : m_list.widths) {
            total += std::max(w, 1);
        }
        const double gap = metrics.horizontalAdvance(QLatin1Char(' '));
        double x = m_page.left();
        for (int w : m_list.widths) {
            const double width = total > 0 ? m_page.width() * std::max(w, 1) / total : 0;
            m_columns.push_back({x, std::max(width - gap, 1.0)});
            x += width;
        }
    }

    void drawRow(QPainter& p, double top, const std::vector<CString>& cells) const {
        const QFontMetricsF metrics(p.font(), p.device());
        for (std::size_t c = 0; c < cells.size() && c < m_columns.size(); ++c) {
            const QString text =
                metrics.elidedText(shown(cells[c]), Qt::ElideRight, m_columns[c].width);
            p.drawText(QPointF(m_columns[c].x, top + m_ascent), text);
        }
    }

    struct Column {
        double x;
        double width;
    };
    const PrintedList& m_list;
    QRect m_page;
    QFont m_font;
    QFont m_title;
    double m_ascent = 0;
    double m_row = 1;
    double m_titleRow = 1;
    std::vector<Column> m_columns;
    int m_firstRows = 1;
    int m_otherRows = 1;
};

// Draws every page onto the printer; false when the printer could not be opened, or when
// progress was cancelled: a print job is then abandoned, and a preview shows the pages drawn
// so far.
bool printPages(const PrintedList& list, QPrinter& printer, Progress& progress = Progress::None()) {
    QPainter p;
    if (!p.begin(&printer)) {
        return false;
    }
    const QRect page(QPoint(0, 0),
                     printer.pageLayout().paintRectPixels(printer.resolution()).size());
    const ListPages pages(list, printer, page);
    const int count = pages.pageCount();
    // A range chosen in the print dialog prints those pages only.
    const int from = printer.fromPage() > 0 ? std::min(printer.fromPage(), count) : 1;
    const int to = printer.toPage() > 0 ? std::min(printer.toPage(), count) : count;
    for (int n = from; n <= to; ++n) {
        if (!progress.Report(std::uint64_t(n - from), std::uint64_t(to - from + 1))) {
            // A preview's pages are pictures, which it goes on showing.
            if (printer.paintEngine()->type() != QPaintEngine::Picture) {
                printer.abort();
            }
            p.end();
            return false;
        }
        if (n > from) {
            printer.newPage();
        }
        pages.draw(p, n - 1);
    }
    return p.end();
}

// The pages of a long list take a while (a million rows are some 17,000 pages): they are
// drawn on a thread of their own with a bar and キャンセル, while the windows go on.
bool printPagesShowingProgress(const PrintedList& list, QPrinter& printer) {
    const bool preview = printer.paintEngine()->type() == QPaintEngine::Picture;
    bool printed = false;
    RunWithProgress(preview ? "印刷プレビューを作成しています…"_sj : "印刷しています…"_sj,
                    [&](Progress& progress) { printed = printPages(list, printer, progress); });
    return printed;
}

} // namespace

bool PrintList(const PrintedList& list, bool preview) {
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer);
    if (preview) {
        QPrintPreviewDialog dialog(&printer, QApplication::activeWindow());
        // Also when the preview prints, the pages being drawn onto the printer then. While
        // they are drawn the preview must not paint: the pages it shows are the ones being
        // replaced.
        QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested,
                         [&list, &dialog](QPrinter* target) {
                             dialog.setUpdatesEnabled(false);
                             printPagesShowingProgress(list, *target);
                             dialog.setUpdatesEnabled(true);
                         });
        return dialog.exec() == QDialog::Accepted;
    }
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    return printPagesShowingProgress(list, printer);
}

bool PrintListToPdf(const PrintedList& list, const std::string& path, std::string& error) {
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(path));
    // As the printer would: a long list shows its bar, and キャンセル leaves no file.
    if (!printPagesShowingProgress(list, printer)) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

} // namespace fw
