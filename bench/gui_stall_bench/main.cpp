// The longest time the viewer's GUI thread goes without processing events
// (the event-loop stall the viewer's opt-in monitor measures) while:
//   1. connecting to a sonar whose status says "connectable" but whose
//      session port never answers (its backlog is full, so SYNs are dropped);
//   2. the sonar drops the session, until the viewer is imaging again;
//   3. a recording is started and stopped at 40 Hz for 3 s, while imaging
//      (the number of starts and stops made is printed);
//   4. two status floods of 4,000 datagrams in 2 s from four loopback senders,
//      and 1 s after: well-formed statuses from random serial numbers (the
//      bounded table of visible sonars and the coalescing of its changes keep
//      the sonar list from being rebuilt from each), then garbage behind the
//      status magic (dropped by the datagram filter);
//   5. opening a 1 GB log (until its first frame is shown);
//   6. exporting that whole log to a new log;
//   7. opening that log cut short by a quarter, as a power loss leaves it
//      (until its first frame is shown): every entry is read through to learn
//      which still read.
// Each case runs `runs` times (default 3); the median and the worst of the
// longest stalls are printed, against the goal of 100 ms. The window is the
// full viewer, live from a simulated sonar (512 beams x 1000 ranges at 40 Hz)
// in this process.
//
// Usage: gui_stall_bench [runs=3] [--log-mb N (1024)] [--cases 1234567]
//        (under a display: scripts/with-display)

#include "application/EventLoopStallMonitor.h"
#include "application/ExceptionCatchingApplication.h"
#include "application/LumivaneApplication.h"
#include "application/LumivaneWindow.h"
#include "controller/MainController.h"
#include "support/LoopbackSonarRig.h"

#include <keldar/logging/SqliteLogFile.h>
#include <keldar/ondrix/SonarTypes.h>
#include <keldar/sim/SimulatedSonar.h>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace Keldar::OndrixLumivane;

namespace {

constexpr double goalMs = 100.0;
constexpr int floodDatagrams = 4000;

// Runs the event loop (the real one, as the viewer's) until `done` holds;
// false after `timeoutMs`.
bool runUntil(const std::function<bool()>& done, int timeoutMs)
{
    QEventLoop loop;
    QTimer check;
    QElapsedTimer clock;
    clock.start();
    bool held = done();
    QObject::connect(&check, &QTimer::timeout, [&] {
        held = done();
        if (held || clock.elapsed() > timeoutMs) {
            loop.quit();
        }
    });
    if (!held) {
        check.start(5);
        loop.exec();
    }
    return held;
}

void pause(int ms)
{
    runUntil([] { return false; }, ms);
}

// Waits for a recording's start or stop under way, then stops a recording
// and waits until its close has been checked.
void settleRecording(MainController& controller)
{
    using Keldar::OndrixLumivane::SourceState;
    runUntil(
        [&] { return controller.getState() == SourceState::Live || controller.getState() == SourceState::Recording; },
        20000);
    if (controller.isRecording()) {
        controller.stopLogging();
        runUntil([&] { return controller.getState() == SourceState::Live; }, 20000);
    }
}

sockaddr_in loopback(const char* address, std::uint16_t port)
{
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    inet_pton(AF_INET, address, &result.sin_addr);
    return result;
}

// A listening socket whose accept queue is full: the kernel drops further
// SYNs, so a connect to it neither succeeds nor is refused.
struct BlackHole
{
    BlackHole(const char* address, std::uint16_t port)
    {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        const int yes = 1;
        ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        auto where = loopback(address, port);
        ok = ::bind(listener, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0 && ::listen(listener, 0) == 0;
        for (int i = 0; ok && i < 3; ++i) {
            const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(client, reinterpret_cast<sockaddr*>(&where), sizeof where);
            fillers.push_back(client);
        }
    }
    ~BlackHole()
    {
        for (const int fd : fillers) {
            ::close(fd);
        }
        ::close(listener);
    }
    int listener = -1;
    std::vector<int> fillers;
    bool ok = false;
};

struct Figures
{
    explicit Figures(const char* caseName)
        : name(caseName)
    {
    }
    const char* name;
    std::vector<double> stalls;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 3;
    std::uint64_t logMegabytes = 1024;
    std::string cases = "1234567";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--cases") == 0 && i + 1 < argc) {
            cases = argv[++i];
        } else if (std::strcmp(argv[i], "--log-mb") == 0 && i + 1 < argc) {
            logMegabytes = std::strtoull(argv[++i], nullptr, 10);
        } else {
            runs = std::max(1, std::atoi(argv[i]));
        }
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    ExceptionCatchingApplication application(argc, argv);
    QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    QTemporaryDir folder;
    const Keldar::Bench::LoopbackSonarRig rig;
    auto* lumivane = LumivaneApplication::instance();
    lumivane->setup(application, rig.network());
    MainController* controller = lumivane->getController();
    controller->setLogLocation(folder.path().toStdString());
    // Before listening starts: the table is announced only when it changes.
    bool seenSilent = false;
    QObject::connect(controller, &MainController::newVisibleSonarsList,
                     [&](const auto& list) { seenSilent = seenSilent || list.count(40002) > 0; });
    int failed = 0;
    QObject::connect(controller, &MainController::connectionFailed, [&] { ++failed; });
    auto window = std::make_unique<LumivaneWindow>();
    lumivane->start(window.get());

