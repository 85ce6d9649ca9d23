#include <keldar/database/SqliteDatabase.h>

#include <keldar/database/FileIsNotDatabase.h>

#include "ConnectionLock.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

namespace Keldar::Database {

namespace {

bool meansNotADatabase(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

// SQLite takes some short non-database files for empty databases and would
// then write a schema over their bytes; an existing, non-empty file must start
// with the SQLite header to count as a database.
bool startsLikeDatabaseOrIsEmpty(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error) || std::filesystem::file_size(path, error) == 0) {
        return true;
    }
    static constexpr char header[] = "SQLite format 3";
    std::array<char, sizeof header> bytes{};
    std::ifstream file(path, std::ios::binary);
    if (!file.read(bytes.data(), bytes.size())) {
        return false;
    }
    return std::equal(bytes.begin(), bytes.end(), header);
}

// Bits of OpenMode beyond SQLite's own flags.
constexpr int tolerateSchemaBit = 0x1000;
constexpr int unchangingBit = 0x2000;

// A URI naming the file, so that query parameters can be given; the
// characters a URI reads specially are escaped.
std::string fileUri(const std::string& path, const char* parameters)
{
    std::string uri = "file:";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '%' || c == '?' || c == '#' || byte < 0x20 || byte >= 0x7F) {
            static constexpr char digits[] = "0123456789ABCDEF";
            uri += '%';
            uri += digits[byte >> 4U];
            uri += digits[byte & 0xFU];
        } else {
            uri += c;
        }
    }
    return uri + parameters;
}

} // namespace

SqliteDatabase::SqliteDatabase(const std::string& path, OpenMode mode)
{
    if (!startsLikeDatabaseOrIsEmpty(path)) {
        throw FileIsNotDatabase("File is not a database: " + path, SQLITE_NOTADB);
    }
    const int bits = static_cast<int>(mode);
    const bool tolerateSchema = (bits & tolerateSchemaBit) != 0;
    // Immutable: SQLite takes no lock and neither reads, rolls back nor
    // creates a journal, write-ahead log or its index beside the file.
    const bool unchanging = (bits & unchangingBit) != 0;
    const int flags =
        (bits & ~(tolerateSchemaBit | unchangingBit)) | SQLITE_OPEN_FULLMUTEX | (unchanging ? SQLITE_OPEN_URI : 0);
    const std::string name = unchanging ? fileUri(path, "?mode=ro&immutable=1") : path;
    const int rc = sqlite3_open_v2(name.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close_v2(db_);
        db_ = nullptr;
        throw DatabaseError("Cannot open database \"" + path + "\": " + message, rc);
    }
    sqlite3_extended_result_codes(db_, 1);
    if (tolerateSchema) {
        sqlite3_db_config(db_, SQLITE_DBCONFIG_WRITABLE_SCHEMA, 1, nullptr);
    }
    // A recorder and a reader (another process, or the player) may touch the
    // file at once; wait for a lock rather than failing at the first try.
    sqlite3_busy_timeout(db_, 5000);

    // SQLite opens lazily: read the schema now so a file that is not a
    // database is refused here, where callers expect it.
    sqlite3_stmt* probe = nullptr;
    int probeRc = sqlite3_prepare_v2(db_, "SELECT COUNT(*) FROM sqlite_master;", -1, &probe, nullptr);
    if (probeRc == SQLITE_OK) {
        probeRc = sqlite3_step(probe);
        if (probeRc == SQLITE_ROW || probeRc == SQLITE_DONE) {
            probeRc = SQLITE_OK;
        } else {
            probeRc = sqlite3_extended_errcode(db_);
        }
    } else {
        probeRc = sqlite3_extended_errcode(db_);
    }
    sqlite3_finalize(probe);
    if (probeRc != SQLITE_OK) {
        const std::string message = sqlite3_errstr(probeRc);
        sqlite3_close_v2(db_);
        db_ = nullptr;
        if (meansNotADatabase(probeRc)) {
            throw FileIsNotDatabase("File is not a database: " + path, probeRc);
        }
        throw DatabaseError("Cannot read database \"" + path + "\": " + message, probeRc);
    }
}

SqliteDatabase::~SqliteDatabase()
{
    sqlite3_close_v2(db_);
}

bool SqliteDatabase::executeSimpleQuery(const std::string& sql)
{
    int code = SQLITE_OK;
    {
        ConnectionLock lock(db_);
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            code = sqlite3_extended_errcode(db_);
            lastErrorCode_ = code;
        }
    }
    if (code == SQLITE_OK) {
        return true;
    }
    if ((code & 0xff) == SQLITE_NOTADB) {
        throw FileIsNotDatabase("File is not a database", code);
    }
    return false;
}

bool SqliteDatabase::readBlob(const char* table, const char* column, std::int64_t rowId,
                              std::vector<std::uint8_t>& into)
{
    const ConnectionLock lock(db_);
    sqlite3_blob* blob = nullptr;
    int rc = sqlite3_blob_open(db_, "main", table, column, rowId, 0, &blob);
    if (rc == SQLITE_OK) {
        into.resize(static_cast<std::size_t>(sqlite3_blob_bytes(blob)));
        rc = sqlite3_blob_read(blob, into.data(), static_cast<int>(into.size()), 0);
    }
    sqlite3_blob_close(blob);
    if (rc != SQLITE_OK) {
        lastErrorCode_ = rc;
        into.clear();
        return false;
    }
    return true;
}

std::int64_t SqliteDatabase::getLastInsertedRowId() const
{
    return sqlite3_last_insert_rowid(db_);
}

bool SqliteDatabase::isReadOnly() const
{
    return sqlite3_db_readonly(db_, "main") == 1;
}

int SqliteDatabase::getLastErrorCode() const
{
    ConnectionLock lock(db_);
    return lastErrorCode_;
}

std::string SqliteDatabase::getLastErrorMessage() const
{
    return sqlite3_errstr(getLastErrorCode());
}

// Callers hold the connection's lock, as the step whose failure they record did.
void SqliteDatabase::setLastErrorCode(int code)
{
    lastErrorCode_ = code;
}

} // namespace Keldar::Database
