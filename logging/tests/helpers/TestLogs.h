#pragma once

#include <keldar/logging/SqliteLogFile.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace Keldar::Logging::Testing {

// A folder removed with everything in it when the test ends.
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::filesystem::path file(const std::string& name) const { return path_ / name; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

std::unique_ptr<SqliteLogFile> createLog(const std::filesystem::path& path, std::int8_t compressionLevel = 0,
                                         const std::string& applicationName = "test-app");

// Adds one sonar source (id 1) and `count` entries with timestamps start,
// start + step, ...; payload of entry i is recordedPayload(i, payloadBytes).
void fillLog(SqliteLogFile& file, int count, std::int64_t start = 1000, std::int64_t step = 10,
             std::size_t payloadBytes = 64);

// The names of the file and of its journal files (-wal, -shm, -journal) that exist.
std::vector<std::string> fileAndJournals(const std::filesystem::path& path);

// "name size" of everything in the folder, sorted: two listings compare equal
// when nothing was added, removed or resized.
std::vector<std::string> folderListing(const std::filesystem::path& folder);

void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> readBytes(const std::filesystem::path& path);

// Runs SQL on a file through SQLite directly, outside the library.
void runSql(const std::filesystem::path& path, const std::string& sql);
std::string integrityCheck(const std::filesystem::path& path);

} // namespace Keldar::Logging::Testing
