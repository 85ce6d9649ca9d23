#include <keldar/core/Signal.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using Keldar::Connection;
using Keldar::Observer;
using Keldar::Signal;

namespace {

class Recorder : public Observer
{
public:
    explicit Recorder(std::vector<std::string>* log, std::string name)
        : m_log(log)
        , m_name(std::move(name))
    {
    }
    void onValue(int value) { m_log->push_back(m_name + std::to_string(value)); }
    void onValueConst(int value) const { m_log->push_back(m_name + "c" + std::to_string(value)); }
    using Observer::connect;

private:
    std::vector<std::string>* m_log;
    std::string m_name;
};

} // namespace

TEST(SignalCallOrder, SlotsRunInConnectionOrder)
{
    Signal<int> signal;
    std::vector<std::string> log;
    signal.connect([&](int v) { log.push_back("A" + std::to_string(v)); });
    signal.connect([&](int v) { log.push_back("B" + std::to_string(v)); });
    signal.connect([&](int v) { log.push_back("C" + std::to_string(v)); });
    signal(7);
    EXPECT_EQ(log, (std::vector<std::string>{"A7", "B7", "C7"}));
}

TEST(SignalCallOrder, ConstReferenceArgumentsAreNotCopied)
{
    Signal<const std::vector<int>&> signal;
    const std::vector<int> payload{1, 2, 3};
    const std::vector<int>* seen = nullptr;
    signal.connect([&](const std::vector<int>& v) { seen = &v; });
    signal.emit(payload);
    EXPECT_EQ(seen, &payload);
}

TEST(SignalCallOrder, EmittingWithoutSlotsDoesNothing)
{
    Signal<int> signal;
    EXPECT_NO_THROW(signal(1));
    EXPECT_EQ(signal.slotCount(), 0U);
}

TEST(SignalDisconnection, DisconnectedSlotIsNotCalled)
{
    Signal<> signal;
    int calls = 0;
    Connection connection = signal.connect([&] { ++calls; });
    signal();
    EXPECT_TRUE(connection.isConnected());
    connection.disconnect();
    EXPECT_FALSE(connection.isConnected());
    signal();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(signal.slotCount(), 0U);
}

TEST(SignalDisconnection, CopiesOfAConnectionShareTheSlot)
{
    Signal<> signal;
    Connection first = signal.connect([] {});
    const Connection second = first;
    second.disconnect();
    EXPECT_FALSE(first.isConnected());
    EXPECT_NO_THROW(first.disconnect());
}

TEST(SignalDisconnection, SlotDisconnectingItselfIsNotCalledAgain)
{
    Signal<> signal;
    int calls = 0;
    Connection self;
    self = signal.connect([&] {
        ++calls;
        self.disconnect();
        EXPECT_FALSE(self.isConnected());
    });
    int after = 0;
    signal.connect([&] { ++after; });
    signal();
    signal();
    EXPECT_EQ(calls, 1);
    // The self-removal must not disturb the walk over the remaining slots.
    EXPECT_EQ(after, 2);
    EXPECT_EQ(signal.slotCount(), 1U);
}

// Disconnection through a Connection is deferred while an emission runs: a
// later slot still gets this emission's call, and none after it.
TEST(SignalDisconnection, LaterSlotDisconnectedDuringEmissionRunsThisTimeOnly)
{
    Signal<> signal;
    std::vector<std::string> log;
    Connection later;
    signal.connect([&] {
        log.push_back("first");
        later.disconnect();
    });
    later = signal.connect([&] { log.push_back("later"); });
    signal();
    signal();
    EXPECT_EQ(log, (std::vector<std::string>{"first", "later", "first"}));
    EXPECT_EQ(signal.slotCount(), 1U);
}

TEST(SignalDisconnection, ObserverDestroyedByEarlierSlotIsNotCalled)
{
    Signal<int> signal;
    std::vector<std::string> log;
    auto victim = std::make_unique<Recorder>(&log, "v");
    signal.connect([&](int) { victim.reset(); });
    victim->connect(signal, &Recorder::onValue);
    signal(1);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(signal.slotCount(), 1U);
}

TEST(SignalDisconnection, EarlierSlotDisconnectedDuringEmissionStillRanOnce)
{
    Signal<> signal;
    std::vector<std::string> log;
    Connection early = signal.connect([&] { log.push_back("early"); });
    signal.connect([&] {
        log.push_back("late");
        early.disconnect();
    });
    signal();
    signal();
    EXPECT_EQ(log, (std::vector<std::string>{"early", "late", "late"}));
}

