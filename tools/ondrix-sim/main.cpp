// ondrix-sim: plays one or more Ondrix sonars on loopback addresses, for
// tests, demos and users without a sonar.

#include <keldar/sim/NmeaSender.h>
#include <keldar/sim/SimulatedSonar.h>
#include <keldar/sim/SimulatorCommands.h>

#include <CLI/CLI.hpp>
#include <arpa/inet.h>

#include <atomic>
#include <csignal>
#include <deque>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

std::atomic<bool> stopRequested{false};

extern "C" void onSignal(int /*signal*/)
{
    stopRequested = true;
}

// 127.0.0.2 + n, staying inside 127.0.0.0/8.
std::string nthAddress(const std::string& first, unsigned n)
{
    in_addr parsed{};
    ::inet_pton(AF_INET, first.c_str(), &parsed);
    parsed.s_addr = htonl(ntohl(parsed.s_addr) + n);
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &parsed, text, sizeof text);
    return text;
}

// Lines typed on standard input, handed to the main loop so that commands
// never race the sonars' shutdown.
struct CommandQueue
{
    std::mutex mutex;
    std::deque<std::string> lines;

    void push(std::string line)
    {
        std::lock_guard lock(mutex);
        lines.push_back(std::move(line));
    }
    std::deque<std::string> take()
    {
        std::lock_guard lock(mutex);
        return std::exchange(lines, {});
    }
};

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Simulates Ondrix imaging sonars on loopback addresses (127.x.x.x) for tests and demos.\n"
                 "Each sonar sends status datagrams to the listener and serves the command and data\n"
                 "session on its own loopback address.",
                 "ondrix-sim"};
    app.set_version_flag("--version", std::string("ondrix-sim ") + KELDAR_VERSION);

    Keldar::Sim::SimulatedSonarConfig base;
    unsigned count = 1;
    double duration = 0.0;
    int statusIntervalMs = 500;
    bool versionOne = false;
    double silenceAfter = -1.0;
    double silenceFor = 0.0;
    double dropEvery = 0.0;
    double garbageEvery = 0.0;
    double oversizedEvery = 0.0;
    std::size_t garbageBytes = 64;
    bool quiet = false;
    std::uint16_t tcpPort = base.tcpPort;

    app.add_option("--sonars", count, "Number of sonars to simulate (serials and addresses count up)")
        ->check(CLI::Range(1U, 200U))
        ->capture_default_str();
    app.add_option("--serial", base.serialNumber, "Serial number of the first sonar")->capture_default_str();
    app.add_option("--part", base.partNumber, "Part (model) number, e.g. 1032 Rostrel A, 1041 Pelmar A")
        ->capture_default_str();
    app.add_option("--firmware", base.firmwareVersion, "Firmware version number")->capture_default_str();
    app.add_option("--address", base.address, "Loopback address of the first sonar")->capture_default_str();
    app.add_option("--mask", base.subnetMask, "Subnet mask the sonars report")->capture_default_str();
    app.add_option("--port", tcpPort, "TCP port of each sonar's session")->capture_default_str();
    app.add_option("--status-address", base.statusDestination, "Loopback address the status datagrams are sent to")
        ->capture_default_str();
    app.add_option("--status-port", base.statusPort, "UDP port the status datagrams are sent to")
        ->capture_default_str();
    app.add_option("--status-interval-ms", statusIntervalMs, "Milliseconds between status datagrams")
        ->check(CLI::Range(10, 60000))
        ->capture_default_str();
    app.add_flag("--version-1", versionOne, "Answer with version-1 ping results (no attitude)");
    app.add_flag("--four-bit", base.fourBitSamples, "Pack image samples 4 bits each");
    app.add_flag("--fast", base.ignorePacing, "Answer every fire request at once, ignoring the ping rate");
    app.add_option("--range-lines", base.rangeLines, "Range lines (rows) per image")
        ->check(CLI::Range(1, 4000))
        ->capture_default_str();
    app.add_option("--seed", base.seed, "Seed of the generated scene")->capture_default_str();

    app.add_flag("--overheat-warning", base.status.overheatWarning, "Report the overheat warning");
    app.add_flag("--overheated", base.status.overheated, "Report overheated");
    app.add_flag("--brownout", base.status.brownoutPause, "Report a pause in the boot stage for a brownout");
    app.add_flag("--mag-switch", base.status.magSwitchPause, "Report a pause in the boot stage by the magnetic switch");
    app.add_flag("--transmit-failure", base.status.transmitFailure, "Report a transmit circuit failure");
    app.add_flag("--refuse", base.status.refuseConnections, "Refuse connections (status word and closed port)");

    app.add_option("--silence-after", silenceAfter, "Fault: stop broadcasting status this many seconds after start");
    app.add_option("--silence-for", silenceFor, "Fault: how many seconds that silence lasts")->capture_default_str();
    app.add_option("--drop-every", dropEvery, "Fault: drop the TCP session every this many seconds");
    app.add_option("--garbage-every", garbageEvery, "Fault: send bytes that are not a message every N seconds");
    app.add_option("--garbage-bytes", garbageBytes, "Fault: how many garbage bytes to send")->capture_default_str();
    app.add_option("--oversized-every", oversizedEvery,
                   "Fault: send a header announcing a 4 GiB message every N seconds");
    app.add_option("--split", base.splitSize, "Fault: write every message in pieces of this many bytes");
    bool ignoreNetworkConfig = false;
    app.add_flag("--ignore-network-config", ignoreNetworkConfig,
                 "Fault: leave network configuration messages unanswered");
    bool refuseNetworkChanges = false;
    app.add_flag("--refuse-network-changes", refuseNetworkChanges,
                 "Fault: answer network configuration changes with the configuration unchanged");
    bool noCommands = false;
    app.add_flag("--no-commands", noCommands, "Do not read commands from standard input");
    app.footer("A network configuration sent to a simulated sonar is reported back; its address is taken on only\n"
               "when it is a loopback address, so that the simulator never advertises a real network.\n\n" +
               Keldar::Sim::commandHelp());

    app.add_option("--duration", duration, "Stop after this many seconds (0: run until interrupted)")
        ->capture_default_str();
    app.add_flag("-q,--quiet", quiet, "Print nothing but errors");
    std::string nmea;
    Keldar::Navigation::NmeaTrackSimulator::Settings track;
    app.add_option("--nmea", nmea,
                   "Also send NMEA 0183 (GGA, RMC, HDT, VTG, ZDA at 10 Hz) along a track, to udp:ADDRESS:PORT");
    app.add_option("--nmea-latitude", track.start.latitude, "Start of the track, degrees north")
        ->check(CLI::Range(-84.0, 84.0))
        ->capture_default_str();
    app.add_option("--nmea-longitude", track.start.longitude, "Start of the track, degrees east")
        ->check(CLI::Range(-180.0, 180.0))
        ->capture_default_str();
    app.add_option("--nmea-heading", track.heading, "Heading along the track, degrees true")
        ->check(CLI::Range(0.0, 360.0))
        ->capture_default_str();
    app.add_option("--nmea-speed", track.speed, "Speed along the track, m/s")
        ->check(CLI::Range(0.0, 50.0))
        ->capture_default_str();
    app.add_option("--nmea-turn", track.turnRate, "Rate of turn, degrees per second to starboard")
        ->check(CLI::Range(-30.0, 30.0))
        ->capture_default_str();

    CLI11_PARSE(app, argc, argv);
    base.statusInterval = std::chrono::milliseconds(statusIntervalMs);
    base.resultVersion = versionOne ? 1 : 2;
    base.tcpPort = tcpPort;

    std::vector<std::unique_ptr<Keldar::Sim::SimulatedSonar>> sonars;
    try {
        for (unsigned i = 0; i < count; ++i) {
            auto config = base;
            config.serialNumber = base.serialNumber + i;
            config.address = nthAddress(base.address, i);
            config.seed = base.seed + i;
            auto sonar = std::make_unique<Keldar::Sim::SimulatedSonar>(config);
            sonar->setIgnoreNetworkConfig(ignoreNetworkConfig);
            sonar->setRefuseNetworkChanges(refuseNetworkChanges);
            sonar->start();
            if (!quiet) {
                std::cout << "sonar " << config.serialNumber << " at " << config.address << ":" << sonar->tcpPort()
                          << ", status to " << config.statusDestination << ":" << config.statusPort << std::endl;
            }
            sonars.push_back(std::move(sonar));
        }
    } catch (const std::exception& error) {
        std::cerr << "ondrix-sim: " << error.what() << std::endl;
        return 1;
    }

    std::unique_ptr<Keldar::Sim::NmeaSender> nmeaSender;
    if (!nmea.empty()) {
        try {
            nmeaSender = std::make_unique<Keldar::Sim::NmeaSender>(nmea, track);
        } catch (const std::exception& error) {
            std::cerr << "ondrix-sim: " << error.what() << std::endl;
            return 1;
        }
        nmeaSender->start();
        if (!quiet) {
            std::cout << "NMEA to " << nmea << std::endl;
        }
    }

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    std::vector<Keldar::Sim::SimulatedSonar*> targets;
    for (auto& sonar : sonars) {
        targets.push_back(sonar.get());
    }
    auto commands = std::make_shared<CommandQueue>();
    if (!noCommands) {
        if (!quiet) {
            std::cout << "type help for the commands that change the sonars while they run" << std::endl;
        }
        // Detached: it may sit in a read of a terminal that never ends; the
        // queue it fills outlives it through the shared pointer.
        std::thread([commands] {
            std::string line;
            while (std::getline(std::cin, line)) {
                commands->push(line);
            }
        }).detach();
    }

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    auto seconds = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
    bool silenced = false;
    double lastDrop = 0.0;
    double lastGarbage = 0.0;
    double lastOversized = 0.0;
    while (!stopRequested.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        for (const auto& line : commands->take()) {
            if (Keldar::Sim::runCommand(line, targets, std::cout) == Keldar::Sim::CommandOutcome::Quit) {
                stopRequested = true;
            }
        }
        const double t = seconds();
        if (stopRequested.load() || (duration > 0.0 && t >= duration)) {
            break;
        }
        if (!silenced && silenceAfter >= 0.0 && t >= silenceAfter) {
            silenced = true;
            for (auto& sonar : sonars) {
                sonar->pauseStatus(std::chrono::milliseconds(static_cast<long long>(silenceFor * 1000.0)));
            }
        }
        if (dropEvery > 0.0 && t - lastDrop >= dropEvery) {
            lastDrop = t;
            for (auto& sonar : sonars) {
                sonar->dropConnection();
            }
        }
        if (oversizedEvery > 0.0 && t - lastOversized >= oversizedEvery) {
            lastOversized = t;
            for (auto& sonar : sonars) {
                sonar->sendOversizedHeader();
            }
        }
        if (garbageEvery > 0.0 && t - lastGarbage >= garbageEvery) {
            lastGarbage = t;
            for (auto& sonar : sonars) {
                sonar->sendGarbage(garbageBytes);
            }
        }
    }

    for (auto& sonar : sonars) {
        sonar->stop();
        if (!quiet) {
            const auto c = sonar->counters();
            std::cout << "sonar " << sonar->serialNumber() << ": " << c.connectionsAccepted << " sessions, "
                      << c.fireRequests << " fire requests, " << c.pingResultsSent << " ping results, "
                      << c.statusDatagramsSent << " status datagrams" << std::endl;
        }
    }
    return 0;
}
