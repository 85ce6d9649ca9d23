#include <keldar/navigation/NavigationTrack.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

namespace Keldar::Navigation {

namespace {

template<typename Sample>
void insertInOrder(std::vector<Sample>& samples, Sample sample)
{
    // GGA and RMC of one fix arrive together: one sample per moment.
    if (!samples.empty() && samples.back().timeMs == sample.timeMs) {
        samples.back() = std::move(sample);
        return;
    }
    // Sentences arrive in order; a late one still lands in its place.
    if (samples.empty() || samples.back().timeMs < sample.timeMs) {
        samples.push_back(std::move(sample));
        return;
    }
    const auto at = std::upper_bound(samples.begin(), samples.end(), sample.timeMs,
                                     [](std::int64_t t, const Sample& s) { return t < s.timeMs; });
    samples.insert(at, std::move(sample));
}

// The samples to blend for `timeMs`: (a, b, fraction of the way from a to b).
// Both must lie within the gap; with only one near, it is held as it is.
template<typename Sample>
std::optional<std::tuple<const Sample*, const Sample*, double>> around(const std::vector<Sample>& samples,
                                                                       std::int64_t timeMs, std::int64_t gap)
{
    const auto after = std::lower_bound(samples.begin(), samples.end(), timeMs,
                                        [](const Sample& s, std::int64_t t) { return s.timeMs < t; });
    const Sample* next = after == samples.end() ? nullptr : &*after;
    const Sample* previous = after == samples.begin() ? nullptr : &*(after - 1);
    if (next != nullptr && next->timeMs == timeMs) {
        return std::tuple{next, next, 0.0};
    }
    const bool nextNear = next != nullptr && next->timeMs - timeMs <= gap;
    const bool previousNear = previous != nullptr && timeMs - previous->timeMs <= gap;
    if (nextNear && previousNear) {
        const double span = static_cast<double>(next->timeMs - previous->timeMs);
        return std::tuple{previous, next, static_cast<double>(timeMs - previous->timeMs) / span};
    }
    if (nextNear) {
        return std::tuple{next, next, 0.0};
    }
    if (previousNear) {
        return std::tuple{previous, previous, 0.0};
    }
    return std::nullopt;
}

} // namespace

double interpolateAngle(double from, double to, double fraction)
{
    double delta = std::fmod(to - from, 360.0);
    if (delta > 180.0) {
        delta -= 360.0;
    } else if (delta < -180.0) {
        delta += 360.0;
    }
    double result = std::fmod(from + delta * fraction, 360.0);
    if (result < 0) {
        result += 360.0;
    }
    return result;
}

void NavigationTrack::add(const NmeaFix& fix, std::int64_t timeMs)
{
    if (fix.latitude && fix.longitude) {
        insertInOrder(positions_, PositionSample{timeMs, {*fix.latitude, *fix.longitude}});
    }
    if (fix.heading) {
        insertInOrder(headings_, HeadingSample{timeMs, *fix.heading});
    }
    if (fix.course || fix.speed) {
        constexpr double none = std::numeric_limits<double>::quiet_NaN();
        insertInOrder(courses_, CourseSample{timeMs, fix.course.value_or(none), fix.speed.value_or(none)});
    }
}

std::optional<Position> NavigationTrack::positionAt(std::int64_t timeMs) const
{
    const auto found = around(positions_, timeMs, maximumGapMs);
    if (!found) {
        return std::nullopt;
    }
    const auto [a, b, fraction] = *found;
    Position result;
    result.latitude = a->position.latitude + (b->position.latitude - a->position.latitude) * fraction;
    // Across the antimeridian the short way round, like headings.
    result.longitude = interpolateAngle(a->position.longitude + 180.0, b->position.longitude + 180.0, fraction) - 180.0;
    return result;
}

std::optional<double> NavigationTrack::headingAt(std::int64_t timeMs) const
{
    const auto found = around(headings_, timeMs, maximumGapMs);
    if (!found) {
        return std::nullopt;
    }
    const auto [a, b, fraction] = *found;
    return interpolateAngle(a->heading, b->heading, fraction);
}

} // namespace Keldar::Navigation
