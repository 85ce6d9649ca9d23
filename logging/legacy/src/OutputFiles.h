#pragma once

#include <filesystem>
#include <system_error>

namespace Keldar::Logging::Legacy {

// Removes a log file the conversion or export made, with whatever journal
// files SQLite may have left beside it. Never throws: it runs while an error
// is already on its way.
inline void removeOutput(const std::filesystem::path& path)
{
    std::error_code error;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        std::filesystem::remove(path.string() + suffix, error);
    }
}

} // namespace Keldar::Logging::Legacy
