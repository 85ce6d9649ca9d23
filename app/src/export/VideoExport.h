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
// behind a window-modal progress dialog whose "Cancel" stops it; the dialog
// counts frames of video written of those expected and the time left. The
// frames are read, paced and encoded on a thread of their own; the GUI thread
// only draws the pictures in between its other events, so the window stays
// live. Nothing else may use the player meanwhile. An event loop ended under
// it (a quit) cancels the export. Throws VideoExportError ("Could not create
// video file." when the file cannot be made; UnknownTimeZoneError for
// absolute stamps without a known zone).
VideoExportResult exportLogToVideo(Logging::Playback::LogFilePlayer& player, const VideoExportSettings& settings,
                                   const Ondrix::Visualisation::FanDisplayOptions::DisplaySettings& display);

// Cancels the video export running in this process: from any thread, at any
// moment (a quit, SIGTERM). exportLogToVideo() then returns unfinished within
// a frame or so, its partial file removed. False when none was running.
bool cancelVideoExport();

} // namespace Keldar::OndrixLumivane

Q_DECLARE_METATYPE(Keldar::Ondrix::Visualisation::VideoExport::VideoExportSettings)
Q_DECLARE_METATYPE(Keldar::Ondrix::Visualisation::FanDisplayOptions::DisplaySettings)

namespace Keldar::OndrixLumivane {

// Registers the two types above for queued export signals; safe to call
// more than once.
void registerVideoExportMetaTypes();

} // namespace Keldar::OndrixLumivane
