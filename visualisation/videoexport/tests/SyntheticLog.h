#pragma once

// A log of version-2 ping results at chosen times, for the video export's
// tests and benchmark.

#include <keldar/logging/SqliteLogFile.h>
#include <keldar/ondrix/MessageBuilding.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace Keldar::Ondrix::Visualisation::VideoExport::Testing {

struct SyntheticLog
{
    std::uint16_t beams = 64;
    std::uint16_t ranges = 100;
    // Each entry gets the image of this number (kept small, images repeat).
    std::vector<std::uint32_t> imageNumbers;
    std::vector<std::int64_t> timestamps;
    std::string timeZone = "UTC"; // the zone the log says it was recorded in
    // Entries whose stored message is cut short, as a damaged file holds.
    std::vector<std::size_t> damaged;
};

inline std::vector<std::uint8_t> sonarSamples(std::uint16_t beams, std::uint16_t ranges, std::uint32_t seed)
{
    // Speckle over a bed that brightens with range, different for each seed.
    std::vector<std::uint8_t> samples(static_cast<std::size_t>(beams) * ranges);
    std::uint32_t state = seed * 2654435761U + 1;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        state = state * 1664525U + 1013904223U;
        const auto bed = static_cast<int>(40 + 120 * (i / beams) / ranges);
        samples[i] = static_cast<std::uint8_t>(std::min(255, bed + static_cast<int>((state >> 24) % 96)));
    }
    return samples;
}

inline void writeSyntheticLog(const std::filesystem::path& path, const SyntheticLog& log)
{
    Logging::SqliteLogFile file(path.string(), log.timeZone, "keldar-tests", "1", 0, 0);
    Logging::DataSource source;
    source.name = "Sonar";
    file.addDataSource(source);
    file.addDataSourceProperty({source.id, "modelNumber", std::int64_t{1032}});
    file.addDataSourceProperty({source.id, "serialNumber", std::int64_t{51001}});

    MessageBuilding::ImageDescription image;
    image.sourceId = 51001 & 0xFFFF;
    image.partNumber = ModelNumber::RostrelA1032;
    image.beams = log.beams;
    image.ranges = log.ranges;
    image.range = 20.0;
    image.gain = 50.0;
    image.frequency = 900.0;
    for (std::uint16_t k = 0; k < log.beams; ++k) {
        image.bearings.push_back(static_cast<std::int16_t>(-6500 + 13000 * k / std::max(1, log.beams - 1)));
    }
    std::vector<std::vector<std::uint8_t>> messages;
    file.beginTransaction();
    for (std::size_t i = 0; i < log.timestamps.size(); ++i) {
        const std::uint32_t number = i < log.imageNumbers.size() ? log.imageNumbers[i] : static_cast<std::uint32_t>(i);
        if (messages.size() <= number) {
            messages.resize(number + 1);
        }
        if (messages[number].empty()) {
            image.samples = sonarSamples(log.beams, log.ranges, number);
            const auto bytes = MessageBuilding::buildSimplePingResultV2(image);
            messages[number].assign(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                    reinterpret_cast<const std::uint8_t*>(bytes.data()) + bytes.size());
        }
        Logging::DataEntry entry;
        entry.dataSourceId = source.id;
        entry.type = 1;
        entry.payload = messages[number];
        if (std::find(log.damaged.begin(), log.damaged.end(), i) != log.damaged.end()) {
            entry.payload.resize(entry.payload.size() / 2);
        }
        entry.timestamp = log.timestamps[i];
        file.logData(entry);
    }
    file.commitTransaction();
}

} // namespace Keldar::Ondrix::Visualisation::VideoExport::Testing
