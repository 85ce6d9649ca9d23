#include <keldar/core/Timer.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>

using Keldar::Chrono::Timer;
using namespace std::chrono_literals;

namespace {

// Counts callback calls and lets the test wait for a number of them without
// fixed sleeps, so the tests stay correct on a loaded machine.
class CallCounter
{
public:
    void hit()
    {
        std::lock_guard lock(m_mutex);
        ++m_count;
        m_changed.notify_all();
    }
    bool waitFor(int count, std::chrono::milliseconds limit = 10s)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [&] { return m_count >= count; });
    }
    int count()
    {
        std::lock_guard lock(m_mutex);
        return m_count;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_count = 0;
};

// Polls until a single-shot timer has ended by itself, for at most ten seconds.
bool stopsBySelf(const Timer& timer)
{
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (timer.isRunning() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    return !timer.isRunning();
}

} // namespace

TEST(TimerFiring, RepeatingTimerFiresUntilStopped)
{
    CallCounter counter;
    Timer timer(5, [&] { counter.hit(); });
    EXPECT_FALSE(timer.isRunning());
    timer.start();
    EXPECT_TRUE(timer.isRunning());
    ASSERT_TRUE(counter.waitFor(3));
    timer.stop();
    EXPECT_FALSE(timer.isRunning());
    const int atStop = counter.count();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(counter.count(), atStop);
}

TEST(TimerFiring, CallbackRunsOnWorkerThread)
{
    std::promise<std::thread::id> where;
    auto future = where.get_future();
    Timer timer(
        1, [&] { where.set_value(std::this_thread::get_id()); }, true);
    timer.start();
    ASSERT_EQ(future.wait_for(10s), std::future_status::ready);
    EXPECT_NE(future.get(), std::this_thread::get_id());
}

TEST(TimerFiring, DoesNotFireBeforeItsInterval)
{
    CallCounter counter;
    Timer timer(60000, [&] { counter.hit(); });
    timer.start();
    std::this_thread::sleep_for(30ms);
    timer.stop();
    EXPECT_EQ(counter.count(), 0);
}

TEST(TimerFiring, HugeIntervalMeansNeverRatherThanAtOnce)
{
    CallCounter counter;
    Timer timer(std::numeric_limits<std::int64_t>::max(), [&] { counter.hit(); });
    timer.start();
    std::this_thread::sleep_for(30ms);
    timer.stop();
    EXPECT_EQ(counter.count(), 0);
}

TEST(TimerFiring, NegativeIntervalIsTreatedAsZero)
{
    CallCounter counter;
    Timer timer(
        -5, [&] { counter.hit(); }, true);
    EXPECT_EQ(timer.getInterval(), 0);
    timer.start();
    EXPECT_TRUE(counter.waitFor(1));
}

TEST(TimerSingleShot, FiresOnceAndStopsItself)
{
    CallCounter counter;
    Timer timer(
        2, [&] { counter.hit(); }, true);
    EXPECT_TRUE(timer.isSingleShot());
    timer.start();
    ASSERT_TRUE(counter.waitFor(1));
    EXPECT_TRUE(stopsBySelf(timer));
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(counter.count(), 1);
}

TEST(TimerSingleShot, CanBeStartedAgainAfterFiring)
{
    CallCounter counter;
    Timer timer(
        1, [&] { counter.hit(); }, true);
    timer.start();
    ASSERT_TRUE(counter.waitFor(1));
    ASSERT_TRUE(stopsBySelf(timer));
    timer.start();
    EXPECT_TRUE(counter.waitFor(2));
}

TEST(TimerSettings, IntervalAndSingleShotIgnoredWhileRunning)
{
    Timer timer(60000, [] {});
    timer.start();
    timer.setInterval(5);
    timer.setSingleShot(true);
    EXPECT_EQ(timer.getInterval(), 60000);
    EXPECT_FALSE(timer.isSingleShot());
    timer.stop();
    timer.setInterval(5);
    timer.setSingleShot(true);
    EXPECT_EQ(timer.getInterval(), 5);
    EXPECT_TRUE(timer.isSingleShot());
}

TEST(TimerSettings, StartWhileRunningKeepsOneWorker)
{
    CallCounter counter;
    Timer timer(60000, [&] { counter.hit(); });
    timer.start();
    timer.start();
    timer.stop();
    EXPECT_FALSE(timer.isRunning());
    EXPECT_EQ(counter.count(), 0);
}

TEST(TimerSettings, NewCallbackIsUsedForLaterFirings)
{
    CallCounter first;
    CallCounter second;
    Timer timer(1, [&] { first.hit(); });
    timer.start();
    ASSERT_TRUE(first.waitFor(1));
    timer.setCallback([&] { second.hit(); });
    EXPECT_TRUE(second.waitFor(2));
    timer.stop();
}

TEST(TimerLifetime, DestroyingRunningTimerStopsIt)
{
    auto counter = std::make_shared<CallCounter>();
    {
        Timer timer(1, [counter] { counter->hit(); });
        timer.start();
        ASSERT_TRUE(counter->waitFor(1));
    }
    const int atDestruction = counter->count();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(counter->count(), atDestruction);
}

TEST(TimerLifetime, StopWaitsForRunningCallback)
{
    std::atomic<bool> inside{false};
    std::atomic<bool> finished{false};
    Timer timer(1, [&] {
        inside = true;
        std::this_thread::sleep_for(50ms);
        finished = true;
    });
    timer.start();
    while (!inside) {
        std::this_thread::yield();
    }
    timer.stop();
    EXPECT_TRUE(finished);
}

// Stopping or destroying a timer from its own callback must neither deadlock
// nor throw from a join on its own thread.
TEST(TimerLifetime, CallbackMayStopItsOwnTimer)
{
    CallCounter counter;
    std::unique_ptr<Timer> timer;
    timer = std::make_unique<Timer>(1, [&] {
        counter.hit();
        timer->stop();
    });
    timer->start();
    ASSERT_TRUE(counter.waitFor(1));
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(counter.count(), 1);
    EXPECT_FALSE(timer->isRunning());
}

TEST(TimerLifetime, CallbackMayDestroyItsOwnTimer)
{
    auto counter = std::make_shared<CallCounter>();
    auto started = std::make_shared<std::atomic<bool>>(false);
    auto* timer = new Timer(1, {});
    // Not before start() has returned: deleting an object inside one of its
    // own calls on another thread would be the test's race, not the timer's.
    timer->setCallback([timer, counter, started] {
        started->wait(false);
        delete timer;
        counter->hit();
    });
    timer->start();
    started->store(true);
    started->notify_all();
    ASSERT_TRUE(counter->waitFor(1));
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(counter->count(), 1);
}

TEST(TimerLifetime, MovedTimerKeepsRunning)
{
    CallCounter counter;
    Timer source(1, [&] { counter.hit(); });
    source.start();
    Timer target(std::move(source));
    EXPECT_TRUE(target.isRunning());
    EXPECT_FALSE(source.isRunning()); // NOLINT(bugprone-use-after-move)
    ASSERT_TRUE(counter.waitFor(2));
    target.stop();
}
