#pragma once

#include <keldar/database/DatabaseTypes.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct sqlite3_stmt;

namespace Keldar::Database {

class SqliteDatabase;

// A prepared statement. A statement that fails to prepare (for instance on a
// file whose tables lack the expected columns) does not throw: its steps fail
// and the database's last error code tells why.
class SqliteQuery
{
public:
    SqliteQuery(SqliteDatabase& database, const std::string& sql);
    ~SqliteQuery();

    SqliteQuery(const SqliteQuery&) = delete;
    SqliteQuery& operator=(const SqliteQuery&) = delete;

    bool isValid() const { return statement_ != nullptr; }

    bool bindParameter(const std::string& name, int value);
    bool bindParameter(const std::string& name, std::int64_t value);
    bool bindParameter(const std::string& name, double value);
    bool bindParameter(const std::string& name, const std::string& value, BindMode mode);
    bool bindParameter(const std::string& name, const std::vector<std::uint8_t>& value, BindMode mode);
    bool bindNull(const std::string& name);

    QueryResult executeStep();
    bool resetQuery();

    std::optional<ColumnValue> getValueFromColumn(int columnIndex) const;
    int getColumnCount() const;

    // Row id of the insert made by this statement's last successful step,
    // captured under the connection's lock so another thread cannot change it.
    std::int64_t getInsertedRowId() const { return insertedRowId_; }
    // Extended result code of this statement's last failure (0 when none),
    // captured under the connection's lock by the step that failed. Prefer it
    // to the connection's code, which another thread's failure may replace.
    int getLastErrorCode() const { return lastErrorCode_; }

private:
    int parameterIndex(const std::string& name) const;

    SqliteDatabase& database_;
    sqlite3_stmt* statement_ = nullptr;
    std::int64_t insertedRowId_ = 0;
    int lastErrorCode_ = 0;
};

// The integer in the given column, empty when it is NULL or not an integer.
std::optional<int> getValueFromColumn(const SqliteQuery& query, int columnIndex);

// The integer held by a value that was stored as an integer (read back as int64).
std::optional<int> requireType(const std::optional<PropertyValue>& value);

} // namespace Keldar::Database
