// Opens mutated bytes as a log file and reads everything in it. Any outcome but
// a crash, a hang or a sanitizer report is fine: the log errors, empty results.
#include "LogBundle.h"

#include <keldar/database/DatabaseError.h>
#include <keldar/logging/LegacyLogFileError.h>
#include <keldar/logging/LogFilePlayer.h>
#include <keldar/logging/NotALogFileError.h>
#include <keldar/logging/SqliteLogFile.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

std::filesystem::path scratchPath()
{
    static const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("keldar-fuzz-logfile-" + std::to_string(getpid()) + ".ondrix");
    return path;
}

void removeScratch(const std::filesystem::path& path)
{
    std::error_code error;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        std::filesystem::remove(path.string() + suffix, error);
    }
}

void readEverything(const Keldar::Logging::SqliteLogFile& file)
{
    file.getBookmarks();
    for (const auto id : file.getEntryIndex({})) {
        file.readEntry(id);
    }
    file.checkEntries();
    file.writeRefusal();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto path = scratchPath();
    removeScratch(path);
    Keldar::Fuzzing::writeLogBundle(data, size, path);
    try {
        // As a viewer opens it first: reading never writes, a journal beside
        // it is applied to a private copy.
        readEverything(Keldar::Logging::SqliteLogFile(path, Keldar::Logging::SqliteLogFile::Access::ReadWriteExisting));
        Keldar::Logging::SqliteLogFile file(path);
        file.getDataSources();
        file.getAllDataSourceProperties();
        file.getDataSourceProperty(1, "serialNumber");
        file.getAllMetadata();
        file.getAllResources();
        file.getThumbnail();
        file.getBookmarks();
        file.getFirstEntryId();
        file.getLastEntryId();
        file.getEntryCount();
        const auto index = file.getEntryIndex({{0, 1}, {}, {KD_LogDataSourceType_Sonar}});
        for (const auto id : file.getEntryIndex({})) {
            file.readEntry(id);
        }
        file.readEntries(-1, -1, {}, 16);
        file.visitEntries(file.getFirstEntryId(), file.getLastEntryId(), true,
                          [](std::int32_t, const std::optional<Keldar::Logging::DataEntry>&) { return true; });

        // The player over the same bytes, opened without writing: logs with
        // no entries and seeks at the edges must not crash it.
        Keldar::Logging::Playback::LogFilePlayer player(
            std::make_unique<Keldar::Logging::SqliteLogFile>(path, Keldar::Logging::SqliteLogFile::Access::ReadOnly),
            {KD_LogDataSourceType_Sonar}, {}, false, 500);
        player.getTotalPlayTime();
        player.seek(-1);
        player.seek(0);
        player.seek(player.getFrameCount() - 1);
        player.seek(player.getFrameCount());
    } catch (const Keldar::Logging::NotALogFileError&) {
    } catch (const Keldar::Logging::LegacyLogFileError&) {
    } catch (const Keldar::Database::DatabaseError&) {
    }
    removeScratch(path);
    return 0;
}
