#include <keldar/logging/videoexport/VideoPacer.h>

#include <cmath>

namespace Keldar::Logging::VideoExport {

VideoPacer::VideoPacer(std::int64_t maxPauseMs)
    : maxPauseMs_(maxPauseMs > 0 ? maxPauseMs : 0)
{
}

VideoPacer::Step VideoPacer::next(std::int64_t timestamp)
{
    if (!started_) {
        started_ = true;
        startTime_ = timestamp;
        previousTime_ = timestamp;
    }
    // Only forward gaps are shortened: an entry out of order is dropped by
    // the pacing below, as without a maximum.
    if (maxPauseMs_ > 0 && timestamp - previousTime_ > maxPauseMs_) {
        cutMs_ += timestamp - previousTime_ - maxPauseMs_;
    }
    if (timestamp > previousTime_) {
        previousTime_ = timestamp;
    }
    const auto target =
        static_cast<std::int64_t>(std::trunc(static_cast<double>(timestamp - startTime_ - cutMs_) / framePeriod));
    Step step;
    step.cutMs = cutMs_;
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
