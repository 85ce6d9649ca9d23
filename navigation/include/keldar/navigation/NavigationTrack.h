#pragma once

#include <keldar/navigation/NavigationState.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace Keldar::Navigation {

struct PositionSample
{
    std::int64_t timeMs = 0;
    Position position;
};

struct HeadingSample
{
    std::int64_t timeMs = 0;
    double heading = 0; // degrees true
};

struct CourseSample
{
    std::int64_t timeMs = 0;
    double course = 0; // degrees true
    double speed = 0;  // m/s
};

/// Where the vessel was and where it pointed at one time.
struct Pose
{
    std::optional<Position> position;
    std::optional<double> heading; // degrees true
};

/// Samples in time order, as recorded; answers where the vessel was at any
/// time between them.
class NavigationTrack
{
public:
    /// Samples further than this from the asked time are not used: a frame
    /// with no navigation near it has none.
    static constexpr std::int64_t maximumGapMs = 2000;

    void add(const NmeaFix& fix, std::int64_t timeMs);

    /// Interpolated between the samples around `timeMs`; at most
    /// maximumGapMs before the first or after the last sample the nearest is
    /// taken as it is (never extrapolated). Heading goes the short way round.
    [[nodiscard]] std::optional<Position> positionAt(std::int64_t timeMs) const;
    [[nodiscard]] std::optional<double> headingAt(std::int64_t timeMs) const;
    [[nodiscard]] Pose poseAt(std::int64_t timeMs) const { return {positionAt(timeMs), headingAt(timeMs)}; }

    [[nodiscard]] bool empty() const { return positions_.empty() && headings_.empty(); }
    [[nodiscard]] const std::vector<PositionSample>& positions() const { return positions_; }
    [[nodiscard]] const std::vector<HeadingSample>& headings() const { return headings_; }
    [[nodiscard]] const std::vector<CourseSample>& courses() const { return courses_; }

private:
    std::vector<PositionSample> positions_;
    std::vector<HeadingSample> headings_;
    std::vector<CourseSample> courses_;
};

/// Linear interpolation of an angle in degrees on the circle, result in [0, 360).
double interpolateAngle(double from, double to, double fraction);

} // namespace Keldar::Navigation
