#pragma once

#include "playback/FrameTimes.h"

#include <cstdint>

namespace Keldar::OndrixLumivane {

// The span of an open log chosen for export: its first and last frame, and
// their times from the frames' own timestamps. Every request of the export
// panel (a handle moved, a time typed, an arrow stepped) goes through here
// and the panel only shows the result, so its handles, times and counts are
// always those of the frames exported.
//
// Invariant: 0 <= first <= last < frameCount (both 0 for an empty log).
class ExportSpan
{
public:
    // A new log of `count` frames, the whole of it chosen. Until its frames'
    // timestamps arrive they are taken as evenly spread over `playTime`.
    void setLog(int count, std::int64_t playTime = 0);
    // The frames' own timestamps (milliseconds since the epoch); ignored when
    // they are not one per frame. The chosen frames stay.
    void setTimestamps(const std::vector<std::int64_t>& timestamps);
    void setPlayTime(std::int64_t milliseconds);

    // Requests. A handle clamps to the log and cannot pass the other.
    void setFirst(int frame);
    void setLast(int frame);
    // A typed time: the first frame at or after it, the last at or before it.
    void setFrom(std::int64_t milliseconds);
    void setTo(std::int64_t milliseconds);
    // An arrow: the end moves by about `milliseconds` (signed) without
    // overshooting, and by one frame at least, so that a gap in the
    // recording never holds it in place.
    void stepFrom(std::int64_t milliseconds);
    void stepTo(std::int64_t milliseconds);

    int frameCount() const { return count; }
    int first() const { return firstFrame; }
    int last() const { return lastFrame; }
    int frames() const { return count == 0 ? 0 : lastFrame - firstFrame + 1; }
    // Milliseconds from the log's first frame.
    std::int64_t from() const { return times.millisecondsAt(firstFrame); }
    std::int64_t to() const { return times.millisecondsAt(lastFrame); }
    std::int64_t duration() const { return to() - from(); }
    std::int64_t logDuration() const { return times.millisecondsAt(count - 1); }

private:
    int stepped(int frame, std::int64_t milliseconds) const;
    int frameAtOrBefore(std::int64_t milliseconds) const;

    int count = 0;
    int firstFrame = 0;
    int lastFrame = 0;
    bool stamped = false;
    std::int64_t playTime = 0;
    FrameTimes times;
};

} // namespace Keldar::OndrixLumivane
