#pragma once

#include <keldar/database/DatabaseTypes.h>

#include <cstdint>
#include <string>
#include <vector>

struct sqlite3;

namespace Keldar::Database {

// One connection to an SQLite file. The connection is opened in serialised
// mode, so a reader thread and a writer thread may share it; each statement
// step and the capture of its error code happen under the connection's mutex.
class SqliteDatabase
{
public:
    // Throws FileIsNotDatabase when the file exists but is not a database (or
    // is damaged beyond reading its schema), DatabaseError for other failures.
    SqliteDatabase(const std::string& path, OpenMode mode);
    ~SqliteDatabase();

    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    // Runs statements without parameters. Throws FileIsNotDatabase when SQLite
    // reports the file is not a database; other failures give false.
    bool executeSimpleQuery(const std::string& sql);

    // Reads the blob in `column` of the row `rowId` of `table` straight into
    // `into`, reusing its storage: unlike a SELECT, no buffer of the blob's
    // size is allocated and freed per row. False (and `into` emptied) when
    // the row is missing or the value cannot be read.
    bool readBlob(const char* table, const char* column, std::int64_t rowId, std::vector<std::uint8_t>& into);

    std::int64_t getLastInsertedRowId() const;
    // Whether SQLite opened the file for reading only (asked to, or because
    // the file may not be written).
    bool isReadOnly() const;
    // The code of the connection's most recent failure, on whichever thread;
    // a statement's own failure is better read from SqliteQuery::getLastErrorCode.
    int getLastErrorCode() const;
    std::string getLastErrorMessage() const;

    sqlite3* getHandle() const { return db_; }
    void setLastErrorCode(int code);

private:
    sqlite3* db_ = nullptr;
    // Guarded by the connection's mutex (see ConnectionLock).
    int lastErrorCode_ = 0;
};

} // namespace Keldar::Database
