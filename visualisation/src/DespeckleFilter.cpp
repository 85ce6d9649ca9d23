#include <keldar/visualisation/DespeckleFilter.h>

#include <algorithm>
#include <cmath>

namespace Keldar::Ondrix::Visualisation {

std::vector<float> DespeckleFilter::weights(int kernelSize)
{
    const int h = std::max(0, (kernelSize - 1) / 2);
    std::vector<float> result;
    result.reserve(static_cast<std::size_t>(2 * h + 1));
    double sum = 0.0;
    for (int i = -h; i <= h; ++i) {
        // The 2-D weight e^(-(i^2+j^2)/2s^2) is the product of two of these;
        // the constant factor cancels in the normalisation.
        const double w = std::exp(-(i * i) / (2.0 * Spread * Spread));
        result.push_back(static_cast<float>(w));
        sum += w;
    }
    for (float& w : result) {
        w = static_cast<float>(w / sum);
    }
    return result;
}

void DespeckleFilter::apply(const std::vector<std::uint8_t>& samples, int width, int height, int kernelSize,
                            std::vector<std::uint16_t>& out)
{
    const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    out.resize(count);
    if (count == 0 || samples.size() < count) {
        std::fill(out.begin(), out.end(), 0);
        return;
    }
    const std::vector<float> w = weights(kernelSize);
    const int h = static_cast<int>(w.size() / 2);
    rowPass.resize(count);
    padded.resize(static_cast<std::size_t>(width + 2 * h));
    accumulator.resize(static_cast<std::size_t>(width));

    // Along each row (across beams), then along each column (across ranges).
    // Each tap is a whole-row multiply-add, which the compiler vectorises.
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = samples.data() + static_cast<std::size_t>(y) * width;
        std::fill(padded.begin(), padded.begin() + h, static_cast<float>(row[0]));
        std::copy(row, row + width, padded.begin() + h);
        std::fill(padded.begin() + h + width, padded.end(), static_cast<float>(row[width - 1]));
        float* dst = rowPass.data() + static_cast<std::size_t>(y) * width;
        std::fill(dst, dst + width, 0.F);
        for (int i = 0; i <= 2 * h; ++i) {
            const float weight = w[static_cast<std::size_t>(i)];
            const float* src = padded.data() + i;
            for (int x = 0; x < width; ++x) {
                dst[x] += weight * src[x];
            }
        }
    }
    constexpr float toSixteenBits = 65535.F / 255.F;
    for (int y = 0; y < height; ++y) {
        std::fill(accumulator.begin(), accumulator.end(), 0.F);
        for (int j = -h; j <= h; ++j) {
            const int source = std::clamp(y + j, 0, height - 1);
            const float weight = w[static_cast<std::size_t>(j + h)] * toSixteenBits;
            const float* src = rowPass.data() + static_cast<std::size_t>(source) * width;
            for (int x = 0; x < width; ++x) {
                accumulator[static_cast<std::size_t>(x)] += weight * src[x];
            }
        }
        std::uint16_t* dst = out.data() + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            const float level = std::clamp(accumulator[static_cast<std::size_t>(x)] + 0.5F, 0.F, 65535.F);
            dst[x] = static_cast<std::uint16_t>(level);
        }
    }
}

} // namespace Keldar::Ondrix::Visualisation
