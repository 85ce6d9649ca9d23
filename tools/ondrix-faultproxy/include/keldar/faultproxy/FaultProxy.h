#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Keldar::FaultProxy {

// What can go wrong: on the sonar's session (latency, stall, reset, cut,
// flip, slow-read) and on its status datagrams (drop, duplicate, garbage).
// Those that last a while (latency, stall, slow-read) end by themselves.
enum class FaultKind { Latency, Stall, Reset, Cut, Flip, SlowRead, Drop, Duplicate, Garbage };
inline constexpr std::array<FaultKind, 9> allFaultKinds{FaultKind::Latency, FaultKind::Stall,     FaultKind::Reset,
                                                        FaultKind::Cut,     FaultKind::Flip,      FaultKind::SlowRead,
                                                        FaultKind::Drop,    FaultKind::Duplicate, FaultKind::Garbage};

const char* faultName(FaultKind kind);
// The fault named `name` ("latency", "slow-read", ...); false when there is none.
bool faultFromName(const std::string& name, FaultKind& kind);
// Drop, duplicate and garbage act on the status datagrams, the rest on the
// session.
bool isStatusFault(FaultKind kind);

// One fault of a schedule, every choice made in advance: when, what, how much,
// and the seed of its own byte-level choices (which bytes a flip changes,
// where a cut falls, what garbage says), so that a run's timing cannot change
// which faults it meets.
struct Fault
{
    double at = 0.0; // seconds after the faults begin
    FaultKind kind = FaultKind::Reset;
    // latency: added ms; stall, slow-read: ms; flip: bytes; drop,
    // duplicate, garbage: datagrams; reset, cut: unused.
    int amount = 0;
    int lastingMs = 0; // latency: how long it is added
    std::uint64_t detailSeed = 0;

    // "<seconds> <kind> <connection or status> <detail>".
    std::string describe() const;
    bool operator==(const Fault&) const = default;
};

struct ScheduleSettings
{
    std::uint64_t seed = 1;
    double duration = 60.0;        // seconds of faults
    double faultEvery = 15.0;      // mean seconds between session faults
    double statusFaultEvery = 5.0; // mean seconds between status faults
    std::vector<FaultKind> kinds{allFaultKinds.begin(), allFaultKinds.end()};
    int latencyMaxMs = 250;
    int stallMinMs = 1000;
    int stallMaxMs = 10000;
};

// The faults of a run, in time order, from the seed alone: every kind asked
// for at least once, kinds dealt in shuffled rounds, one per time slot, and
// the session's faults done early enough for the longest stall to end
// within the duration.
std::vector<Fault> makeSchedule(const ScheduleSettings& settings);

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

    // Played from the moment the faults begin (run(), or the end of calm).
    std::vector<Fault> schedule;

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
    std::uint64_t datagramsRelayed = 0;
    std::size_t mostBuffered = 0; // the most bytes ever held for one viewer
    // Per FaultKind: faults of the schedule whose time has come, and faults
    // injected (a cut or flip when its chunk went, a drop or duplicate when
    // all its datagrams were handled).
    std::array<std::uint64_t, allFaultKinds.size()> due{};
    std::array<std::uint64_t, allFaultKinds.size()> injected{};
};

// A user-space proxy between a simulated sonar and the viewer that injects
// faults from a schedule. One thread runs it: run() until stop().
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

    // Each injected fault as one line: its name and detail, e.g.
    // "stall 3200 ms". Called on the proxy's thread; set before run().
    std::function<void(const std::string&)> onEvent;

    void run();
    // From any thread.
    void stop();
    // Calm: the schedule waits and the faults that last end now; false again
    // goes on with the schedule (the first time, starts it). From any thread.
    void setCalm(bool calm);
    // Injects `fault` now, whatever its time. From any thread.
    void inject(const Fault& fault);
    Counters counters() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Keldar::FaultProxy
