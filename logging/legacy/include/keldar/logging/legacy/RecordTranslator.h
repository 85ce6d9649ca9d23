#pragma once

#include <keldar/logging/legacy/LegacyFormat.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace Keldar::Logging::Legacy {

// The two data sources a converted log may get.
enum class ConvertedSource { Sonar, Unknown };

struct ConvertedEntry
{
    ConvertedSource source = ConvertedSource::Sonar;
    std::uint32_t type = 0;
    std::int64_t timestamp = 0; // ms since the Unix epoch
    std::vector<std::uint8_t> payload;
};

// Turns older-format records into current log entries. Records that share one
// time are spread over the following second; images of the older kind become
// version-1 ping result messages built from the latest configuration record.
class RecordTranslator
{
public:
    // `position` is the record's place in its group of `groupSize` records.
    // Empty for a configuration record, which only changes what follows.
    // Throws ConversionError for data the current format cannot hold.
    std::optional<ConvertedEntry> translate(Record record, std::size_t position, std::size_t groupSize);

private:
    std::optional<ImageConfiguration> configuration_;
};

// The entry type a kind-10 record holding `payload` converts to. Throws
// ConversionError for a payload that is no message the current format keeps.
std::uint32_t sonarMessageType(const std::vector<std::uint8_t>& payload);

// The version-1 ping result that an older image record stands for.
std::vector<std::uint8_t> buildPingResult(const ImageConfiguration& configuration,
                                          const std::vector<std::uint8_t>& samples);

} // namespace Keldar::Logging::Legacy
