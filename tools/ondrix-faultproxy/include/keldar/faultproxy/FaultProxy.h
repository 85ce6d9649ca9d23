#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Keldar::FaultProxy {

// What can go wrong on the stream from the sonar to the viewer. Each fault is
// one event; those that last a while (latency, stall, slow reads) end by
// themselves.
enum class TcpFault { Latency, Stall, Reset, Cut, Flip, SlowRead };

const char* faultName(TcpFault fault);
// The fault named `name` ("latency", "stall", ...); false when there is none.
bool faultFromName(const std::string& name, TcpFault& fault);

struct Settings
{
    // Every address must be a loopback one (127.0.0.0/8): the proxy never
    // talks to a network.
    std::string tcpListenAddress = "127.0.0.1";
    std::uint16_t tcpListenPort = 0; // 0: any free port (see tcpPort())
    std::string tcpUpstreamAddress = "127.0.0.1";
    std::uint16_t tcpUpstreamPort = 0;
    // UDP status datagrams are relayed only when udpForwardPort is not 0.
    std::string udpListenAddress = "127.0.0.1";
    std::uint16_t udpListenPort = 0;
    std::string udpForwardAddress = "127.0.0.1";
    std::uint16_t udpForwardPort = 0;

    std::uint64_t seed = 1;
    // Mean seconds between TCP faults, drawn from `tcpFaults`; 0: none.
    double tcpFaultEvery = 0.0;
    std::vector<TcpFault> tcpFaults{TcpFault::Latency, TcpFault::Stall, TcpFault::Reset,
                                    TcpFault::Cut,     TcpFault::Flip,  TcpFault::SlowRead};
    int latencyMaxMs = 250;
    int stallMinMs = 1000;
    int stallMaxMs = 10000;

    double udpDropShare = 0.0;      // of the datagrams relayed
    double udpDuplicateShare = 0.0; // of the datagrams relayed
    double udpGarbagePerSecond = 0.0;

    // Bytes held between reading from the sonar and writing to the viewer;
    // past it the proxy stops reading, so a stalled viewer backs up into the
    // sonar's socket instead of the proxy's memory.
    std::size_t maxBuffered = std::size_t{4} << 20;
};

struct Counters
{
    std::uint64_t connections = 0;
    std::uint64_t bytesToViewer = 0;
    std::uint64_t bytesToSonar = 0;
    std::uint64_t latencies = 0, stalls = 0, resets = 0, cuts = 0, flips = 0, slowReads = 0;
    std::uint64_t datagramsRelayed = 0, datagramsDropped = 0, datagramsDuplicated = 0, garbageDatagrams = 0;
};

// A user-space proxy between a simulated sonar and the viewer that injects
// faults at seeded random times. One thread runs it: run() until stop().
class FaultProxy
{
public:
    // Binds the listening sockets; throws std::invalid_argument for an
    // address off loopback and boost::system::system_error when binding fails.
    explicit FaultProxy(Settings settings);
    ~FaultProxy();
    FaultProxy(const FaultProxy&) = delete;
    FaultProxy& operator=(const FaultProxy&) = delete;

    std::uint16_t tcpPort() const;
    std::uint16_t udpPort() const;

    // Each event as one line: fault name and detail, e.g. "stall 3200 ms".
    // Called on the proxy's thread; set before run().
    std::function<void(const std::string&)> onEvent;

    void run();
    // From any thread.
    void stop();
    // Calm: no new faults, and those in progress end now; false again lets
    // them start once more. From any thread.
    void setCalm(bool calm);
    // Applies one fault to the newest connection now. From any thread.
    void inject(TcpFault fault);
    Counters counters() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Keldar::FaultProxy
