#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace Keldar::OndrixLumivane {

// Where each frame of an open log lies in time, counted from its first frame
// and taken from the frames' own timestamps: a log's rate drifts and its
// recordings have dropouts, so frame × average period misplaces frames by
// seconds.
class FrameTimes
{
public:
    FrameTimes() = default;
    explicit FrameTimes(const std::vector<std::int64_t>& timestamps)
    {
        offsets.reserve(timestamps.size());
        for (const std::int64_t stamp : timestamps) {
            // Never backwards, so that the searches below hold.
            const std::int64_t offset = stamp - timestamps.front();
            offsets.push_back(offsets.empty() ? 0 : std::max(offsets.back(), offset));
        }
    }

    // `count` frames spread evenly over `total` milliseconds: the stand-in for
    // a log whose frames' own timestamps are not known.
    static FrameTimes evenlySpread(int count, std::int64_t total)
    {
        FrameTimes times;
        const std::int64_t gaps = std::max(1, count - 1);
        for (int frame = 0; frame < count; ++frame) {
            times.offsets.push_back(total * frame / gaps);
        }
        return times;
    }

    bool empty() const { return offsets.empty(); }
    int frameCount() const { return static_cast<int>(offsets.size()); }

    // Milliseconds from the first frame; frames outside the log clamp to its ends.
    std::int64_t millisecondsAt(int frame) const
    {
        if (offsets.empty()) {
            return 0;
        }
        return offsets[static_cast<std::size_t>(std::clamp(frame, 0, lastFrame()))];
    }

    // The first frame at or after `milliseconds`; the last frame past the end.
    int firstFrameFrom(std::int64_t milliseconds) const
    {
        const auto found = std::lower_bound(offsets.begin(), offsets.end(), milliseconds);
        return std::min(static_cast<int>(found - offsets.begin()), lastFrame());
    }

    // The last frame before `milliseconds`; the first frame when there is none.
    int lastFrameBefore(std::int64_t milliseconds) const
    {
        const auto found = std::lower_bound(offsets.begin(), offsets.end(), milliseconds);
        return std::max(0, static_cast<int>(found - offsets.begin()) - 1);
    }

private:
    int lastFrame() const { return std::max(0, static_cast<int>(offsets.size()) - 1); }

    std::vector<std::int64_t> offsets;
};

} // namespace Keldar::OndrixLumivane
