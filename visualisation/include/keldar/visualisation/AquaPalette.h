#pragma once

#include <keldar/visualisation/AbstractDynamicPalette.h>

namespace Keldar::Ondrix::Visualisation::Palettes {

// Navy through blue to green; the modifier places the blue knee.
class AquaPalette : public AbstractDynamicPalette
{
public:
    void generate() override;

    static Table table(std::uint8_t modifier);
};

} // namespace Keldar::Ondrix::Visualisation::Palettes
