#include <keldar/navigation/Georeference.h>
#include <keldar/navigation/TrackExport.h>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace Keldar::Navigation;

namespace {

constexpr double radians = std::numbers::pi / 180.0;

// Metres per degree of latitude on WGS 84 at `latitude` (meridional radius of
// curvature), enough for a few metres' offsets.
double metresPerDegreeLatitude(double latitude)
{
    constexpr double a = 6378137.0;
    constexpr double e2 = 0.00669437999014;
    const double s = std::sin(latitude * radians);
    return a * (1 - e2) / std::pow(1 - e2 * s * s, 1.5) * radians;
}

} // namespace

TEST(Georeference, GridConvergenceTurnsTrueNorthOffGridNorth)
{
    const Position oslo{60.0, 10.7};
    const UtmProjection projection(oslo);
    EXPECT_EQ(projection.zone(), 32);
    EXPECT_EQ(projection.epsg(), "EPSG:32632");

    // Independent of PROJ's factors: the textbook series, and a point 100 m
    // due north drawn in the grid.
    const double expected = std::atan(std::tan((10.7 - 9.0) * radians) * std::sin(60.0 * radians)) / radians;
    EXPECT_NEAR(projection.convergence(oslo), expected, 0.01);
    EXPECT_NEAR(expected, 1.47, 0.01);
    const auto here = projection.forward(oslo);
    const auto north = projection.forward({60.0 + 100.0 / metresPerDegreeLatitude(60.0), 10.7});
    const double gridBearing = std::atan2(north.easting - here.easting, north.northing - here.northing) / radians;
    EXPECT_NEAR(gridBearing, -projection.convergence(oslo), 0.01);

    const auto back = projection.inverse(here);
    EXPECT_NEAR(back.latitude, 60.0, 1e-9);
    EXPECT_NEAR(back.longitude, 10.7, 1e-9);
}

TEST(Georeference, SamplesLieAlongTheTrueBearingFromTheMountedSonar)
{
    const Position antenna{60.0, 10.7};
    const UtmProjection projection(antenna);
    const Mounting mounting{10.0, 2.0, 1.0};
    const auto placement = placeSonar(projection, antenna, 80.0, mounting);
    EXPECT_NEAR(placement.trueHeading, 90.0, 1e-12);

    // The lever arm: 2 m along the vessel (true 80) and 1 m to starboard (170).
    const auto a = projection.forward(antenna);
    const double along = placement.origin.easting - a.easting;
    const double up = placement.origin.northing - a.northing;
    EXPECT_NEAR(std::hypot(along, up), std::sqrt(5.0), 1e-9);

    // A sample 20 m out at bearing 0 lies due true east (90) of the sonar:
    // back in geographic terms, at the sonar's latitude to within the
    // curvature of a 20 m line.
    const auto sample = samplePoint(placement, 20.0, 0.0);
    const auto sonar = projection.inverse(placement.origin);
    const auto where = projection.inverse(sample);
    EXPECT_NEAR((where.latitude - sonar.latitude) * metresPerDegreeLatitude(60.0), 0.0, 0.01);
    EXPECT_NEAR(std::hypot(sample.easting - placement.origin.easting, sample.northing - placement.origin.northing),
                20.0, 1e-9);

    const auto grid = georeferenceSamples(projection, placement, {5.0, 10.0}, {-30.0, 0.0, 30.0});
    ASSERT_EQ(grid.eastings.size(), 6U);
    EXPECT_EQ(grid.zone, 32);
    EXPECT_NEAR(grid.eastings[4], samplePoint(placement, 10.0, 0.0).easting, 1e-9);

    const auto ring = footprintOutline(antenna, 80.0, mounting, 20.0, -30.0, 30.0);
    EXPECT_NEAR(ring.front().latitude, ring.back().latitude, 1e-12);
    EXPECT_NEAR(ring.front().latitude, sonar.latitude, 1e-9);
}
