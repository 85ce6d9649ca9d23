#include "export/VideoExport.h"

#include "base/ProgressDialogs.h"
#include "base/ViewerContext.h"
#include <keldar/gui/MainWindow.h>

#include <keldar/gui/ThemeManager.h>
#include <keldar/logging/videoexport/VideoExportText.h>
#include <keldar/visualisation/videoexport/VideoRenderer.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <climits>
#include <exception>
#include <mutex>
#include <thread>

namespace Keldar::OndrixLumivane {

using Ondrix::Visualisation::VideoExport::VideoAppearance;
using Ondrix::Visualisation::VideoExport::VideoRenderer;

namespace {

// The export running in this process, for cancelVideoExport().
std::mutex runningMutex;
VideoRenderer* running = nullptr;

// Registers the renderer as the running export for as long as it lives.
struct RunningExport
{
    explicit RunningExport(VideoRenderer& renderer)
    {
        const std::lock_guard lock(runningMutex);
        running = &renderer;
    }
    ~RunningExport()
    {
        const std::lock_guard lock(runningMutex);
        running = nullptr;
    }
    RunningExport(const RunningExport&) = delete;
    RunningExport& operator=(const RunningExport&) = delete;
};

QString progressLabel(std::int64_t encoded, std::int64_t expected, const QElapsedTimer& clock)
{
    return QStringLiteral("Exporting... ") + QString::fromStdString(Logging::VideoExport::exportProgressText(
                                                 encoded, expected, static_cast<double>(clock.elapsed()) / 1000.0));
}

} // namespace

void registerVideoExportMetaTypes()
{
    qRegisterMetaType<VideoExportSettings>("Keldar::Ondrix::Visualisation::VideoExport::VideoExportSettings");
    qRegisterMetaType<Ondrix::Visualisation::FanDisplayOptions::DisplaySettings>(
        "Keldar::Ondrix::Visualisation::FanDisplayOptions::DisplaySettings");
}

bool cancelVideoExport()
{
    const std::lock_guard lock(runningMutex);
    if (running == nullptr) {
        return false;
    }
    running->cancel();
    return true;
}

VideoExportResult exportLogToVideo(Logging::Playback::LogFilePlayer& player, const VideoExportSettings& settings,
                                   const Ondrix::Visualisation::FanDisplayOptions::DisplaySettings& display)
{
    auto* application = ViewerContext::instance();
    QWidget* parent = QApplication::activeWindow();
    if (parent == nullptr && application != nullptr) {
        parent = application->getMainWindowBase();
    }
    VideoAppearance appearance;
    if (const auto* themes = application != nullptr ? application->getThemeManager() : nullptr) {
        const QColor foreground = themes->getThemeColour(QStringLiteral("@primaryForeground"));
        const QColor accent = themes->getThemeColour(QStringLiteral("@accent"));
        appearance.foreground = foreground.isValid() ? foreground : appearance.foreground;
        appearance.accent = accent.isValid() ? accent : appearance.accent;
    }
    VideoRenderer renderer(player, settings, display, appearance);
    const RunningExport registered(renderer);

    // In frames of video, pauses included: a long pause moves the bar too.
    QProgressDialog progress(QStringLiteral("Exporting..."), QStringLiteral("Cancel"), 0, 1, parent);
    prepareProgressDialog(progress, Qt::WindowModal);
    progress.setProperty("class", QStringLiteral("inverted"));
    progress.setMinimumDuration(0);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    progress.setValue(0);

    // The worker asks this thread to draw each picture, so this thread runs
    // its events until the worker is done. Should the loop end first (a
    // quit, a signal), the export is cancelled: the worker then stops waiting
    // for this thread, and joining it cannot hang.
    std::exception_ptr failure;
    bool finished = false;
    QEventLoop waiting;
    QObject::connect(&progress, &QProgressDialog::canceled, &waiting, [&renderer] { renderer.cancel(); });
    QElapsedTimer clock;
    clock.start();
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &progress, [&] {
        // cancel() called on the dialog itself does not emit canceled().
        if (progress.wasCanceled()) {
            renderer.cancel();
            return;
        }
        const std::int64_t expected = std::max<std::int64_t>(1, renderer.getFramesExpected());
        const std::int64_t encoded = std::min(renderer.getFramesEncoded(), expected);
        if (progress.maximum() != expected) {
            progress.setMaximum(static_cast<int>(std::min<std::int64_t>(expected, INT_MAX)));
        }
        progress.setValue(static_cast<int>(std::min<std::int64_t>(encoded, INT_MAX)));
        progress.setLabelText(progressLabel(encoded, expected, clock));
    });
    ticker.start(100);
    std::atomic<bool> workerDone{false};
    std::thread worker([&] {
        try {
            finished = renderer.run();
        } catch (...) {
            failure = std::current_exception();
        }
        workerDone = true;
        QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
    });
    waiting.exec();
    if (!workerDone) {
        renderer.cancel();
    }
    worker.join();
    ticker.stop();
    progress.close();
    if (failure) {
        std::rethrow_exception(failure);
    }
    return {finished, renderer.getOutputPath(), renderer.getUnreadableFrames()};
}

} // namespace Keldar::OndrixLumivane
