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
// the log ("<log>_exported.avi" or ".mp4", never overwriting an earlier one).
// Every sonar image is drawn by a fan display that is never shown; frames
// follow the entries' timestamps in real time (gaps repeat the last picture,
// up to the settings' maximum pause; bursts drop entries), with an optional
// time stamp and sonar name painted on top. Encoding runs on a thread of its
// own while the next pictures are drawn.
//
// Needs a QApplication and an OpenGL capable platform. Made and destroyed on
// the GUI thread; run() may be called on another thread while the GUI thread
// runs its event loop, which then draws the display's pictures for it.
class VideoRenderer
{
public:
    static constexpr int frameWidth = 1920;
    static constexpr int frameHeight = 1080;
    static constexpr double framesPerSecond = 30.0;

    // Called on run()'s thread after each entry with its frame index, and
    // again with the same index while a long pause is written; false cancels.
    using Progress = std::function<bool(std::int32_t frame)>;

    // Opens the video file. Throws VideoExportError "Could not create video
    // file." when it cannot be written, and "Unknown time zone: <name>"
    // (leaving no file) for absolute stamps in a zone the formatter does not
    // know.
    VideoRenderer(Logging::Playback::LogFilePlayer& player, const VideoExportSettings& settings,
                  const FanDisplayOptions::DisplaySettings& display, const VideoAppearance& appearance = {});
    // An export that did not finish leaves no file behind.
    ~VideoRenderer();

    VideoRenderer(const VideoRenderer&) = delete;
    VideoRenderer& operator=(const VideoRenderer&) = delete;

    const std::filesystem::path& getOutputPath() const;
    // The zone absolute stamps are written in (empty for other stamps).
    const std::string& getTimeZone() const;

    // Writes the frames of the settings' span: true when all are written,
    // false when `progress` or cancel() cancelled (the partial file is then
    // removed). Throws VideoExportError when the encoder fails.
    bool run(const Progress& progress = {});
    // From any thread: run() stops within a frame or so and returns false.
    void cancel();

    std::int64_t getFramesWritten() const;
    // Pictures actually drawn: entries whose picture no frame shows are
    // skipped.
    std::int64_t getPicturesDrawn() const;
    // Frames of the span whose entry could not be read, or whose stored
    // message is damaged: the video shows the picture before them instead.
    std::int64_t getUnreadableFrames() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Keldar::Ondrix::Visualisation::VideoExport
