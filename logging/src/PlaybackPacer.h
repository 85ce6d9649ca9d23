#pragma once

#include <chrono>
#include <cstdint>

namespace Keldar::Logging::Playback {

// The waits of playback: each frame waits its log-time gap scaled by the
// speed, less what the frame before took beyond its own wait (reading,
// oversleeping, delivering), so that lateness does not add up. A scaled gap
// of the maximum or more is waited as exactly the maximum: the cap bounds the
// pauses of a dropout, and applied after the speed it still lets a fast
// speed quicken a slow log (8x on a 1 Hz log waits 125 ms, not 500).
//
// Everything is kept at the steady clock's own resolution: at 8x a 40 Hz log
// leaves 3.125 ms a frame, and bookkeeping in whole, truncated milliseconds
// lost up to a millisecond on each of its terms, which made fast playback
// run far slower than asked.
class PlaybackPacer
{
public:
    using Duration = std::chrono::steady_clock::duration;

    explicit PlaybackPacer(std::int32_t maximumGapMs)
        : maximumGap_(std::chrono::milliseconds(maximumGapMs))
    {
    }

    // The wait before delivering a frame `gapMs` of log time after the one
    // before; zero or less means at once.
    Duration plan(std::int64_t gapMs, float speed)
    {
        const auto scaled = std::chrono::duration_cast<Duration>(
            std::chrono::duration<double, std::milli>(static_cast<double>(gapMs) / speed));
        planned_ = scaled >= maximumGap_ ? maximumGap_ : scaled - overrun_;
        return planned_;
    }

    // After the frame planned last: how long its reading, its wait and its
    // delivery really took.
    void delivered(Duration preparing, Duration waited, Duration delivering)
    {
        overrun_ = preparing + waited + delivering - planned_;
    }

private:
    Duration maximumGap_;
    Duration planned_{};
    Duration overrun_{};
};

} // namespace Keldar::Logging::Playback
