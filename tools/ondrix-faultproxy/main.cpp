// ondrix-faultproxy: stands between a simulated sonar and the viewer on
// loopback and breaks the connection in seeded random ways (see --help).
#include <keldar/faultproxy/FaultProxy.h>

#include <CLI/CLI.hpp>

#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <thread>

using namespace Keldar::FaultProxy;

namespace {

long long epochMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Relays one sonar's TCP session and status datagrams between loopback addresses and injects\n"
                 "faults at seeded random times: on the sonar's stream added latency, stalls, resets, messages\n"
                 "cut short, flipped bytes and slow reads; on the status datagrams drops, duplicates and\n"
                 "garbage that starts with the status magic. Prints each event as \"<ms since epoch> <event>\".\n"
                 "SIGUSR1 calms it (no new faults, those in progress end), SIGUSR2 lets faults start again,\n"
                 "SIGINT and SIGTERM end it after printing its counts.",
                 "ondrix-faultproxy"};
    app.set_version_flag("--version", std::string("ondrix-faultproxy ") + KELDAR_VERSION);
    Settings settings;
    app.add_option("--listen-address", settings.tcpListenAddress, "Loopback address the viewer connects to")
        ->capture_default_str();
    app.add_option("--listen-port", settings.tcpListenPort, "TCP port the viewer connects to")->required();
    app.add_option("--sonar-address", settings.tcpUpstreamAddress, "Loopback address of the sonar's session")
        ->capture_default_str();
    app.add_option("--sonar-port", settings.tcpUpstreamPort, "TCP port of the sonar's session")->required();
    app.add_option("--status-listen-address", settings.udpListenAddress, "Where the sonar sends its status")
        ->capture_default_str();
    app.add_option("--status-listen-port", settings.udpListenPort, "UDP port the sonar sends its status to");
    app.add_option("--status-address", settings.udpForwardAddress, "Where the viewer hears status")
        ->capture_default_str();
    app.add_option("--status-port", settings.udpForwardPort, "UDP port the viewer hears status on (0: no relay)")
        ->capture_default_str();
    app.add_option("--seed", settings.seed, "Seed of every random choice")->capture_default_str();
    app.add_option("--fault-every", settings.tcpFaultEvery, "Mean seconds between TCP faults (0: none)")
        ->capture_default_str();
    std::vector<std::string> faults;
    app.add_option("--faults", faults, "TCP faults to draw from: latency stall reset cut flip slow (default: all)")
        ->delimiter(',');
    app.add_option("--latency-max-ms", settings.latencyMaxMs, "Largest added latency")->capture_default_str();
    app.add_option("--stall-min-ms", settings.stallMinMs, "Shortest stall")->capture_default_str();
    app.add_option("--stall-max-ms", settings.stallMaxMs, "Longest stall")->capture_default_str();
    app.add_option("--drop", settings.udpDropShare, "Share of status datagrams dropped")
        ->check(CLI::Range(0.0, 1.0))
        ->capture_default_str();
    app.add_option("--duplicate", settings.udpDuplicateShare, "Share of status datagrams sent twice")
        ->check(CLI::Range(0.0, 1.0))
        ->capture_default_str();
    app.add_option("--garbage-per-second", settings.udpGarbagePerSecond, "Garbage status datagrams a second")
        ->check(CLI::Range(0.0, 1000.0))
        ->capture_default_str();
    bool startCalm = false;
    app.add_flag("--start-calm", startCalm, "Start calm: relay faithfully until SIGUSR2");
    CLI11_PARSE(app, argc, argv);
    if (!faults.empty()) {
        settings.tcpFaults.clear();
        for (const auto& name : faults) {
            TcpFault fault{};
            if (!faultFromName(name, fault)) {
                std::cerr << "ondrix-faultproxy: no fault named " << name << "\n";
                return 2;
            }
            settings.tcpFaults.push_back(fault);
        }
    }

    // Signals go to one waiting thread, not to whichever thread they hit.
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2}) {
        sigaddset(&signals, signal);
    }
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    std::unique_ptr<FaultProxy> proxy;
    try {
        proxy = std::make_unique<FaultProxy>(settings);
    } catch (const std::exception& error) {
        std::cerr << "ondrix-faultproxy: " << error.what() << "\n";
        return 1;
    }
    proxy->onEvent = [](const std::string& event) {
        std::printf("%lld %s\n", epochMs(), event.c_str());
        std::fflush(stdout);
    };
    proxy->setCalm(startCalm);
    std::thread waiter([&] {
        int signal = 0;
        while (sigwait(&signals, &signal) == 0) {
            if (signal == SIGUSR1 || signal == SIGUSR2) {
                proxy->setCalm(signal == SIGUSR1);
                std::printf("%lld %s\n", epochMs(), signal == SIGUSR1 ? "calm" : "faults on");
                std::fflush(stdout);
            } else {
                proxy->stop();
                return;
            }
        }
    });
    std::printf("%lld listening on %s:%u (tcp)%s\n", epochMs(), settings.tcpListenAddress.c_str(), proxy->tcpPort(),
                proxy->udpPort() != 0 ? (" and " + std::to_string(proxy->udpPort()) + " (udp)").c_str() : "");
    std::fflush(stdout);
    proxy->run();
    waiter.join();
    const Counters c = proxy->counters();
    std::printf("counts: connections %llu, to viewer %llu bytes, to sonar %llu bytes, latencies %llu, stalls %llu, "
                "resets %llu, cuts %llu, flips %llu, slow reads %llu, datagrams relayed %llu, dropped %llu, "
                "duplicated %llu, garbage %llu\n",
                (unsigned long long)c.connections, (unsigned long long)c.bytesToViewer,
                (unsigned long long)c.bytesToSonar, (unsigned long long)c.latencies, (unsigned long long)c.stalls,
                (unsigned long long)c.resets, (unsigned long long)c.cuts, (unsigned long long)c.flips,
                (unsigned long long)c.slowReads, (unsigned long long)c.datagramsRelayed,
                (unsigned long long)c.datagramsDropped, (unsigned long long)c.datagramsDuplicated,
                (unsigned long long)c.garbageDatagrams);
    return 0;
}
