#pragma once

namespace Keldar::Ondrix {

/// A pollable flag (an eventfd) with which other threads wake a thread that
/// sleeps in poll(): new data to send, or time to stop.
class WakeupEvent
{
public:
    WakeupEvent();
    ~WakeupEvent();
    WakeupEvent(const WakeupEvent&) = delete;
    WakeupEvent& operator=(const WakeupEvent&) = delete;

    [[nodiscard]] int fd() const { return m_fd; }
    void notify() const;
    /// Resets the flag after a wake-up.
    void drain() const;

private:
    int m_fd = -1;
};

} // namespace Keldar::Ondrix
