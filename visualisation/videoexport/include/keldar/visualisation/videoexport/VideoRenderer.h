#pragma once

#include <keldar/visualisation/FanDisplayOptions.h>
#include <keldar/visualisation/videoexport/VideoExportSettings.h>

#include <QColor>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

namespace Keldar::Logging::Playback {
class LogFilePlayer;
}

namespace Keldar::Ondrix::Visualisation::VideoExport {

// What the video looks like beyond the display settings.
struct VideoAppearance
{
    QColor foreground{255, 255, 255}; // text and the branding's main parts
    QColor accent{30, 144, 255};      // the branding's second colour
    int despeckleLevel = -1;          // the display's own when negative
};

// Turns a span of a log into a 1920 x 1080, 30 frames a second video next to
// the log ("<log>_exported.avi", never overwriting an earlier one). Every
// sonar image is drawn by a fan display that is never shown; frames follow
// the entries' timestamps in real time (gaps repeat the last picture, bursts
// drop entries), with an optional time stamp and sonar name painted on top.
// Encoding runs on a thread of its own while the next pictures are drawn.
//
// Needs a QApplication and an OpenGL capable platform; runs on the GUI thread.
class VideoRenderer
{
public:
    static constexpr int frameWidth = 1920;
    static constexpr int frameHeight = 1080;
    static constexpr double framesPerSecond = 30.0;

    // Called after each entry with its frame index; false cancels.
    using Progress = std::function<bool(std::int32_t frame)>;

    // Opens the video file. Throws VideoExportError "Could not create video
    // file." when it cannot be written.
    VideoRenderer(Logging::Playback::LogFilePlayer& player, const VideoExportSettings& settings,
                  const FanDisplayOptions::DisplaySettings& display, const VideoAppearance& appearance = {});
    // An export that did not finish leaves no file behind.
    ~VideoRenderer();

    VideoRenderer(const VideoRenderer&) = delete;
    VideoRenderer& operator=(const VideoRenderer&) = delete;

    const std::filesystem::path& getOutputPath() const;

    // Writes the frames of the settings' span: true when all are written,
    // false when `progress` cancelled (the partial file is then removed).
    // Throws VideoExportError when the encoder fails.
    bool run(const Progress& progress = {});

    std::int64_t getFramesWritten() const;
    // Pictures actually drawn: entries whose picture no frame shows are
    // skipped.
    std::int64_t getPicturesDrawn() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Keldar::Ondrix::Visualisation::VideoExport
