#include "framework/ui/Dialog.h"

#include "framework/ui/DialogImpl.h"
#include "framework/ui/Signals.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPointer>
#include <qdrawutil.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace fw {

namespace detail {

std::vector<CDialog*>& runningDialogs() {
    static std::vector<CDialog*> dialogs;
    return dialogs;
}

namespace {

// Modal dialogs sit over the innermost running dialog, else over the main window.
QWidget* ownerWindow() {
    const auto& running = runningDialogs();
    for (auto it = running.rbegin(); it != running.rend(); ++it) {
        if (QWidget* window = DialogAccess::impl(**it).window) {
            return window;
        }
    }
    if (QWidget* active = QApplication::activeWindow()) {
        return active;
    }
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->isVisible() && !qobject_cast<QDialog*>(top)) {
            return top;
        }
    }
    return nullptr;
}

bool takesFocus(const Control& c) {
    const QWidget* w = c.widget;
    return !c.has(kHidden) && !c.has(kDisabled) && (w->focusPolicy() & Qt::TabFocus) != 0;
}

// Without a choice of the dialog's own, the focus starts on the first control that takes it.
// Setting it before the window shows lets it arrive with the window's activation, which is not
// a move between controls and so runs no focus handler.
void placeDefaultFocus(CDialog::Impl& d) {
    for (Control& c : d.controls) {
        if (takesFocus(c)) {
            c.widget->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

struct ExchangeScope {
    explicit ExchangeScope(CDialog::Impl& impl) : d(impl) { ++d.exchangeDepth; }
    ~ExchangeScope() { --d.exchangeDepth; }
    ExchangeScope(const ExchangeScope&) = delete;
    ExchangeScope& operator=(const ExchangeScope&) = delete;
    CDialog::Impl& d;
};

void runHandler(const std::map<int, std::function<void()>>& handlers, int id) {
    const auto it = handlers.find(id);
    if (it != handlers.end()) {
        const std::function<void()> handler = it->second; // it may rebind itself
        handler();
    }
}

} // namespace

DialogWindow::DialogWindow(CDialog& owner, bool framed, QWidget* parent)
    : QDialog(parent, framed ? Qt::Dialog | Qt::FramelessWindowHint : Qt::Dialog), m_owner(owner),
      m_framed(framed) {
    setWindowModality(Qt::ApplicationModal);
}

void DialogWindow::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) {
        QDialog::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        pressDefaultButton();
        break;
    case Qt::Key_Escape:
        DialogAccess::command(m_owner, 2);
        break;
    default:
        QDialog::keyPressEvent(event);
        return;
    }
    event->accept();
}

// A default button that is hidden or disabled confirms nothing.
void DialogWindow::pressDefaultButton() {
    for (Control& c : DialogAccess::impl(m_owner).controls) {
        if (c.kind() == CtlKind::Push && c.has(kDefault)) {
            if (!c.widget->isHidden() && c.widget->isEnabled()) {
                static_cast<QAbstractButton*>(c.widget)->click();
            }
            return;
        }
    }
}

void DialogWindow::reject() {
    DialogAccess::command(m_owner, 2);
}

void DialogWindow::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (m_framed) {
        QPainter painter(this);
        qDrawWinPanel(&painter, rect(), palette(), false);
    }
}

