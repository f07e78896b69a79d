#include "framework/ui/Replay.h"

#include "framework/ui/DialogImpl.h"
#include "framework/ui/InputSimulation.h"
#include "framework/ui/ProgressDialog.h"
#include "framework/ui/ReplayScript.h"

#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <QMainWindow>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fw {
namespace {

using detail::Control;

// The program counts as idle again after its posted events have run, a short wait for what
// the window system delivers later (paints follow a requested update after some milliseconds),
// and the events that wait brought.
constexpr int kIdleWaitMs = 10;
constexpr int kSettlePasses = 3;
// A program that ends by its own rules after the last step is given this long to do so.
constexpr int kEndGraceMs = 300;
constexpr int kProgressPollMs = 20;

[[noreturn]] void endProgram(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\r') {
            continue;
        }
        out += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return out + "\"";
}

std::string dialogName(const CDialog* dialog) {
    if (!dialog) {
        return "main";
    }
    const int id = dialog->GetTemplateId();
    if (id == kProgressDialogId) {
        return "progress";
    }
    return id == kMessageDialogId ? "message" : std::to_string(id);
}

QWidget* mainWindow() {
    QWidget* found = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible() || qobject_cast<QDialog*>(top) || top->windowType() == Qt::Popup) {
            continue;
        }
        if (qobject_cast<QMainWindow*>(top)) {
            return top;
        }
        found = found ? found : top;
    }
    return found;
}

// A modal window that is none of the program's dialogs: the print dialog or the print preview,
// which the framework takes from the window system. The steps act on it while it is open, as
// on any modal window.
QWidget* foreignModal() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) {
        return nullptr;
    }
    for (CDialog* dialog : detail::runningDialogs()) {
        if (DialogAccess::impl(*dialog).window == modal) {
            return nullptr;
        }
    }
    return modal;
}

std::string foreignName(const QWidget& window) {
    if (qobject_cast<const QPrintPreviewDialog*>(&window)) {
        return "print-preview";
    }
    return qobject_cast<const QAbstractPrintDialog*>(&window) ? "print" : "modal";
}

// A progress dialog whose キャンセル was pressed closes by itself once its work has stopped;
// the next step waits for that.
bool stopping(CDialog& dialog) {
    if (dialog.GetTemplateId() != kProgressDialogId) {
        return false;
    }
    const Control* cancel = DialogAccess::impl(dialog).find(kIdCancel);
    return cancel && !cancel->widget->isEnabled();
}

// Keys and focus reach controls of the active window only.
void activate(QWidget* window) {
    if (!window->isActiveWindow()) {
        window->activateWindow();
        QApplication::setActiveWindow(window);
    }
}

class Runner : public QObject {
public:
    Runner(std::vector<ReplayStep> steps, IMainAutomation& main)
        : QObject(QCoreApplication::instance()), m_steps(std::move(steps)), m_main(main) {}

    void schedule() {
        m_pass = 0;
        QTimer::singleShot(0, this, [this] { settle(); });
    }

private:
    void settle() {
        if (++m_pass < kSettlePasses) {
            QTimer::singleShot(m_pass == 1 ? kIdleWaitMs : 0, this, [this] { settle(); });
            return;
        }
        tick();
    }

    void tick() {
        CDialog* dialog = ActiveDialog();
        // A dialog that has been ended but whose modal loop has not returned yet is no place
        // for the next step.
        if (dialog && (DialogAccess::impl(*dialog).ended || stopping(*dialog))) {
            schedule();
            return;
        }
        if (m_next == m_steps.size()) {
            QTimer::singleShot(kEndGraceMs, this, [] { endProgram(3); });
            return;
        }
        const ReplayStep& step = m_steps[m_next++];
        if (step.kind == StepKind::WaitFifo) {
            waitFifo(step);
            return;
        }
        if (step.kind == StepKind::WaitMs) {
            // The event loop runs meanwhile: changes of other workstations arrive.
            QTimer::singleShot(step.Value(0), this, [this] { schedule(); });
            return;
        }
        if (step.kind == StepKind::WaitProgress) {
            waitProgress();
            return;
        }
        // Scheduled first, so that the next step runs inside a modal loop this step opens.
        schedule();
        std::string error;
        if (!run(step, error)) {
            std::fprintf(stderr, "replay: line %d: %s\n", step.line, error.c_str());
            endProgram(2);
        }
    }

