#pragma once

#include <keldar/logging/frames/FrameReader.h>
#include <keldar/logging/frames/LoggedFrame.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Keldar::Logging::Frames {

/// The per-frame facts of frames that share one shape, as flat arrays for
/// NumPy: row i of each belongs to the i-th frame. The samples themselves go
/// to the caller (they may not fit in memory). Little-endian hosts write these
/// straight into .npy data.
struct FrameArrays
{
    std::size_t count = 0;
    std::uint16_t beams = 0;
    std::uint16_t ranges = 0;
    std::vector<std::int32_t> frames;
    std::vector<std::int32_t> entryIds;
    std::vector<std::int64_t> timestamps; // ms since the Unix epoch
    std::vector<double> range;            // metres
    std::vector<double> gain;             // percent
    std::vector<double> frequency;        // as the sonar reported it
    std::vector<float> pitch;             // NaN where the message carries no attitude
    std::vector<float> roll;
    std::vector<double> bearings;  // count x beams, degrees
    std::vector<double> rowRanges; // count x ranges, metres
};

/// A run of consecutive frames with one image shape.
struct ShapeSpan
{
    std::int32_t firstFrame = 0;
    std::int32_t lastFrame = 0;
    std::uint16_t beams = 0;
    std::uint16_t ranges = 0;
};

struct FrameCollection
{
    FrameArrays arrays;
    /// Entries in the span that are not readable sonar images.
    int damaged = 0;
    /// More than one when the shape changes; then `arrays` holds only the
    /// frames before the first change.
    std::vector<ShapeSpan> spans;

    [[nodiscard]] bool hasOneShape() const { return spans.size() <= 1; }
    /// "\n  frames 0-5: 512 beams x 40 ranges" for each span.
    [[nodiscard]] std::string describeSpans() const;
};

/// Called once per frame of the first shape with the frame's position in the
/// arrays, and first with (capacity, ranges, beams) through `prepare`: at most
/// `capacity` frames follow.
struct SampleSink
{
    std::function<void(std::size_t capacity, std::uint16_t ranges, std::uint16_t beams)> prepare;
    std::function<void(std::size_t index, const LoggedFrame& frame)> write;
};

/// Collects frames from..to (to -1: the last) of `reader` into arrays, handing
/// the samples to `samples`. Every image is checked with checkConsistent
/// (DamagedFrameError); entries that are not images are counted and told to
/// `damaged`. Throws FrameReadError when the file cannot be read.
FrameCollection collectFrameArrays(const FrameReader& reader, std::int32_t from, std::int32_t to,
                                   const SampleSink& samples, const FrameReader::DamagedVisitor& damaged = {});

} // namespace Keldar::Logging::Frames
