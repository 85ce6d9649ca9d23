#include <keldar/sim/SonarImageGenerator.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <vector>

using Keldar::Sim::SonarImage;
using Keldar::Sim::SonarImageGenerator;

namespace {

// A generated image with its size, so the helpers can address samples.
struct Picture
{
    SonarImage image;
    std::size_t beams;
    std::size_t ranges;

    [[nodiscard]] int at(std::size_t row, std::size_t beam) const { return image.samples[row * beams + beam]; }
};

Picture make(std::uint32_t seed, std::size_t beams, std::size_t ranges, double range, double gain, double time)
{
    return {SonarImageGenerator(seed).generate(static_cast<std::uint16_t>(beams), static_cast<std::uint16_t>(ranges),
                                               range, gain, time),
            beams, ranges};
}

double mean(const SonarImage& image)
{
    return std::accumulate(image.samples.begin(), image.samples.end(), 0.0) / static_cast<double>(image.samples.size());
}

// Mean over rows [from, to) given as fractions of the range, over the middle
// half of the beams (away from the weaker edges).
double bandMean(const Picture& p, double from, double to)
{
    const auto first = static_cast<std::size_t>(from * static_cast<double>(p.ranges));
    const auto last = static_cast<std::size_t>(to * static_cast<double>(p.ranges));
    double sum = 0.0;
    std::size_t n = 0;
    for (std::size_t r = first; r < last; ++r) {
        for (std::size_t b = p.beams / 4; b < 3 * p.beams / 4; ++b) {
            sum += p.at(r, b);
            ++n;
        }
    }
    return sum / static_cast<double>(n);
}

int percentile(std::vector<std::uint8_t> values, double fraction)
{
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(index), values.end());
    return values[index];
}

int median(const std::vector<std::uint8_t>& values)
{
    return percentile(values, 0.5);
}

// Mean of 3 x 3 neighbourhoods, to see through the speckle.
std::vector<double> smoothed(const Picture& p)
{
    std::vector<double> out(p.image.samples.size(), 0.0);
    for (std::size_t r = 1; r + 1 < p.ranges; ++r) {
        for (std::size_t b = 1; b + 1 < p.beams; ++b) {
            double sum = 0.0;
            for (std::size_t dr = 0; dr < 3; ++dr) {
                for (std::size_t db = 0; db < 3; ++db) {
                    sum += p.at(r + dr - 1, b + db - 1);
                }
            }
            out[r * p.beams + b] = sum / 9.0;
        }
    }
    return out;
}

// Beams in which a bright echo (well above the bed at its range) is followed,
// farther along the same beam, by a run of rows well below the bed at their
// range. Rows start past the water column so that its darkness cannot count.
struct EchoAndShadow
{
    int beams = 0;
    double echoSum = 0.0;
    double shadowSum = 0.0;
    double bedSum = 0.0;
};

EchoAndShadow findEchoesWithShadows(const Picture& p)
{
    const std::vector<double> s = smoothed(p);
    std::vector<double> rowMedian(p.ranges);
    for (std::size_t r = 0; r < p.ranges; ++r) {
        std::vector<double> row(s.begin() + static_cast<std::ptrdiff_t>(r * p.beams + 1),
                                s.begin() + static_cast<std::ptrdiff_t>((r + 1) * p.beams - 1));
        std::nth_element(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(row.size() / 2), row.end());
        rowMedian[r] = row[row.size() / 2];
    }
    EchoAndShadow found;
    const std::size_t run = std::max<std::size_t>(4, p.ranges / 150);
    const std::size_t reach = p.ranges / 12;
    for (std::size_t b = 1; b + 1 < p.beams; ++b) {
        for (std::size_t r = p.ranges / 4; r + reach + run < p.ranges; ++r) {
            const double echo = s[r * p.beams + b];
            if (echo < 1.6 * rowMedian[r] || echo < rowMedian[r] + 40.0) {
                continue;
            }
            bool shadowed = false;
            for (std::size_t start = r + 1; start < r + reach && !shadowed; ++start) {
                double shadow = 0.0;
                double bed = 0.0;
                bool dark = true;
                for (std::size_t k = start; k < start + run && dark; ++k) {
                    dark = s[k * p.beams + b] < 0.5 * rowMedian[k];
                    shadow += s[k * p.beams + b];
                    bed += rowMedian[k];
                }
                if (dark) {
                    shadowed = true;
                    ++found.beams;
                    // The echo's peak lies between where it starts and the shadow.
                    double peak = echo;
                    for (std::size_t k = r; k < start; ++k) {
                        peak = std::max(peak, s[k * p.beams + b]);
                    }
                    found.echoSum += peak;
                    found.shadowSum += shadow / static_cast<double>(run);
                    found.bedSum += bed / static_cast<double>(run);
                }
            }
            if (shadowed) {
                break;
            }
        }
    }
    return found;
}

