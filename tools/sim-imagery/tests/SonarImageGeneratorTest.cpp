#include <keldar/sim/SonarImageGenerator.h>

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

using Keldar::Sim::SonarImage;
using Keldar::Sim::SonarImageGenerator;

namespace {

double meanOfRows(const SonarImage& image, std::size_t beams, std::size_t firstRow, std::size_t lastRow)
{
    double sum = 0.0;
    for (std::size_t r = firstRow; r < lastRow; ++r) {
        for (std::size_t b = 0; b < beams; ++b) {
            sum += image.samples[r * beams + b];
        }
    }
    return sum / static_cast<double>((lastRow - firstRow) * beams);
}

double mean(const SonarImage& image)
{
    return std::accumulate(image.samples.begin(), image.samples.end(), 0.0) /
           static_cast<double>(image.samples.size());
}

}  // namespace

TEST(SonarImageShape, SizesFollowBeamsAndRanges)
{
    const SonarImageGenerator generator(1);
    const SonarImage image = generator.generate(256, 300, 20.0, 50.0, 0.0);
    EXPECT_EQ(image.bearings.size(), 256U);
    EXPECT_EQ(image.samples.size(), 256U * 300U);
}

TEST(SonarImageShape, BearingsSpanTheApertureInAscendingOrder)
{
    const auto bearings = SonarImageGenerator::makeBearings(512);
    ASSERT_EQ(bearings.size(), 512U);
    EXPECT_EQ(bearings.front(), -6500);
    EXPECT_EQ(bearings.back(), 6500);
    for (std::size_t i = 1; i < bearings.size(); ++i) {
        EXPECT_LT(bearings[i - 1], bearings[i]) << "at beam " << i;
    }
}

TEST(SonarImageShape, ZeroSizesOrBadRangeGiveNoCrash)
{
    const SonarImageGenerator generator(3);
    EXPECT_TRUE(generator.generate(0, 100, 10.0, 50.0, 0.0).samples.empty());
    EXPECT_TRUE(generator.generate(100, 0, 10.0, 50.0, 0.0).samples.empty());
    const SonarImage noRange = generator.generate(10, 10, 0.0, 50.0, 0.0);
    EXPECT_EQ(noRange.samples.size(), 100U);
    const SonarImage nanInputs = generator.generate(10, 10, 10.0, std::nan(""), std::nan(""));
    EXPECT_EQ(nanInputs.samples.size(), 100U);
}

TEST(SonarImageDeterminism, SameSeedAndInputsGiveSameImage)
{
    const SonarImage a = SonarImageGenerator(42).generate(128, 200, 30.0, 60.0, 12.34);
    const SonarImage b = SonarImageGenerator(42).generate(128, 200, 30.0, 60.0, 12.34);
    EXPECT_EQ(a.samples, b.samples);
    EXPECT_EQ(a.bearings, b.bearings);
}

TEST(SonarImageDeterminism, DifferentSeedsGiveDifferentImages)
{
    const SonarImage a = SonarImageGenerator(1).generate(128, 200, 30.0, 60.0, 0.0);
    const SonarImage b = SonarImageGenerator(2).generate(128, 200, 30.0, 60.0, 0.0);
    EXPECT_NE(a.samples, b.samples);
}

TEST(SonarImageLook, BrightnessFollowsGain)
{
    const SonarImageGenerator generator(7);
    const double low = mean(generator.generate(128, 200, 20.0, 10.0, 1.0));
    const double mid = mean(generator.generate(128, 200, 20.0, 50.0, 1.0));
    const double high = mean(generator.generate(128, 200, 20.0, 90.0, 1.0));
    EXPECT_LT(low + 10.0, mid);
    EXPECT_LT(mid + 10.0, high);
}

TEST(SonarImageLook, BedReturnRisesWithRange)
{
    const SonarImageGenerator generator(11);
    const SonarImage image = generator.generate(256, 400, 40.0, 50.0, 0.0);
    const double near = meanOfRows(image, 256, 0, 40);
    const double far = meanOfRows(image, 256, 300, 400);
    EXPECT_GT(far, near * 2.0);
}

TEST(SonarImageLook, SpeckleMakesNeighbouringSamplesDiffer)
{
    const SonarImageGenerator generator(5);
    const SonarImage image = generator.generate(256, 400, 40.0, 50.0, 0.0);
    // A smooth image would have almost no sample-to-sample differences.
    double diff = 0.0;
    for (std::size_t i = 1; i < image.samples.size(); ++i) {
        diff += std::abs(static_cast<int>(image.samples[i]) - static_cast<int>(image.samples[i - 1]));
    }
    EXPECT_GT(diff / static_cast<double>(image.samples.size()), 5.0);
}

TEST(SonarImageLook, TargetsCastShadowsBehindBrightEchoes)
{
    // Somewhere in the image a bright echo must be followed, further along the
    // same beam, by a run of rows much darker than the bed around them.
    const SonarImageGenerator generator(9);
    const std::size_t beams = 256;
    const std::size_t ranges = 500;
    const SonarImage image = generator.generate(beams, ranges, 30.0, 50.0, 0.0);
    int beamsWithShadow = 0;
    for (std::size_t b = 0; b < beams; ++b) {
        bool seenEcho = false;
        int darkRun = 0;
        for (std::size_t r = ranges / 4; r < ranges; ++r) {
            const int v = image.samples[r * beams + b];
            if (v > 200) {
                seenEcho = true;
                darkRun = 0;
            } else if (seenEcho && v < 40) {
                if (++darkRun >= 8) {
                    ++beamsWithShadow;
                    break;
                }
            } else if (seenEcho) {
                darkRun = std::max(0, darkRun - 1);
            }
        }
    }
    EXPECT_GT(beamsWithShadow, 3);
}

TEST(SonarImageMotion, SceneChangesSlowlyOverTime)
{
    const SonarImageGenerator generator(13);
    const SonarImage start = generator.generate(128, 200, 20.0, 50.0, 0.0);
    const SonarImage later = generator.generate(128, 200, 20.0, 50.0, 30.0);
    EXPECT_NE(start.samples, later.samples);
    // Slow: the overall level barely moves between the two.
    EXPECT_NEAR(mean(start), mean(later), 15.0);
}