    // The good sonar, and one on 127.0.0.3 whose session port is a black hole.
    Keldar::Sim::SimulatedSonar sonar(rig.sonar(40001));
    sonar.start();
    auto silentConfig = rig.sonar(40002);
    silentConfig.address = "127.0.0.3";
    silentConfig.tcpPort = 0; // its own listener is never reached
    Keldar::Sim::SimulatedSonar silent(silentConfig);
    silent.start();
    const BlackHole hole("127.0.0.3", rig.sonarPort);
    if (!hole.ok) {
        std::fprintf(stderr, "gui_stall_bench: cannot set up the unanswering port\n");
        return 1;
    }

    EventLoopStallMonitor monitor;
    std::vector<Figures> results;
    const auto runsOf = [&](char number) { return cases.find(number) == std::string::npos ? 0 : runs; };
    // Measures `act` (queued, so it runs inside the event loop as a click
    // would) until `done` holds.
    const auto measure = [&](Figures& figures, const std::function<void()>& act, const std::function<bool()>& done,
                             int timeoutMs) {
        pause(200);
        monitor.reset();
        QTimer::singleShot(0, act);
        if (!runUntil(done, timeoutMs)) {
            std::fprintf(stderr, "gui_stall_bench: %s did not finish in %d ms\n", figures.name, timeoutMs);
        }
        pause(20); // the beat after the last event counts its stall
        figures.stalls.push_back(monitor.longestStallMs());
        std::fprintf(stderr, "gui_stall_bench: %s: %.1f ms\n", figures.name, figures.stalls.back());
    };

    if (!runUntil([&] { return seenSilent; }, 30000)) {
        std::fprintf(stderr, "gui_stall_bench: the silent sonar was not seen\n");
        return 1;
    }

    // 1. Connecting to the sonar that never answers.
    Figures connecting{"connect, no answer"};
    for (int run = 0; run < runsOf('1'); ++run) {
        const int before = failed;
        measure(
            connecting, [&] { controller->connectToSonar(40002); }, [&] { return failed > before; }, 20000);
    }
    results.push_back(connecting);

    // Live imaging from the good sonar.
    controller->connectToSonar(40001);
    if (!runUntil([&] { return controller->isConnected(); }, 10000)) {
        std::fprintf(stderr, "gui_stall_bench: the simulated sonar did not connect\n");
        return 1;
    }
    controller->setFullBeams(true);
    controller->setPingRate(static_cast<int>(Keldar::Ondrix::PingRate::Rate40Hz));
    const auto shownBefore = controller->imagesShown();
    if (!runUntil([&] { return controller->imagesShown() > shownBefore + 40; }, 20000)) {
        std::fprintf(stderr, "gui_stall_bench: no images\n");
        return 1;
    }

