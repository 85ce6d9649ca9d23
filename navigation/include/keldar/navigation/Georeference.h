#pragma once

#include <keldar/navigation/NavigationState.h>

#include <memory>
#include <string>
#include <vector>

namespace Keldar::Navigation {

/// Where the sonar sits relative to the position antenna: a heading offset
/// (degrees, clockwise) and a lever arm (metres forward and to starboard).
struct Mounting
{
    double headingOffset = 0;
    double forward = 0;
    double starboard = 0;
};

struct UtmPoint
{
    double easting = 0;
    double northing = 0;
};

/// One UTM zone through PROJ (WGS 84). Not thread-safe: one per thread.
class UtmProjection
{
public:
    /// The zone that holds `position` (Norway's and Svalbard's exceptions
    /// are not applied).
    explicit UtmProjection(const Position& position);
    UtmProjection(int zone, bool north);
    ~UtmProjection();
    UtmProjection(UtmProjection&&) noexcept;
    UtmProjection& operator=(UtmProjection&&) noexcept;

    [[nodiscard]] int zone() const;
    [[nodiscard]] bool north() const;
    /// "EPSG:32632" for zone 32 north.
    [[nodiscard]] std::string epsg() const;
    /// "32N".
    [[nodiscard]] std::string zoneName() const;

    [[nodiscard]] UtmPoint forward(const Position& position) const;
    [[nodiscard]] Position inverse(const UtmPoint& point) const;
    /// Angle from true north to grid north at `position`, degrees, positive
    /// when grid north lies east of true north (east of the central meridian
    /// in the northern hemisphere). A true bearing b is the grid bearing
    /// b - convergence.
    [[nodiscard]] double convergence(const Position& position) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

/// The sonar's position and heading in one projection: what georeferencing
/// a frame needs.
struct SonarPlacement
{
    UtmPoint origin;        // the sonar's position after the lever arm
    double gridHeading = 0; // degrees from grid north: true heading + offset - convergence
    double trueHeading = 0; // degrees from true north: heading + offset
};

SonarPlacement placeSonar(const UtmProjection& projection, const Position& antenna, double heading,
                          const Mounting& mounting);

/// A sample at range r (metres) and bearing theta (degrees, positive to
/// starboard) from a sonar placed at `placement`.
UtmPoint samplePoint(const SonarPlacement& placement, double range, double bearing);

/// Every sample of a frame: rows (ranges) x columns (bearings), row-major.
struct GeoreferencedSamples
{
    std::vector<double> eastings;
    std::vector<double> northings;
    int zone = 0;
    bool north = true;
};

GeoreferencedSamples georeferenceSamples(const UtmProjection& projection, const SonarPlacement& placement,
                                         const std::vector<double>& rowRanges, const std::vector<double>& bearings);

/// The fan's outline (apex, far arc, back) as projected points.
std::vector<UtmPoint> fanOutline(const SonarPlacement& placement, double range, double firstBearing, double lastBearing,
                                 int arcPoints = 32);

} // namespace Keldar::Navigation
