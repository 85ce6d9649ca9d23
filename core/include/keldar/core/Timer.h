#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace Keldar::Chrono {

// Calls a function every interval (or once) on a worker thread of its own.
// The callback runs without any lock held. Stopping or destroying the timer
// from inside its own callback is allowed: the worker is then let go instead
// of joined.
class Timer
{
public:
    Timer(std::int64_t intervalMs, std::function<void()> callback, bool singleShot = false);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    Timer(Timer&&) noexcept;
    Timer& operator=(Timer&&) noexcept;

    void start();
    void stop();
    bool isRunning() const;

    // Ignored while running.
    void setInterval(std::int64_t intervalMs);
    std::int64_t getInterval() const;
    // Ignored while running.
    void setSingleShot(bool singleShot);
    bool isSingleShot() const;
    void setCallback(std::function<void()> callback);

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace Keldar::Chrono