    // 2. The sonar drops the session; measured until images come again.
    Figures dropped{"session dropped"};
    int reconnected = 0;
    QObject::connect(controller, &MainController::sonarReconnected, [&] { ++reconnected; });
    for (int run = 0; run < runsOf('2'); ++run) {
        const int before = reconnected;
        std::uint64_t shown = 0;
        measure(
            dropped, [&] { sonar.dropConnection(); },
            [&] {
                if (reconnected == before) {
                    shown = controller->imagesShown();
                    return false;
                }
                return controller->imagesShown() > shown + 10;
            },
            20000);
    }
    results.push_back(dropped);

    // 3. Recording on and off at 40 Hz.
    Figures toggling{"record on/off at 40 Hz"};
    for (int run = 0; run < runsOf('3'); ++run) {
        QTimer toggle;
        toggle.setTimerType(Qt::PreciseTimer);
        // Starts and stops counted when done: a file is made and closed off
        // the GUI thread, and a press before that is ignored.
        int toggles = 0;
        const auto started = QObject::connect(controller, &MainController::loggingStarted, [&] { ++toggles; });
        const auto stopped = QObject::connect(controller, &MainController::loggingStopped, [&] { ++toggles; });
        QObject::connect(&toggle, &QTimer::timeout, [&] {
            if (controller->isRecording()) {
                controller->stopLogging();
            } else {
                controller->startLogging();
            }
        });
        QElapsedTimer clock;
        measure(
            toggling,
            [&] {
                clock.start();
                toggle.start(25);
            },
            [&] { return clock.isValid() && clock.elapsed() >= 3000; }, 20000);
        std::fprintf(stderr, "gui_stall_bench: %d starts and stops in 3 s (120 asked)\n", toggles);
        toggle.stop();
        QObject::disconnect(started);
        QObject::disconnect(stopped);
        settleRecording(*controller);
        for (const auto& name : QDir(folder.path()).entryList({"*.ondrix*"}, QDir::Files)) {
            QFile::remove(folder.filePath(name));
        }
    }
    results.push_back(toggling);

    // 4. Status floods from another thread: well-formed datagrams from
    // random serial numbers and four senders (what the bounded table and the
    // coalescing of its changes are for), then garbage behind the status
    // magic (what the datagram filter is for).
    for (const bool wellFormed : {true, false}) {
        Figures flood{wellFormed ? "status flood, well-formed" : "status flood, garbage"};
        for (int run = 0; run < runsOf('4'); ++run) {
            std::atomic<bool> sent{false};
            std::thread flooder;
            measure(
                flood,
                [&] {
                    flooder = std::thread([&, wellFormed] {
                        std::vector<int> senders;
                        for (const char* from : {"127.0.0.10", "127.0.0.11", "127.0.0.12", "127.0.0.13"}) {
                            const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
                            const auto local = loopback(from, 0);
                            ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local);
                            senders.push_back(fd);
                        }
                        const auto to = loopback("127.0.0.1", rig.statusPort);
                        std::mt19937 random(static_cast<unsigned>(run) + 1);
                        std::vector<std::uint8_t> datagram(142);
                        const auto start = std::chrono::steady_clock::now();
                        for (int i = 0; i < floodDatagrams; ++i) {
                            if (wellFormed) {
                                const auto bytes =
                                    Keldar::Sim::madeUpStatusDatagram(static_cast<std::uint32_t>(random()) | 1U,
                                                                      static_cast<std::uint32_t>(random()) | 1U);
                                std::memcpy(datagram.data(), bytes.data(), std::min(bytes.size(), datagram.size()));
                            } else {
                                for (auto& byte : datagram) {
                                    byte = static_cast<std::uint8_t>(random());
                                }
                                datagram[0] = 0x7C;
                                datagram[1] = 0x3A;
                            }
                            ::sendto(senders[static_cast<std::size_t>(i) % senders.size()], datagram.data(),
                                     datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
                            // Evenly over 2 s.
                            if (i % 20 == 19) {
                                std::this_thread::sleep_until(
                                    start + std::chrono::microseconds(2'000'000LL * (i + 1) / floodDatagrams));
                            }
                        }
                        for (const int fd : senders) {
                            ::close(fd);
                        }
                        sent = true;
                    });
                },
                [&] { return sent.load(); }, 20000);
            pause(1000);
            flood.stalls.back() = std::max(flood.stalls.back(), monitor.longestStallMs());
            flooder.join();
        }
        results.push_back(flood);
    }

