#include <keldar/visualisation/DespeckleFilter.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

using Keldar::Ondrix::Visualisation::DespeckleFilter;

namespace {

// The 2-D weighted mean the fan shader computes at one texel, repeating edge
// texels outside the image.
double directMean(const std::vector<std::uint8_t>& samples, int width, int height, int x, int y, int kernel)
{
    const int h = std::max(0, (kernel - 1) / 2);
    double total = 0.0;
    double weights = 0.0;
    for (int i = -h; i <= h; ++i) {
        for (int j = -h; j <= h; ++j) {
            const double w = std::exp(-(i * i + j * j) / (2.0 * 25.0));
            const int sx = std::clamp(x + i, 0, width - 1);
            const int sy = std::clamp(y + j, 0, height - 1);
            total += w * samples[static_cast<std::size_t>(sy * width + sx)];
            weights += w;
        }
    }
    return total / weights;
}

std::vector<std::uint8_t> noise(int width, int height)
{
    std::vector<std::uint8_t> samples(static_cast<std::size_t>(width * height));
    std::uint32_t state = 12345;
    for (auto& sample : samples) {
        state = state * 1103515245U + 12345U;
        sample = static_cast<std::uint8_t>(state >> 24);
    }
    return samples;
}

} // namespace

TEST(DespeckleWeights, NormalisedSymmetricAndPeakedInTheMiddle)
{
    for (int kernel : {3, 5, 15}) {
        const auto w = DespeckleFilter::weights(kernel);
        ASSERT_EQ(w.size(), static_cast<std::size_t>(kernel));
        EXPECT_NEAR(std::accumulate(w.begin(), w.end(), 0.0), 1.0, 1e-6);
        for (std::size_t i = 0; i < w.size(); ++i) {
            EXPECT_FLOAT_EQ(w[i], w[w.size() - 1 - i]);
        }
        EXPECT_GT(w[w.size() / 2], w.front());
    }
    EXPECT_EQ(DespeckleFilter::weights(0), std::vector<float>{1.F});
    EXPECT_EQ(DespeckleFilter::weights(1), std::vector<float>{1.F});
    EXPECT_EQ(DespeckleFilter::weights(2).size(), 1U) << "even sizes round down like the shader";
}

TEST(DespeckleFilterOutput, KernelOneOnlyWidensTheLevels)
{
    const auto samples = noise(17, 9);
    DespeckleFilter filter;
    std::vector<std::uint16_t> out;
    filter.apply(samples, 17, 9, 1, out);
    ASSERT_EQ(out.size(), samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(out[i], samples[i] * 257) << i;
    }
}

TEST(DespeckleFilterOutput, ConstantImageStaysConstantUpToTheEdges)
{
    const std::vector<std::uint8_t> samples(40 * 30, 77);
    DespeckleFilter filter;
    std::vector<std::uint16_t> out;
    filter.apply(samples, 40, 30, 15, out);
    for (const auto level : out) {
        EXPECT_NEAR(level, 77 * 257, 1);
    }
}

TEST(DespeckleFilterOutput, MatchesTheTwoDimensionalMeanEverywhere)
{
    // Separable passes must equal the square kernel, edges included.
    constexpr int width = 23;
    constexpr int height = 19;
    const auto samples = noise(width, height);
    DespeckleFilter filter;
    std::vector<std::uint16_t> out;
    for (int kernel : {3, 7, 15}) {
        filter.apply(samples, width, height, kernel, out);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const double expected = directMean(samples, width, height, x, y, kernel) * 257.0;
                EXPECT_NEAR(out[static_cast<std::size_t>(y * width + x)], expected, 1.0)
                    << "kernel " << kernel << " at " << x << "," << y;
            }
        }
    }
}

TEST(DespeckleFilterOutput, ShortOrEmptyInputGivesZerosNotAnOverread)
{
    DespeckleFilter filter;
    std::vector<std::uint16_t> out;
    filter.apply(std::vector<std::uint8_t>(10, 200), 8, 8, 5, out);
    ASSERT_EQ(out.size(), 64U);
    EXPECT_EQ(std::count(out.begin(), out.end(), 0), 64);
    filter.apply({}, 0, 0, 5, out);
    EXPECT_TRUE(out.empty());
}
