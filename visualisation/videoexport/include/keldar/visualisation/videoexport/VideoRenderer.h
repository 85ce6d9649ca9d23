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
// own while the next pictures are drawn. The file is written under a
// temporary name beside the final one and appears under it only when whole.
//
// Needs a QApplication and an OpenGL capable platform. Made and destroyed on
// the GUI thread; run() may be called on another thread while the GUI thread
// runs its event loop, which then draws the display's pictures for it. Such a
// run() never waits for the GUI thread once cancel() is called, so the GUI
// thread may cancel and then join it at any moment.
class VideoRenderer
{
public:
    static constexpr int frameWidth = 1920;
    static constexpr int frameHeight = 1080;
    static constexpr double framesPerSecond = 30.0;

    // Called on run()'s thread after each entry and during long pauses with
    // the frames the encoder has taken and the frames the span makes (pauses
    // included), and once more at the end; false cancels.
    using Progress = std::function<bool(std::int64_t framesEncoded, std::int64_t framesExpected)>;

    // Opens the video file (under its temporary name). Throws
    // VideoExportError "Could not create video file." when it cannot be
    // written, and UnknownTimeZoneError (leaving no file) for absolute stamps
    // without a zone the formatter knows: the chosen one, else the one the
    // recording names.
    VideoRenderer(Logging::Playback::LogFilePlayer& player, const VideoExportSettings& settings,
                  const FanDisplayOptions::DisplaySettings& display, const VideoAppearance& appearance = {});
    // An export that did not finish leaves no file behind.
    ~VideoRenderer();

    VideoRenderer(const VideoRenderer&) = delete;
    VideoRenderer& operator=(const VideoRenderer&) = delete;

    // The final name; nothing is there until run() has succeeded.
    const std::filesystem::path& getOutputPath() const;
    // The name written to while run() works.
    const std::filesystem::path& getTemporaryPath() const;
    // The zone absolute stamps are written in (empty for other stamps).
    const std::string& getTimeZone() const;

    // Writes the frames of the settings' span: true when all are written,
    // false when `progress` or cancel() cancelled (the partial file is then
    // removed). Throws VideoExportError when the encoder fails.
    bool run(const Progress& progress = {});
    // From any thread, at any moment: run() stops within a frame or so and
    // returns false.
    void cancel();

    std::int64_t getFramesWritten() const;
    // From any thread: frames the encoder has taken, and the frames the span
    // makes (known from the entries' times before the first is drawn).
    std::int64_t getFramesEncoded() const;
    std::int64_t getFramesExpected() const;
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
