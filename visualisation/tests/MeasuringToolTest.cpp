#include "support/TestSupport.h"

#include <keldar/core/Units.h>
#include <keldar/visualisation/CircleAreaFromCentreMeasure.h>
#include <keldar/visualisation/RectangleAreaMeasure.h>
#include <keldar/visualisation/StraightLineMeasure.h>

#include <gtest/gtest.h>

#include <numbers>

using namespace Keldar::Ondrix::Visualisation;
namespace Units = Keldar::DataProcessing::Units;

TEST(MeasuringToolLifecycle, ClickWithoutMovementLeavesNoMeasurement)
{
    StraightLineMeasure tool;
    tool.begin(nullptr, {0.2, 0.3});
    EXPECT_EQ(tool.getState(), MeasuringToolBase::Measuring);
    tool.update({0.2, 0.3}, 10.0, 1.F, 1.F);
    tool.finish(nullptr);
    EXPECT_FALSE(tool.hasMeasurement());
    EXPECT_EQ(tool.getState(), MeasuringToolBase::Done);
    tool.clear();
    EXPECT_EQ(tool.getState(), MeasuringToolBase::Idle);
}

TEST(MeasuringToolLifecycle, BeginDiscardsThePreviousMeasurement)
{
    CircleAreaFromCentreMeasure tool;
    tool.begin(nullptr, {0.0, 0.0});
    tool.update({0.0, 0.5}, 10.0, 1.F, 1.F);
    tool.finish(nullptr);
    ASSERT_TRUE(tool.hasMeasurement());
    tool.begin(nullptr, {0.1, 0.1});
    EXPECT_FALSE(tool.hasMeasurement());
    EXPECT_FLOAT_EQ(tool.getRadius(), 0.F);
    EXPECT_EQ(tool.getState(), MeasuringToolBase::Measuring);
}

TEST(StraightLineMeasurement, HorizontalDragCorrectsForTheAspect)
{
    // k = sy/sx = 2, sy = 1.8, range 9 m: 0.5 across is 0.5 * 2 * 9 / 1.8 = 5 m.
    StraightLineMeasure tool;
    tool.begin(nullptr, {-0.25, 0.1});
    tool.update({0.25, 0.1}, 9.0, 0.9F, 1.8F);
    EXPECT_NEAR(tool.getValue(), 5.0, 1e-5);
    // Vertical drags are not stretched.
    tool.update({-0.25, 0.6}, 9.0, 0.9F, 1.8F);
    EXPECT_NEAR(tool.getValue(), 0.5 * 9 / 1.8, 1e-5);
}

TEST(StraightLineMeasurement, NewRangeScalesTheDistance)
{
    StraightLineMeasure tool;
    tool.begin(nullptr, {0.0, 0.0});
    tool.update({0.3, 0.4}, 10.0, 1.F, 1.F);
    tool.finish(nullptr);
    const float before = tool.getValue();
    tool.calculate(20.0, 1.F, 1.F);
    EXPECT_NEAR(tool.getValue(), 2.0 * before, 1e-5);
}

TEST(StraightLineMeasurement, TextUsesTheUnitsAsciiSymbol)
{
    const Units::Distance::Feet feet;
    StraightLineMeasure tool;
    tool.begin(nullptr, {0.0, 0.0});
    tool.update({0.0, 0.5}, 10.0, 1.F, 1.F);
    EXPECT_EQ(tool.getText(), ""); // no unit yet: nothing to show
    tool.setUnit(&feet);
    EXPECT_EQ(tool.getText(), "Distance: 16.40ft");
}

TEST(RectangleAreaMeasurement, AreaIsWidthTimesHeightInMetres)
{
    RectangleAreaMeasure tool;
    tool.begin(nullptr, {-0.25, 0.0});
    const double width = tool.calculate(9.0, 0.9F, 1.8F); // no drag yet
    EXPECT_EQ(width, 0.0);
    tool.update({0.25, 0.36}, 9.0, 0.9F, 1.8F);
    // width 0.5 * 2 * 9 / 1.8 = 5 m, height 0.36 * 9 / 1.8 = 1.8 m.
    EXPECT_NEAR(tool.getValue(), 9.0, 1e-4);
    EXPECT_NEAR(tool.calculate(9.0, 0.9F, 1.8F), 5.0, 1e-5);
}

