#include "framework/ui/EventWatch.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

namespace fw {

struct EventWatch::Impl {
    QPointer<QSocketNotifier> notifier;
    QTimer timer;
    std::function<void()> ready;
    // Counts the armings, so that a notifier or timer of an earlier one calls nothing.
    unsigned long long arming = 0;

    void fire(unsigned long long armed) {
        if (armed != arming || !ready) {
            return;
        }
        std::function<void()> call = std::move(ready);
        ready = nullptr;
        drop();
        call();
    }

    void drop() {
        timer.stop();
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
            notifier = nullptr;
        }
    }
};

EventWatch::EventWatch() : m_impl(std::make_unique<Impl>()) {
    m_impl->timer.setSingleShot(true);
}

EventWatch::~EventWatch() {
    Disarm();
}

void EventWatch::Arm(int fd, bool forWrite, int timeoutMs, std::function<void()> ready) {
    Impl& impl = *m_impl;
    impl.drop();
    const unsigned long long armed = ++impl.arming;
    impl.ready = std::move(ready);
    if (fd >= 0) {
        impl.notifier =
            new QSocketNotifier(fd, forWrite ? QSocketNotifier::Write : QSocketNotifier::Read,
                                QCoreApplication::instance());
        QObject::connect(impl.notifier, &QSocketNotifier::activated, impl.notifier,
                         [this, armed] { m_impl->fire(armed); });
    }
    QObject::disconnect(&impl.timer, nullptr, nullptr, nullptr);
    if (timeoutMs >= 0) {
        QObject::connect(&impl.timer, &QTimer::timeout, &impl.timer,
                         [this, armed] { m_impl->fire(armed); });
        impl.timer.start(timeoutMs);
    }
}

void EventWatch::Disarm() {
    ++m_impl->arming;
    m_impl->ready = nullptr;
    m_impl->drop();
}

} // namespace fw
