#include <keldar/logging/frames/FrameArrays.h>

#include <algorithm>
#include <limits>
#include <sstream>

namespace Keldar::Logging::Frames {

std::string FrameCollection::describeSpans() const
{
    std::ostringstream text;
    for (const auto& span : spans) {
        text << "\n  frames " << span.firstFrame << "-" << span.lastFrame << ": " << span.beams << " beams x "
             << span.ranges << " ranges";
    }
    return text.str();
}

FrameCollection collectFrameArrays(const FrameReader& reader, std::int32_t from, std::int32_t to,
                                   const SampleSink& samples, const FrameReader::DamagedVisitor& damaged)
{
    FrameCollection collection;
    FrameArrays& arrays = collection.arrays;
    const std::int32_t last = to < 0 ? reader.count() - 1 : std::min(to, reader.count() - 1);
    const auto capacity = static_cast<std::size_t>(std::max(0, last - std::max(from, 0) + 1));
    constexpr float missing = std::numeric_limits<float>::quiet_NaN();

    collection.damaged = reader.forEach(
        from, to,
        [&](const LoggedFrame& frame) {
            checkConsistent(frame);
            const auto& image = frame.image;
            auto& spans = collection.spans;
            if (!spans.empty() && spans.back().beams == image.getWidth() && spans.back().ranges == image.getHeight()) {
                spans.back().lastFrame = frame.frame;
            } else {
                spans.push_back({frame.frame, frame.frame, image.getWidth(), image.getHeight()});
            }
            // After a change of shape only the spans are still of use.
            if (spans.size() > 1) {
                return;
            }
            if (arrays.count == 0) {
                arrays.beams = image.getWidth();
                arrays.ranges = image.getHeight();
                if (samples.prepare) {
                    samples.prepare(capacity, arrays.ranges, arrays.beams);
                }
                for (auto* column : {&arrays.range, &arrays.gain, &arrays.frequency}) {
                    column->reserve(capacity);
                }
                arrays.bearings.reserve(capacity * arrays.beams);
                arrays.rowRanges.reserve(capacity * arrays.ranges);
            }
            if (samples.write) {
                samples.write(arrays.count, frame);
            }
            arrays.frames.push_back(frame.frame);
            arrays.entryIds.push_back(frame.entryId);
            arrays.timestamps.push_back(frame.timestamp);
            arrays.range.push_back(image.getRange());
            arrays.gain.push_back(image.getGain());
            arrays.frequency.push_back(image.getFrequency());
            arrays.pitch.push_back(frame.attitude ? frame.attitude->pitch : missing);
            arrays.roll.push_back(frame.attitude ? frame.attitude->roll : missing);
            const auto bearings = bearingsInDegrees(image);
            arrays.bearings.insert(arrays.bearings.end(), bearings.begin(), bearings.end());
            const auto rows = rowRanges(image);
            arrays.rowRanges.insert(arrays.rowRanges.end(), rows.begin(), rows.end());
            ++arrays.count;
        },
        damaged);
    return collection;
}

} // namespace Keldar::Logging::Frames
