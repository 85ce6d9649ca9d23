#pragma once

#include <keldar/visualisation/AbstractDynamicPalette.h>

namespace Keldar::Ondrix::Visualisation::Palettes {

// Black through red and yellow to white. A larger modifier stretches the red
// ramp and pushes the yellow and white phases towards the top.
class FirePalette : public AbstractDynamicPalette
{
public:
    void generate() override;

    // Every entry, including the last, which holds the end of each ramp.
    static Table table(std::uint8_t modifier);
};

} // namespace Keldar::Ondrix::Visualisation::Palettes
