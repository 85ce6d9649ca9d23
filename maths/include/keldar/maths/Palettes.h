#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The colour tables of the fan display's palettes, without any drawing: the
// viewer uploads them as textures and the browser view serves them as data,
// so both colour an echo the same way.
namespace Keldar::Maths::Palettes {

inline constexpr std::size_t entries = 256;
inline constexpr std::size_t standardCount = 6;

// Red, green, blue for intensity i / 255 at entries 3i .. 3i + 2.
using StandardTable = std::array<std::uint8_t, 3 * entries>;
// Red, green, blue, alpha at 4i .. 4i + 3.
using DynamicTable = std::array<std::uint8_t, 4 * entries>;

// Grey, amber, blue, green, red and spectrum, in the order of the palette choice.
extern const std::array<StandardTable, standardCount> standardTables;
inline constexpr std::array<const char*, standardCount> standardNames{"grey",  "amber", "blue",
                                                                      "green", "red",   "spectrum"};

// Black through red and yellow to white; a larger modifier stretches the red
// ramp and pushes the yellow and white phases towards the top.
DynamicTable fireTable(std::uint8_t modifier);
// Navy through blue to green; the modifier is where blue is reached.
DynamicTable aquaTable(std::uint8_t modifier);

} // namespace Keldar::Maths::Palettes
