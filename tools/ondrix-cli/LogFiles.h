#pragma once

// Opening a log for reading, and walking its sonar images in the order the
// viewer plays them.

#include "Commands.h"

#include <keldar/logging/EntryIndexFilter.h>
#include <keldar/logging/SqliteLogFile.h>
#include <keldar/ondrix/MessageParsing.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

/// One sonar image of a log. `frame` is the position the viewer's playback
/// gives the entry (its scrub position), so the two can be compared.
struct LoggedFrame
{
    std::int32_t frame = 0;
    std::int32_t entryId = 0;
    std::int64_t timestamp = 0; // ms since the Unix epoch
    Ondrix::OndrixImage image;
    std::optional<DataProcessing::Orientation::Attitude> attitude; // version-2 ping results only
};

/// Parses a stored entry by its data type code, as playback does: 0 a
/// version-1 ping result, 1 a version-2 one, 2 a full fire result. Empty for
/// other codes; throws BadlyFormedMessageError for a damaged message.
inline std::optional<LoggedFrame> parseLoggedFrame(const Logging::DataEntry& entry)
{
    namespace Parsing = Ondrix::MessageParsing;
    if (entry.type > 2) {
        return std::nullopt;
    }
    const auto* bytes = reinterpret_cast<const std::byte*>(entry.payload.data());
    const std::vector<std::byte> message(bytes, bytes + entry.payload.size());
    LoggedFrame frame;
    frame.entryId = entry.entryId;
    frame.timestamp = entry.timestamp;
    if (entry.type == 0) {
        frame.image = Parsing::parseSimplePingResult(message).image;
    } else if (entry.type == 1) {
        auto parsed = Parsing::parseSimplePingResultV2(message);
        frame.image = std::move(parsed.image);
        frame.attitude = parsed.attitude;
    } else {
        frame.image = Parsing::parseFullFireResult(message).image;
    }
    return frame;
}

/// Calls `visit` for every sonar image whose frame lies in [from, to] (to -1:
/// the last), reading a batch of entries at a time so that a long recording
/// never has to fit in memory. The frames are those of playback: the entries
/// of the sonar sources, or every entry when the log has none. An entry that
/// does not parse is reported on stderr and counted; the count is returned.
/// Entries that cannot be read at all fail the command.
inline int forEachFrame(const Logging::LogFileInterface& file, std::int32_t from, std::int32_t to,
                        const std::function<void(const LoggedFrame&)>& visit)
{
    Logging::EntryIndexFilter filter;
    for (const auto& source : file.getDataSources()) {
        if (source.type == KD_LogDataSourceType_Sonar) {
            filter.dataSources.push_back(source.id);
        }
    }
    const std::vector<std::int32_t> index = file.getEntryIndex(filter);
    const auto count = static_cast<std::int32_t>(index.size());
    const std::int32_t last = to < 0 ? count - 1 : std::min(to, count - 1);
    constexpr int batch = 32;
    int damaged = 0;
    std::int32_t frame = std::max(from, 0);
    while (frame <= last) {
        std::vector<Logging::DataEntry> entries;
        try {
            entries = file.readEntries(index[static_cast<std::size_t>(frame)], index[static_cast<std::size_t>(last)],
                                       filter, batch);
        } catch (const std::exception& error) {
            fail("cannot read the entries from " + std::to_string(index[static_cast<std::size_t>(frame)]) + ": " +
                     error.what(),
                 5);
        }
        if (entries.empty()) {
            break;
        }
        for (const auto& entry : entries) {
            // Ids are ascending in both; an id missing from the batch (it
            // could not be read) keeps its frame number unused.
            while (frame <= last && index[static_cast<std::size_t>(frame)] < entry.entryId) {
                std::cerr << "ondrix-cli: entry " << index[static_cast<std::size_t>(frame)] << " cannot be read\n";
                ++damaged;
                ++frame;
            }
            std::optional<LoggedFrame> parsed;
            try {
                parsed = parseLoggedFrame(entry);
            } catch (const std::exception& error) {
                std::cerr << "ondrix-cli: entry " << entry.entryId << " is not a readable sonar image: " << error.what()
                          << "\n";
                ++damaged;
            }
            if (parsed) {
                parsed->frame = frame;
                visit(*parsed);
            }
            ++frame;
        }
    }
    for (; frame <= last; ++frame) {
        std::cerr << "ondrix-cli: entry " << index[static_cast<std::size_t>(frame)] << " cannot be read\n";
        ++damaged;
    }
    return damaged;
}

} // namespace Keldar::Cli
