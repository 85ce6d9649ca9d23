#pragma once

// The bridge to the older log format as the viewer runs it: on a thread of
// its own, behind a progress dialog whose Cancel button stops the work.

#include <keldar/logging/FlatInterface.h>
#include <keldar/logging/LogFilePlayer.h>
#include <keldar/logging/SqliteLogFile.h>
#include <keldar/logging/legacy/LegacyConversion.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace Keldar::OndrixLumivane::LegacyLogFiles {

/// Converts the older-format file at `path` into a current log that takes its
/// place (the original stays beside it with ".old" appended), with the time
/// zone and compression of `config`. Returns the opened log, or null when the
/// user cancelled; `keptOriginal` receives where the original went. Throws
/// Logging::Legacy::ConversionError, and filesystem or database errors as the
/// library does.
std::unique_ptr<Logging::SqliteLogFile> convert(const std::string& path, const KD_LogConfig* config,
                                                std::filesystem::path& keptOriginal);

/// Writes the player's frames `first` to `last` into a new older-format file
/// beside its log ("_legacy" added to the name). Empty when the user
/// cancelled. Throws Logging::Legacy::LegacyExportError, std::out_of_range for
/// frames outside the log. The player is used from another thread meanwhile:
/// nothing else may touch it until this returns.
std::optional<Logging::Legacy::LegacyExportResult> exportRange(Logging::Playback::LogFilePlayer& player, int first,
                                                               int last);

} // namespace Keldar::OndrixLumivane::LegacyLogFiles
