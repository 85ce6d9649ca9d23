#include <keldar/logging/videoexport/VideoPacer.h>

#include <cmath>

namespace Keldar::Logging::VideoExport {

VideoPacer::Step VideoPacer::next(std::int64_t timestamp)
{
    if (!started_) {
        started_ = true;
        startTime_ = timestamp;
    }
    const auto target =
        static_cast<std::int64_t>(std::trunc(static_cast<double>(timestamp - startTime_) / framePeriod));
    Step step;
    if (framesWritten_ < target) {
        step.repeats = target - framesWritten_;
        framesWritten_ = target;
    }
    // An entry earlier than the frame already written is not written, but
    // still becomes the image that later gaps repeat.
    step.writeEntry = framesWritten_ == target;
    if (step.writeEntry) {
        step.frame = framesWritten_;
        ++framesWritten_;
    } else {
        step.frame = target > 0 ? target : 0;
    }
    return step;
}

} // namespace Keldar::Logging::VideoExport
