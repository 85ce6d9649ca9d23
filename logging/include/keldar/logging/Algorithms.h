#pragma once

#include <keldar/logging/LogFileInterface.h>

#include <cstdint>
#include <memory>
#include <string>

namespace Keldar::Logging::Algorithms {

// Copies entries first..last (ids of the source, inclusive) with their data
// sources, properties, metadata, resources and bookmarks into a new log at
// outputPath (derived from the source's name with "_exported" when empty).
// Entries are streamed in bounded batches, so memory use does not grow with
// the size of the selection. Returns an empty pointer when the output exists,
// the range is invalid, or the output cannot be created.
std::unique_ptr<LogFileInterface> slice(const LogFileInterface& source, std::int32_t first, std::int32_t last,
                                        const std::string& outputPath, const std::string& applicationName,
                                        const std::string& applicationVersion, std::int8_t compressionLevel);

std::unique_ptr<LogFileInterface> clone(const LogFileInterface& source, const std::string& outputPath,
                                        const std::string& applicationName, const std::string& applicationVersion,
                                        std::int8_t compressionLevel);

} // namespace Keldar::Logging::Algorithms
