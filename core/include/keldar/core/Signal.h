#pragma once

// A small signal/slot mechanism for the libraries below the GUI. Slots run
// synchronously on the emitting thread, in the order they were connected.
//
// Safety rules the implementation keeps:
// - A slot disconnected through its Connection while an emission is running
//   is still called in that emission if its turn has not come, and is erased
//   when the emission ends. A slot cut by its Observer's destruction is never
//   called again, not even later in the same emission: its owner is gone.
// - Connections stay queryable after their signal died (weak references).
// - One recursive mutex per signal serialises connect, disconnect and
//   emission, so a listener may disconnect from another thread; a slot may
//   connect, disconnect or re-emit the same signal from inside its call.
//   Disconnecting from another thread waits for a running emission to end,
//   so a slot must never wait for a thread that is about to connect to,
//   disconnect from or emit the same signal.
// - Cleanup after an emission also runs when a slot throws.

#include <cstdint>
#include <forward_list>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace Keldar {

template<typename... Args>
class Signal;

namespace Detail {

template<typename... Args>
struct SignalCore
{
    struct Slot
    {
        std::uint8_t id = 0;
        // Shared token: its lifetime is "this slot is connected". Connections
        // watch it through weak pointers.
        std::shared_ptr<std::uint8_t> token;
        std::function<void(Args...)> callback;
        bool oneShot = false;
        // Set when the slot is disconnected during an emission; the record is
        // erased when the outermost emission ends.
        bool removed = false;
        // Set when the slot must not be called any more, even by the emission
        // that is running (spent one-shot, or its observer is being destroyed).
        bool skip = false;
    };

    std::recursive_mutex mutex;
    std::map<std::uint8_t, Slot> slots;
    std::uint8_t lastId = 0;
    // A depth rather than a flag: a slot may emit the same signal again, and the
    // inner emission must not erase records the outer walk still stands on.
    int emitDepth = 0;

    void eraseRemoved()
    {
        for (auto it = slots.begin(); it != slots.end();) {
            if (it->second.removed) {
                it = slots.erase(it);
            } else {
                ++it;
            }
        }
    }

    void disconnect(const std::weak_ptr<std::uint8_t>& weakToken, bool skipRemaining)
    {
        std::lock_guard lock(mutex);
        const auto token = weakToken.lock();
        if (!token) {
            return;
        }
        const auto it = slots.find(*token);
        if (it == slots.end() || it->second.token != token) {
            return;
        }
        if (emitDepth > 0) {
            it->second.removed = true;
            it->second.skip = it->second.skip || skipRemaining;
            it->second.token.reset();
        } else {
            slots.erase(it);
        }
    }
};

} // namespace Detail

// What Signal::connect returns: enough to find the slot again, never enough to
// keep the signal alive.
template<typename... Args>
class ConnectionData
{
public:
    ConnectionData() = default;
    ConnectionData(std::weak_ptr<Detail::SignalCore<Args...>> core, std::weak_ptr<std::uint8_t> token)
        : m_core(std::move(core))
        , m_token(std::move(token))
    {
    }

    bool isConnected() const { return !m_token.expired(); }

    // skipRemaining: also keep the slot from being called by an emission that
    // is running now (its owner is about to die).
    void disconnect(bool skipRemaining = false) const
    {
        if (m_token.expired()) {
            return;
        }
        if (const auto core = m_core.lock()) {
            core->disconnect(m_token, skipRemaining);
        }
    }

private:
    std::weak_ptr<Detail::SignalCore<Args...>> m_core;
    std::weak_ptr<std::uint8_t> m_token;
};

// A type-erased handle to one slot of any signal. Copies refer to the same slot.
class Connection
{
public:
    Connection() = default;

    template<typename... Args>
    Connection(const ConnectionData<Args...>& data) // NOLINT(google-explicit-constructor)
        : m_disconnect([data](bool skipRemaining) { data.disconnect(skipRemaining); })
        , m_isConnected([data] { return data.isConnected(); })
    {
    }

    void disconnect() const
    {
        if (m_disconnect) {
            m_disconnect(false);
        }
    }

    bool isConnected() const { return m_isConnected && m_isConnected(); }

private:
    friend class Observer;

    // Used by a dying observer: the slot is not called again, even by an
    // emission that is running now.
    void sever() const
    {
        if (m_disconnect) {
            m_disconnect(true);
        }
    }

    std::function<void(bool)> m_disconnect;
    std::function<bool()> m_isConnected;
};

template<typename... Args>
class Signal
{
public:
    using Callback = std::function<void(Args...)>;

