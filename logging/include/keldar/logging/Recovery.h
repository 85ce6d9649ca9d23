#pragma once

#include <keldar/logging/Algorithms.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace Keldar::Logging {

class SqliteLogFile;

namespace Algorithms {

// What a recovery saved and what it could not.
struct RecoveryReport
{
    // Entries the damaged file lists, and those copied into the new file.
    std::int64_t listedEntries = 0;
    std::int64_t recoveredEntries = 0;
    // Bookmarks of the damaged file, and those whose own entry was lost: they
    // were moved to the next entry recovered, or left out when none follows.
    std::int64_t bookmarks = 0;
    std::int64_t bookmarksOnLostEntries = 0;
    // Why no file was written; empty when it was.
    std::string error;
    bool cancelled = false;

    [[nodiscard]] std::int64_t lostEntries() const { return listedEntries - recoveredEntries; }
    // One sentence for the user: what the new file holds and what was lost.
    [[nodiscard]] std::string summary(const std::filesystem::path& output) const;
};

// Writes every entry of `source` that reads whole, with its sources,
// metadata, resources and bookmarks, into a new log at `output` (which must
// not exist), at the source's compression level. The new file appears only
// when complete; the source is only read. True when the file was written.
bool recoverInto(const SqliteLogFile& source, const std::filesystem::path& output, const std::string& applicationName,
                 const std::string& applicationVersion, RecoveryReport& report, const CopyControl& control = {});

} // namespace Algorithms
} // namespace Keldar::Logging
