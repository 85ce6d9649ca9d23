#include <keldar/visualisation/FirePalette.h>

#include <keldar/maths/Palettes.h>

namespace Keldar::Ondrix::Visualisation::Palettes {

FirePalette::Table FirePalette::table(std::uint8_t modifier)
{
    return Maths::Palettes::fireTable(modifier);
}

void FirePalette::generate()
{
    upload(table(getModifier()));
}

} // namespace Keldar::Ondrix::Visualisation::Palettes
