// The controller's log side under load, without a window:
// 1. recording a simulated sonar at 40 Hz with 512 beams x 1000 ranges for
//    `seconds`: pings the controller received against entries in the file;
// 2. playing that recording at 8x: entries delivered per second (a 40 Hz log
//    at 8x asks for 320);
// 3. seeking to random frames of a 10,000-entry log: latency from the request
//    to the delivered frame (median and worst).
//
// Usage: playback_bench [seconds=10]   (under a display: scripts/with-display)

#include "application/ExceptionCatchingApplication.h"
#include "application/LumivaneApplication.h"
#include "controller/MainController.h"
#include "support/LoopbackSonarRig.h"

#include <keldar/logging/SqliteLogFile.h>
#include <keldar/ondrix/SonarTypes.h>
#include <keldar/sim/SimulatedSonar.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
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
    const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 10;
    ExceptionCatchingApplication application(argc, argv);
    const Keldar::Bench::LoopbackSonarRig rig;
    auto* lumivane = LumivaneApplication::instance();
    lumivane->setup(application, rig.network());
    MainController* controller = lumivane->getController();

    Keldar::Sim::SimulatedSonar sonar(rig.sonar(40001));
    sonar.start();
    controller->connectWhenSeen(40001);
    controller->startListening();
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
    QObject::connect(controller, &MainController::framePlayed, [&] { ++delivered; });
    controller->setPlaybackSpeed(8.0F);
    delivered = 0;
    QElapsedTimer clock;
    clock.start();
    controller->beginPlayback();
    const int frames = static_cast<int>(controller->getLogEntryIndex().size());
    waitFor([&] { return delivered >= frames - 1 || !controller->isPlayingLog(); }, 120000);
    const double elapsed = clock.elapsed() / 1000.0;
    controller->stopPlayback();
    std::printf("playback at 8x: %d entries in %.2f s, %.0f entries/s (asked: 320)\n", delivered, elapsed,
                delivered / elapsed);

    // 3. Seeks on a 10,000-entry log built from the recording's entries.
    const std::string large = folder.filePath("large.ondrix").toStdString();
    {
        Keldar::Logging::SqliteLogFile source(std::filesystem::path(path), Keldar::Logging::SqliteLogFile::Access::ReadOnly);
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
    controller->closeLogFile();
    LumivaneApplication::destroyInstance();
    return 0;
}
