#pragma once

#include <keldar/core/Signal.h>
#include <keldar/ondrix/SonarTypes.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Keldar::Ondrix {

/// The TCP command and data session with one sonar, on a thread of its own:
/// frames incoming messages, hands them to the four signals, and writes the
/// queued outgoing messages in order. In continuous mode a ping result queues
/// the next fire request unless another request is still unanswered, so that
/// at most one is outstanding.
///
/// The thread sleeps in poll() on the socket and a wake-up event, so an idle
/// session costs no CPU while messages still go out as soon as they are queued.
/// An error on the connection ends the thread silently; the owner notices via
/// isAlive() or the sonar's silence and replaces the session.
class MainSocketThread : public Observer
{
public:
    static constexpr std::uint16_t defaultPort = 52100;
    static constexpr std::chrono::milliseconds defaultConnectWait{2100};
    static constexpr std::chrono::seconds defaultLinger{3};

    struct Endpoint
    {
        std::string address; // IPv4 or IPv6 text
        std::uint32_t serialNumber = 0;
        std::uint16_t port = defaultPort;
        std::chrono::milliseconds connectWait = defaultConnectWait;
        /// When set (from any thread) while the constructor still waits, the
        /// attempt is abandoned at once with ConnectionError.
        std::shared_ptr<const std::atomic<bool>> cancel = nullptr;
        /// Linger time set on the connected socket (it is cleared again before
        /// the socket closes, so that closing never waits).
        std::chrono::seconds linger = defaultLinger;
    };

    /// Returns a consistent copy of the parameters the next fire request is
    /// built from; called from the session thread and from callers of sendFire.
    using ParameterSource = std::function<OperationParameters()>;

    /// Connects, waiting up to `endpoint.connectWait`; throws ConnectionError
    /// ("Could not connect to sonar.") when that fails.
    MainSocketThread(Endpoint endpoint, ParameterSource parameters);
    ~MainSocketThread() override;
    MainSocketThread(const MainSocketThread&) = delete;
    MainSocketThread& operator=(const MainSocketThread&) = delete;

    void sendFire();
    /// A fire request after results stopped coming: the request they stopped
    /// at may still be answered late, and that late result must not start a
    /// second chain of requests in continuous mode.
    void resendFire();
    /// A result has come since the last resendFire, but one request is still
    /// counted as unanswered: either the late answer to the earlier request
    /// came and the answer to the re-ask is on its way, or the earlier request
    /// was lost and the next resendFire should give it up.
    [[nodiscard]] bool awaitsLateResult() const;
    /// Zero payload: asks the sonar for its current configuration.
    void sendUserConfig();
    void sendUserConfig(bool dhcp, std::uint32_t address, std::uint32_t mask);
    void setOnDemand(bool onDemand);
    [[nodiscard]] bool isOnDemand() const;

    /// Received messages are held until this is called, so that a sonar that
    /// talks first cannot reach the signals before their listeners are connected.
    void startDispatching();

    /// False once the session thread has ended after a connection error.
    [[nodiscard]] bool isAlive() const;

    using RawMessageSignal = Signal<const std::vector<std::byte>&>;
    RawMessageSignal unknownMessage0x80Received; // no listener is expected
    RawMessageSignal pingResultReceived;         // id 0x23, version other than 2
    RawMessageSignal pingResultV2Received;       // id 0x23, version 2
    RawMessageSignal userConfigReceived;         // id 0x55

private:
    struct Private;
    std::unique_ptr<Private> d;
    void run();
    void dispatch(const std::vector<std::byte>& message);
};

} // namespace Keldar::Ondrix
