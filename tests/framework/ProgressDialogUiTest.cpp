// Long work with a bar: the dialog shows only for work that lasts, within half a second, while
// the event loop goes on; キャンセル and Escape stop the work, and what the work threw reaches
// the caller.
#include "framework/ui/ProgressDialog.h"

#include "support/UiTestSupport.h"

#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

using testing_support::Press;
using testing_support::WidgetOf;

namespace {

using Clock = std::chrono::steady_clock;

// Work that goes on, a step every 5 ms, until it is cancelled or has made `steps` steps.
struct SteppingWork {
    int steps = 2000;
    int done = 0;
    bool stopped = false;
    void operator()(fw::Progress& progress) {
        for (; done < steps; ++done) {
            if (!progress.Report(std::uint64_t(done), std::uint64_t(steps))) {
                stopped = true;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
};

// Watches the event loop while the work runs: when the progress dialog is up, act is called
// once with it.
class DialogWatch {
public:
    explicit DialogWatch(std::function<void(fw::CDialog&)> act) : m_act(std::move(act)) {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_start = Clock::now();
        m_timer.start();
    }
    int Ticks() const { return m_ticks; }
    bool Seen() const { return m_seen; }
    std::chrono::milliseconds SeenAfter() const { return m_seenAfter; }

private:
    void poll() {
        ++m_ticks;
        fw::CDialog* active = fw::ActiveDialog();
        if (m_seen || !active || active->GetTemplateId() != fw::kProgressDialogId) {
            return;
        }
        m_seen = true;
        m_seenAfter = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_start);
        m_act(*active);
    }

    QTimer m_timer;
    std::function<void(fw::CDialog&)> m_act;
    Clock::time_point m_start;
    std::chrono::milliseconds m_seenAfter{0};
    int m_ticks = 0;
    bool m_seen = false;
};

TEST(ProgressDialogUiTest, WorkThatEndsSoonShowsNoDialog) {
    testing_support::EnsureApplication();
    DialogWatch watch([](fw::CDialog&) {});
    int result = 0;
    fw::RunWithProgress(CString("quick"),
                        [&](fw::Progress& progress) { result = progress.Report(1, 1) ? 42 : 0; });
    EXPECT_EQ(result, 42);
    EXPECT_FALSE(watch.Seen());
}

TEST(ProgressDialogUiTest, LongWorkShowsTheBarSoonAndCancelStopsIt) {
    testing_support::EnsureApplication();
    SteppingWork work;
    std::string text;
    bool barMoved = false;
    DialogWatch watch([&](fw::CDialog& dialog) {
        text = WidgetOf<QLabel>(dialog, fw::kProgressTextId)->text().toStdString();
        // Let the bar move a little, with the event loop running, then cancel.
        QTimer::singleShot(300, [&] {
            barMoved = WidgetOf<QProgressBar>(dialog, fw::kProgressBarId)->value() > 0;
            Press(dialog, fw::kIdCancel);
        });
    });
    fw::RunWithProgress("患者リストを書き出しています…"_sj, std::ref(work));
    ASSERT_TRUE(watch.Seen());
    EXPECT_LT(watch.SeenAfter().count(), 500);
    EXPECT_EQ(text, "患者リストを書き出しています…");
    EXPECT_TRUE(barMoved);
    EXPECT_TRUE(work.stopped);
    EXPECT_LT(work.done, work.steps);
    EXPECT_GT(watch.Ticks(), 20); // the event loop turned all along
    EXPECT_EQ(fw::ActiveDialog(), nullptr);
}

TEST(ProgressDialogUiTest, EscapeCancelsAndTheWorksEndClosesTheDialog) {
    testing_support::EnsureApplication();
    SteppingWork cancelled;
    DialogWatch escape([](fw::CDialog& dialog) {
        QWidget* window = fw::DialogAccess::impl(dialog).window;
        QTest::keyClick(window, Qt::Key_Escape);
    });
    fw::RunWithProgress(CString("work"), std::ref(cancelled));
    EXPECT_TRUE(escape.Seen());
    EXPECT_TRUE(cancelled.stopped);

    SteppingWork finished;
    finished.steps = 80; // about 0.4 s
    DialogWatch none([](fw::CDialog&) {});
    fw::RunWithProgress(CString("work"), std::ref(finished));
    EXPECT_TRUE(none.Seen());
    EXPECT_FALSE(finished.stopped);
    EXPECT_EQ(finished.done, finished.steps);
    EXPECT_EQ(fw::ActiveDialog(), nullptr);
}

TEST(ProgressDialogUiTest, WhatTheWorkThrowsReachesTheCaller) {
    testing_support::EnsureApplication();
    for (int ms : {0, 400}) {
        SCOPED_TRACE(ms);
        EXPECT_THROW(fw::RunWithProgress(CString("work"),
                                         [ms](fw::Progress&) {
                                             std::this_thread::sleep_for(
                                                 std::chrono::milliseconds(ms));
                                             throw std::runtime_error("failed");
                                         }),
                     std::runtime_error);
    }
}

} // namespace
