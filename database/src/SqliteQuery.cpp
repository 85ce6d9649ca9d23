#include <keldar/database/SqliteQuery.h>

#include <keldar/database/SqliteDatabase.h>

#include "ConnectionLock.h"

#include <sqlite3.h>

#include <limits>

namespace Keldar::Database {

namespace {

sqlite3_destructor_type destructorFor(BindMode mode)
{
    return mode == BindMode::NoCopy ? SQLITE_STATIC : SQLITE_TRANSIENT;
}

} // namespace

SqliteQuery::SqliteQuery(SqliteDatabase& database, const std::string& sql)
    : database_(database)
{
    sqlite3* db = database_.getHandle();
    ConnectionLock lock(db);
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &statement_, nullptr) != SQLITE_OK) {
        lastErrorCode_ = sqlite3_extended_errcode(db);
        database_.setLastErrorCode(lastErrorCode_);
        sqlite3_finalize(statement_);
        statement_ = nullptr;
    }
}

SqliteQuery::~SqliteQuery()
{
    sqlite3_finalize(statement_);
}

int SqliteQuery::parameterIndex(const std::string& name) const
{
    if (statement_ == nullptr) {
        return 0;
    }
    return sqlite3_bind_parameter_index(statement_, name.c_str());
}

bool SqliteQuery::bindParameter(const std::string& name, int value)
{
    const int index = parameterIndex(name);
    return index > 0 && sqlite3_bind_int(statement_, index, value) == SQLITE_OK;
}

bool SqliteQuery::bindParameter(const std::string& name, std::int64_t value)
{
    const int index = parameterIndex(name);
    return index > 0 && sqlite3_bind_int64(statement_, index, value) == SQLITE_OK;
}

bool SqliteQuery::bindParameter(const std::string& name, double value)
{
    const int index = parameterIndex(name);
    return index > 0 && sqlite3_bind_double(statement_, index, value) == SQLITE_OK;
}

bool SqliteQuery::bindParameter(const std::string& name, const std::string& value, BindMode mode)
{
    const int index = parameterIndex(name);
    return index > 0 && sqlite3_bind_text64(statement_, index, value.data(), value.size(), destructorFor(mode),
                                            SQLITE_UTF8) == SQLITE_OK;
}

bool SqliteQuery::bindParameter(const std::string& name, const std::vector<std::uint8_t>& value, BindMode mode)
{
    const int index = parameterIndex(name);
    if (index <= 0) {
        return false;
    }
    // A null pointer would bind NULL; an empty payload must stay an empty blob.
    if (value.empty()) {
        return sqlite3_bind_zeroblob(statement_, index, 0) == SQLITE_OK;
    }
    return sqlite3_bind_blob64(statement_, index, value.data(), value.size(), destructorFor(mode)) == SQLITE_OK;
}

bool SqliteQuery::bindNull(const std::string& name)
{
    const int index = parameterIndex(name);
    return index > 0 && sqlite3_bind_null(statement_, index) == SQLITE_OK;
}

QueryResult SqliteQuery::executeStep()
{
    sqlite3* db = database_.getHandle();
    if (statement_ == nullptr) {
        return QueryResult::Error;
    }
    ConnectionLock lock(db);
    const int rc = sqlite3_step(statement_);
    if (rc == SQLITE_ROW) {
        return QueryResult::Row;
    }
    if (rc == SQLITE_DONE) {
        insertedRowId_ = sqlite3_last_insert_rowid(db);
        return QueryResult::Done;
    }
    lastErrorCode_ = sqlite3_extended_errcode(db);
    database_.setLastErrorCode(lastErrorCode_);
    // A failed step leaves the statement needing a reset before it can run again.
    sqlite3_reset(statement_);
    return (rc & 0xff) == SQLITE_BUSY ? QueryResult::Busy : QueryResult::Error;
}

bool SqliteQuery::resetQuery()
{
    if (statement_ == nullptr) {
        return false;
    }
    ConnectionLock lock(database_.getHandle());
    sqlite3_reset(statement_);
    return sqlite3_clear_bindings(statement_) == SQLITE_OK;
}

int SqliteQuery::getColumnCount() const
{
    return statement_ == nullptr ? 0 : sqlite3_column_count(statement_);
}

std::optional<ColumnValue> SqliteQuery::getValueFromColumn(int columnIndex) const
{
    std::optional<ColumnValue> value;
    if (statement_ == nullptr || columnIndex < 0 || columnIndex >= sqlite3_column_count(statement_)) {
        return value;
    }
    // Built in place: GCC 12 at -O1 misreports copies of a vector alternative
    // as possibly uninitialised.
    switch (sqlite3_column_type(statement_, columnIndex)) {
    case SQLITE_INTEGER:
        value.emplace(std::in_place_index<0>, sqlite3_column_int64(statement_, columnIndex));
        break;
    case SQLITE_FLOAT:
        value.emplace(std::in_place_index<1>, sqlite3_column_double(statement_, columnIndex));
        break;
    case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, columnIndex));
        const auto size = static_cast<std::size_t>(sqlite3_column_bytes(statement_, columnIndex));
        value.emplace(std::in_place_index<2>, text != nullptr ? text : "", text != nullptr ? size : 0);
        break;
    }
    case SQLITE_BLOB: {
        const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement_, columnIndex));
        const int size = sqlite3_column_bytes(statement_, columnIndex);
        value.emplace(std::in_place_index<3>);
        if (data != nullptr && size > 0) {
            std::get<3>(*value).assign(data, data + size);
        }
        break;
    }
    default:
        break;
    }
    return value;
}

std::optional<int> getValueFromColumn(const SqliteQuery& query, int columnIndex)
{
    const auto value = query.getValueFromColumn(columnIndex);
    if (!value) {
        return std::nullopt;
    }
    if (const auto* integer = std::get_if<std::int64_t>(&*value)) {
        if (*integer < std::numeric_limits<int>::min() || *integer > std::numeric_limits<int>::max()) {
            return std::nullopt;
        }
        return static_cast<int>(*integer);
    }
    return std::nullopt;
}

std::optional<int> requireType(const std::optional<PropertyValue>& value)
{
    if (!value) {
        return std::nullopt;
    }
    if (const auto* small = std::get_if<std::int32_t>(&*value)) {
        return *small;
    }
    if (const auto* integer = std::get_if<std::int64_t>(&*value)) {
        if (*integer < std::numeric_limits<int>::min() || *integer > std::numeric_limits<int>::max()) {
            return std::nullopt;
        }
        return static_cast<int>(*integer);
    }
    return std::nullopt;
}

} // namespace Keldar::Database