    // Opens the FIFO and goes on once a writer has written to it or closed it; the program
    // stays responsive meanwhile. A test opens the FIFO for writing, which returns once the
    // program waits here, and then knows where the program stands (to end it there, say).
    void waitFifo(const ReplayStep& step) {
        const int fd = ::open(step.args[0].c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            std::fprintf(stderr, "replay: line %d: cannot open %s: %s\n", step.line,
                         step.args[0].c_str(), std::strerror(errno));
            endProgram(2);
        }
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        QObject::connect(notifier, &QSocketNotifier::activated, this, [this, notifier, fd] {
            char buffer[256];
            while (::read(fd, buffer, sizeof buffer) > 0) {
            }
            notifier->setEnabled(false);
            notifier->deleteLater();
            ::close(fd);
            schedule();
        });
    }

    // Goes on once no progress dialog is open any more: the long work it shows has ended.
    void waitProgress() {
        CDialog* dialog = ActiveDialog();
        if (dialog && dialog->GetTemplateId() == kProgressDialogId) {
            QTimer::singleShot(kProgressPollMs, this, [this] { waitProgress(); });
            return;
        }
        schedule();
    }

    bool run(const ReplayStep& step, std::string& error);
    bool runInDialog(CDialog& dialog, const ReplayStep& step, std::string& error);
    bool runInMain(const ReplayStep& step, std::string& error);
    bool runInForeign(QWidget& window, const ReplayStep& step, std::string& error);
    bool runOnControl(CDialog& dialog, Control& c, const ReplayStep& step, std::string& error);
    bool expectDialog(const std::string& expected, std::string& error);
    bool expectCell(const ReplayStep& step, std::string& error);
    bool shot(const std::string& path, std::string& error);

    std::vector<ReplayStep> m_steps;
    std::size_t m_next = 0;
    int m_pass = 0;
    IMainAutomation& m_main;
};

bool fail(std::string& error, std::string reason) {
    error = std::move(reason);
    return false;
}

bool expectState(const std::string& what, bool value, const std::string& expected,
                 const std::string& id, std::string& error) {
    return value == (expected == "1") ||
           fail(error,
                what + " of " + id + " is " + (value ? "1" : "0") + ", expected " + expected);
}

bool Runner::run(const ReplayStep& step, std::string& error) {
    switch (step.kind) {
    case StepKind::ExpectDialog:
        return expectDialog(step.args[0], error);
    case StepKind::ExpectRows: {
        const int rows = m_main.rows();
        return rows == step.Value(0) || fail(error, "the list has " + std::to_string(rows) +
                                                        " rows, expected " + step.args[0]);
    }
    case StepKind::ExpectCell:
        return expectCell(step, error);
    case StepKind::ExpectStatus: {
        const std::string shown = m_main.statusText();
        return shown == step.args[0] || fail(error, "the status bar shows " + quoted(shown) +
                                                        ", expected " + quoted(step.args[0]));
    }
    case StepKind::Shot:
        return shot(step.args[0], error);
    default:
        break;
    }
    if (QWidget* window = foreignModal()) {
        return runInForeign(*window, step, error);
    }
    CDialog* dialog = ActiveDialog();
    return dialog ? runInDialog(*dialog, step, error) : runInMain(step, error);
}

bool Runner::expectDialog(const std::string& expected, std::string& error) {
    const QWidget* foreign = foreignModal();
    const CDialog* dialog = ActiveDialog();
    const std::string active = foreign ? foreignName(*foreign) : dialogName(dialog);
    if (active == expected) {
        return true;
    }
    // A message that came unexpected says what it is about.
    const Control* text =
        active == "message" ? DialogAccess::impl(*const_cast<CDialog*>(dialog)).find(kMessageTextId)
                            : nullptr;
    const std::string said =
        text ? " " + quoted(detail::scriptText(*text).ToUtf8()) : std::string();
    return fail(error, "the active window is " + active + said + ", expected " + expected);
}

bool Runner::expectCell(const ReplayStep& step, std::string& error) {
    std::string shown;
    if (!m_main.cell(step.Value(0), step.Value(1), shown, error)) {
        return false;
    }
    return shown == step.args[2] ||
           fail(error, "cell " + step.args[0] + " " + step.args[1] + " shows " + quoted(shown) +
                           ", expected " + quoted(step.args[2]));
}

bool Runner::shot(const std::string& path, std::string& error) {
    CDialog* dialog = ActiveDialog();
    QWidget* window = foreignModal();
    if (!window) {
        window = dialog ? DialogAccess::impl(*dialog).window : mainWindow();
    }
    if (!window) {
        return fail(error, "no window to capture");
    }
    return window->grab().save(QString::fromStdString(path), "PNG") ||
           fail(error, "cannot write " + path);
}

