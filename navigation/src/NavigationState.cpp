#include <keldar/navigation/NavigationState.h>

namespace Keldar::Navigation {

void NavigationState::apply(const NmeaFix& fix, std::int64_t receivedMs)
{
    if (fix.latitude && fix.longitude) {
        position = Timed<Position>{{*fix.latitude, *fix.longitude}, receivedMs};
    }
    if (fix.fixQuality) {
        fixQuality = Timed<int>{*fix.fixQuality, receivedMs};
    }
    if (fix.heading) {
        heading = Timed<double>{*fix.heading, receivedMs};
    }
    if (fix.course) {
        course = Timed<double>{*fix.course, receivedMs};
    }
    if (fix.speed) {
        speed = Timed<double>{*fix.speed, receivedMs};
    }
    if (fix.utcDateMs) {
        utcDateMs_ = *fix.utcDateMs;
    }
    // A time of day means a full time once a date has been heard (ZDA or RMC).
    if (fix.utcMsOfDay && utcDateMs_) {
        utcMs = Timed<std::int64_t>{*utcDateMs_ + *fix.utcMsOfDay, receivedMs};
    }
}

std::optional<std::int64_t> NavigationState::positionAgeMs(std::int64_t nowMs) const
{
    if (!position) {
        return std::nullopt;
    }
    return nowMs - position->receivedMs;
}

} // namespace Keldar::Navigation
