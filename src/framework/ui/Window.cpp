#include "framework/ui/Window.h"

#include "framework/ui/DialogImpl.h"
#include "framework/ui/InputSimulation.h"

#include <QAbstractSlider>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>

#include <clocale>
#include <map>

// The pictures live in the library; the executable must ask for them to be linked in.
static void initResources() {
    Q_INIT_RESOURCE(resources);
}

namespace fw {
namespace {

QString fromBytes(const CString& text) {
    return QString::fromStdString(text.ToUtf8());
}

// The list font: a Japanese gothic font with half-width characters 8 pixels wide, so that the
// column widths of 9 pixels a byte leave a little air.
const QFont& listFont() {
    static const QFont font = [] {
        QFont f = detail::dialogFont();
        for (const char* family : {"IPAGothic", "IPAexGothic", "Noto Sans Mono CJK JP"}) {
            if (QFontDatabase::families().contains(QString::fromLatin1(family))) {
                f = QFont(QString::fromLatin1(family));
                break;
            }
        }
        f.setPixelSize(16);
        f.setStyleStrategy(QFont::PreferAntialias);
        return f;
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
    // Qt takes the locale from the environment; numbers are always read and written the C way.
    std::setlocale(LC_NUMERIC, "C");
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

CDC::CDC() : m(std::make_unique<Impl>()) {}
CDC::~CDC() = default;

void CDC::Create(int width, int height) {
    m->flush();
    m->image = QImage(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    m->image.fill(Qt::white);
}

bool CDC::LoadPicture(const char* name) {
    QImage picture(QStringLiteral(":/vora/%1.png").arg(QString::fromLatin1(name)));
    if (picture.isNull()) {
        return false;
    }
    m->flush();
    m->image = picture.convertToFormat(QImage::Format_RGB32);
    return true;
}

int CDC::Width() const {
    return m->image.width();
}
int CDC::Height() const {
    return m->image.height();
}

void CDC::FillSolidRect(int x, int y, int width, int height, Rgb color) {
    m->painter().fillRect(x, y, width, height, toColor(color));
}

void CDC::SetPixel(int x, int y, Rgb color) {
    m->flush();
    if (m->image.rect().contains(x, y)) {
        m->image.setPixel(x, y, toColor(color).rgb());
    }
}

void CDC::SetBkColor(Rgb color) {
    m->background = color;
}

void CDC::TextOut(int x, int y, const CString& text) {
    if (text.IsEmpty()) {
        return;
    }
    QPainter& p = m->painter();
    static const QFontMetrics metrics(listFont());
    QString shown = fromBytes(text);
    p.fillRect(x, y, metrics.horizontalAdvance(shown), metrics.height(), toColor(m->background));
    p.setPen(Qt::black);
    p.drawText(x, y + metrics.ascent(), shown);
}

void CDC::MoveTo(int x, int y) {
    m->pen = QPoint(x, y);
}

void CDC::LineTo(int x, int y) {
    QPainter& p = m->painter();
    p.setPen(QPen(Qt::black, 1));
    QPoint end(x, y);
    // Up to the end point, not including it.
    QPoint step = end - m->pen;
    if (step.x() != 0) {
        step.setX(step.x() > 0 ? -1 : 1);
    }
    if (step.y() != 0) {
        step.setY(step.y() > 0 ? -1 : 1);
    }
    if (m->pen != end) {
        p.drawLine(m->pen, end + step);
    }
    m->pen = end;
}

void CDC::BitBlt(int x, int y, int width, int height, const CDC& source, int sx, int sy) {
    source.m->flush();
    QPainter& p = m->painter();
    p.drawImage(QRect(x, y, width, height), source.m->image, QRect(sx, sy, width, height));
}

Rgb CDC::GetPixel(int x, int y) const {
    m->flush();
    QRgb c = m->image.pixel(x, y);
    return {static_cast<unsigned char>(qRed(c)), static_cast<unsigned char>(qGreen(c)),
            static_cast<unsigned char>(qBlue(c))};
}

bool CDC::SavePng(const std::string& path) const {
    m->flush();
    return m->image.save(QString::fromStdString(path), "PNG");
}

// ---------------------------------------------------------------------------------------------
// The view

namespace {

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
        if (!image || !image->m->image.rect().contains(event->rect())) {
            p.fillRect(event->rect(), palette().window());
        }
        if (image) {
            image->m->flush();
            p.drawImage(event->rect(), image->m->image, event->rect());
        }
        p.end();
        if (!event->rect().isEmpty()) {
            m_owner.HandleDraw();
        }
    }
    void resizeEvent(QResizeEvent*) override { m_owner.HandleSize(width(), height()); }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) {
            m_owner.HandleLButtonDown(int(event->position().x()), int(event->position().y()));
        }
    }
    void wheelEvent(QWheelEvent* event) override {
        int steps = event->angleDelta().y() / 120;
        if (steps != 0) {
            m_owner.HandleMouseWheel(steps);
        }
    }
    void keyPressEvent(QKeyEvent* event) override {
        ViewKey key = kKeyOther;
        switch (event->key()) {
        case Qt::Key_Up:
            key = kKeyUp;
            break;
        case Qt::Key_Down:
            key = kKeyDown;
            break;
        case Qt::Key_PageUp:
            key = kKeyPageUp;
            break;
        case Qt::Key_PageDown:
            key = kKeyPageDown;
            break;
        case Qt::Key_Home:
            key = kKeyHome;
            break;
        case Qt::Key_End:
            key = kKeyEnd;
            break;
        default:
            break;
        }
        // Auto-repeat arrives as separate presses here; each counts once.
        m_owner.HandleKeyDown(key, 1);
    }

private:
    CViewWnd& m_owner;
};

} // namespace

struct CViewWnd::Impl {
    ViewWidget* widget = nullptr;
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

CViewWnd::CViewWnd() : m(std::make_unique<Impl>()) {
    m->widget = new ViewWidget(*this);
}

CViewWnd::~CViewWnd() {
    // The frame owns the widget once it is its client area.
    if (m->widget && !m->widget->parent()) {
        delete m->widget;
    }
}

void CViewWnd::CreateButton(int id, const CString& caption, int left, int top, int right,
                            int bottom) {
    auto* button = new QPushButton(fromBytes(caption), m->widget);
    button->setGeometry(left, top, right - left, bottom - top);
    button->setFont(detail::dialogFont());
    button->setFocusPolicy(Qt::TabFocus);
    button->hide();
    button->setEnabled(false);
    QObject::connect(button, &QPushButton::clicked, m->widget, [this, id] { HandleCommand(id); });
    m->buttons[id] = button;
}

void CViewWnd::CreateScrollBar(int id) {
    m->scrollBarId = id;
    m->scrollBar = new QScrollBar(Qt::Vertical, m->widget);
    m->scrollBar->setGeometry(0, 0, 0, 0);
    m->scrollBar->setRange(0, 0);
    m->scrollBar->setFocusPolicy(Qt::NoFocus);
    m->scrollBar->show();
    QScrollBar* bar = m->scrollBar;
    // The view decides every new position itself, from the position before the action.
    QObject::connect(bar, &QAbstractSlider::actionTriggered, m->widget, [this, bar](int action) {
        int before = bar->value();
        int thumb = bar->sliderPosition();
        bar->setSliderPosition(before);
        switch (action) {
        case QAbstractSlider::SliderSingleStepAdd:
            HandleVScroll(kScrollLineDown, 0);
            break;
        case QAbstractSlider::SliderSingleStepSub:
            HandleVScroll(kScrollLineUp, 0);
            break;
        case QAbstractSlider::SliderPageStepAdd:
            HandleVScroll(kScrollPageDown, 0);
            break;
        case QAbstractSlider::SliderPageStepSub:
            HandleVScroll(kScrollPageUp, 0);
            break;
        case QAbstractSlider::SliderToMinimum:
            HandleVScroll(kScrollTop, 0);
            break;
        case QAbstractSlider::SliderToMaximum:
            HandleVScroll(kScrollBottom, 0);
            break;
        case QAbstractSlider::SliderMove:
            HandleVScroll(kScrollThumbTrack, thumb);
            break;
        default:
            break;
        }
        bar->setSliderPosition(bar->value());
    });
}

void CViewWnd::ShowControl(int id, bool show) {
    if (QWidget* w = m->control(id)) {
        w->setVisible(show);
    }
}

void CViewWnd::EnableControl(int id, bool enable) {
    if (QWidget* w = m->control(id)) {
        w->setEnabled(enable);
    }
}

bool CViewWnd::IsControlVisible(int id) const {
    QWidget* w = m->control(id);
    return w && !w->isHidden();
}

bool CViewWnd::IsControlEnabled(int id) const {
    QWidget* w = m->control(id);
    return w && w->isEnabled();
}

bool CViewWnd::HasControl(int id) const {
    return m->control(id) != nullptr;
}

void CViewWnd::MoveControl(int id, int x, int y, int width, int height) {
    if (QWidget* w = m->control(id)) {
        w->setGeometry(x, y, width, height);
        w->update();
    }
}

void CViewWnd::ClickControl(int id) {
    if (auto found = m->buttons.find(id); found != m->buttons.end()) {
        found->second->click();
    }
}

void CViewWnd::SetScrollRange(int minPos, int maxPos) {
    QSignalBlocker quiet(m->scrollBar);
    m->scrollBar->setRange(minPos, maxPos);
}

void CViewWnd::SetScrollPos(int pos) {
    QSignalBlocker quiet(m->scrollBar);
    m->scrollBar->setValue(pos);
    m->scrollBar->setSliderPosition(pos);
}

int CViewWnd::GetScrollPos() const {
    return m->scrollBar->value();
}

void CViewWnd::GetScrollRange(int& minPos, int& maxPos) const {
    minPos = m->scrollBar->minimum();
    maxPos = m->scrollBar->maximum();
}

int CViewWnd::ClientWidth() const {
    return m->widget->width();
}
int CViewWnd::ClientHeight() const {
    return m->widget->height();
}
void CViewWnd::SetImage(const CDC* image) {
    m->widget->image = image;
}
void CViewWnd::Invalidate() {
    m->widget->update();
}

void CViewWnd::InvalidateRect(int left, int top, int right, int bottom) {
    m->widget->update(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
}

void CViewWnd::SetFocus() {
    m->widget->setFocus(Qt::OtherFocusReason);
}

bool CViewWnd::SendKey(const std::string& name, int count, std::string& error) {
    return SendNamedKey(m->widget, name, count, error);
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
        if (destroying || m_owner.HandleCloseRequest()) {
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

CFrameWnd::CFrameWnd() : m(std::make_unique<Impl>()) {}

CFrameWnd::~CFrameWnd() {
    delete m->window;
}

void CFrameWnd::Create(const char* titleUtf8, int width, int height,
                       const std::vector<MenuSpec>& menus, CViewWnd& view, const char* idleTextUtf8,
                       const std::vector<const char*>& indicatorsUtf8) {
    m->window = new FrameWindow(*this);
    m->view = &view;
    m->window->setWindowTitle(QString::fromUtf8(titleUtf8));
    for (const MenuSpec& group : menus) {
        QMenu* menu = m->window->menuBar()->addMenu(QString::fromUtf8(group.title));
        for (const MenuItemSpec& item : group.items) {
            if (item.id == 0) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromUtf8(item.text));
            int id = item.id;
            action->setData(id);
            QObject::connect(action, &QAction::triggered, m->window,
                             [this, id] { HandleCommand(id); });
            m->actions[id] = action;
        }
        // Enabled states come from the update handler each time the menu opens.
        QObject::connect(menu, &QMenu::aboutToShow, m->window, [this, menu] {
            for (QAction* action : menu->actions()) {
                if (action->isSeparator()) {
                    continue;
                }
                bool checked = false;
                action->setEnabled(HandleUpdateCommand(action->data().toInt(), checked));
                action->setCheckable(checked);
                action->setChecked(checked);
            }
        });
    }
    m->window->setCentralWidget(view.m->widget);
    QStatusBar* bar = m->window->statusBar();
    bar->setSizeGripEnabled(false);
    bar->showMessage(QString::fromUtf8(idleTextUtf8));
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
    m->window->show();
}

void CFrameWnd::Destroy() {
    m->window->destroying = true;
    m->window->close();
}

void CFrameWnd::RequestClose() {
    m->window->close();
}

void CFrameWnd::SetClientSize(int width, int height) {
    auto* widget = static_cast<ViewWidget*>(m->view->m->widget);
    widget->requested = QSize(width, height);
    widget->updateGeometry();
    if (m->window->isVisible()) {
        QSize extra = m->window->size() - widget->size();
        m->window->resize(QSize(width, height) + extra);
    } else {
        m->window->adjustSize();
        m->window->resize(m->window->sizeHint());
    }
}

bool CFrameWnd::IsStatusBarVisible() const {
    return !m->window->statusBar()->isHidden();
}
void CFrameWnd::ShowStatusBar(bool show) {
    m->window->statusBar()->setVisible(show);
}
bool CFrameWnd::HasMenuItem(int id) const {
    return m->actions.count(id) != 0;
}

bool CFrameWnd::IsCommandEnabled(int id) {
    bool checked = false;
    return HandleUpdateCommand(id, checked);
}

void CFrameWnd::AddAccelerator(const char* keySequence, int id) {
    auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(keySequence)), m->window);
    QObject::connect(shortcut, &QShortcut::activated, m->window, [this, id] {
        if (IsCommandEnabled(id)) {
            HandleCommand(id);
        }
    });
}

// ---------------------------------------------------------------------------------------------
// Printing

bool PrintImage(const CDC& image, bool preview) {
    image.m->flush();
    QPrinter printer(QPrinter::HighResolution);
    auto paint = [&image](QPrinter* target) {
        QPainter p(target);
        QRect page = p.viewport();
        QSize size = image.m->image.size();
        size.scale(page.size(), Qt::KeepAspectRatio);
        p.setViewport(page.x(), page.y(), size.width(), size.height());
        p.setWindow(image.m->image.rect());
        p.drawImage(0, 0, image.m->image);
    };
    if (preview) {
        QPrintPreviewDialog dialog(&printer, QApplication::activeWindow());
        QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, paint);
        return dialog.exec() == QDialog::Accepted;
    }
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    paint(&printer);
    return true;
}

} // namespace fw