    // The 1 GB log, from one second of recording repeated.
    controller->startLogging();
    runUntil([&] { return controller->isRecording(); }, 20000);
    const std::string recording = controller->getRecordingPath();
    pause(1000);
    settleRecording(*controller);
    controller->disconnectFromSonar();
    sonar.stop();
    silent.stop();
    const std::string large = folder.filePath("large.ondrix").toStdString();
    {
        Keldar::Logging::SqliteLogFile source(std::filesystem::path(recording),
                                              Keldar::Logging::SqliteLogFile::Access::ReadOnly);
        const auto entries = source.readEntries(-1, -1, {}, -1);
        if (entries.empty()) {
            std::fprintf(stderr, "gui_stall_bench: nothing was recorded\n");
            return 1;
        }
        Keldar::Logging::SqliteLogFile target(large, "UTC", "gui_stall_bench", "1", 0, 0);
        Keldar::Logging::DataSource sourceRecord = source.getDataSources().front();
        sourceRecord.id = -1;
        target.addDataSource(sourceRecord);
        target.beginTransaction();
        std::uint64_t bytes = 0;
        for (int i = 0; bytes < (logMegabytes << 20); ++i) {
            auto entry = entries[static_cast<std::size_t>(i) % entries.size()];
            entry.dataSourceId = sourceRecord.id;
            entry.timestamp = 1'000'000 + std::int64_t(i) * 25;
            bytes += entry.payload.size();
            target.logData(entry);
        }
        target.commitTransaction();
    }
    const auto logBytes = std::filesystem::file_size(large);

    // 5. Opening it, until its first frame is shown.
    Figures opening{"open 1 GB log"};
    int played = 0;
    QObject::connect(controller, &MainController::framePlayed, [&] { ++played; });
    for (int run = 0; run < runsOf('5'); ++run) {
        const int before = played;
        measure(
            opening, [&] { controller->openLogFile(large); }, [&] { return played > before; }, 120000);
        if (run + 1 < runs) {
            controller->closeLogFile();
        }
    }
    results.push_back(opening);

    // 6. Exporting the whole log.
    Figures exporting{"export 1 GB log"};
    for (int run = 0; run < runsOf('6'); ++run) {
        bool done = false;
        const int last = static_cast<int>(controller->getLogEntryIndex().size()) - 1;
        measure(
            exporting,
            [&] {
                controller->exportToLog(0, last);
                done = true;
            },
            [&] { return done; }, 600000);
        for (const auto& name : QDir(folder.path()).entryList({"*_exported*"}, QDir::Files)) {
            QFile::remove(folder.filePath(name));
        }
    }
    results.push_back(exporting);
    controller->closeLogFile();

    // 7. Opening it cut short.
    Figures damaged{"open damaged 1 GB log"};
    const std::string cut = folder.filePath("cut.ondrix").toStdString();
    std::filesystem::copy_file(large, cut);
    std::filesystem::resize_file(cut, logBytes * 3 / 4 / 4096 * 4096);
    for (int run = 0; run < runsOf('7'); ++run) {
        const int before = played;
        measure(
            damaged, [&] { controller->openLogFile(cut); }, [&] { return played > before; }, 600000);
        controller->closeLogFile();
    }
    results.push_back(damaged);

    std::printf("gui_stall_bench: longest GUI-thread stall per case, %d runs each, goal under %.0f ms "
                "(log %.0f MB)\n",
                runs, goalMs, double(logBytes) / (1 << 20));
    for (const auto& figures : results) {
        if (figures.stalls.empty()) {
            continue;
        }
        const double worst = *std::max_element(figures.stalls.begin(), figures.stalls.end());
        std::printf("  %-24s median %8.1f ms, worst %8.1f ms  %s\n", figures.name, median(figures.stalls), worst,
                    median(figures.stalls) < goalMs ? "meets the goal" : "MISSES the goal");
    }
    std::fflush(stdout);
    window.reset();
    LumivaneApplication::destroyInstance();
    return 0;
}