// Only a real move of the focus between controls counts: not the window's activation, nor the
// focus event a dialog window sends its focus widget as it shows (that widget has no focus yet).
bool DialogWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        const auto it = m_watched.constFind(watched);
        if (it != m_watched.constEnd() && static_cast<QWidget*>(watched)->hasFocus() &&
            reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            DialogAccess::focused(m_owner, it.value());
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace detail

using detail::Control;

Control* CDialog::Impl::find(int id) {
    const auto it = byId.find(id);
    return it == byId.end() ? nullptr : &controls[it->second];
}

const Control* CDialog::Impl::find(int id) const {
    const auto it = byId.find(id);
    return it == byId.end() ? nullptr : &controls[it->second];
}

Control& CDialog::Impl::get(int id) {
    Control* c = find(id);
    if (!c) {
        std::fprintf(stderr, "dialog %d has no control %d%s\n", tmpl.id, id,
                     window ? "" : " (the dialog is not running)");
        std::abort();
    }
    return *c;
}

const Control& CDialog::Impl::get(int id) const {
    return const_cast<Impl*>(this)->get(id);
}

namespace {

// The control must be of the kind the call expects; anything else is an error in the dialog.
template <class Widget> Widget* widgetOf(const CDialog::Impl& d, int id) {
    auto* widget = qobject_cast<Widget*>(d.get(id).widget);
    if (!widget) {
        std::fprintf(stderr, "dialog %d: control %d is not a %s\n", d.tmpl.id, id,
                     Widget::staticMetaObject.className());
        std::abort();
    }
    return widget;
}

} // namespace

void DialogAccess::command(CDialog& dialog, int id) {
    CDialog::Impl& d = *dialog.m_impl;
    if (!d.running || d.ended) {
        return;
    }
    if (d.clicked.count(id)) {
        detail::runHandler(d.clicked, id);
    } else if (id == kIdOk) {
        dialog.OnOK();
    } else if (id == kIdCancel) {
        dialog.OnCancel();
    }
}

void DialogAccess::changed(CDialog& dialog, int id) {
    const CDialog::Impl& d = *dialog.m_impl;
    if (d.running && !d.ended && d.exchangeDepth == 0) {
        detail::runHandler(d.changed, id);
    }
}

void DialogAccess::focused(CDialog& dialog, int id) {
    const CDialog::Impl& d = *dialog.m_impl;
    if (d.running && !d.ended && d.exchangeDepth == 0) {
        detail::runHandler(d.focused, id);
    }
}

void DialogAccess::type(CDialog& dialog, Control& c, const QString& text) {
    const QString typed = detail::typedText(text, c.byteLimit, c.isMultiLine());
    QString refused;
    detail::storableText(text, {}, &refused);
    if (c.isMultiLine()) {
        static_cast<detail::MultiLineEdit*>(c.widget)->setTextQuietly(typed);
    } else if (c.kind() == CtlKind::Edit) {
        static_cast<QLineEdit*>(c.widget)->setText(typed);
    } else {
        static_cast<QComboBox*>(c.widget)->setEditText(typed);
    }
    detail::reportRefused(c.widget, refused);
    changed(dialog, c.id());
}

CDialog::CDialog(const DlgTemplate& tmpl) : m_impl(std::make_unique<Impl>()) {
    m_impl->tmpl = tmpl;
}

CDialog::~CDialog() {
    auto& running = detail::runningDialogs();
    running.erase(std::remove(running.begin(), running.end(), this), running.end());
    detail::destroyWindow(*m_impl);
}

int CDialog::DoModal() {
    Impl& d = *m_impl;
    // Once the program is ending no dialog opens, so no flow can go on asking.
    if (d.running || IsEnding()) {
        return kNoDialog;
    }
    d.ended = false;
    d.result = 0;
    detail::buildWindow(*this, detail::ownerWindow());
    detail::runningDialogs().push_back(this);
    d.running = true;
    if (OnInitDialog() && !d.ended) {
        detail::placeDefaultFocus(d);
    }
    if (!d.ended) {
        QEventLoop loop;
        d.loop = &loop;
        d.window->show();
        d.window->activateWindow();
        loop.exec(QEventLoop::DialogExec);
        d.loop = nullptr;
    }
    auto& running = detail::runningDialogs();
    running.erase(std::remove(running.begin(), running.end(), this), running.end());
    d.running = false;
    detail::destroyWindow(d);
    return IsEnding() ? kNoDialog : d.result;
}

void CDialog::EndDialog(int result) {
    Impl& d = *m_impl;
    d.result = result;
    if (!d.running || d.ended) {
        return;
    }
    d.ended = true;
    d.window->hide();
    if (d.loop) {
        d.loop->exit();
    }
}

bool CDialog::UpdateData(bool saveAndValidate) {
    Impl& d = *m_impl;
    if (!d.window) {
        return false;
    }
    const detail::ExchangeScope scope(d);
    CDataExchange dx(this, saveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const detail::ExchangeFailure&) {
        return false;
    }
    return true;
}

int CDialog::GetTemplateId() const {
    return m_impl->tmpl.id;
}

void CDialog::DoDataExchange(CDataExchange*) {}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::OnOK() {
    if (UpdateData(true)) {
        EndDialog(kIdOk);
    }
}

void CDialog::OnCancel() {
    EndDialog(kIdCancel);
}

void CDialog::OnClicked(int id, std::function<void()> handler) {
    m_impl->clicked[id] = std::move(handler);
}

void CDialog::OnEditChange(int id, std::function<void()> handler) {
    m_impl->changed[id] = std::move(handler);
}

void CDialog::OnSetFocus(int id, std::function<void()> handler) {
    m_impl->focused[id] = std::move(handler);
}

CString CDialog::GetDlgItemText(int id) const {
    return detail::readText(m_impl->get(id));
}

void CDialog::SetDlgItemText(int id, const CString& text) {
    detail::writeText(m_impl->get(id), text);
}

void CDialog::EnableDlgItem(int id, bool enable) {
    m_impl->get(id).widget->setEnabled(enable);
}

void CDialog::ShowDlgItem(int id, bool show) {
    m_impl->get(id).widget->setVisible(show);
}

void CDialog::FocusDlgItem(int id) {
    m_impl->get(id).widget->setFocus(Qt::OtherFocusReason);
}

void CDialog::ComboAddString(int id, const CString& text) {
    widgetOf<QComboBox>(*m_impl, id);
    detail::insertItem(m_impl->get(id), -1, text);
}

void CDialog::ComboAddStrings(int id, const CStringArray& texts) {
    widgetOf<QComboBox>(*m_impl, id);
    detail::appendItems(m_impl->get(id), std::vector<CString>(texts.begin(), texts.end()));
}

void CDialog::ComboResetContent(int id) {
    widgetOf<QComboBox>(*m_impl, id)->clear();
}

void CDialog::ListInsertItem(int id, int pos, const CString& text) {
    widgetOf<QListWidget>(*m_impl, id);
    detail::insertItem(m_impl->get(id), pos, text);
}

void CDialog::ListDeleteAll(int id) {
    widgetOf<QListWidget>(*m_impl, id)->clear();
}

int CDialog::ListGetCount(int id) const {
    widgetOf<QListWidget>(*m_impl, id);
    return detail::itemCount(m_impl->get(id));
}

bool CDialog::ListIsSelected(int id, int pos) const {
    const QListWidgetItem* item = widgetOf<QListWidget>(*m_impl, id)->item(pos);
    return item && item->isSelected();
}

CDialog* ActiveDialog() {
    const auto& running = detail::runningDialogs();
    return running.empty() ? nullptr : running.back();
}

} // namespace fw
