#include <keldar/navigation/NavigationTrack.h>

#include <gtest/gtest.h>

using namespace Keldar::Navigation;

namespace {

NmeaFix at(double latitude, double longitude)
{
    NmeaFix fix;
    fix.latitude = latitude;
    fix.longitude = longitude;
    return fix;
}

NmeaFix heading(double degrees)
{
    NmeaFix fix;
    fix.heading = degrees;
    return fix;
}

} // namespace

TEST(NavigationTrack, InterpolatesBetweenNeighboursAndHoldsNoFurtherThanTheGap)
{
    NavigationTrack track;
    track.add(at(60.0, 10.0), 1000);
    track.add(at(60.001, 10.002), 2000);
    track.add(at(60.0, 10.0), 500); // late, still lands first

    ASSERT_EQ(track.positions().front().timeMs, 500);
    const auto middle = track.positionAt(1500);
    ASSERT_TRUE(middle.has_value());
    EXPECT_NEAR(middle->latitude, 60.0005, 1e-12);
    EXPECT_NEAR(middle->longitude, 10.001, 1e-12);

    // Past the ends the nearest sample is held, never extrapolated, up to 2 s.
    EXPECT_NEAR(track.positionAt(3999)->latitude, 60.001, 1e-12);
    EXPECT_FALSE(track.positionAt(4001).has_value());
    EXPECT_FALSE(track.positionAt(-1501).has_value());

    // A gap of more than 2 s on one side: only the near sample counts.
    track.add(at(61.0, 11.0), 9000);
    EXPECT_NEAR(track.positionAt(3000)->latitude, 60.001, 1e-12);
    EXPECT_FALSE(track.positionAt(5500).has_value());
    EXPECT_NEAR(track.positionAt(7500)->latitude, 61.0, 1e-12);
}

TEST(NavigationTrack, HeadingAndLongitudeGoTheShortWayRound)
{
    NavigationTrack track;
    track.add(heading(350.0), 0);
    track.add(heading(10.0), 1000);
    EXPECT_NEAR(*track.headingAt(250), 355.0, 1e-9);
    EXPECT_NEAR(*track.headingAt(750), 5.0, 1e-9);
    EXPECT_FALSE(track.positionAt(500).has_value());

    track.add(at(0, 179.9), 0);
    track.add(at(0, -179.9), 1000);
    EXPECT_NEAR(std::abs(track.positionAt(500)->longitude), 180.0, 1e-9);
    EXPECT_NEAR(interpolateAngle(90, 270, 0.5), 180.0, 1e-9);
}
