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

    // Along each row (across beams), then along each column (across ranges).
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = samples.data() + static_cast<std::size_t>(y) * width;
        float* dst = rowPass.data() + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            float acc = 0.F;
            if (x >= h && x + h < width) {
                const std::uint8_t* src = row + x - h;
                for (int i = 0; i <= 2 * h; ++i) {
                    acc += w[static_cast<std::size_t>(i)] * src[i];
                }
            } else {
                for (int i = -h; i <= h; ++i) {
                    acc += w[static_cast<std::size_t>(i + h)] * row[std::clamp(x + i, 0, width - 1)];
                }
            }
            dst[x] = acc;
        }
    }
    constexpr float toSixteenBits = 65535.F / 255.F;
    std::vector<const float*> rows(static_cast<std::size_t>(2 * h + 1));
    for (int y = 0; y < height; ++y) {
        for (int j = -h; j <= h; ++j) {
            const int source = std::clamp(y + j, 0, height - 1);
            rows[static_cast<std::size_t>(j + h)] = rowPass.data() + static_cast<std::size_t>(source) * width;
        }
        std::uint16_t* dst = out.data() + static_cast<std::size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            float acc = 0.F;
            for (std::size_t j = 0; j < rows.size(); ++j) {
                acc += w[j] * rows[j][x];
            }
            const float level = std::clamp(acc * toSixteenBits + 0.5F, 0.F, 65535.F);
            dst[x] = static_cast<std::uint16_t>(level);
        }
    }
}

} // namespace Keldar::Ondrix::Visualisation
