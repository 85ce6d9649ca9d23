#include <keldar/maths/Geometry.h>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace Keldar::Maths::Geometry;

namespace {
constexpr double pi = std::numbers::pi;
}

TEST(GeometryDistances, DistanceIsEuclideanAndSymmetric)
{
    EXPECT_DOUBLE_EQ(distanceBetween({1.0, 2.0}, {4.0, 6.0}), 5.0);
    EXPECT_DOUBLE_EQ(distanceBetween({4.0, 6.0}, {1.0, 2.0}), 5.0);
    EXPECT_DOUBLE_EQ(distanceBetween({-1.5, 0.0}, {-1.5, 0.0}), 0.0);
}

TEST(GeometryDistances, CircleAreaIsPiRSquared)
{
    EXPECT_DOUBLE_EQ(areaOfCirle(2.0), 4.0 * pi);
    EXPECT_DOUBLE_EQ(areaOfCirle(0.0), 0.0);
}

TEST(GeometryDistances, ShortSideOfRightTriangle)
{
    EXPECT_DOUBLE_EQ(pythagorasForShortSide(3.0, 5.0), 4.0);
    EXPECT_DOUBLE_EQ(pythagorasForShortSide(5.0, 5.0), 0.0);
}

TEST(GeometryDistances, ShortSideNeverNaNWhenRoundingMakesSideLonger)
{
    const double r = 0.1 + 0.2;
    const double result = pythagorasForShortSide(r + 1e-15, r);
    EXPECT_FALSE(std::isnan(result));
    EXPECT_EQ(result, 0.0);
}

TEST(GeometryAngles, DegreesToRadians)
{
    EXPECT_DOUBLE_EQ(degreesToRadians(180.0), pi);
    EXPECT_DOUBLE_EQ(degreesToRadians(-90.0), -pi / 2.0);
}

TEST(GeometryAngles, PositiveAngleCoversAllQuadrants)
{
    EXPECT_DOUBLE_EQ(positiveAngleRelativeToXAxis({1.0, 0.0}), 0.0);
    EXPECT_DOUBLE_EQ(positiveAngleRelativeToXAxis({0.0, 1.0}), pi / 2.0);
    EXPECT_DOUBLE_EQ(positiveAngleRelativeToXAxis({-1.0, 0.0}), pi);
    EXPECT_DOUBLE_EQ(positiveAngleRelativeToXAxis({0.0, -1.0}), 1.5 * pi);
    EXPECT_NEAR(positiveAngleRelativeToXAxis({1.0, -1.0}), 1.75 * pi, 1e-12);
}

TEST(GeometryAngles, PositiveAngleStaysBelowFullTurn)
{
    const double angle = positiveAngleRelativeToXAxis({1.0, -1e-300});
    EXPECT_GE(angle, 0.0);
    EXPECT_LT(angle, 2.0 * pi);
}

TEST(GeometryAngles, SineRuleWithRightAngleGivesProjection)
{
    // The fan display's use: r * sin(theta) from the hypotenuse r.
    EXPECT_NEAR(sineRuleForSide(pi / 6.0, 10.0, pi / 2.0), 5.0, 1e-12);
    EXPECT_NEAR(sineRuleForSide(-pi / 6.0, 10.0, pi / 2.0), -5.0, 1e-12);
    // A general triangle: a = b * sin A / sin B.
    EXPECT_NEAR(sineRuleForSide(pi / 4.0, 2.0, pi / 6.0), 2.0 * std::sqrt(2.0), 1e-12);
}

TEST(GeometryAngles, SineRuleWithDegenerateAngleIsZeroNotInfinite)
{
    EXPECT_EQ(sineRuleForSide(pi / 3.0, 4.0, 0.0), 0.0);
}
