#include "support/TestSupport.h"

#include <keldar/visualisation/ClampThresholds.h>
#include <keldar/visualisation/FanGeometryEngine.h>

#include <gtest/gtest.h>

using namespace Keldar::Ondrix::Visualisation;

TEST(ClampThresholds, ConstantImageMovesBothThresholdsAFifthOfTheWay)
{
    ClampThresholds thresholds;
    thresholds.update(std::vector<std::uint8_t>(1000, 100), 0.01F);
    EXPECT_NEAR(thresholds.getLower(), 0.2 * 100 / 255.0, 1e-6);
    EXPECT_NEAR(thresholds.getUpper(), 0.8 + 0.2 * 100 / 255.0, 1e-6);
    thresholds.update(std::vector<std::uint8_t>(1000, 100), 0.01F);
    EXPECT_NEAR(thresholds.getLower(), 0.36 * 100 / 255.0, 1e-6);
    EXPECT_NEAR(thresholds.getUpper(), 0.64 + 0.36 * 100 / 255.0, 1e-6);
}

TEST(ClampThresholds, LevelZeroClampsNothing)
{
    ClampThresholds thresholds;
    for (int i = 0; i < 5; ++i) {
        thresholds.update(std::vector<std::uint8_t>(500, 77), 0.F);
    }
    EXPECT_FLOAT_EQ(thresholds.getLower(), 0.F);
    EXPECT_FLOAT_EQ(thresholds.getUpper(), 1.F);
}

TEST(ClampThresholds, ThresholdsTrackTheTailsOfTheHistogram)
{
    // 1000 samples: 20 at 10, 960 at 128, 20 at 250. Clamping 2 % of the
    // pixels at each end lands on 10 and 250.
    std::vector<std::uint8_t> samples(1000, 128);
    std::fill(samples.begin(), samples.begin() + 20, 10);
    std::fill(samples.end() - 20, samples.end(), 250);
    ClampThresholds thresholds;
    for (int i = 0; i < 200; ++i) {
        thresholds.update(samples, 0.02F);
    }
    EXPECT_NEAR(thresholds.getLower(), 10 / 255.0, 1e-4);
    EXPECT_NEAR(thresholds.getUpper(), 250 / 255.0, 1e-4);
    // With 3 % the count reaches into the middle bin at both ends.
    ClampThresholds wider;
    for (int i = 0; i < 200; ++i) {
        wider.update(samples, 0.03F);
    }
    EXPECT_NEAR(wider.getLower(), 128 / 255.0, 1e-4);
    EXPECT_NEAR(wider.getUpper(), 128 / 255.0, 1e-4);
}

TEST(ClampThresholds, AllBlackImageLeavesTheUpperThresholdAlone)
{
    ClampThresholds thresholds;
    thresholds.update(std::vector<std::uint8_t>(1000, 0), 0.05F);
    EXPECT_FLOAT_EQ(thresholds.getUpper(), 1.F);
    EXPECT_FLOAT_EQ(thresholds.getLower(), 0.F);
}

TEST(ClampThresholds, EngineUpdatesThemWithEveryImage)
{
    FanGeometryEngine engine;
    engine.setClampLevel(0.01F);
    engine.newImage(Testing::constantImage(64, 32, 10.0, 100));
    EXPECT_NEAR(engine.getLowerThreshold(), 0.2 * 100 / 255.0, 1e-6);
    EXPECT_NEAR(engine.getUpperThreshold(), 0.8 + 0.2 * 100 / 255.0, 1e-6);
}
