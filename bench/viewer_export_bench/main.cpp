// The viewer's window while it exports a large log, as a user would run it:
// the fan display is asked to repaint every 16 ms, and the gaps between its
// paints are measured while the window is idle (the baseline), while the
// whole log is exported to a new log and then to the older format, and while
// that older-format file is converted back as the viewer opens it. Reports
// the median and longest gap of each, the ratio of the medians against the
// idle one, how many distinct values the progress dialog showed and how long
// each took; the same copy run on the GUI thread is a second baseline.
//
// The log (version-2 ping results of 512 x 256, uncompressed, ten a second)
// is generated in a scratch folder and removed at the end with the exports;
// its size is 1024 MB unless KELDAR_BENCH_EXPORT_MB says otherwise.
//
// Usage (under a display): viewer_export_bench

#include "application/ExceptionCatchingApplication.h"
#include "application/LumivaneApplication.h"
#include "application/LumivaneWindow.h"
#include "base/MessageBoxes.h"
#include "controller/MainController.h"
#include "support/LoopbackSonarRig.h"
#include "support/PaintCounter.h"

#include <keldar/logging/Algorithms.h>
#include <keldar/logging/SqliteLogFile.h>
#include <keldar/ondrix/MessageBuilding.h>
#include <keldar/visualisation/FanDisplay.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <vector>

using namespace Keldar::OndrixLumivane;
namespace Build = Keldar::Ondrix::MessageBuilding;