TEST(RectangleAreaMeasurement, DoublingTheRangeQuadruplesTheArea)
{
    RectangleAreaMeasure tool;
    tool.begin(nullptr, {0.1, 0.1});
    tool.update({0.4, 0.5}, 10.0, 1.F, 1.F);
    const float before = tool.getValue();
    tool.calculate(20.0, 1.F, 1.F);
    EXPECT_NEAR(tool.getValue(), 4.0 * before, 1e-4);
}

TEST(RectangleAreaMeasurement, TextInSquareFeet)
{
    const Units::Area::SquareFeet squareFeet;
    RectangleAreaMeasure tool;
    tool.setUnit(&squareFeet);
    tool.begin(nullptr, {0.0, 0.0});
    tool.update({0.1, 0.1}, 10.0, 1.F, 1.F); // 1 m x 1 m
    EXPECT_EQ(tool.getText(), "Area: 10.76sq. ft");
}

TEST(CircleAreaMeasurement, AreaFromCentreAndEdge)
{
    CircleAreaFromCentreMeasure tool;
    tool.begin(nullptr, {0.0, 0.0});
    // Radius 0.25 across with k = 2: 0.5 corrected units, 0.5 * 9 / 1.8 = 2.5 m.
    tool.update({0.25, 0.0}, 9.0, 0.9F, 1.8F);
    EXPECT_NEAR(tool.getRadius(), 0.5, 1e-6);
    EXPECT_NEAR(tool.getValue(), std::numbers::pi * 2.5 * 2.5, 1e-4);
    tool.calculate(18.0, 0.9F, 1.8F);
    EXPECT_NEAR(tool.getValue(), 4.0 * std::numbers::pi * 2.5 * 2.5, 1e-3);
    tool.clear();
    EXPECT_FLOAT_EQ(tool.getRadius(), 0.F);
    EXPECT_FALSE(tool.hasMeasurement());
}

TEST(StraightLineBearing, FromTheScreenThroughTheViewToTrueNorth)
{
    // Up the screen is along the centre line; the view's x scale is undone.
    EXPECT_NEAR(StraightLineMeasure::relativeBearing({0.0, 0.0}, {0.0, 0.5}, 1.F, 1.F, 0.F), 0.0, 1e-9);
    EXPECT_NEAR(StraightLineMeasure::relativeBearing({0.0, 0.0}, {0.25, 0.5}, 1.F, 2.F, 0.F), 45.0, 1e-9);
    EXPECT_NEAR(StraightLineMeasure::relativeBearing({0.0, 0.0}, {-0.5, 0.0}, 1.F, 1.F, 0.F), 270.0, 1e-9);
    // The fan turned 90° counter-clockwise: a line to the right now points
    // behind the sonar.
    EXPECT_NEAR(StraightLineMeasure::relativeBearing({0.0, 0.0}, {0.5, 0.0}, 1.F, 1.F, 90.F), 180.0, 1e-9);

    const Units::Distance::Metres metres;
    StraightLineMeasure tool;
    tool.setUnit(&metres);
    tool.setOrientation(0.F, std::nullopt);
    tool.begin(nullptr, {0.0, 0.0});
    tool.update({0.5, 0.0}, 10.0, 1.F, 1.F);
    EXPECT_FALSE(tool.getTrueBearing()) << "no heading, no bearing";
    EXPECT_EQ(tool.getText(), "Distance: 5.00m");
    // Heading 300° true: the line to the right points 30°, across north.
    tool.setOrientation(0.F, 300.0);
    tool.update({0.5, 0.0}, 10.0, 1.F, 1.F);
    ASSERT_TRUE(tool.getTrueBearing());
    EXPECT_NEAR(*tool.getTrueBearing(), 30.0, 1e-9);
    EXPECT_EQ(tool.getText(), "Distance: 5.00m  Bearing: 030.0 deg T");
}
