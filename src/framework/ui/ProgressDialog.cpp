#include "framework/ui/ProgressDialog.h"

#include "framework/ui/DialogImpl.h"

#include <QApplication>
#include <QProgressBar>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace fw {
namespace {

constexpr int kWidth = 220;
constexpr int kButtonWidth = 50;
constexpr int kPollMs = 50;

DlgTemplate progressTemplate(const char* title) {
    return DlgTemplate{kProgressDialogId,
                       kWidth,
                       66,
                       title,
                       {
                           {kProgressTextId, CtlKind::Static, 10, 8, kWidth - 20, 18},
                           {kProgressBarId, CtlKind::ProgressBar, 10, 28, kWidth - 20, 10},
                           {kIdCancel, CtlKind::Push, (kWidth - kButtonWidth) / 2, 46, kButtonWidth,
                            14, "キャンセル"},
                       }};
}

// The work's end, as its thread tells it.
struct WorkState {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::exception_ptr failure;

    bool isDone() {
        std::lock_guard<std::mutex> lock(mutex);
        return done;
    }
};

class CProgressDlg : public CDialog {
public:
    CProgressDlg(const DlgTemplate& tmpl, const CString& text, Progress& progress, WorkState& state)
        : CDialog(tmpl), m_text(text), m_progress(progress), m_state(state) {}

protected:
    bool OnInitDialog() override {
        SetDlgItemText(kProgressTextId, m_text);
        CDialog::Impl& d = DialogAccess::impl(*this);
        auto* bar = static_cast<QProgressBar*>(d.get(kProgressBarId).widget);
        auto* timer = new QTimer(d.window);
        QObject::connect(timer, &QTimer::timeout, d.window, [this, bar] {
            bar->setValue(int(m_progress.Parts()));
            if (m_state.isDone()) {
                EndDialog(kIdOk);
            }
        });
        timer->start(kPollMs);
        bar->setValue(int(m_progress.Parts()));
        return true;
    }
    // Asks the work to stop; the dialog ends when it has.
    void OnCancel() override {
        m_progress.Cancel();
        SetDlgItemText(kProgressTextId, "キャンセルしています…"_sj);
        EnableDlgItem(kIdCancel, false);
    }

private:
    CString m_text;
    Progress& m_progress;
    WorkState& m_state;
};

} // namespace

namespace {
int g_workRunning = 0; // on the window system's thread only
} // namespace

bool IsWorkRunning() {
    return g_workRunning > 0;
}

void RunWithProgress(const CString& text, const std::function<void(Progress&)>& work) {
    struct Running {
        Running() { ++g_workRunning; }
        ~Running() { --g_workRunning; }
    } running;
    Progress progress;
    WorkState state;
    std::thread worker([&] {
        try {
            work(progress);
        } catch (...) {
            state.failure = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> lock(state.mutex);
            state.done = true;
        }
        state.ended.notify_all();
    });
    bool done = false;
    {
        std::unique_lock<std::mutex> lock(state.mutex);
        done = state.ended.wait_for(lock, std::chrono::milliseconds(kProgressShowAfterMs),
                                    [&] { return state.done; });
    }
    if (!done) {
        const std::string title = QApplication::applicationName().toStdString();
        CProgressDlg dialog(progressTemplate(title.c_str()), text, progress, state);
        // Not ended by the work's end: the program is ending, and the work must stop first.
        if (dialog.DoModal() != kIdOk) {
            progress.Cancel();
        }
    }
    worker.join();
    if (state.failure) {
        std::rethrow_exception(state.failure);
    }
}

} // namespace fw
