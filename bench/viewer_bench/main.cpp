// The viewer live from an in-process simulated sonar on loopback, as a user
// would run it: full-screen window, 512 beams x 1000 range lines at 40 Hz.
// Reports frames painted and pings received per second, the delay from the
// simulator having sent a ping to the painted frame that shows it (median and
// 99th percentile, first and last quarter of the run), CPU time per second
// (whole process, which includes the simulator, and the GUI thread alone),
// memory at start and end, and pings lost between socket and controller.
//
// Usage: viewer_bench [seconds=60]   (under a display: scripts/with-display)

#include "application/ExceptionCatchingApplication.h"
#include "application/LumivaneApplication.h"
#include "application/LumivaneWindow.h"
#include "controller/MainController.h"
#include "support/LoopbackSonarRig.h"

#include <keldar/sim/SimulatedSonar.h>
#include <keldar/visualisation/FanDisplay.h>

#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

using namespace Keldar::OndrixLumivane;
using Clock = std::chrono::steady_clock;

namespace {

double nowMs()
{
    return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
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

// Counts paint events of the fan display, after they are handled.
class PaintCounter : public QObject
{
public:
    std::function<void()> onPaint;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && onPaint) {
            // The filter runs before the widget paints: paint now, then count.
            auto* widget = static_cast<QWidget*>(watched);
            widget->removeEventFilter(this);
            QCoreApplication::sendEvent(widget, event);
            widget->installEventFilter(this);
            onPaint();
            return true;
        }
        return false;
    }
};

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: viewer_bench [seconds]\n");
        return 2;
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    ExceptionCatchingApplication application(argc, argv);
    // The run's settings stay in a folder of its own, never the user's.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());

    const Keldar::Bench::LoopbackSonarRig rig;
    auto* lumivane = LumivaneApplication::instance();
    lumivane->setup(application, rig.network());
    auto window = std::make_unique<LumivaneWindow>();
    lumivane->start(window.get(), 40001U);
    auto* controller = lumivane->getController();

    Keldar::Sim::SimulatedSonar sonar(rig.sonar(40001));
    sonar.start();

    if (!pumpUntil([&] { return controller->isConnected(); }, 20000)) {
        std::fprintf(stderr, "the viewer did not connect to the simulator\n");
        return 1;
    }
    controller->setFullBeams(true);
    controller->setPingRate(static_cast<int>(Keldar::Ondrix::PingRate::Rate40Hz));
    // Warm up: the new parameters in force and the display drawing.
    const auto warm = controller->imagesShown();
    if (!pumpUntil([&] { return controller->imagesShown() > warm + 40; }, 20000)) {
        std::fprintf(stderr, "no images reached the display\n");
        return 1;
    }

    // Send times, from the simulator's sent counter (the k-th ping sent).
    std::mutex sentMutex;
    std::vector<double> sentAt;
    std::atomic<bool> polling{true};
    const std::size_t sentBase = sonar.counters().pingResultsSent;
    const std::uint64_t receivedBase = controller->imagesReceived();
    std::thread poller([&] {
        std::size_t seen = sentBase;
        while (polling.load()) {
            const std::size_t sent = sonar.counters().pingResultsSent;
            if (sent > seen) {
                const double t = nowMs();
                std::lock_guard lock(sentMutex);
                for (; seen < sent; ++seen) {
                    sentAt.push_back(t);
                }
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });

    // The image handed to the display is the newest received; the next paint
    // shows it.
    std::int64_t shownIndex = -1;
    QObject::connect(controller, &MainController::newImage, window.get(), [&] {
        shownIndex = std::int64_t(controller->imagesReceived() - receivedBase) - 1;
    });
    struct Sample { double at; double delay; };
    std::vector<Sample> delays;
    std::size_t frames = 0;
    std::int64_t lastPainted = -1;
    const double start = nowMs();
    PaintCounter counter;
    counter.onPaint = [&] {
        ++frames;
        if (shownIndex >= 0 && shownIndex != lastPainted) {
            lastPainted = shownIndex;
            const double painted = nowMs();
            std::lock_guard lock(sentMutex);
            if (std::size_t(shownIndex) < sentAt.size()) {
                delays.push_back({painted - start, painted - sentAt[std::size_t(shownIndex)]});
            }
        }
    };
    window->getFanDisplay()->installEventFilter(&counter);

    const double memoryStart = residentMegabytes();
    const double cpuStart = processCpuSeconds();
    const double guiCpuStart = threadCpuSeconds();
    pumpUntil([] { return false; }, int(seconds * 1000));
    const double elapsed = (nowMs() - start) / 1000.0;
    const double cpu = processCpuSeconds() - cpuStart;
    const double guiCpu = threadCpuSeconds() - guiCpuStart;
    const double memoryEnd = residentMegabytes();
    window->getFanDisplay()->removeEventFilter(&counter);

    // Stop the stream and let the last pings arrive before counting losses.
    sonar.ignoreFireRequests(1'000'000);
    std::size_t sent = 0;
    pumpUntil([&] {
        sent = sonar.counters().pingResultsSent - sentBase;
        return controller->imagesReceived() - receivedBase >= sent;
    }, 3000);
    polling = false;
    poller.join();
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
    std::printf("viewer_bench: %.1f s, window %dx%d, 512 beams x 1000 ranges requested at 40 Hz\n", elapsed,
                window->width(), window->height());
    std::printf("  frames painted      %.1f /s\n", double(frames) / elapsed);
    std::printf("  pings received      %.1f /s (%llu sent, %llu received, %lld lost)\n", double(received) / elapsed,
                static_cast<unsigned long long>(sent), static_cast<unsigned long long>(received),
                static_cast<long long>(sent) - static_cast<long long>(received));
    std::printf("  images displayed    %llu (the rest skipped for a newer one)\n",
                static_cast<unsigned long long>(delays.size()));
    std::printf("  delay send->paint   median %.1f ms, p99 %.1f ms (first quarter median %.1f, last quarter %.1f)\n",
                percentile(all, 0.5), percentile(all, 0.99), percentile(early, 0.5), percentile(late, 0.5));
    std::printf("  CPU                 %.2f s/s whole process (with the simulator), %.2f s/s GUI thread\n",
                cpu / elapsed, guiCpu / elapsed);
    std::printf("  memory (resident)   %.1f MB at start, %.1f MB at end (%+.1f MB)\n", memoryStart, memoryEnd,
                memoryEnd - memoryStart);
    std::fflush(stdout);

    controller->disconnectFromSonar();
    sonar.stop();
    window.reset();
    LumivaneApplication::destroyInstance();
    return 0;
}