bool Runner::runInMain(const ReplayStep& step, std::string& error) {
    const auto& a = step.args;
    // Only the message box has a control named text.
    const bool namedControl = step.kind == StepKind::Press ||
                              step.kind == StepKind::ExpectEnabled ||
                              step.kind == StepKind::ExpectVisible;
    if (namedControl && a[0] == "text") {
        return fail(error, "the main window has no control text");
    }
    switch (step.kind) {
    case StepKind::Press:
        return m_main.press(step.Value(0), error);
    case StepKind::Key:
        return m_main.key(a[0], step.Value(1, 1), error);
    case StepKind::Menu:
        return m_main.menu(step.Value(0), error);
    case StepKind::Click:
        return m_main.click(step.Value(0), step.Value(1), error);
    case StepKind::Scroll:
        return m_main.scroll(ScrollCode(step.Value(0)), step.Value(1), error);
    case StepKind::Resize:
        return m_main.resize(step.Value(0), step.Value(1), error);
    case StepKind::Close:
        m_main.close();
        return true;
    case StepKind::PrintPdf:
        return m_main.printPdf(a[0], error);
    case StepKind::ExpectEnabled:
    case StepKind::ExpectVisible: {
        const bool enabled = step.kind == StepKind::ExpectEnabled;
        bool value = false;
        const bool ok = enabled ? m_main.enabled(step.Value(0), value, error)
                                : m_main.visible(step.Value(0), value, error);
        return ok && expectState(enabled ? "enabled" : "visible", value, a[1], a[0], error);
    }
    default:
        return fail(error, "no dialog is open for " + step.name);
    }
}

// The press goes to the control that has the focus, as the keyboard's would.
bool keyStep(QWidget* window, const ReplayStep& step, std::string& error) {
    activate(window);
    QWidget* target = window->focusWidget() ? window->focusWidget() : window;
    return SendNamedKey(target, step.args[0], step.Value(1, 1), error);
}

bool needsMainWindow(StepKind kind) {
    return kind == StepKind::Menu || kind == StepKind::Click || kind == StepKind::Scroll ||
           kind == StepKind::Resize || kind == StepKind::Close || kind == StepKind::PrintPdf;
}

bool Runner::runInDialog(CDialog& dialog, const ReplayStep& step, std::string& error) {
    CDialog::Impl& d = DialogAccess::impl(dialog);
    if (needsMainWindow(step.kind)) {
        return fail(error, step.name + " needs the main window, but dialog " + dialogName(&dialog) +
                               " is open");
    }
    if (step.kind == StepKind::Key) {
        return keyStep(d.window, step, error);
    }
    const bool textControl = step.args[0] == "text";
    Control* c = d.find(textControl ? kMessageTextId : step.Value(0));
    if (!c || (textControl && d.tmpl.id != kMessageDialogId)) {
        return fail(error, "dialog " + dialogName(&dialog) + " has no control " + step.args[0]);
    }
    return runOnControl(dialog, *c, step, error);
}

// A window of the window system's own (the print dialog) takes keys, and its buttons 1 (print)
// and 2 (cancel); it has no controls by id.
bool Runner::runInForeign(QWidget& window, const ReplayStep& step, std::string& error) {
    const std::string name = foreignName(window);
    auto* dialog = qobject_cast<QDialog*>(&window);
    if (step.kind == StepKind::Key) {
        return keyStep(&window, step, error);
    }
    if (step.kind == StepKind::Press && dialog && (step.args[0] == "1" || step.args[0] == "2")) {
        step.args[0] == "1" ? dialog->accept() : dialog->reject();
        return true;
    }
    return fail(error, step.name + " " + (step.args.empty() ? "" : step.args[0] + " ") +
                           "does not act on the " + name + " window");
}

// The control must be there for the user to act on it.
bool usable(const Control& c, const std::string& id, std::string& error) {
    if (c.widget->isHidden()) {
        return fail(error, "control " + id + " is hidden");
    }
    return c.widget->isEnabled() || fail(error, "control " + id + " is disabled");
}

bool ofKind(const Control& c, std::initializer_list<CtlKind> kinds, const std::string& id,
            const std::string& step, std::string& error) {
    for (CtlKind kind : kinds) {
        if (c.kind() == kind) {
            return true;
        }
    }
    return fail(error, "control " + id + " does not take " + step);
}

bool typeStep(CDialog& dialog, Control& c, const std::string& text, std::string& error) {
    const bool readOnly = c.has(kReadOnly) && c.kind() == CtlKind::Edit;
    if (readOnly) {
        return fail(error, "control " + std::to_string(c.id()) + " is read-only");
    }
    QString shown = QString::fromStdString(text);
    if (c.isMultiLine()) {
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    } else {
        // Enter in a one-line field is the dialog's, not a line break.
        shown.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
    }
    DialogAccess::type(dialog, c, shown);
    return true;
}

