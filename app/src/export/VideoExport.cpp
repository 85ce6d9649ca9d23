#include "export/VideoExport.h"

#include "base/ProgressDialogs.h"
#include "base/ViewerContext.h"
#include <keldar/gui/MainWindow.h>

#include <keldar/gui/ThemeManager.h>
#include <keldar/visualisation/videoexport/VideoRenderer.h>

#include <QApplication>
#include <QProgressDialog>

namespace Keldar::OndrixLumivane {

using Ondrix::Visualisation::VideoExport::VideoAppearance;
using Ondrix::Visualisation::VideoExport::VideoRenderer;

void registerVideoExportMetaTypes()
{
    qRegisterMetaType<VideoExportSettings>("Keldar::Ondrix::Visualisation::VideoExport::VideoExportSettings");
    qRegisterMetaType<Ondrix::Visualisation::FanDisplayOptions::DisplaySettings>(
        "Keldar::Ondrix::Visualisation::FanDisplayOptions::DisplaySettings");
}

bool exportLogToVideo(Logging::Playback::LogFilePlayer& player, const VideoExportSettings& settings,
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
    progress.setValue(settings.startIndex);

    VideoAppearance appearance;
    if (const auto* themes = application != nullptr ? application->getThemeManager() : nullptr) {
        const QColor foreground = themes->getThemeColour(QStringLiteral("@primaryForeground"));
        const QColor accent = themes->getThemeColour(QStringLiteral("@accent"));
        appearance.foreground = foreground.isValid() ? foreground : appearance.foreground;
        appearance.accent = accent.isValid() ? accent : appearance.accent;
    }
    VideoRenderer renderer(player, settings, display, appearance);
    // The dialog's setValue runs the events that deliver a click on "Cancel".
    return renderer.run([&progress](std::int32_t frame) {
        if (progress.wasCanceled()) {
            return false;
        }
        progress.setValue(frame);
        return true;
    });
}

} // namespace Keldar::OndrixLumivane
