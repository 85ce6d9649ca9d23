#pragma once

// Opening a log for reading, and walking its sonar images in the order the
// viewer plays them.

#include "Commands.h"

#include <keldar/logging/SqliteLogFile.h>
#include <keldar/logging/frames/FrameReader.h>
#include <keldar/logging/frames/LoggedFrame.h>

#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <string>

namespace Keldar::Cli {

// Inspecting or exporting never writes to the log: a missing or empty file
// is refused rather than made into a new log, and the file's bytes stay as
// they are.
inline std::unique_ptr<Logging::SqliteLogFile> openLog(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        fail("log file does not exist: " + path, 2);
    }
    if (std::filesystem::file_size(path, error) == 0 && !error) {
        fail(path + ": the file is empty, not a log file", 3);
    }
    try {
        return std::make_unique<Logging::SqliteLogFile>(std::filesystem::path(path),
                                                        Logging::SqliteLogFile::Access::ReadOnly);
    } catch (const std::exception& exception) {
        fail(path + ": " + exception.what(), 3);
    }
}

/// What is wrong with a damaged log, how much of it still reads, and what to
/// do about it; empty for a sound log. Reads a damaged log through once, so
/// that its frames are then those that read.
inline std::string damageOf(const Logging::SqliteLogFile& file)
{
    if (!file.lookForDamage()) {
        return {};
    }
    const auto count = file.checkEntries();
    const std::string where = file.endIsDamaged() ? "the end is damaged" : "the file is damaged";
    return file.getFilePath().string() + ": " + where + ": " + std::to_string(count ? count->readable : 0) + " of " +
           std::to_string(count ? count->listed : 0) +
           " entries readable; 'ondrix-cli log recover' copies them into a new file";
}

/// Fails the command (exit code 6) with `damage` when there is any.
inline void failIfDamaged(const std::string& damage)
{
    if (!damage.empty()) {
        fail(damage, 6);
    }
}

using Logging::Frames::LoggedFrame;

/// Tells stderr of an entry that is not a readable sonar image.
inline void reportDamaged(std::int32_t entryId, const std::string& reason)
{
    std::cerr << "ondrix-cli: entry " << entryId << " " << reason << "\n";
}

/// Calls `visit` for every sonar image whose frame lies in [from, to] (to -1:
/// the last), as playback numbers them. An entry that is not a readable sonar
/// image is reported on stderr and counted; the count is returned. Entries
/// that cannot be read at all fail the command.
inline int forEachFrame(const Logging::Frames::FrameReader& reader, std::int32_t from, std::int32_t to,
                        const std::function<void(const LoggedFrame&)>& visit)
{
    try {
        return reader.forEach(from, to, visit, reportDamaged);
    } catch (const Logging::Frames::FrameReadError& error) {
        fail(error.what(), 5);
    }
}

inline int forEachFrame(const Logging::LogFileInterface& file, std::int32_t from, std::int32_t to,
                        const std::function<void(const LoggedFrame&)>& visit)
{
    return forEachFrame(Logging::Frames::FrameReader(file), from, to, visit);
}

} // namespace Keldar::Cli