TEST(SignalOneShot, RunsExactlyOnce)
{
    Signal<int> signal;
    int calls = 0;
    int lastValue = 0;
    Connection connection = signal.connect(
        [&](int v) {
            ++calls;
            lastValue = v;
        },
        true);
    EXPECT_TRUE(connection.isConnected());
    signal(4);
    signal(5);
    signal(6);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(lastValue, 4);
    EXPECT_FALSE(connection.isConnected());
    EXPECT_EQ(signal.slotCount(), 0U);
}

TEST(SignalOneShot, ReadsConnectedWhileRunning)
{
    Signal<> signal;
    Connection connection;
    bool connectedDuringCall = false;
    connection = signal.connect([&] { connectedDuringCall = connection.isConnected(); }, true);
    signal();
    EXPECT_TRUE(connectedDuringCall);
    EXPECT_FALSE(connection.isConnected());
}

TEST(SignalOneShot, OneShotDoesNotDisturbNeighbours)
{
    Signal<> signal;
    std::string log;
    signal.connect([&] { log += "a"; });
    signal.connect([&] { log += "b"; }, true);
    signal.connect([&] { log += "c"; });
    signal();
    signal();
    EXPECT_EQ(log, "abcac");
}

TEST(SignalConnectDuringEmission, NewSlotRunsInTheSameEmission)
{
    Signal<> signal;
    std::string log;
    bool added = false;
    signal.connect([&] {
        log += "a";
        if (!added) {
            added = true;
            signal.connect([&] { log += "n"; });
        }
    });
    signal();
    EXPECT_EQ(log, "an");
    signal();
    EXPECT_EQ(log, "anan");
}

TEST(SignalConnectDuringEmission, ReentrantEmissionKeepsOuterWalkIntact)
{
    Signal<int> signal;
    std::vector<int> seen;
    Connection removable;
    signal.connect([&](int depth) {
        seen.push_back(depth);
        if (depth == 0) {
            removable.disconnect();
            signal(1); // the inner emission ends first and must not erase under the outer one
        }
    });
    removable = signal.connect([&](int depth) { seen.push_back(100 + depth); });
    signal.connect([&](int depth) { seen.push_back(200 + depth); });
    signal(0);
    // The disconnected slot keeps its calls in the running emissions (inner and
    // outer) and is erased only when the outermost one ends.
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 101, 201, 100, 200}));
    EXPECT_EQ(signal.slotCount(), 2U);
    seen.clear();
    signal(2);
    EXPECT_EQ(seen, (std::vector<int>{2, 202}));
}

TEST(SignalFailures, EmptyCallbackThrowsAndLeavesSignalUsable)
{
    Signal<> signal;
    int calls = 0;
    Connection doomed = signal.connect([&] { ++calls; }, false);
    signal.connect(std::function<void()>{});
    EXPECT_THROW(signal(), std::bad_function_call);
    EXPECT_EQ(calls, 1);
    // Had the emission state stayed set, this disconnect would only be
    // deferred and the slot would remain in the table.
    doomed.disconnect();
    EXPECT_EQ(signal.slotCount(), 1U);
}

TEST(SignalFailures, ThrowingSlotStillRemovesOneShots)
{
    Signal<> signal;
    int calls = 0;
    signal.connect([&] { ++calls; }, true);
    Connection thrower = signal.connect([] { throw std::runtime_error("boom"); });
    EXPECT_THROW(signal(), std::runtime_error);
    thrower.disconnect();
    signal();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(signal.slotCount(), 0U);
}

TEST(SignalLifetime, DestroyedSignalLeavesConnectionsDisconnected)
{
    Connection connection;
    {
        Signal<int> signal;
        connection = signal.connect([](int) {});
        EXPECT_TRUE(connection.isConnected());
    }
    EXPECT_FALSE(connection.isConnected());
    EXPECT_NO_THROW(connection.disconnect());
}

TEST(SignalLifetime, DefaultConnectionIsHarmless)
{
    const Connection connection;
    EXPECT_FALSE(connection.isConnected());
    EXPECT_NO_THROW(connection.disconnect());
}

TEST(SignalLifetime, SlotMayDestroyItsOwnSignal)
{
    auto signal = std::make_unique<Signal<>>();
    int after = 0;
    signal->connect([&] { signal.reset(); });
    signal->connect([&] { ++after; });
    auto* raw = signal.get();
    raw->emit();
    EXPECT_EQ(signal, nullptr);
    EXPECT_EQ(after, 1);
}

