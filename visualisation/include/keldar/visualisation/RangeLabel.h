#pragma once

#include <cstdint>
#include <string>

namespace Keldar::Ondrix::Visualisation {

// One range label as the fan display hands it to the painter's drawText:
// position in model space, angle in degrees, painter alignment flags.
struct RangeLabel
{
    std::string text;
    float x = 0.F;
    float y = 0.F;
    int angle = 0;
    std::uint8_t alignment = 0;
    bool ignoreTransform = false;
};

} // namespace Keldar::Ondrix::Visualisation
