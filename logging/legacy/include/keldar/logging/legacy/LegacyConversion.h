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
// errors pass as they are. The new log is written under a temporary name
// beside the original and checked (closed cleanly, every entry read back)
// before it takes the original's name. Whatever happens before the final
// move, the original is left where and as it was and no partial output
// remains; `progress` is told what was removed.
// `keptOriginal`, when given, receives where the original went.
std::unique_ptr<SqliteLogFile> convertLegacyLogFile(const std::string& path, const ConversionSettings& settings,
                                                    const Progress& progress = {},
                                                    std::filesystem::path* keptOriginal = nullptr);
// The same with the time zone and compression level of a flat configuration.
std::unique_ptr<SqliteLogFile> convertLegacyLogFile(const std::string& path, const KD_LogConfig* config,
                                                    const std::string& applicationName, const Progress& progress = {},
                                                    std::filesystem::path* keptOriginal = nullptr);

// What an export to the older format wrote, and what it left out.
struct LegacyExportResult
{
    std::filesystem::path path;
    std::int64_t framesWritten = 0;
    // Frames whose entry could not be read from the log.
    std::int64_t framesUnreadable = 0;
    // Frames the older format cannot carry so that they convert back as they
    // are: a sonar entry whose message is not the kind its type says, or an
    // entry type that is no record kind of its own (10 and 20 mean something
    // else there, and kinds are 16 bits).
    std::int64_t framesOfOtherKinds = 0;

    bool isComplete() const { return framesUnreadable == 0 && framesOfOtherKinds == 0; }
};

// Writes the player's frames `start` to `end` (inclusive) into a new
// older-format file beside its log, named with "_legacy" added and made
// unique; it is written under a temporary name beside it and takes that name
// only when complete. Sonar entries become kind-10 records; entries of other types keep
// their type as their record kind, so that a conversion gives them back.
// Frames that cannot be read or carried are left out and counted. Returns
// empty when cancelled (the partial file is then removed and `progress` told). Throws
// LegacyExportError when the file cannot be created or written,
// std::out_of_range for frames outside the player's.
std::optional<LegacyExportResult> exportToLegacyLog(Playback::LogFilePlayer& player, int start, int end,
                                                    const Progress& progress = {});

} // namespace Keldar::Logging::Legacy
