#include <keldar/maths/Palettes.h>

namespace Keldar::Maths::Palettes {

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

constexpr double navy[3] = {0.0, 0.0, 64.0};
constexpr double blue[3] = {8.0, 40.0, 128.0};
constexpr double green[3] = {50.0, 250.0, 64.0};

} // namespace

DynamicTable fireTable(std::uint8_t modifier)
{
    const int m = modifier;
    const int t = m + (255 - m) / 2;
    DynamicTable result{};
    for (int i = 0; i < static_cast<int>(entries); ++i) {
        const int red = i < m ? 255 * i / m : 255;
        result[static_cast<std::size_t>(4 * i)] = static_cast<std::uint8_t>(red);
        result[static_cast<std::size_t>(4 * i + 1)] = static_cast<std::uint8_t>(ramp(i, m));
        result[static_cast<std::size_t>(4 * i + 2)] = static_cast<std::uint8_t>(ramp(i, t));
        result[static_cast<std::size_t>(4 * i + 3)] = 255;
    }
    return result;
}

DynamicTable aquaTable(std::uint8_t modifier)
{
    const int m = modifier;
    DynamicTable result{};
    for (int i = 0; i < static_cast<int>(entries); ++i) {
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

} // namespace Keldar::Maths::Palettes
