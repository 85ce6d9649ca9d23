// The viewer live from a simulated sonar on loopback, as a user would run it:
// full-screen window, 512 beams x 1000 range lines at 40 Hz. Reports frames
// painted and pings received per second, the delay from the simulator having
// sent a ping to the painted frame that shows it (median and 99th percentile,
// first and last quarter of the run), CPU time per second (whole process and
// the GUI thread alone), memory at start and end, and pings lost between
// socket and controller.
//
// The simulator runs in a process of its own, as ondrix-sim does, at a lower
// priority (nice 10 unless --sim-nice says otherwise), so that the viewer's
// CPU and memory are its own and the simulator's image generation does not
// take the viewer's turns on a two-core machine; --in-process runs it inside
// the viewer's process instead.
//
// Usage: viewer_bench [seconds=60] [--sim-nice N] [--in-process]
//        (under a display: scripts/with-display)

#include "application/ExceptionCatchingApplication.h"
#include "application/LumivaneApplication.h"
#include "application/LumivaneWindow.h"
#include "controller/MainController.h"
#include "support/LoopbackSonarRig.h"
#include "support/PaintCounter.h"
#include "support/ProcessCpu.h"

#include <keldar/sim/SimulatedSonar.h>
#include <keldar/visualisation/FanDisplay.h>

#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>
#include <thread>
#include <vector>

using namespace Keldar::OndrixLumivane;
using Clock = std::chrono::steady_clock;

namespace {

double nowMs()
{
    return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
}

double threadCpuSeconds()
{
    timespec spec{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &spec);
    return double(spec.tv_sec) + double(spec.tv_nsec) / 1e9;
}

double residentMegabytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto index = std::min(values.size() - 1, std::size_t(fraction * double(values.size() - 1) + 0.5));
    return values[index];
}

// The simulator's send times, in memory shared with its process. The steady
// clock is the same in both processes.
struct SentRecord
{
    static constexpr std::size_t capacity = 1 << 17; // 54 minutes at 40 Hz
    enum Request : int { Run, StopStream, Quit };
    std::atomic<std::uint64_t> sent{0};
    std::atomic<int> request{Run};
    // Set once `sent` counts every ping sent before the stream was stopped: a
    // simulator starved of processor time may publish its count late.
    std::atomic<bool> streamStopped{false};
    double at[capacity];
};

