#include <keldar/logging/LogOutput.h>

#include <filesystem>
#include <system_error>

namespace Keldar::Logging {

std::string closeAndCheckLog(std::unique_ptr<SqliteLogFile> written, std::int64_t expectedEntries)
{
    const std::filesystem::path path = written->getFilePath();
    written.reset();
    for (const char* suffix : {"-journal", "-wal"}) {
        std::error_code error;
        if (std::filesystem::exists(path.string() + suffix, error) || error) {
            return "the new log file could not be closed: its journal remains";
        }
    }
    try {
        const SqliteLogFile back(path, SqliteLogFile::Access::ReadOnly);
        const std::int64_t entries = back.getEntryCount();
        if (entries != expectedEntries || back.endIsDamaged()) {
            return "the new log file reads back with " + std::to_string(entries) + " of " +
                   std::to_string(expectedEntries) + " entries";
        }
    } catch (const std::exception& error) {
        return std::string("the new log file cannot be read back: ") + error.what();
    }
    return {};
}

} // namespace Keldar::Logging
