#pragma once

#include <keldar/visualisation/FanDisplayOptions.h>
#include <keldar/visualisation/videoexport/VideoExportSettings.h>

#include <QMetaType>

namespace Keldar::Logging::Playback {
class LogFilePlayer;
}

namespace Keldar::OndrixLumivane {

using VideoExportSettings = Ondrix::Visualisation::VideoExport::VideoExportSettings;
using VideoExportError = Ondrix::Visualisation::VideoExport::VideoExportError;

// Writes the settings' span of the player's log as a video beside the log,
// behind a window-modal progress dialog whose "Cancel" stops it. True when
// every frame was written, false when the user cancelled (the partial file is
// removed). Throws VideoExportError ("Could not create video file." when the
// file cannot be made).
bool exportLogToVideo(Logging::Playback::LogFilePlayer& player, const VideoExportSettings& settings,
                      const Ondrix::Visualisation::FanDisplayOptions::DisplaySettings& display);

} // namespace Keldar::OndrixLumivane

Q_DECLARE_METATYPE(Keldar::Ondrix::Visualisation::VideoExport::VideoExportSettings)
Q_DECLARE_METATYPE(Keldar::Ondrix::Visualisation::FanDisplayOptions::DisplaySettings)

namespace Keldar::OndrixLumivane {

// Registers the two types above for queued export signals; safe to call
// more than once.
void registerVideoExportMetaTypes();

} // namespace Keldar::OndrixLumivane
