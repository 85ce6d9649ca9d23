#include <keldar/logging/legacy/ConversionError.h>
#include <keldar/logging/legacy/LegacyFormat.h>

#include "LittleEndian.h"

namespace Keldar::Logging::Legacy {

ImageConfiguration parseImageConfiguration(const std::vector<std::uint8_t>& payload)
{
    namespace L = ImageConfigurationLayout;
    // The older viewer copied configurations into a buffer of the largest
    // size; anything longer, or too short for the bearings it announces, is
    // not a file it could have written.
    if (payload.size() < L::bearings || payload.size() > L::maximumSize) {
        throw ConversionError(notWellFormedMessage);
    }
    const std::uint8_t* p = payload.data();
    ImageConfiguration configuration;
    configuration.range = LittleEndian::read<float>(p);
    configuration.gain = LittleEndian::read<float>(p + 4);
    configuration.mode = LittleEndian::read<float>(p + 8);
    configuration.rangeCount = LittleEndian::read<std::uint16_t>(p + 12);
    configuration.beamCount = LittleEndian::read<std::uint16_t>(p + 14);
    if (L::bearings + 2 * std::size_t{configuration.beamCount} > payload.size()) {
        throw ConversionError(notWellFormedMessage);
    }
    configuration.bearings.resize(configuration.beamCount);
    for (std::size_t i = 0; i < configuration.beamCount; ++i) {
        configuration.bearings[i] = LittleEndian::read<std::int16_t>(p + L::bearings + 2 * i);
    }
    return configuration;
}

} // namespace Keldar::Logging::Legacy
