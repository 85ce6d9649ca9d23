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
                 "faults from a schedule that the seed fixes before the run: on the sonar's stream added\n"
                 "latency, stalls, resets, messages cut short, flipped bytes and slow reads; on the status\n"
                 "datagrams drops, duplicates and garbage that starts with the status magic. Every kind comes\n"
                 "at least once. Prints each injected fault as \"<ms since epoch> <fault> <detail>\".\n"
                 "SIGUSR1 calms it (the schedule waits, lasting faults end), SIGUSR2 starts or resumes the\n"
                 "schedule, SIGINT and SIGTERM end it after printing its counts.",
                 "ondrix-faultproxy"};
    app.set_version_flag("--version", std::string("ondrix-faultproxy ") + KELDAR_VERSION);
    Settings settings;
    ScheduleSettings schedule;
    app.add_option("--listen-address", settings.tcpListenAddress, "Loopback address the viewer connects to")
        ->capture_default_str();
    app.add_option("--listen-port", settings.tcpListenPort, "TCP port the viewer connects to");
    app.add_option("--sonar-address", settings.tcpUpstreamAddress, "Loopback address of the sonar's session")
        ->capture_default_str();
    app.add_option("--sonar-port", settings.tcpUpstreamPort, "TCP port of the sonar's session");
    app.add_option("--status-listen-address", settings.udpListenAddress, "Where the sonar sends its status")
        ->capture_default_str();
    app.add_option("--status-listen-port", settings.udpListenPort, "UDP port the sonar sends its status to");
    app.add_option("--status-address", settings.udpForwardAddress, "Where the viewer hears status")
        ->capture_default_str();
    app.add_option("--status-port", settings.udpForwardPort, "UDP port the viewer hears status on (0: no relay)")
        ->capture_default_str();
    app.add_option("--seed", schedule.seed, "Seed of the schedule and of every fault's choices")->capture_default_str();
    app.add_option("--duration", schedule.duration, "Seconds of faults the schedule covers")
        ->check(CLI::Range(1.0, 7.0 * 24 * 3600))
        ->capture_default_str();
    app.add_option("--fault-every", schedule.faultEvery, "Mean seconds between faults of the session")
        ->capture_default_str();
    app.add_option("--status-fault-every", schedule.statusFaultEvery,
                   "Mean seconds between faults of the status datagrams")
        ->capture_default_str();
    std::vector<std::string> faults;
    app.add_option("--faults", faults,
                   "Faults to schedule: latency stall reset cut flip slow-read drop duplicate garbage (default: all)")
        ->delimiter(',');
    app.add_option("--latency-max-ms", schedule.latencyMaxMs, "Largest added latency")->capture_default_str();
    app.add_option("--stall-min-ms", schedule.stallMinMs, "Shortest stall")->capture_default_str();
    app.add_option("--stall-max-ms", schedule.stallMaxMs, "Longest stall")->capture_default_str();
    bool startCalm = false;
    app.add_flag("--start-calm", startCalm, "Start calm: relay faithfully until SIGUSR2 starts the schedule");
    bool scheduleOnly = false;
    app.add_flag("--schedule-only", scheduleOnly,
                 "Print the schedule, one fault a line (\"<seconds> <fault> <connection or status> <detail>\"), "
                 "and end");
    CLI11_PARSE(app, argc, argv);
    if (!faults.empty()) {
        schedule.kinds.clear();
        for (const auto& name : faults) {
            FaultKind kind{};
            if (!faultFromName(name, kind)) {
                std::cerr << "ondrix-faultproxy: no fault named " << name << "\n";
                return 2;
            }
            schedule.kinds.push_back(kind);
        }
    }
    settings.schedule = makeSchedule(schedule);
    if (scheduleOnly) {
        for (const Fault& fault : settings.schedule) {
            std::printf("%s\n", fault.describe().c_str());
        }
        return 0;
    }
    if (settings.tcpListenPort == 0 || settings.tcpUpstreamPort == 0) {
        std::cerr << "ondrix-faultproxy: --listen-port and --sonar-port are needed\n";
        return 2;
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
    std::printf("%lld listening on %s:%u (tcp)%s; %zu faults scheduled\n", epochMs(), settings.tcpListenAddress.c_str(),
                proxy->tcpPort(),
                proxy->udpPort() != 0 ? (" and " + std::to_string(proxy->udpPort()) + " (udp)").c_str() : "",
                settings.schedule.size());
    std::fflush(stdout);
    proxy->run();
    waiter.join();
    const Counters c = proxy->counters();
    std::string perKind;
    for (const FaultKind kind : allFaultKinds) {
        const auto i = static_cast<std::size_t>(kind);
        perKind += std::string(perKind.empty() ? "" : ", ") + faultName(kind) + " " + std::to_string(c.injected[i]) +
                   "/" + std::to_string(c.due[i]);
    }
    std::printf("counts: connections %llu, to viewer %llu bytes, to sonar %llu bytes, datagrams relayed %llu; "
                "injected/due %s\n",
                (unsigned long long)c.connections, (unsigned long long)c.bytesToViewer,
                (unsigned long long)c.bytesToSonar, (unsigned long long)c.datagramsRelayed, perKind.c_str());
    return 0;
}
