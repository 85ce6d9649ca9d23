// The viewer's log side under load, in the full-screen window as a user runs
// it (or, with --no-window, through the controller alone):
// 1. recording a simulated sonar at 40 Hz with 512 beams x 1000 ranges for
//    `seconds`: pings the controller received against entries in the file;
// 2. playing that recording at 8x: entries delivered per second (a 40 Hz log
//    at 8x asks for 320) and frames painted meanwhile;
// 3. seeking to random frames of a 10,000-entry log: latency from the request
//    to the delivered frame (median and worst);
// 4. scrubbing that log in the window: latency from the timeline slider being
//    moved to a frame to the fan display having painted it (median and worst).
//
// Usage: playback_bench [seconds=10] [--no-window]
//        (under a display: scripts/with-display)

#include "application/ExceptionCatchingApplication.h"
#include "application/LumivaneApplication.h"
#include "application/LumivaneWindow.h"
#include "controller/MainController.h"
#include "playback/PlaybackToolbar.h"
#include "playback/ScrubControl.h"
#include "playback/ScrubSlider.h"
#include "support/LoopbackSonarRig.h"
#include "support/PaintCounter.h"
#include "support/ProcessCpu.h"

#include <keldar/logging/SqliteLogFile.h>
#include <keldar/ondrix/SonarTypes.h>
#include <keldar/sim/SimulatedSonar.h>

#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <keldar/visualisation/FanDisplay.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <vector>

using namespace Keldar::OndrixLumivane;

