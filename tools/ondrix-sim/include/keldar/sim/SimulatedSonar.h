#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Keldar::Sim {

/// Status word flags a simulated sonar reports.
struct SimulatedStatus
{
    bool overheatWarning = false;
    bool overheated = false;
    bool brownoutPause = false;  // held in the boot stage, reason 6
    bool magSwitchPause = false; // held in the boot stage, reason 0
    bool transmitFailure = false;
    bool refuseConnections = false; // also closes the TCP port
    bool hasAhrs = true;
    bool hasPressureSensor = true;
};

struct SimulatedSonarConfig
{
    std::uint32_t serialNumber = 40001;
    std::uint16_t partNumber = 1032; // a dual-frequency model
    std::uint16_t firmwareVersion = 412;
    /// The sonar's own address (loopback only); it listens here and reports it.
    std::string address = "127.0.0.2";
    std::string subnetMask = "255.0.0.0";
    /// TCP port of the session; 0 picks a free one (see SimulatedSonar::tcpPort).
    std::uint16_t tcpPort = 52100;
    /// Where the status datagrams go (loopback only).
    std::string statusDestination = "127.0.0.1";
    std::uint16_t statusPort = 52102;
    std::chrono::milliseconds statusInterval{500};
    int resultVersion = 2; // 1 or 2
    bool fourBitSamples = false;
    /// Answer each fire request at once instead of at the requested ping rate.
    bool ignorePacing = false;
    std::uint16_t rangeLines = 500;
    std::uint32_t seed = 1;
    /// Write every outgoing message in pieces of this many bytes (0: whole).
    std::size_t splitSize = 0;
    std::chrono::microseconds splitPause{300};
    SimulatedStatus status;
};

/// What the simulated sonar has received; for tests and the command line.
struct SimulatedSonarCounters
{
    std::size_t connectionsAccepted = 0;
    std::size_t fireRequests = 0;
    std::size_t pingResultsSent = 0;
    std::size_t userConfigQueries = 0;  // zero-payload configuration messages
    std::size_t userConfigsApplied = 0; // filled configuration messages
    std::size_t userConfigsRefused = 0; // filled ones answered unchanged on request
    std::size_t userConfigsIgnored = 0; // either kind, left unanswered on request
    std::size_t statusDatagramsSent = 0;
    std::size_t statusDatagramsWithheld = 0; // turns of the status clock that a pause skipped
};

/// What the last fire request asked for, decoded.
struct SimulatedFireRequest
{
    double range = 0.0;         // metres
    double gain = 0.0;          // percent
    std::uint8_t frequency = 0; // 1 low (primary), 2 high (secondary)
    std::uint8_t pingRate = 0;  // the protocol's code, not in rate order
    std::uint8_t bandwidth = 0;
    std::uint8_t gamma = 0;
    bool gainAssist = false;
    bool gainBoost = false;
    bool fullBeams = false;
    bool lowPower = false;
    bool onDemand = false;
};

struct SimulatedNetworkConfig
{
    bool dhcp = false;
    std::string address;
    std::string subnetMask;
};

/// One simulated Ondrix sonar on loopback: broadcasts status datagrams to the
/// listener, accepts one TCP session at a time, answers fire requests with
/// generated images and user-configuration messages with its configuration,
/// and can inject faults. Used in-process by tests and benchmarks, and by the
/// ondrix-sim program.
class SimulatedSonar
{
public:
    /// Throws std::invalid_argument for a non-loopback address or destination.
    explicit SimulatedSonar(SimulatedSonarConfig config);
    ~SimulatedSonar();
    SimulatedSonar(const SimulatedSonar&) = delete;
    SimulatedSonar& operator=(const SimulatedSonar&) = delete;

    /// Opens the TCP port and starts both threads; throws std::system_error
    /// when the port cannot be opened.
    void start();
    void stop();

    [[nodiscard]] std::uint16_t tcpPort() const;
    [[nodiscard]] std::uint32_t serialNumber() const;

    // Runtime controls; safe from any thread.
    void setStatus(const SimulatedStatus& status);
    [[nodiscard]] SimulatedStatus getStatus() const;
    /// Stops broadcasting status datagrams for `duration`.
    void pauseStatus(std::chrono::milliseconds duration);
    /// Closes the current TCP session, as a cable fault would.
    void dropConnection();
    /// Sends `bytes` bytes that are not a message on the current session.
    void sendGarbage(std::size_t bytes);
    /// Sends a header announcing a message far larger than any real one.
    void sendOversizedHeader();
    /// Leaves the next `count` fire requests unanswered, as if they were lost.
    void ignoreFireRequests(std::size_t count);
    void setSplitSize(std::size_t bytes);
    void setIgnorePacing(bool ignore);
    /// While set, network (user) configuration messages, queries and changes
    /// alike, are dropped without an answer, as if lost on the way.
    void setIgnoreNetworkConfig(bool ignore);
    /// While set, network configuration changes are answered with the
    /// configuration unchanged, as a sonar that refuses them would.
    void setRefuseNetworkChanges(bool refuse);

    [[nodiscard]] SimulatedSonarCounters counters() const;
    [[nodiscard]] std::optional<std::vector<std::byte>> lastFireRequest() const;
    [[nodiscard]] std::optional<SimulatedFireRequest> lastFireParameters() const;
    [[nodiscard]] SimulatedNetworkConfig networkConfig() const;
    [[nodiscard]] bool hasClient() const;

    /// True for IPv4 text in 127.0.0.0/8.
    [[nodiscard]] static bool isLoopback(const std::string& address);
    /// Throws std::invalid_argument for a message shorter than a fire request.
    [[nodiscard]] static SimulatedFireRequest decodeFireRequest(const std::vector<std::byte>& message);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

/// A well-formed status datagram of a sonar that is not there: the serial
/// number and claimed address given (a flood of them tests the bounded table
/// of visible sonars), a model the viewer knows.
std::vector<std::byte> madeUpStatusDatagram(std::uint32_t serialNumber, std::uint32_t claimedAddress);

} // namespace Keldar::Sim
