#include <keldar/visualisation/FirePalette.h>

namespace Keldar::Ondrix::Visualisation::Palettes {

namespace {

// Position of i along a ramp that starts at `from` and is full at 255. A ramp
// of zero length has not started: this keeps entry 255 finite for m = 255.
int ramp(int i, int from)
{
    if (i < from || from >= 255) {
        return 0;
    }
    return 255 * (i - from) / (255 - from);
}

} // namespace

FirePalette::Table FirePalette::table(std::uint8_t modifier)
{
    const int m = modifier;
    const int t = m + (255 - m) / 2;
    Table result{};
    for (int i = 0; i < Entries; ++i) {
        const int red = i < m ? 255 * i / m : 255;
        result[static_cast<std::size_t>(4 * i)] = static_cast<std::uint8_t>(red);
        result[static_cast<std::size_t>(4 * i + 1)] = static_cast<std::uint8_t>(ramp(i, m));
        result[static_cast<std::size_t>(4 * i + 2)] = static_cast<std::uint8_t>(ramp(i, t));
        result[static_cast<std::size_t>(4 * i + 3)] = 255;
    }
    return result;
}

void FirePalette::generate()
{
    upload(table(getModifier()));
}

} // namespace Keldar::Ondrix::Visualisation::Palettes