TEST(SignalLifetime, MovedSignalKeepsItsConnections)
{
    Signal<> source;
    int calls = 0;
    Connection connection = source.connect([&] { ++calls; });
    Signal<> target(std::move(source));
    target();
    source(); // NOLINT(bugprone-use-after-move): the source must stay usable
    EXPECT_EQ(calls, 1);
    connection.disconnect();
    target();
    EXPECT_EQ(calls, 1);
}

TEST(SignalObserver, ObserverDyingFirstDisconnectsItsSlots)
{
    Signal<int> signal;
    std::vector<std::string> log;
    {
        Recorder recorder(&log, "r");
        recorder.connect(signal, &Recorder::onValue);
        recorder.connect(signal, &Recorder::onValueConst);
        recorder.connect(signal, [&log](int v) { log.push_back("l" + std::to_string(v)); });
        signal(1);
        EXPECT_EQ(signal.slotCount(), 3U);
    }
    EXPECT_EQ(signal.slotCount(), 0U);
    signal(2);
    EXPECT_EQ(log, (std::vector<std::string>{"r1", "rc1", "l1"}));
}

TEST(SignalObserver, ObserverOutlivingSignalDiesQuietly)
{
    std::vector<std::string> log;
    auto recorder = std::make_unique<Recorder>(&log, "r");
    Connection connection;
    {
        Signal<int> signal;
        connection = recorder->connect(signal, &Recorder::onValue);
        signal(1);
    }
    EXPECT_FALSE(connection.isConnected());
    // Connecting to another signal prunes the dead handle; dying afterwards
    // must not touch the freed signal.
    Signal<int> other;
    recorder->connect(other, &Recorder::onValue, true);
    other(2);
    other(3);
    EXPECT_NO_THROW(recorder.reset());
    EXPECT_EQ(log, (std::vector<std::string>{"r1", "r2"}));
}

TEST(SignalObserver, CopiedObserverDoesNotInheritConnections)
{
    Signal<int> signal;
    std::vector<std::string> log;
    auto original = std::make_unique<Recorder>(&log, "o");
    original->connect(signal, &Recorder::onValue);
    {
        Recorder copy(*original);
        EXPECT_EQ(signal.slotCount(), 1U);
    }
    // The copy's death must not cut the original's connection.
    signal(1);
    original.reset();
    signal(2);
    EXPECT_EQ(log, (std::vector<std::string>{"o1"}));
}

TEST(SignalIdWrap, IdsWrapAndSkipSlotsStillConnected)
{
    Signal<> signal;
    std::vector<int> order;
    // The first slot keeps id 1 through the wrap.
    Connection keeper = signal.connect([&] { order.push_back(-1); });
    for (int i = 0; i < 300; ++i) {
        Connection c = signal.connect([] {});
        c.disconnect();
    }
    int calls = 0;
    Connection fresh = signal.connect([&] { ++calls; });
    EXPECT_TRUE(fresh.isConnected());
    EXPECT_TRUE(keeper.isConnected());
    EXPECT_EQ(signal.slotCount(), 2U);
    signal();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(order.size(), 1U);
    // Disconnecting the new handle must not cut the old slot.
    fresh.disconnect();
    EXPECT_TRUE(keeper.isConnected());
    EXPECT_EQ(signal.slotCount(), 1U);
}

TEST(SignalIdWrap, WrappedIdsDoNotAliasLiveSlots)
{
    Signal<> signal;
    std::vector<Connection> connections;
    std::vector<int> counts(256, 0);
    for (int i = 0; i < 256; ++i) {
        connections.push_back(signal.connect([&counts, i] { ++counts[static_cast<std::size_t>(i)]; }));
    }
    EXPECT_EQ(signal.slotCount(), 256U);
    EXPECT_THROW(signal.connect([] {}), std::length_error);
    connections[10].disconnect();
    Connection replacement = signal.connect([&counts] { ++counts[10]; });
    EXPECT_TRUE(replacement.isConnected());
    signal();
    for (int count : counts) {
        EXPECT_EQ(count, 1);
    }
}

TEST(SignalThreads, DisconnectFromAnotherThreadWhileEmitting)
{
    Signal<int> signal;
    std::atomic<int> calls{0};
    std::vector<Connection> connections;
    for (int i = 0; i < 50; ++i) {
        connections.push_back(signal.connect([&](int) { ++calls; }));
    }
    std::atomic<bool> done{false};
    std::thread emitter([&] {
        while (!done) {
            signal(1);
        }
    });
    for (auto& connection : connections) {
        connection.disconnect();
    }
    done = true;
    emitter.join();
    EXPECT_EQ(signal.slotCount(), 0U);
    const int before = calls;
    signal(1);
    EXPECT_EQ(calls, before);
}
