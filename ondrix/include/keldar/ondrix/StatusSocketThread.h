#pragma once

#include <keldar/core/Signal.h>
#include <keldar/ondrix/StatusMessage.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace Keldar::Ondrix::Status {

/// Listens for the sonars' UDP status datagrams on its own thread, hands every
/// datagram that can come from a sonar (Message::isFromASonar) to
/// `statusReceived`, counts the others, and emits `tick` about
/// every two seconds (the clock of the discovery expiry and the device
/// watchdogs). Both signals are emitted on the listener thread only.
///
/// A socket error never ends the thread: the socket is closed, reopened after a
/// short pause, and ticks go on meanwhile.
class StatusSocketThread
{
public:
    static constexpr std::uint16_t defaultPort = 52102;
    static constexpr std::chrono::milliseconds defaultTickPeriod{2000};
    static constexpr std::chrono::milliseconds reopenPause{250};

    /// `listenAddress` is an IPv4 address of this host ("0.0.0.0" for all).
    explicit StatusSocketThread(std::string listenAddress = "0.0.0.0", std::uint16_t port = defaultPort,
                                std::chrono::milliseconds tickPeriod = defaultTickPeriod);
    /// Stops and joins the thread.
    ~StatusSocketThread();
    StatusSocketThread(const StatusSocketThread&) = delete;
    StatusSocketThread& operator=(const StatusSocketThread&) = delete;

    /// Starts the listener thread; further calls while it runs do nothing.
    void start();
    /// Clears the running flag, wakes the thread and joins it.
    void stop();
    [[nodiscard]] bool isRunning() const;

    /// How many socket errors the thread has met and recovered from.
    [[nodiscard]] std::uint64_t socketErrorCount() const;
    /// How many datagrams were dropped as not coming from a sonar.
    [[nodiscard]] std::uint64_t droppedDatagramCount() const;
    /// Whether the socket is currently open and bound.
    [[nodiscard]] bool isListening() const;

    Signal<Message> statusReceived;
    Signal<> tick;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Keldar::Ondrix::Status