namespace {

std::uint64_t logMegabytes()
{
    const char* text = std::getenv("KELDAR_BENCH_EXPORT_MB");
    return text != nullptr ? std::strtoull(text, nullptr, 10) : 1024;
}

void writeLog(const std::filesystem::path& path, std::uint64_t megabytes)
{
    Keldar::Logging::SqliteLogFile log(path.string(), "UTC", "viewer_export_bench", "1", 0, 1700000000000);
    Keldar::Logging::DataSource source{-1, KD_LogDataSourceType_Sonar, "Ondrix Sonar"};
    log.addDataSource(source);
    std::mt19937 random(7);
    std::vector<std::vector<std::uint8_t>> messages;
    for (int m = 0; m < 16; ++m) {
        Build::ImageDescription image;
        image.beams = 512;
        image.ranges = 256;
        image.range = 20.0;
        for (int b = 0; b < 512; ++b) {
            image.bearings.push_back(static_cast<std::int16_t>(-6500 + b * 25));
        }
        image.samples.resize(512 * 256);
        for (auto& sample : image.samples) {
            sample = static_cast<std::uint8_t>(random() & 0xFF);
        }
        const auto message = Build::buildSimplePingResultV2(image);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(message.data());
        messages.emplace_back(bytes, bytes + message.size());
    }
    log.setBulkWriting(true);
    log.beginTransaction();
    std::uint64_t written = 0;
    for (std::int64_t i = 0; written < megabytes << 20; ++i) {
        const auto& payload = messages[static_cast<std::size_t>(i) % messages.size()];
        log.logData({0, source.id, 1, payload, 1700000000000 + i * 100});
        written += payload.size();
        if (i % 200 == 199) {
            log.commitTransaction();
            log.beginTransaction();
        }
    }
    log.commitTransaction();
    log.setBulkWriting(false);
}

double median(std::vector<double> values)
{
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Watch
{
    std::vector<double> gaps;
    std::set<int> dialogValues;
    double seconds = 0.0;
};

} // namespace

int main(int argc, char** argv)
{
    const auto folder = std::filesystem::temp_directory_path() /
                        ("keldar-viewer-export-bench-" + std::to_string(QCoreApplication::applicationPid()));
    std::filesystem::create_directories(folder);
    const auto log = folder / "recording.ondrix";
    const std::uint64_t megabytes = logMegabytes();
    writeLog(log, megabytes);

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    ExceptionCatchingApplication application(argc, argv);
    // The run's settings stay in a folder of its own, never the user's.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    const Keldar::Bench::LoopbackSonarRig rig;
    auto* lumivane = LumivaneApplication::instance();
    lumivane->setup(application, rig.network());
    auto window = std::make_unique<LumivaneWindow>();
    lumivane->start(window.get());
    auto* controller = lumivane->getController();
    controller->openLogFile(log.string());
    const int frames = static_cast<int>(controller->getLogEntryIndex().size());

    auto* fan = window->getFanDisplay();
    Keldar::Bench::PaintCounter counter;
    QElapsedTimer clock;
    clock.start();
    Watch* watching = nullptr;
    double lastPaint = -1.0;
    counter.onPaint = [&] {
        const double now = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        if (watching != nullptr && lastPaint >= 0.0) {
            watching->gaps.push_back(now - lastPaint);
        }
        lastPaint = now;
    };
    fan->installEventFilter(&counter);
    QTimer repaint;
    repaint.setInterval(16);
    QObject::connect(&repaint, &QTimer::timeout, [&] {
        fan->update();
        if (watching == nullptr) {
            return;
        }
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QProgressDialog*>(widget); dialog != nullptr && dialog->isVisible()) {
                watching->dialogValues.insert(dialog->value());
            }
        }
    });
    repaint.start();

    auto measure = [&](Watch& watch, const std::function<void()>& work) {
        watching = &watch;
        QElapsedTimer took;
        took.start();
        work();
        watch.seconds = static_cast<double>(took.elapsed()) / 1000.0;
        // The first paint after the work closes the gap it may have held open.
        const int paints = counter.paints;
        QElapsedTimer wait;
        wait.start();
        while (counter.paints == paints && wait.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        watching = nullptr;
    };
    Watch idle;
    measure(idle, [] {
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 3000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
    });
    // What a copy on the GUI thread does to the window, for comparison.
    Watch onGuiThread;
    measure(onGuiThread, [&] {
        const Keldar::Logging::SqliteLogFile source(log, Keldar::Logging::SqliteLogFile::Access::ReadOnly);
        Keldar::Logging::Algorithms::slice(source, source.getFirstEntryId(), source.getLastEntryId(),
                                           (folder / "blocking.ondrix").string(), "viewer_export_bench", "1", 0);
    });
    Watch toLog;
    measure(toLog, [&] { controller->exportToLog(0, frames - 1); });
    Watch toLegacy;
    measure(toLegacy, [&] { controller->exportToLegacyLog(0, frames - 1); });
    // The older-format file just written, converted back when opened.
    MessageBoxes::setPresenter([](QMessageBox&) { return static_cast<int>(QMessageBox::Yes); });
    Watch conversion;
    measure(conversion, [&] { controller->openLogFile((folder / "recording_legacy.ondrix").string()); });
    repaint.stop();
    fan->removeEventFilter(&counter);

    const double baseline = median(idle.gaps);
    std::printf("viewer_export_bench: %llu MB log, %d frames; fan display asked to repaint every 16 ms\n",
                static_cast<unsigned long long>(megabytes), frames);
    std::printf("  %-22s %8s %12s %12s %10s %14s\n", "", "paints", "median gap", "longest gap", "vs idle",
                "dialog values");
    auto row = [&](const char* name, const Watch& watch) {
        std::printf("  %-22s %8zu %9.1f ms %9.1f ms %9.2fx %14zu   (%.1f s)\n", name, watch.gaps.size(),
                    median(watch.gaps),
                    watch.gaps.empty() ? 0.0 : *std::max_element(watch.gaps.begin(), watch.gaps.end()),
                    baseline > 0.0 ? median(watch.gaps) / baseline : 0.0, watch.dialogValues.size(), watch.seconds);
    };
    row("idle (baseline)", idle);
    row("copy on the GUI thread", onGuiThread);
    row("export to a log", toLog);
    row("export to older format", toLegacy);
    row("conversion of that", conversion);

    window.reset();
    LumivaneApplication::destroyInstance();
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    return 0;
}
