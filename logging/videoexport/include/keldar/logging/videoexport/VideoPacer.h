#pragma once

#include <cstdint>

namespace Keldar::Logging::VideoExport {

// Turns log entries, paced by their timestamps, into frames of a 30 frames a
// second video in real time: a long gap repeats the last frame, a burst
// drops entries that arrive less than a frame after the one written before.
// With a maximum pause, a gap between two entries longer than it lasts only
// that long in the video.
class VideoPacer
{
public:
    // What to write for one entry, in order.
    struct Step
    {
        std::int64_t repeats = 0; // copies of the previous frame image
        bool writeEntry = false;  // then the entry's own frame
        // The frame of the video the entry's picture stands for: its own
        // frame when written, else the one its time falls in.
        std::int64_t frame = 0;
        // Log time left out of the video before this entry, in milliseconds:
        // the entry's time since the first is the frame's time plus this.
        std::int64_t cutMs = 0;
    };

    // The frame period the video is paced by, in milliseconds.
    static constexpr double framePeriod = 33.333332;

    // `maxPauseMs` 0 keeps every gap as it is.
    explicit VideoPacer(std::int64_t maxPauseMs = 0);

    // The first entry fixes the start of the video.
    Step next(std::int64_t timestamp);

    // Frames written so far.
    std::int64_t getFramesWritten() const { return framesWritten_; }

private:
    std::int64_t maxPauseMs_ = 0;
    bool started_ = false;
    std::int64_t startTime_ = 0;
    std::int64_t previousTime_ = 0;
    std::int64_t cutMs_ = 0;
    std::int64_t framesWritten_ = 0;
};

} // namespace Keldar::Logging::VideoExport
