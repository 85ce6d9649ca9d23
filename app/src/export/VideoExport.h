#pragma once

#include <keldar/visualisation/FanDisplayOptions.h>
#include <keldar/visualisation/videoexport/VideoExportSettings.h>

#include <QMetaType>

#include <cstdint>
#include <filesystem>

namespace Keldar::Logging::Playback {
class LogFilePlayer;
}

namespace Keldar::OndrixLumivane {

using VideoExportSettings = Ondrix::Visualisation::VideoExport::VideoExportSettings;
using VideoExportError = Ondrix::Visualisation::VideoExport::VideoExportError;

// How a video export ended.
struct VideoExportResult
{
    bool finished = false; // false: the user cancelled and no file is left
    std::filesystem::path path;
    // Frames whose entry could not be read; the video shows the picture
    // before each instead.
    std::int64_t unreadableFrames = 0;
};

// Writes the settings' span of the player's log as a video beside the log,
// behind a window-modal progress dialog whose "Cancel" stops it. The frames
// are read, paced and encoded on a thread of their own; the GUI thread only
// draws the pictures in between its other events, so the window stays live.
// Nothing else may use the player meanwhile. Throws VideoExportError ("Could
// not create video file." when the file cannot be made).
VideoExportResult exportLogToVideo(Logging::Playback::LogFilePlayer& player, const VideoExportSettings& settings,
                                   const Ondrix::Visualisation::FanDisplayOptions::DisplaySettings& display);

} // namespace Keldar::OndrixLumivane

Q_DECLARE_METATYPE(Keldar::Ondrix::Visualisation::VideoExport::VideoExportSettings)
Q_DECLARE_METATYPE(Keldar::Ondrix::Visualisation::FanDisplayOptions::DisplaySettings)

namespace Keldar::OndrixLumivane {

// Registers the two types above for queued export signals; safe to call
// more than once.
void registerVideoExportMetaTypes();

} // namespace Keldar::OndrixLumivane
