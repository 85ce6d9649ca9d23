#pragma once

#include <cstdint>
#include <vector>

namespace Keldar::Ondrix::Visualisation {

// Automatic clamp: after each image the lower and upper intensity thresholds
// move 20 % of the way towards the levels below and above which the given
// fraction of the samples lie.
class ClampThresholds
{
public:
    void update(const std::vector<std::uint8_t>& samples, float clampLevel);

    float getLower() const { return lower; }
    float getUpper() const { return upper; }

private:
    float lower = 0.F;
    float upper = 1.F;
};

} // namespace Keldar::Ondrix::Visualisation
