#include <keldar/visualisation/AquaPalette.h>

#include <keldar/maths/Palettes.h>

namespace Keldar::Ondrix::Visualisation::Palettes {

AquaPalette::Table AquaPalette::table(std::uint8_t modifier)
{
    return Maths::Palettes::aquaTable(modifier);
}

void AquaPalette::generate()
{
    upload(table(getModifier()));
}

} // namespace Keldar::Ondrix::Visualisation::Palettes
