#include <keldar/visualisation/AquaPalette.h>

namespace Keldar::Ondrix::Visualisation::Palettes {

namespace {
constexpr double navy[3] = {0.0, 0.0, 64.0};
constexpr double blue[3] = {8.0, 40.0, 128.0};
constexpr double green[3] = {50.0, 250.0, 64.0};
} // namespace

AquaPalette::Table AquaPalette::table(std::uint8_t modifier)
{
    const int m = modifier;
    Table result{};
    for (int i = 0; i < Entries; ++i) {
        for (int c = 0; c < 3; ++c) {
            double value = 0.0;
            if (i < m) {
                value = navy[c] + (static_cast<double>(i) / m) * (blue[c] - navy[c]);
            } else if (m == 255) {
                // The second ramp has no length: the table ends on blue.
                value = blue[c];
            } else {
                value = blue[c] + (static_cast<double>(i - m) / (255 - m)) * (green[c] - blue[c]);
            }
            result[static_cast<std::size_t>(4 * i + c)] = static_cast<std::uint8_t>(value);
        }
        result[static_cast<std::size_t>(4 * i + 3)] = 255;
    }
    return result;
}

void AquaPalette::generate()
{
    upload(table(getModifier()));
}

} // namespace Keldar::Ondrix::Visualisation::Palettes