SentRecord* makeSentRecord()
{
    void* memory = mmap(nullptr, sizeof(SentRecord), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    return memory == MAP_FAILED ? nullptr : new (memory) SentRecord;
}

// Notes when each ping leaves the simulator and obeys the viewer's requests,
// until asked to quit.
void recordSends(Keldar::Sim::SimulatedSonar& sonar, SentRecord& record)
{
    std::uint64_t seen = 0;
    bool streaming = true;
    while (record.request.load() != SentRecord::Quit) {
        const bool stopping = streaming && record.request.load() == SentRecord::StopStream;
        if (stopping) {
            sonar.ignoreFireRequests(1'000'000);
            streaming = false;
        }
        const std::uint64_t sent = sonar.counters().pingResultsSent;
        if (sent > seen) {
            const double t = nowMs();
            for (; seen < sent && seen < SentRecord::capacity; ++seen) {
                record.at[seen] = t;
            }
            record.sent.store(sent);
        }
        if (stopping) {
            record.streamStopped = true;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

// Pumps events until `predicate` holds; false after `timeoutMs`.
template<typename Predicate>
bool pumpUntil(Predicate predicate, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!predicate()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    double seconds = 60.0;
    int simulatorNice = 10;
    bool inProcess = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--in-process") == 0) {
            inProcess = true;
        } else if (std::strcmp(argv[i], "--sim-nice") == 0 && i + 1 < argc) {
            simulatorNice = std::atoi(argv[++i]);
        } else {
            seconds = std::atof(argv[i]);
        }
    }
    SentRecord* record = makeSentRecord();
    if (seconds <= 0 || record == nullptr) {
        std::fprintf(stderr, "usage: viewer_bench [seconds] [--sim-nice N] [--in-process]\n");
        return 2;
    }
    const Keldar::Bench::LoopbackSonarRig rig;
    // Forked before the viewer starts any thread.
    pid_t simulatorProcess = -1;
    if (!inProcess) {
        simulatorProcess = fork();
        if (simulatorProcess == 0) {
            setpriority(PRIO_PROCESS, 0, simulatorNice);
            Keldar::Sim::SimulatedSonar sonar(rig.sonar(40001));
            sonar.start();
            recordSends(sonar, *record);
            sonar.stop();
            _exit(0);
        }
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    ExceptionCatchingApplication application(argc, argv);
    // The run's settings stay in a folder of its own, never the user's.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());

    auto* lumivane = LumivaneApplication::instance();
    lumivane->setup(application, rig.network());
    auto window = std::make_unique<LumivaneWindow>();
    lumivane->start(window.get(), 40001U);
    auto* controller = lumivane->getController();

    std::unique_ptr<Keldar::Sim::SimulatedSonar> sonar;
    std::thread recorder;
    if (inProcess) {
        sonar = std::make_unique<Keldar::Sim::SimulatedSonar>(rig.sonar(40001));
        sonar->start();
        recorder = std::thread([&] { recordSends(*sonar, *record); });
    }
    const auto endSimulator = [&] {
        record->request = SentRecord::Quit;
        if (recorder.joinable()) {
            recorder.join();
        }
        if (sonar) {
            sonar->stop();
        }
        if (simulatorProcess > 0) {
            waitpid(simulatorProcess, nullptr, 0);
        }
    };

    if (!pumpUntil([&] { return controller->isConnected(); }, 20000)) {
        std::fprintf(stderr, "the viewer did not connect to the simulator\n");
        endSimulator();
        return 1;
    }
    controller->setFullBeams(true);
    controller->setPingRate(static_cast<int>(Keldar::Ondrix::PingRate::Rate40Hz));
    // Warm up: the new parameters in force and the display drawing.
    const auto warm = controller->imagesShown();
    if (!pumpUntil([&] { return controller->imagesShown() > warm + 40; }, 20000)) {
        std::fprintf(stderr, "no images reached the display\n");
        endSimulator();
        return 1;
    }

    // Send times, from the simulator's sent counter (the k-th ping sent).
    const std::uint64_t sentBase = record->sent.load();
    const std::uint64_t receivedBase = controller->imagesReceived();

    // The image handed to the display is the newest received; the next paint
    // shows it.
    std::int64_t shownIndex = -1;
    QObject::connect(controller, &MainController::newImage, window.get(),
                     [&] { shownIndex = std::int64_t(controller->imagesReceived() - receivedBase) - 1; });
    struct Sample
    {
        double at;
        double delay;
    };
    std::vector<Sample> delays;
    std::size_t frames = 0;
    std::int64_t lastPainted = -1;
    const double start = nowMs();
    Keldar::Bench::PaintCounter counter;
    counter.onPaint = [&] {
        ++frames;
        if (shownIndex >= 0 && shownIndex != lastPainted) {
            lastPainted = shownIndex;
            const double painted = nowMs();
            const std::uint64_t k = sentBase + std::uint64_t(shownIndex);
            if (k < record->sent.load() && k < SentRecord::capacity) {
                delays.push_back({painted - start, painted - record->at[k]});
            }
        }
    };
    window->getFanDisplay()->installEventFilter(&counter);

    const double memoryStart = residentMegabytes();
    const double cpuStart = Keldar::Bench::processCpuSeconds();
    const double guiCpuStart = threadCpuSeconds();
    pumpUntil([] { return false; }, int(seconds * 1000));
    const double elapsed = (nowMs() - start) / 1000.0;
    const double cpu = Keldar::Bench::processCpuSeconds() - cpuStart;
    const double guiCpu = threadCpuSeconds() - guiCpuStart;
    const double memoryEnd = residentMegabytes();
    window->getFanDisplay()->removeEventFilter(&counter);

    // Stop the stream and let the last pings arrive before counting losses.
    record->request = SentRecord::StopStream;
    std::uint64_t sent = 0;
    pumpUntil(
        [&] {
            if (!record->streamStopped.load()) {
                return false;
            }
            sent = record->sent.load() - sentBase;
            return controller->imagesReceived() - receivedBase >= sent;
        },
        3000);
    sent = record->sent.load() - sentBase;
    const std::uint64_t received = controller->imagesReceived() - receivedBase;

    std::vector<double> early;
    std::vector<double> late;
    std::vector<double> all;
    const double runMs = elapsed * 1000.0;
    for (const auto& sample : delays) {
        all.push_back(sample.delay);
        if (sample.at < runMs / 4) {
            early.push_back(sample.delay);
        } else if (sample.at >= runMs * 3 / 4) {
            late.push_back(sample.delay);
        }
    }
    std::printf("viewer_bench: %.1f s, window %dx%d, 512 beams x 1000 ranges requested at 40 Hz, simulator %s\n",
                elapsed, window->width(), window->height(),
                inProcess ? "in this process"
                          : ("in its own process at nice " + std::to_string(simulatorNice)).c_str());
    std::printf("  frames painted      %.1f /s\n", double(frames) / elapsed);
    std::printf("  pings received      %.1f /s (%llu sent, %llu received, %lld lost)\n", double(received) / elapsed,
                static_cast<unsigned long long>(sent), static_cast<unsigned long long>(received),
                static_cast<long long>(sent) - static_cast<long long>(received));
    std::printf("  images displayed    %llu (the rest skipped for a newer one)\n",
                static_cast<unsigned long long>(delays.size()));
    std::printf("  delay send->paint   median %.1f ms, p99 %.1f ms (first quarter median %.1f, last quarter %.1f)\n",
                percentile(all, 0.5), percentile(all, 0.99), percentile(early, 0.5), percentile(late, 0.5));
    std::printf("  CPU                 %.2f s/s whole process%s, %.2f s/s GUI thread\n", cpu / elapsed,
                inProcess ? " (with the simulator)" : "", guiCpu / elapsed);
    std::printf("  memory (resident)   %.1f MB at start, %.1f MB at end (%+.1f MB)\n", memoryStart, memoryEnd,
                memoryEnd - memoryStart);
    std::fflush(stdout);

    controller->disconnectFromSonar();
    endSimulator();
    window.reset();
    LumivaneApplication::destroyInstance();
    return 0;
}
