#include "TestLogs.h"

#include <algorithm>

#include "RecordedPayload.h"

#include <sqlite3.h>

#include <fstream>
#include <random>
#include <stdexcept>

namespace Keldar::Logging::Testing {

TempFolder::TempFolder()
{
    std::random_device device;
    path_ = std::filesystem::temp_directory_path() /
            ("keldar-logging-" + std::to_string(device()) + "-" + std::to_string(device()));
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder()
{
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

std::unique_ptr<SqliteLogFile> createLog(const std::filesystem::path& path, std::int8_t compressionLevel,
                                         const std::string& applicationName)
{
    return std::make_unique<SqliteLogFile>(path.string(), "Europe/Oslo", applicationName, "1.2.3", compressionLevel,
                                           1700000000000);
}

void fillLog(SqliteLogFile& file, int count, std::int64_t start, std::int64_t step, std::size_t payloadBytes)
{
    DataSource source{-1, KD_LogDataSourceType_Sonar, "Ondrix M750"};
    if (!file.addDataSource(source)) {
        throw std::runtime_error("cannot add data source: " + file.getLastError());
    }
    for (int i = 1; i <= count; ++i) {
        DataEntry entry;
        entry.dataSourceId = source.id;
        entry.type = static_cast<std::uint32_t>(i % 2);
        entry.timestamp = start + step * (i - 1);
        entry.payload = recordedPayload(i, payloadBytes);
        if (!file.logData(entry)) {
            throw std::runtime_error("cannot log entry: " + file.getLastError());
        }
    }
}

std::vector<std::string> fileAndJournals(const std::filesystem::path& path)
{
    std::vector<std::string> found;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        if (std::filesystem::exists(path.string() + suffix)) {
            found.push_back(path.filename().string() + suffix);
        }
    }
    return found;
}

std::vector<std::string> folderListing(const std::filesystem::path& folder)
{
    std::vector<std::string> listing;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const auto size = entry.is_regular_file() ? entry.file_size() : 0;
        listing.push_back(entry.path().filename().string() + " " + std::to_string(size));
    }
    std::sort(listing.begin(), listing.end());
    return listing;
}

void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

void runSql(const std::filesystem::path& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(path.string().c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + path.string());
    }
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    std::string text = message != nullptr ? message : "";
    sqlite3_free(message);
    sqlite3_close(db);
    if (rc != SQLITE_OK) {
        throw std::runtime_error("SQL failed: " + text);
    }
}

std::string integrityCheck(const std::filesystem::path& path)
{
    sqlite3* db = nullptr;
    std::string result = "cannot open";
    if (sqlite3_open_v2(path.string().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check;", -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            result = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        } else {
            result = sqlite3_errmsg(db);
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return result;
}

} // namespace Keldar::Logging::Testing
