#pragma once

#include <keldar/logging/FlatInterface.h>
#include <keldar/logging/LogFilePlayer.h>
#include <keldar/logging/SqliteLogFile.h>
#include <keldar/logging/legacy/ConversionError.h>
#include <keldar/logging/legacy/LegacyExportError.h>
#include <keldar/logging/legacy/Progress.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace Keldar::Logging::Legacy {

struct ConversionSettings
{
    std::string timeZone;
    std::string applicationName;
    std::int8_t compressionLevel = -1;
};

inline constexpr const char* convertedApplicationVersion = "1.0.0";

// Converts an older-format file into a current log that takes its place; the
// original stays beside it under its name with ".old" appended (made unique
// rather than overwriting an earlier one). Returns the opened log, or null
// when cancelled. Throws ConversionError with the user's message; filesystem
// errors pass as they are. Whatever happens before the final move, the
// original is left where and as it was and no partial output remains.
// `keptOriginal`, when given, receives where the original went.
std::unique_ptr<SqliteLogFile> convertLegacyLogFile(const std::string& path, const ConversionSettings& settings,
                                                    const Progress& progress = {},
                                                    std::filesystem::path* keptOriginal = nullptr);
// The same with the time zone and compression level of a flat configuration.
std::unique_ptr<SqliteLogFile> convertLegacyLogFile(const std::string& path, const KD_LogConfig* config,
                                                    const std::string& applicationName, const Progress& progress = {});

// Writes the player's frames `start` to `end` (inclusive) into a new
// older-format file beside its log, named with "_legacy" added and made
// unique. Returns its path, or empty when cancelled (the partial file is then
// removed). Throws LegacyExportError when the file cannot be created or
// written, std::out_of_range for frames outside the player's.
std::optional<std::filesystem::path> exportToLegacyLog(Playback::LogFilePlayer& player, int start, int end,
                                                       const Progress& progress = {});

} // namespace Keldar::Logging::Legacy