// Mean of each 16 x 16 block: the scene without its speckle.
std::vector<double> blockMeans(const Picture& p)
{
    std::vector<double> out;
    for (std::size_t r = 0; r + 16 <= p.ranges; r += 16) {
        for (std::size_t b = 0; b + 16 <= p.beams; b += 16) {
            double sum = 0.0;
            for (std::size_t i = 0; i < 16; ++i) {
                for (std::size_t j = 0; j < 16; ++j) {
                    sum += p.at(r + i, b + j);
                }
            }
            out.push_back(sum / 256.0);
        }
    }
    return out;
}

double meanAbsoluteDifference(const std::vector<double>& a, const std::vector<double>& b)
{
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        sum += std::abs(a[i] - b[i]);
    }
    return sum / static_cast<double>(a.size());
}

} // namespace

TEST(SonarImageShape, SizesFollowBeamsAndRanges)
{
    const SonarImage image = SonarImageGenerator(1).generate(256, 300, 20.0, 50.0, 0.0);
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

TEST(SonarImageShape, ZeroSizesOrBadInputsGiveNoCrash)
{
    const SonarImageGenerator generator(3);
    EXPECT_TRUE(generator.generate(0, 100, 10.0, 50.0, 0.0).samples.empty());
    EXPECT_TRUE(generator.generate(100, 0, 10.0, 50.0, 0.0).samples.empty());
    EXPECT_EQ(generator.generate(10, 10, 0.0, 50.0, 0.0).samples.size(), 100U);
    EXPECT_EQ(generator.generate(10, 10, INFINITY, 50.0, 0.0).samples.size(), 100U);
    EXPECT_EQ(generator.generate(10, 10, 10.0, std::nan(""), std::nan("")).samples.size(), 100U);
    // Odd sizes and extreme times still fill every sample without overrunning.
    EXPECT_EQ(generator.generate(1, 1, 10.0, 50.0, -1e9).samples.size(), 1U);
    EXPECT_EQ(generator.generate(3, 7, 150.0, 200.0, 1e9).samples.size(), 21U);
    EXPECT_EQ(generator.generate(3, 7, 150.0, 50.0, 1e300).samples.size(), 21U);
}

TEST(SonarImageDeterminism, SameSeedAndInputsGiveSameImage)
{
    const SonarImage a = SonarImageGenerator(42).generate(128, 200, 30.0, 60.0, 12.34);
    const SonarImage b = SonarImageGenerator(42).generate(128, 200, 30.0, 60.0, 12.34);
    EXPECT_EQ(a.samples, b.samples);
    EXPECT_EQ(a.bearings, b.bearings);
}

TEST(SonarImageDeterminism, DifferentSeedsGiveDifferentScenes)
{
    const Picture a = make(1, 256, 400, 30.0, 60.0, 0.0);
    const Picture b = make(2, 256, 400, 30.0, 60.0, 0.0);
    // Not just different speckle: the layout itself differs.
    EXPECT_GT(meanAbsoluteDifference(blockMeans(a), blockMeans(b)), 4.0);
}

TEST(SonarImageBrightness, MedianAtDefaultGainIsMidToDarkGrey)
{
    for (const std::uint32_t seed : {1U, 42U, 99U}) {
        for (const double range : {5.0, 30.0, 120.0}) {
            const Picture p = make(seed, 512, 1000, range, 50.0, 3.0);
            const int middle = median(p.image.samples);
            EXPECT_GT(middle, 20) << "seed " << seed << " range " << range;
            EXPECT_LT(middle, 75) << "seed " << seed << " range " << range;
            // Only targets and rocks are bright: nine samples in ten stay
            // below the upper half of the scale.
            EXPECT_LT(percentile(p.image.samples, 0.9), 140) << "seed " << seed << " range " << range;
            const auto saturated = std::count(p.image.samples.begin(), p.image.samples.end(), 255);
            EXPECT_LT(static_cast<double>(saturated), 0.01 * static_cast<double>(p.image.samples.size()))
                << "seed " << seed << " range " << range;
        }
    }
}

TEST(SonarImageBrightness, MeanRisesStepByStepWithGain)
{
    std::vector<double> levels;
    for (const double gain : {0.0, 25.0, 50.0, 75.0, 100.0}) {
        levels.push_back(mean(make(7, 256, 400, 20.0, gain, 1.0).image));
    }
    for (std::size_t i = 1; i < levels.size(); ++i) {
        EXPECT_GT(levels[i], levels[i - 1] + 10.0) << "step " << i;
    }
}

TEST(SonarImageBrightness, GainOutsideTheRangeIsClamped)
{
    const SonarImageGenerator generator(7);
    EXPECT_EQ(generator.generate(64, 100, 20.0, 150.0, 1.0).samples,
              generator.generate(64, 100, 20.0, 100.0, 1.0).samples);
    EXPECT_EQ(generator.generate(64, 100, 20.0, -5.0, 1.0).samples,
              generator.generate(64, 100, 20.0, 0.0, 1.0).samples);
}

TEST(SonarImageSeabed, WaterColumnNearTheSonarIsDarkerThanTheBed)
{
    for (const std::uint32_t seed : {3U, 11U, 42U}) {
        const Picture p = make(seed, 256, 500, 30.0, 50.0, 2.0);
        const double water = bandMean(p, 0.03, 0.10);
        const double bed = bandMean(p, 0.40, 0.60);
        EXPECT_LT(water * 3.0, bed) << "seed " << seed;
    }
}

TEST(SonarImageSeabed, BedRisesWithRangeThenFadesGently)
{
    for (const std::uint32_t seed : {3U, 11U, 42U}) {
        const Picture p = make(seed, 256, 500, 40.0, 60.0, 2.0);
        const double onset = bandMean(p, 0.15, 0.22);
        const double peak = bandMean(p, 0.40, 0.60);
        const double far = bandMean(p, 0.92, 1.00);
        EXPECT_LT(onset + 10.0, peak) << "seed " << seed;
        EXPECT_LT(far + 5.0, peak) << "seed " << seed;
        // Gently: the far edge is still plainly bed, not water.
        EXPECT_GT(far, 0.6 * peak) << "seed " << seed;
    }
}

TEST(SonarImageSeabed, SpeckleIsGrainyWithALongDarkTail)
{
    // Rayleigh speckle in log-compressed samples: strong sample-to-sample
    // variation, and deep fades reach farther below the local level than
    // peaks reach above it. Uniform noise would be symmetric.
    const Picture p = make(5, 512, 1000, 30.0, 70.0, 0.0);
    std::vector<double> residuals;
    for (std::size_t r = 400; r + 16 <= 600; r += 16) {
        for (std::size_t b = 128; b + 16 <= 384; b += 16) {
            double sum = 0.0;
            for (std::size_t i = 0; i < 16; ++i) {
                for (std::size_t j = 0; j < 16; ++j) {
                    sum += p.at(r + i, b + j);
                }
            }
            const double local = sum / 256.0;
            for (std::size_t i = 0; i < 16; ++i) {
                for (std::size_t j = 0; j < 16; ++j) {
                    residuals.push_back(p.at(r + i, b + j) - local);
                }
            }
        }
    }
    std::sort(residuals.begin(), residuals.end());
    const double low = residuals[residuals.size() / 20];
    const double high = residuals[residuals.size() * 19 / 20];
    EXPECT_GT(high - low, 50.0);
    EXPECT_GT(-low, 1.2 * high);
}

TEST(SonarImageTargets, EchoesAreBrightWithDarkShadowsFartherAlongTheBeam)
{
    for (const double range : {10.0, 30.0, 100.0}) {
        for (const std::uint32_t seed : {1U, 9U, 42U}) {
            const Picture p = make(seed, 512, 1000, range, 50.0, 0.0);
            const EchoAndShadow found = findEchoesWithShadows(p);
            ASSERT_GE(found.beams, 5) << "range " << range << " seed " << seed;
            const double echo = found.echoSum / found.beams;
            const double shadow = found.shadowSum / found.beams;
            const double bed = found.bedSum / found.beams;
            // Each found pair already passed loose per-row limits; on average
            // the contrast must be much stronger than those limits.
            EXPECT_GT(echo, 2.0 * bed) << "range " << range << " seed " << seed;
            EXPECT_LT(shadow, 0.3 * bed) << "range " << range << " seed " << seed;
        }
    }
}

TEST(SonarImageTargets, NoShadowWithoutAnEchoInFrontOfIt)
{
    // The reverse order (a dark patch first, then brightness) is what dark
    // targets on a bright bed would look like; scanning the beams from far to
    // near must find far fewer echo-then-shadow pairs than near to far.
    const Picture p = make(42, 512, 1000, 30.0, 50.0, 0.0);
    Picture reversed = p;
    for (std::size_t r = 0; r < p.ranges; ++r) {
        for (std::size_t b = 0; b < p.beams; ++b) {
            reversed.image.samples[r * p.beams + b] = p.image.samples[(p.ranges - 1 - r) * p.beams + b];
        }
    }
    // Reversed, the water column would sit at the far end; cut the scan to the bed.
    const int forward = findEchoesWithShadows(p).beams;
    int backward = 0;
    {
        Picture bedOnly = reversed;
        bedOnly.ranges = reversed.ranges * 80 / 100;
        bedOnly.image.samples.resize(bedOnly.ranges * bedOnly.beams);
        backward = findEchoesWithShadows(bedOnly).beams;
    }
    EXPECT_GT(forward, 2 * backward + 5);
}

TEST(SonarImageMotion, SceneMovesSlowlyWhileSpeckleFlickers)
{
    const Picture start = make(13, 256, 512, 20.0, 50.0, 0.0);
    const Picture moment = make(13, 256, 512, 20.0, 50.0, 0.2);
    const Picture later = make(13, 256, 512, 20.0, 50.0, 20.0);

    // Speckle changes from ping to ping.
    std::size_t changed = 0;
    for (std::size_t i = 0; i < start.image.samples.size(); ++i) {
        changed += start.image.samples[i] != moment.image.samples[i] ? 1U : 0U;
    }
    EXPECT_GT(changed, start.image.samples.size() / 2);

    // The layout barely moves in a fraction of a second, but plainly does
    // over twenty seconds.
    const double flicker = meanAbsoluteDifference(blockMeans(start), blockMeans(moment));
    const double drift = meanAbsoluteDifference(blockMeans(start), blockMeans(later));
    EXPECT_GT(drift, 2.0 * flicker);
    // Slow: the overall level stays put.
    EXPECT_NEAR(mean(start.image), mean(later.image), 10.0);
}
