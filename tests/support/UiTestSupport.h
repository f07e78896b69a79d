#pragma once
// Shared plumbing of the widget tests: the one application object, modal loops that run a test
// body, and the hands that work a dialog's controls.

#include "framework/ui/DialogImpl.h"

#include <QAbstractButton>
#include <QApplication>
#include <QInputMethodQueryEvent>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

inline void EnsureApplication() {
    if (!QApplication::instance()) {
        static int argc = 1;
        static char name[] = "vora_ui_tests";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
        QApplication::setApplicationName("vora");
    }
}

class ApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { EnsureApplication(); }
};

// One registration for the whole test program, however many test files include this.
[[maybe_unused]] inline ::testing::Environment* const kApplicationEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

// Runs the dialog modally with body inside its loop, once its window is up and active; the body
// ends the dialog. Returns DoModal's result.
inline int RunDialog(fw::CDialog& dialog, std::function<void()> body) {
    EnsureApplication();
    QTimer::singleShot(0, [&dialog, body = std::move(body)] {
        // as the window system does a moment after the window shows
        QApplication::setActiveWindow(fw::DialogAccess::impl(dialog).window);
        body();
    });
    return dialog.DoModal();
}

// Runs body inside the modal loop of whatever dialog the next call opens.
inline void WhenOpen(std::function<void()> body) {
    EnsureApplication();
    QTimer::singleShot(0, [body = std::move(body)] { body(); });
}

// Runs body in whatever dialog is innermost once the loop turns again: the one the next click
// opens.
// What the platform input context (ibus, fcitx) asks the focused widget before it converts:
// whether the widget takes input-method text.
inline bool TakesInputMethod(QWidget* widget) {
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QCoreApplication::sendEvent(widget, &query);
    return query.value(Qt::ImEnabled).toBool();
}

inline void InNextDialog(std::function<void(fw::CDialog&)> body) {
    QTimer::singleShot(0, [body = std::move(body)] { body(*fw::ActiveDialog()); });
}

inline fw::detail::Control& ControlOf(fw::CDialog& dialog, int id) {
    return fw::DialogAccess::impl(dialog).get(id);
}

template <class W = QWidget> W* WidgetOf(fw::CDialog& dialog, int id) {
    return qobject_cast<W*>(ControlOf(dialog, id).widget);
}

inline QWidget* FocusOf(fw::CDialog& dialog) {
    return fw::DialogAccess::impl(dialog).window->focusWidget();
}

inline void Press(fw::CDialog& dialog, int id) {
    WidgetOf<QAbstractButton>(dialog, id)->click();
}

inline CString TextOf(fw::CDialog& dialog, int id) {
    return fw::detail::readText(ControlOf(dialog, id));
}

inline void TypeInto(fw::CDialog& dialog, int id, const char* utf8) {
    fw::DialogAccess::type(dialog, ControlOf(dialog, id), QString::fromUtf8(utf8));
}

// Confirms every message box that opens while it lives and keeps its text.
class MessageCatcher {
public:
    MessageCatcher() {
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }
    const std::vector<std::string>& Texts() const { return m_texts; }
    std::vector<std::string> Take() { return std::exchange(m_texts, {}); }

private:
    void poll() {
        fw::CDialog* active = fw::ActiveDialog();
        if (!active || active->GetTemplateId() != fw::kMessageDialogId) {
            return;
        }
        if (!fw::DialogAccess::impl(*active).ended) {
            m_texts.push_back(TextOf(*active, fw::kMessageTextId).ToUtf8());
            active->EndDialog(fw::kIdOk);
        }
    }

    QTimer m_timer;
    std::vector<std::string> m_texts;
};

// While it lives, the process may take only headroom more bytes of address space than it has,
// so that a large allocation fails as it would on a machine short of memory.
class MemoryLimit {
public:
    explicit MemoryLimit(rlim_t headroom) {
        getrlimit(RLIMIT_AS, &m_saved);
        std::ifstream statm("/proc/self/statm");
        rlim_t pages = 0;
        statm >> pages;
        rlimit tight = m_saved;
        tight.rlim_cur = pages * rlim_t(sysconf(_SC_PAGESIZE)) + headroom;
        setrlimit(RLIMIT_AS, &tight);
    }
    ~MemoryLimit() { setrlimit(RLIMIT_AS, &m_saved); }
    MemoryLimit(const MemoryLimit&) = delete;
    MemoryLimit& operator=(const MemoryLimit&) = delete;

private:
    rlimit m_saved{};
};

} // namespace testing_support
