#include "playback/ExportSpan.h"

#include <algorithm>

namespace Keldar::OndrixLumivane {

void ExportSpan::setLog(int frames, std::int64_t total)
{
    count = std::max(0, frames);
    stamped = false;
    playTime = total;
    times = FrameTimes::evenlySpread(count, playTime);
    firstFrame = 0;
    lastFrame = std::max(0, count - 1);
}

void ExportSpan::setTimestamps(const std::vector<std::int64_t>& timestamps)
{
    if (count == 0 || static_cast<int>(timestamps.size()) != count) {
        return;
    }
    times = FrameTimes(timestamps);
    stamped = true;
}

void ExportSpan::setPlayTime(std::int64_t milliseconds)
{
    playTime = milliseconds;
    if (!stamped) {
        times = FrameTimes::evenlySpread(count, playTime);
    }
}

void ExportSpan::setFirst(int frame)
{
    firstFrame = std::clamp(frame, 0, lastFrame);
}

void ExportSpan::setLast(int frame)
{
    lastFrame = std::clamp(frame, firstFrame, std::max(0, count - 1));
}

void ExportSpan::setFrom(std::int64_t milliseconds)
{
    setFirst(times.firstFrameFrom(milliseconds));
}

void ExportSpan::setTo(std::int64_t milliseconds)
{
    setLast(frameAtOrBefore(milliseconds));
}

void ExportSpan::stepFrom(std::int64_t milliseconds)
{
    setFirst(stepped(firstFrame, milliseconds));
}

void ExportSpan::stepTo(std::int64_t milliseconds)
{
    setLast(stepped(lastFrame, milliseconds));
}

int ExportSpan::stepped(int frame, std::int64_t milliseconds) const
{
    const std::int64_t target = times.millisecondsAt(frame) + milliseconds;
    if (milliseconds > 0) {
        return std::max(frameAtOrBefore(target), frame + 1);
    }
    if (milliseconds < 0) {
        return std::min(times.firstFrameFrom(target), frame - 1);
    }
    return frame;
}

int ExportSpan::frameAtOrBefore(std::int64_t milliseconds) const
{
    return times.lastFrameBefore(milliseconds + 1);
}

} // namespace Keldar::OndrixLumivane
