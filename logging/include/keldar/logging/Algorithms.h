#pragma once

#include <keldar/logging/LogFileInterface.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Keldar::Logging::Algorithms {

// What a slice or clone met on its way, for the caller to tell the user.
struct CopyReport
{
    // Source entries that could not be read and were left out; the rest of
    // the range was copied and bookmarks on them moved to the next entry.
    std::vector<std::int32_t> skippedEntryIds;
    // Why the copy failed (the output's last error, "Filesystem full." for
    // instance); empty when it did not.
    std::string error;
    // The copy was stopped by its caller; the output is removed.
    bool cancelled = false;
    // Entries written to the output.
    std::int64_t copiedEntries = 0;
    // The partial output removed after a failure or a cancel (a temporary
    // name beside the final one), for the caller to name; empty when there
    // was nothing to remove.
    std::filesystem::path removedOutput;
};

// How a long copy talks to whoever watches it (a progress dialog on another
// thread, a command line). Both are called on the copying thread, once per
// entry handled; either may be empty.
struct CopyControl
{
    // Entries handled so far (copied or skipped) and how many were selected.
    std::function<void(std::int64_t handled, std::int64_t selected)> progress = {};
    // True stops the copy: the output is removed and nothing is returned.
    std::function<bool()> cancelled = {};
};

// Copies entries first..last (ids of the source, inclusive) with their data
// sources, properties, metadata, resources and bookmarks into a new log at
// outputPath (derived from the source's name with "_exported" when empty).
// Entries are copied one at a time and committed in bounded transactions, so
// memory use does not grow with the size of the selection. The copy is
// written under a temporary name in the output's folder and renamed to
// outputPath only once closed and read back with every entry copied: nothing
// ever stands under outputPath half written. Returns an empty pointer when
// the output exists, the range is invalid, the copy is cancelled, or the
// output cannot be created, written, closed or put in place; the temporary
// is then removed. `report`, when given, receives skipped entries, the
// failure and what was removed.
std::unique_ptr<LogFileInterface> slice(const LogFileInterface& source, std::int32_t first, std::int32_t last,
                                        const std::string& outputPath, const std::string& applicationName,
                                        const std::string& applicationVersion, std::int8_t compressionLevel,
                                        CopyReport* report = nullptr, const CopyControl& control = {});

std::unique_ptr<LogFileInterface> clone(const LogFileInterface& source, const std::string& outputPath,
                                        const std::string& applicationName, const std::string& applicationVersion,
                                        std::int8_t compressionLevel, CopyReport* report = nullptr,
                                        const CopyControl& control = {});

} // namespace Keldar::Logging::Algorithms
