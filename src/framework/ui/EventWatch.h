#pragma once
// Waiting, inside the event loop, for a socket to be ready or for a time to pass: how the
// program hears of another workstation's change or a connection that went, and when it tries
// to connect again, without ever blocking the window.

#include <functional>
#include <memory>

namespace fw {

class EventWatch {
public:
    EventWatch();
    ~EventWatch();
    EventWatch(const EventWatch&) = delete;
    EventWatch& operator=(const EventWatch&) = delete;

    // Calls ready once, from the event loop, when fd can be read (or written, with forWrite),
    // or when timeoutMs have passed; fd -1 waits for the time alone, timeoutMs -1 for the
    // socket alone. Arming again (ready may) replaces what was armed.
    void Arm(int fd, bool forWrite, int timeoutMs, std::function<void()> ready);
    void Disarm();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace fw