bool pickStep(Control& c, const std::string& text, std::string& error) {
    if (text == "-") {
        detail::selectItem(c, -1);
        return true;
    }
    CString wanted;
    const int index = CString::FromUtf8(text, wanted) ? detail::findItemExact(c, wanted) : -1;
    if (index < 0) {
        return fail(error, "control " + std::to_string(c.id()) + " has no item " + quoted(text));
    }
    detail::selectItem(c, index);
    return true;
}

bool markStep(Control& c, const ReplayStep& step, std::string& error) {
    auto* list = static_cast<QListWidget*>(c.widget);
    const auto& args = step.args;
    if (args.size() > 2 && !c.has(kMultiSelect)) {
        return fail(error, "list " + args[0] + " takes one item only");
    }
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (step.Value(i) >= list->count()) {
            return fail(error, "list " + args[0] + " has no item at " + args[i]);
        }
    }
    list->clearSelection();
    for (std::size_t i = 1; i < args.size(); ++i) {
        list->item(step.Value(i))->setSelected(true);
    }
    return true;
}

bool saveText(const Control& c, const std::string& path, std::string& error) {
    const CString text = detail::scriptText(c);
    errno = 0;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), text.GetLength());
    out.close();
    return out.good() || fail(error, "cannot write " + path +
                                         (errno ? ": " + std::string(std::strerror(errno)) : ""));
}

bool expectText(const Control& c, const std::string& expected, std::string& error) {
    const std::string shown = detail::scriptText(c).ToUtf8();
    return shown == expected || fail(error, "control " + std::to_string(c.id()) + " shows " +
                                                quoted(shown) + ", expected " + quoted(expected));
}

bool Runner::runOnControl(CDialog& dialog, Control& c, const ReplayStep& step, std::string& error) {
    const std::string& id = step.args[0];
    const std::string last = step.args.size() > 1 ? step.args.back() : std::string();
    auto* button = qobject_cast<QAbstractButton*>(c.widget);
    switch (step.kind) {
    case StepKind::Expect:
        return expectText(c, last, error);
    case StepKind::ExpectEnabled:
        return expectState("enabled", c.widget->isEnabled(), last, id, error);
    case StepKind::ExpectVisible:
        return expectState("visible", !c.widget->isHidden(), last, id, error);
    case StepKind::SaveText:
        return saveText(c, last, error);
    default:
        break;
    }
    if (!usable(c, id, error)) {
        return false;
    }
    switch (step.kind) {
    case StepKind::Type:
        return ofKind(c, {CtlKind::Edit, CtlKind::ComboEdit}, id, step.name, error) &&
               typeStep(dialog, c, last, error);
    case StepKind::Press:
        if (!ofKind(c, {CtlKind::Push, CtlKind::Check, CtlKind::Radio}, id, step.name, error)) {
            return false;
        }
        button->click();
        return true;
    case StepKind::Check:
        if (!ofKind(c, {CtlKind::Check}, id, step.name, error)) {
            return false;
        }
        if (button->isChecked() != (last == "1")) {
            button->click();
        }
        return true;
    case StepKind::Pick:
        return ofKind(c, {CtlKind::DropList, CtlKind::ComboEdit, CtlKind::ListCtrl}, id, step.name,
                      error) &&
               pickStep(c, last, error);
    case StepKind::Mark:
        return ofKind(c, {CtlKind::ListCtrl}, id, step.name, error) && markStep(c, step, error);
    case StepKind::Focus:
        if (c.widget->focusPolicy() == Qt::NoFocus) {
            return fail(error, "control " + id + " takes no focus");
        }
        activate(DialogAccess::impl(dialog).window);
        c.widget->setFocus(Qt::OtherFocusReason);
        return true;
    default:
        return fail(error, step.name + " does not act on a control");
    }
}

} // namespace

void StartReplay(const std::string& scriptPath, IMainAutomation& main) {
    if (!QCoreApplication::instance()) {
        std::fprintf(stderr, "replay: the application object must exist first\n");
        endProgram(2);
    }
    std::ifstream in(scriptPath, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "replay: cannot read %s\n", scriptPath.c_str());
        endProgram(2);
    }
    std::stringstream text;
    text << in.rdbuf();
    std::vector<ReplayStep> steps;
    std::string error;
    if (!ParseReplayScript(text.str(), steps, error)) {
        std::fprintf(stderr, "replay: %s\n", error.c_str());
        endProgram(2);
    }
    auto* runner = new Runner(std::move(steps), main);
    runner->schedule();
}

} // namespace fw
