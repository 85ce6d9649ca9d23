#pragma once

#include <cstdint>
#include <vector>

namespace Keldar::Ondrix::Visualisation {

// The despeckle blur done once per image instead of once per screen pixel:
// the normalised Gaussian of the fan shader (sigma 5, square kernel) is
// separable, and a linear filter commutes with the texture lookup, so filtering
// the intensity texture gives the shader's picture away from the edges.
// Output is 16-bit so that the filtered levels keep their fractions.
class DespeckleFilter
{
public:
    static constexpr float Spread = 5.F;

    // The shader's 1-D weights for offsets -h..h, h = (kernelSize - 1) / 2,
    // normalised to sum 1. Kernel sizes 0 and 1 give the single weight 1.
    static std::vector<float> weights(int kernelSize);

    // Filters a width x height image of bytes (row-major) into 16-bit levels
    // (0..65535 for 0..255), repeating the edge samples outside the image.
    void apply(const std::vector<std::uint8_t>& samples, int width, int height, int kernelSize,
               std::vector<std::uint16_t>& out);

private:
    std::vector<float> rowPass;
    std::vector<float> padded;
    std::vector<float> accumulator;
};

} // namespace Keldar::Ondrix::Visualisation