    Signal() = default;
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    // Connections follow the moved signal; the source is left empty but usable.
    Signal(Signal&& other) noexcept
        : m_core(std::exchange(other.m_core, std::make_shared<Core>()))
    {
    }
    Signal& operator=(Signal&& other) noexcept
    {
        if (this != &other) {
            m_core = std::exchange(other.m_core, std::make_shared<Core>());
        }
        return *this;
    }

    // Ids are 8 bits wide and handed out in ascending order; after a wrap an id
    // still held by a live slot is skipped. With all 256 ids in use the
    // connection is refused with std::length_error rather than aliasing an
    // existing slot.
    ConnectionData<Args...> connect(Callback callback, bool oneShot = false) const
    {
        Core& core = *m_core;
        std::lock_guard lock(core.mutex);
        if (core.slots.size() >= 256) {
            throw std::length_error("Keldar::Signal: all 256 connection ids are in use");
        }
        std::uint8_t id = core.lastId;
        do {
            ++id;
        } while (core.slots.count(id) != 0);
        core.lastId = id;

        typename Core::Slot slot;
        slot.id = id;
        slot.token = std::make_shared<std::uint8_t>(id);
        slot.callback = std::move(callback);
        slot.oneShot = oneShot;
        std::weak_ptr<std::uint8_t> token = slot.token;
        core.slots.emplace(id, std::move(slot));
        return ConnectionData<Args...>(m_core, std::move(token));
    }

    // Calls every connected slot in ascending id order. An empty callback makes
    // the emission throw std::bad_function_call; the signal stays consistent.
    void emit(Args... args) const
    {
        // Hold the core so that a slot destroying this signal cannot pull the
        // slot table from under the walk.
        const std::shared_ptr<Core> core = m_core;
        std::lock_guard lock(core->mutex);
        ++core->emitDepth;
        struct EndOfEmission
        {
            Core& core;
            ~EndOfEmission()
            {
                if (--core.emitDepth == 0) {
                    core.eraseRemoved();
                }
            }
        } guard{*core};

        for (auto it = core->slots.begin(); it != core->slots.end(); ++it) {
            auto& slot = it->second;
            if (slot.skip) {
                continue;
            }
            if (slot.oneShot) {
                slot.removed = true;
                slot.skip = true;
                // The token dies after the call so that the slot reads as
                // connected while it runs.
                auto token = std::move(slot.token);
                slot.callback(args...);
                continue;
            }
            slot.callback(args...);
        }
    }

    void operator()(Args... args) const { emit(args...); }

    std::size_t slotCount() const
    {
        std::lock_guard lock(m_core->mutex);
        std::size_t count = 0;
        for (const auto& [id, slot] : m_core->slots) {
            count += slot.removed ? 0 : 1;
        }
        return count;
    }

private:
    using Core = Detail::SignalCore<Args...>;
    std::shared_ptr<Core> m_core = std::make_shared<Core>();
};

// Base class for listeners: the connections it makes are cut when it dies.
class Observer
{
public:
    Observer() = default;
    // A copy or a moved-to observer starts without connections: those of the
    // source call back into the source, not into the new object.
    Observer(const Observer&) {}
    Observer(Observer&&) noexcept {}
    Observer& operator=(const Observer&) { return *this; }
    Observer& operator=(Observer&&) noexcept { return *this; }

    virtual ~Observer() { disconnectAll(); }

    template<typename... Args, typename Callable>
    requires std::is_invocable_v<Callable&, Args...> Connection connect(const Signal<Args...>& signal,
                                                                        Callable&& callback, bool oneShot = false)
    {
        return remember(signal.connect(typename Signal<Args...>::Callback(std::forward<Callable>(callback)), oneShot));
    }

    template<typename... Args, typename Derived, typename... MemberArgs>
    requires std::is_base_of_v<Observer, Derived>
        Connection connect(const Signal<Args...>& signal, void (Derived::*member)(MemberArgs...), bool oneShot = false)
    {
        auto* self = static_cast<Derived*>(this);
        return remember(signal.connect([self, member](Args... args) { (self->*member)(args...); }, oneShot));
    }

    template<typename... Args, typename Derived, typename... MemberArgs>
    requires std::is_base_of_v<Observer, Derived> Connection connect(const Signal<Args...>& signal,
                                                                     void (Derived::*member)(MemberArgs...) const,
                                                                     bool oneShot = false)
    {
        const auto* self = static_cast<const Derived*>(this);
        return remember(signal.connect([self, member](Args... args) { (self->*member)(args...); }, oneShot));
    }

protected:
    void disconnectAll()
    {
        for (const auto& connection : m_connections) {
            connection.sever();
        }
        m_connections.clear();
    }

private:
    Connection remember(Connection connection)
    {
        m_connections.remove_if([](const Connection& c) { return !c.isConnected(); });
        m_connections.push_front(connection);
        return connection;
    }

    std::forward_list<Connection> m_connections;
};

} // namespace Keldar
