#include <keldar/visualisation/ClampThresholds.h>

#include <array>

namespace Keldar::Ondrix::Visualisation {

void ClampThresholds::update(const std::vector<std::uint8_t>& samples, float clampLevel)
{
    std::array<std::size_t, 256> bins{};
    for (const std::uint8_t sample : samples) {
        ++bins[sample];
    }
    const auto wanted = static_cast<std::size_t>(static_cast<double>(samples.size()) * clampLevel);

    std::size_t sum = 0;
    for (int i = 0; i < 256; ++i) {
        sum += bins[static_cast<std::size_t>(i)];
        if (sum >= wanted) {
            lower = 0.8F * lower + 0.2F * static_cast<float>(i) / 255.F;
            break;
        }
    }
    // Bin 0 is never added on the way down: when only the darkest samples
    // would meet the count, the upper threshold keeps its place.
    sum = 0;
    for (int i = 255; i > 0; --i) {
        sum += bins[static_cast<std::size_t>(i)];
        if (sum >= wanted) {
            upper = 0.8F * upper + 0.2F * static_cast<float>(i) / 255.F;
            break;
        }
    }
}

} // namespace Keldar::Ondrix::Visualisation
