#include <keldar/core/Timer.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace Keldar::Chrono {

// Shared with the worker thread, so that a timer destroyed from inside its own
// callback leaves the worker something valid to return to.
struct Timer::State
{
    std::mutex mutex;
    std::condition_variable wake;
    std::int64_t intervalMs = 0;
    std::function<void()> callback;
    bool singleShot = false;
    bool running = false;
    // Each start begins a new run; a worker left over from an earlier run
    // (stopped from its own callback) sees the change and ends.
    std::uint64_t run = 0;
    std::thread worker;
};

namespace {

// steady_clock::now() + interval must not overflow (which would put the
// deadline in the past and fire at once); ~35 years is "never" for a timer.
constexpr std::int64_t longestWaitMs = std::int64_t{1} << 40;

void finish(std::thread& worker)
{
    if (!worker.joinable()) {
        return;
    }
    if (worker.get_id() == std::this_thread::get_id()) {
        worker.detach();
    } else {
        worker.join();
    }
}

} // namespace

Timer::Timer(std::int64_t intervalMs, std::function<void()> callback, bool singleShot)
    : m_state(std::make_shared<State>())
{
    m_state->intervalMs = intervalMs < 0 ? 0 : intervalMs;
    m_state->callback = std::move(callback);
    m_state->singleShot = singleShot;
}

Timer::~Timer()
{
    if (m_state) {
        stop();
    }
}

Timer::Timer(Timer&& other) noexcept = default;

Timer& Timer::operator=(Timer&& other) noexcept
{
    if (this != &other) {
        if (m_state) {
            stop();
        }
        m_state = std::move(other.m_state);
    }
    return *this;
}

void Timer::start()
{
    if (!m_state) {
        return;
    }
    State& state = *m_state;
    std::thread previous;
    std::uint64_t run = 0;
    {
        std::lock_guard lock(state.mutex);
        if (state.running) {
            return;
        }
        state.running = true;
        run = ++state.run;
        previous = std::move(state.worker);
    }
    // A finished single-shot worker, or one stopped from its own callback.
    finish(previous);

    std::thread worker([shared = m_state, run] {
        State& s = *shared;
        std::unique_lock lock(s.mutex);
        const auto current = [&] { return s.running && s.run == run; };
        while (true) {
            const auto wait = std::chrono::milliseconds(std::min(s.intervalMs, longestWaitMs));
            const auto deadline = std::chrono::steady_clock::now() + wait;
            s.wake.wait_until(lock, deadline, [&] { return !current(); });
            if (!current()) {
                return;
            }
            // A copy, so that setCallback during the call cannot pull it away.
            const auto callback = s.callback;
            lock.unlock();
            if (callback) {
                callback();
            }
            lock.lock();
            if (!current()) {
                return;
            }
            if (s.singleShot) {
                s.running = false;
                return;
            }
        }
    });
    std::lock_guard lock(state.mutex);
    state.worker = std::move(worker);
}

void Timer::stop()
{
    if (!m_state) {
        return;
    }
    std::thread worker;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->running = false;
        worker = std::move(m_state->worker);
    }
    m_state->wake.notify_all();
    finish(worker);
}

bool Timer::isRunning() const
{
    if (!m_state) {
        return false;
    }
    std::lock_guard lock(m_state->mutex);
    return m_state->running;
}

void Timer::setInterval(std::int64_t intervalMs)
{
    if (!m_state) {
        return;
    }
    std::lock_guard lock(m_state->mutex);
    if (!m_state->running) {
        m_state->intervalMs = intervalMs < 0 ? 0 : intervalMs;
    }
}

std::int64_t Timer::getInterval() const
{
    if (!m_state) {
        return 0;
    }
    std::lock_guard lock(m_state->mutex);
    return m_state->intervalMs;
}

void Timer::setSingleShot(bool singleShot)
{
    if (!m_state) {
        return;
    }
    std::lock_guard lock(m_state->mutex);
    if (!m_state->running) {
        m_state->singleShot = singleShot;
    }
}

bool Timer::isSingleShot() const
{
    if (!m_state) {
        return false;
    }
    std::lock_guard lock(m_state->mutex);
    return m_state->singleShot;
}

void Timer::setCallback(std::function<void()> callback)
{
    if (!m_state) {
        return;
    }
    std::lock_guard lock(m_state->mutex);
    m_state->callback = std::move(callback);
}

} // namespace Keldar::Chrono
