#include "export/VideoExport.h"

#include "base/ProgressDialogs.h"
#include "base/ViewerContext.h"
#include <keldar/gui/MainWindow.h>

#include <keldar/gui/ThemeManager.h>
#include <keldar/visualisation/videoexport/VideoRenderer.h>

#include <QApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

#include <atomic>
#include <exception>
#include <thread>

namespace Keldar::OndrixLumivane {

using Ondrix::Visualisation::VideoExport::VideoAppearance;
using Ondrix::Visualisation::VideoExport::VideoRenderer;

void registerVideoExportMetaTypes()
{
    qRegisterMetaType<VideoExportSettings>("Keldar::Ondrix::Visualisation::VideoExport::VideoExportSettings");
    qRegisterMetaType<Ondrix::Visualisation::FanDisplayOptions::DisplaySettings>(
        "Keldar::Ondrix::Visualisation::FanDisplayOptions::DisplaySettings");
}

VideoExportResult exportLogToVideo(Logging::Playback::LogFilePlayer& player, const VideoExportSettings& settings,
                                   const Ondrix::Visualisation::FanDisplayOptions::DisplaySettings& display)
{
    auto* application = ViewerContext::instance();
    QWidget* parent = QApplication::activeWindow();
    if (parent == nullptr && application != nullptr) {
        parent = application->getMainWindowBase();
    }
    QProgressDialog progress(QStringLiteral("Exporting..."), QStringLiteral("Cancel"), settings.startIndex,
                             settings.endIndex, parent);
    prepareProgressDialog(progress, Qt::WindowModal);
    progress.setProperty("class", QStringLiteral("inverted"));
    progress.setMinimumDuration(0);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    progress.setValue(settings.startIndex);

    VideoAppearance appearance;
    if (const auto* themes = application != nullptr ? application->getThemeManager() : nullptr) {
        const QColor foreground = themes->getThemeColour(QStringLiteral("@primaryForeground"));
        const QColor accent = themes->getThemeColour(QStringLiteral("@accent"));
        appearance.foreground = foreground.isValid() ? foreground : appearance.foreground;
        appearance.accent = accent.isValid() ? accent : appearance.accent;
    }
    VideoRenderer renderer(player, settings, display, appearance);

    // The worker asks this thread to draw each picture, so this thread must
    // keep running its events until the worker is done, cancelled or not.
    std::atomic<std::int32_t> reached{settings.startIndex};
    std::exception_ptr failure;
    bool finished = false;
    QEventLoop waiting;
    QObject::connect(&progress, &QProgressDialog::canceled, &waiting, [&renderer] { renderer.cancel(); });
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &progress, [&] {
        // cancel() called on the dialog itself does not emit canceled().
        if (progress.wasCanceled()) {
            renderer.cancel();
            return;
        }
        if (progress.value() != reached.load()) {
            progress.setValue(reached.load());
        }
    });
    ticker.start(100);
    std::thread worker([&] {
        try {
            finished = renderer.run([&reached](std::int32_t frame) {
                reached = frame;
                return true;
            });
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
    });
    waiting.exec();
    worker.join();
    ticker.stop();
    progress.close();
    if (failure) {
        std::rethrow_exception(failure);
    }
    return {finished, renderer.getOutputPath(), renderer.getUnreadableFrames()};
}

} // namespace Keldar::OndrixLumivane