namespace {

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int seconds = 10;
    bool windowed = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-window") == 0) {
            windowed = false;
        } else {
            seconds = std::max(2, std::atoi(argv[i]));
        }
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    ExceptionCatchingApplication application(argc, argv);
    // The run's settings stay in a folder of its own, never the user's.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    const Keldar::Bench::LoopbackSonarRig rig;
    auto* lumivane = LumivaneApplication::instance();
    lumivane->setup(application, rig.network());
    MainController* controller = lumivane->getController();

    Keldar::Sim::SimulatedSonar sonar(rig.sonar(40001));
    sonar.start();
    std::unique_ptr<LumivaneWindow> window;
    Keldar::Bench::PaintCounter painted;
    int paints = 0;
    std::chrono::steady_clock::time_point lastPaint;
    painted.onPaint = [&] {
        ++paints;
        lastPaint = std::chrono::steady_clock::now();
    };
    if (windowed) {
        window = std::make_unique<LumivaneWindow>();
        lumivane->start(window.get(), 40001U);
        window->getFanDisplay()->installEventFilter(&painted);
    } else {
        controller->connectWhenSeen(40001);
        controller->startListening();
    }
    if (!waitFor([&] { return controller->isConnected(); }, 10000)) {
        std::fprintf(stderr, "playback_bench: the simulated sonar did not connect\n");
        return 1;
    }
    controller->setFullBeams(true);
    controller->setPingRate(static_cast<int>(Keldar::Ondrix::PingRate::Rate40Hz));
    waitFor([] { return false; }, 1000);

    // 1. Recording.
    QTemporaryDir folder;
    controller->setLogLocation(folder.path().toStdString());
    const auto receivedBefore = controller->imagesReceived();
    controller->startLogging();
    const std::string path = controller->getRecordingPath();
    waitFor([] { return false; }, seconds * 1000);
    const auto received = controller->imagesReceived() - receivedBefore;
    const int32_t written = controller->getLastEntryID();
    controller->stopLogging();
    controller->disconnectFromSonar();
    sonar.stop();
    std::printf("recording %d s at 40 Hz, 512 beams x 1000: %llu pings received, %d entries in the file (%.1f%%)\n",
                seconds, static_cast<unsigned long long>(received), written,
                received == 0 ? 0.0 : 100.0 * written / static_cast<double>(received));

    // 2. Playback at 8x.
    controller->openLogFile(path);
    int delivered = 0;
    int playedFrame = -1;
    int paintsWhenPlayed = 0;
    QObject::connect(controller, &MainController::framePlayed, [&](int frame) {
        ++delivered;
        playedFrame = frame;
        paintsWhenPlayed = paints;
    });
    controller->setPlaybackSpeed(8.0F);
    delivered = 0;
    const int paintsBefore = paints;
    const double cpuBefore = Keldar::Bench::processCpuSeconds();
    QElapsedTimer clock;
    clock.start();
    controller->beginPlayback();
    const int frames = static_cast<int>(controller->getLogEntryIndex().size());
    waitFor([&] { return delivered >= frames - 1 || !controller->isPlayingLog(); }, 120000);
    const double elapsed = clock.elapsed() / 1000.0;
    const double cpu = Keldar::Bench::processCpuSeconds() - cpuBefore;
    controller->stopPlayback();
    // The processor time an entry costs (reading, decoding, showing) tells
    // whether a busy machine or the work itself held playback back.
    std::printf("playback at 8x: %d entries in %.2f s, %.0f entries/s (asked: 320), %.0f frames painted/s, "
                "%.2f ms CPU per entry\n",
                delivered, elapsed, delivered / elapsed, (paints - paintsBefore) / elapsed,
                delivered > 0 ? 1000.0 * cpu / delivered : 0.0);

    // 3. Seeks on a 10,000-entry log built from the recording's entries.
    const std::string large = folder.filePath("large.ondrix").toStdString();
    {
        Keldar::Logging::SqliteLogFile source(std::filesystem::path(path),
                                              Keldar::Logging::SqliteLogFile::Access::ReadOnly);
        const auto entries = source.readEntries(-1, -1, {}, -1);
        Keldar::Logging::SqliteLogFile target(large, "UTC", "playback_bench", "1", 0, 0);
        Keldar::Logging::DataSource sourceRecord = source.getDataSources().front();
        sourceRecord.id = -1;
        target.addDataSource(sourceRecord);
        target.beginTransaction();
        for (int i = 0; i < 10000; ++i) {
            auto entry = entries[static_cast<std::size_t>(i) % entries.size()];
            entry.dataSourceId = sourceRecord.id;
            entry.timestamp = 1'000'000 + i * 25;
            target.logData(entry);
        }
        target.commitTransaction();
    }
    controller->openLogFile(large);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pick(0, 9999);
    std::vector<double> latencies;
    for (int i = 0; i < 300; ++i) {
        const int frame = pick(random);
        const auto start = std::chrono::steady_clock::now();
        controller->readLogEntry(frame);
        latencies.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("seek on 10,000 entries: median %.2f ms, worst %.2f ms (300 random frames)\n",
                latencies[latencies.size() / 2], latencies.back());

    // 4. Scrubbing in the window.
    if (window) {
        ScrubSlider* slider = window->getPlaybackToolbar()->getScrubControl()->getSlider();
        std::vector<double> scrubs;
        for (int i = 0; i < 100; ++i) {
            int frame = pick(random);
            if (frame == slider->value()) {
                frame = (frame + 1) % 10000;
            }
            const auto start = std::chrono::steady_clock::now();
            slider->setValue(frame);
            if (!waitFor([&] { return playedFrame == frame && paints > paintsWhenPlayed; }, 10000)) {
                std::fprintf(stderr, "playback_bench: frame %d was not painted after the slider moved\n", frame);
                return 1;
            }
            scrubs.push_back(std::chrono::duration<double, std::milli>(lastPaint - start).count());
        }
        std::sort(scrubs.begin(), scrubs.end());
        std::printf("scrub in the window (slider moved -> frame painted): median %.1f ms, worst %.1f ms (100 random "
                    "frames)\n",
                    scrubs[scrubs.size() / 2], scrubs.back());
    }
    controller->closeLogFile();
    window.reset();
    LumivaneApplication::destroyInstance();
    return 0;
}
