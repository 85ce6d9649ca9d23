#include <keldar/logging/SqliteLogFile.h>

#include "LogFileImpl.h"
#include "PayloadCodec.h"

#include <keldar/database/BindParameterVisitor.h>
#include <keldar/database/FileIsNotDatabase.h>
#include <keldar/database/ReturnPropertyValueVisitor.h>
#include <keldar/database/SqliteQuery.h>
#include <keldar/logging/LegacyLogFileError.h>
#include <keldar/logging/NotALogFileError.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <functional>
#include <limits>
#include <string_view>

#include <stdlib.h>
#include <unistd.h>

namespace Keldar::Logging {

using Database::BindMode;
using Database::ColumnValue;
using Database::QueryResult;
using Database::SqliteDatabase;
using Database::SqliteQuery;

namespace {

constexpr std::uint32_t legacyLogMagic = 0x11223344;

constexpr std::array<const char*, 9> schemaStatements{
    "CREATE TABLE dataSources(dataSourceId INTEGER PRIMARY KEY,dataSourceType INT NOT NULL,"
    "dataSourceName TEXT NOT NULL);",
    "CREATE TABLE dataSourceProperties(dataSourceId INT NOT NULL REFERENCES dataSources(dataSourceId),"
    "key TEXT NOT NULL,value NOT NULL);",
    "CREATE INDEX dataSourcePropertiesIndex ON dataSourceProperties(dataSourceId);",
    "CREATE TABLE data(entryId INTEGER PRIMARY KEY,timestamp INT NOT NULL,type INT NOT NULL,"
    "dataSourceId INT NOT NULL REFERENCES dataSources(dataSourceId),length INT NOT NULL,payload BLOB NOT NULL);",
    "CREATE INDEX dataDataSourceIndex ON data(dataSourceId);",
    "CREATE TABLE metadata(key TEXT NOT NULL, value NOT NULL);",
    "CREATE TABLE resources(name TEXT NOT NULL, payload NOT NULL);",
    "CREATE TABLE bookmarks(entryId INT NOT NULL REFERENCES data(entryId), title TEXT NOT NULL, "
    "comments TEXT, payload BLOB);",
    "CREATE INDEX bookmarkIndex ON bookmarks(entryId);",
};
constexpr std::array<const char*, 6> logTables{
    "dataSources", "dataSourceProperties", "data", "metadata", "resources", "bookmarks",
};

constexpr int currentLogVersion = 4;

// SQLite's code for a uniqueness refusal, also given when a metadata key or
// resource name that exists is refused before any statement runs.
constexpr int refusedAsDuplicate = 2067;

enum class WriteOperation { Other, LogData, AddDataSourceProperty };

std::string messageForErrorCode(int code, WriteOperation operation)
{
    // SQLite's extended codes keep the primary code in the low byte.
    if (code == 1544) {
        return "The folder of the log file is read-only.";
    }
    if ((code & 0xFF) == 8) {
        return "The log file is read-only.";
    }
    switch (code) {
    case 13:
        return "Filesystem full.";
    case 266:
    case 778:
        return "IO error while reading or writing to the file.";
    case 787:
        if (operation == WriteOperation::LogData) {
            return "Attempted to log data against a data source that did not exist in the file.";
        }
        if (operation == WriteOperation::AddDataSourceProperty) {
            return "Attempted to add a data source property for a data source that did not exist in the file.";
        }
        return "Unknown internal error";
    default:
        return "Unknown internal error";
    }
}

PropertyValue toPropertyValue(const ColumnValue& value)
{
    return std::visit(Database::ReturnPropertyValueVisitor{}, value);
}

std::optional<std::int64_t> asInteger(const std::optional<ColumnValue>& value)
{
    if (!value) {
        return std::nullopt;
    }
    if (const auto* integer = std::get_if<std::int64_t>(&*value)) {
        return *integer;
    }
    return std::nullopt;
}

std::string asText(const std::optional<ColumnValue>& value)
{
    if (!value) {
        return {};
    }
    if (const auto* text = std::get_if<std::string>(&*value)) {
        return *text;
    }
    if (const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&*value)) {
        return std::string(bytes->begin(), bytes->end());
    }
    return {};
}

// Blob columns may hold text in files written by other tools; both carry bytes.
std::optional<std::vector<std::uint8_t>> asBytes(const std::optional<ColumnValue>& value)
{
    if (!value) {
        return std::nullopt;
    }
    if (const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&*value)) {
        return *bytes;
    }
    if (const auto* text = std::get_if<std::string>(&*value)) {
        return std::vector<std::uint8_t>(text->begin(), text->end());
    }
    return std::nullopt;
}

std::int32_t clampToInt32(std::int64_t value)
{
    if (value < std::numeric_limits<std::int32_t>::min()) {
        return std::numeric_limits<std::int32_t>::min();
    }
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(value);
}

// Builds the filter clause and remembers how to bind it.
std::string buildFilterClause(const EntryIndexFilter& filter)
{
    std::string clause;
    bool anyColumn = false;
    const auto appendList = [&](const char* column, const char* parameter, std::size_t count) {
        if (count == 0) {
            return;
        }
        clause += anyColumn ? " AND " : " ";
        clause += column;
        clause += " IN (";
        for (std::size_t i = 0; i < count; ++i) {
            if (i > 0) {
                clause += ", ";
            }
            clause += parameter + std::to_string(i);
        }
        clause += ")";
        anyColumn = true;
    };
    appendList("data.type", ":type", filter.dataTypes.size());
    appendList("data.dataSourceId", ":source", filter.dataSources.size());
    appendList("dataSources.dataSourceType", ":sourceType", filter.dataSourceTypes.size());
    if (!anyColumn) {
        return {};
    }
    // The first column follows "WHERE " directly.
    return "WHERE" + clause;
}

void bindFilter(SqliteQuery& query, const EntryIndexFilter& filter)
{
    for (std::size_t i = 0; i < filter.dataTypes.size(); ++i) {
        query.bindParameter(":type" + std::to_string(i), static_cast<std::int64_t>(filter.dataTypes[i]));
    }
    for (std::size_t i = 0; i < filter.dataSources.size(); ++i) {
        query.bindParameter(":source" + std::to_string(i), static_cast<int>(filter.dataSources[i]));
    }
    for (std::size_t i = 0; i < filter.dataSourceTypes.size(); ++i) {
        query.bindParameter(":sourceType" + std::to_string(i), static_cast<int>(filter.dataSourceTypes[i]));
    }
}

std::optional<std::int64_t> countRows(SqliteDatabase& database, const std::string& sql,
                                      const EntryIndexFilter* filter = nullptr)
{
    SqliteQuery query(database, sql);
    if (filter != nullptr) {
        bindFilter(query, *filter);
    }
    if (query.executeStep() != QueryResult::Row) {
        return std::nullopt;
    }
    return asInteger(query.getValueFromColumn(0));
}

std::size_t reserveSize(std::optional<std::int64_t> count)
{
    // A count is only a hint; a damaged file must not make us reserve gigabytes.
    constexpr std::int64_t maximumReserve = 1 << 20;
    if (!count || *count <= 0) {
        return 0;
    }
    return static_cast<std::size_t>(std::min(*count, maximumReserve));
}

enum class Signature { None, Legacy, Database };

Signature readSignature(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::array<char, 16> bytes{};
    file.read(bytes.data(), bytes.size());
    const auto got = file.gcount();
    if (got >= 4) {
        const auto byte = [&bytes](std::size_t i) {
            return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]));
        };
        if ((byte(0) | (byte(1) << 8) | (byte(2) << 16) | (byte(3) << 24)) == legacyLogMagic) {
            return Signature::Legacy;
        }
    }
    static constexpr char sqliteHeader[] = "SQLite format 3"; // with its terminating zero: 16 bytes
    if (got == static_cast<std::streamsize>(bytes.size()) &&
        std::equal(bytes.begin(), bytes.end(), std::begin(sqliteHeader))) {
        return Signature::Database;
    }
    return Signature::None;
}

void throwForNonDatabase(const std::filesystem::path& path)
{
    switch (readSignature(path)) {
    case Signature::Legacy:
        throw LegacyLogFileError();
    case Signature::Database:
        // SQLite's own header, then contents it cannot read.
        throw DamagedLogFileError();
    default:
        throw NotALogFileError();
    }
}

struct CreationMetadata
{
    std::string timeZone;
    std::string applicationName;
    std::string applicationVersion;
    std::int8_t compressionLevel;
    std::int64_t createdDateTime;
};

bool insertMetadata(SqliteDatabase& database, const std::string& key, const PropertyValue& value)
{
    SqliteQuery insert(database, "INSERT INTO metadata (key, value) VALUES (:key, :value);");
    insert.bindParameter(":key", key, BindMode::NoCopy);
    std::visit(Database::BindParameterVisitor(insert, ":value", BindMode::Copy), value);
    return insert.executeStep() == QueryResult::Done;
}

// Schema and, for a created log, its standard metadata go in one transaction,
// so an interrupted creation never leaves a file with only some of the tables.
bool createSchema(SqliteDatabase& database, const CreationMetadata* creation)
{
    // Sonar payloads are tens to hundreds of kilobytes. Against 4 KB pages,
    // 16 KB pages cut the time per entry by more than half; against 64 KB
    // pages they write about 13 % fewer bytes per byte stored, because every
    // commit rewrites the table and index leaf pages whole, and cost a
    // fraction of a millisecond per entry (logging_bench,
    // BM_RecordingPageSize). Only takes effect before the first table.
    database.executeSimpleQuery("PRAGMA page_size = 16384;");
    if (!database.executeSimpleQuery("BEGIN IMMEDIATE;")) {
        return false;
    }
    bool ok = true;
    for (const char* statement : schemaStatements) {
        ok = ok && database.executeSimpleQuery(statement);
    }
    if (ok && creation != nullptr) {
        ok = insertMetadata(database, "createdDateTime", creation->createdDateTime) &&
             insertMetadata(database, "applicationName", creation->applicationName) &&
             insertMetadata(database, "applicationVersion", creation->applicationVersion) &&
             insertMetadata(database, "currentTimeZone", creation->timeZone) &&
             insertMetadata(database, "logVersion", std::int32_t{currentLogVersion}) &&
             insertMetadata(database, "compressionLevel", std::int32_t{creation->compressionLevel});
    }
    if (!ok) {
        database.executeSimpleQuery("ROLLBACK;");
        return false;
    }
    return database.executeSimpleQuery("COMMIT;");
}

bool hasAllLogTables(SqliteDatabase& database)
{
    SqliteQuery query(database, "SELECT name FROM sqlite_master WHERE type='table' AND name=:tableName;");
    std::size_t found = 0;
    for (const char* table : logTables) {
        query.resetQuery();
        query.bindParameter(":tableName", std::string(table), BindMode::Copy);
        if (query.executeStep() == QueryResult::Row) {
            ++found;
        }
    }
    return found == logTables.size();
}

bool enableWriteAheadLog(SqliteDatabase& database)
{
    SqliteQuery query(database, "PRAGMA journal_mode = WAL;");
    if (query.executeStep() != QueryResult::Row) {
        return false;
    }
    return asText(query.getValueFromColumn(0)) == "wal";
}

// Some older files carry a bookmarks table whose foreign key SQLite cannot
// check ("foreign key mismatch"): every insert into it would be refused.
// Such a table is left as it is and written without the check; entries are
// never deleted, so a bookmark cannot lose its entry. False when the file
// cannot be read far enough to tell (a damaged page).
bool allowUncheckableBookmarks(LogFileImpl& impl, SqliteDatabase& database)
{
    if (database.executeSimpleQuery("PRAGMA foreign_key_check(bookmarks);")) {
        return true;
    }
    const int code = database.getLastErrorCode() & 0xFF;
    if (code == 11 || code == 26) { // SQLITE_CORRUPT, SQLITE_NOTADB
        impl.pagesDamaged = true;
        return false;
    }
    database.executeSimpleQuery("PRAGMA foreign_keys = off;");
    return true;
}

std::int64_t readIntegerMetadata(const SqliteLogFile& file, const std::string& key)
{
    return integerOrZero(file.getMetadataValue(key));
}

bool isMissingOrEmpty(const std::filesystem::path& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error || size == 0;
}

// Whether the file is shorter than its SQLite header says: the disk lost its
// end, as a power loss while recording can do. The header's page count only
// counts when its copy of the change counter matches.
bool isCutShort(const std::filesystem::path& path)
{
    std::array<unsigned char, 100> header{};
    std::ifstream in(path, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(header.data()), header.size()) ||
        std::string_view(reinterpret_cast<const char*>(header.data()), 16) !=
            std::string_view("SQLite format 3\0", 16) ||
        !std::equal(header.begin() + 24, header.begin() + 28, header.begin() + 92)) {
        return false;
    }
    const auto bigEndian = [&](std::size_t at, std::size_t width) {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < width; ++i) {
            value = (value << 8U) | header[at + i];
        }
        return value;
    };
    const std::uint64_t pageSize = bigEndian(16, 2) == 1 ? 65536 : bigEndian(16, 2);
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return !error && bigEndian(28, 4) * pageSize > size;
}

// Copies the log and its journal into a private folder of their own, where
// SQLite may roll the journal back or fold the write-ahead log in without
// touching the original. Empty when the copy could not be made.
std::filesystem::path copyWithJournal(const std::filesystem::path& log)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "keldar-log-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        return {};
    }
    const std::filesystem::path folder(pattern);
    const std::filesystem::path copy = folder / "copy.ondrix";
    std::error_code error;
    // The journal first: pages the writer copied into the file meanwhile are
    // then in the file's copy too.
    for (const char* suffix : {"-wal", "-journal"}) {
        const std::filesystem::path journal(log.string() + suffix);
        if (std::filesystem::exists(journal, error)) {
            std::filesystem::copy_file(journal, copy.string() + suffix, error);
            if (error) {
                std::filesystem::remove_all(folder, error);
                return {};
            }
        }
    }
    std::filesystem::copy_file(log, copy, error);
    if (error) {
        std::filesystem::remove_all(folder, error);
        return {};
    }
    return folder;
}

// A log is only switched to the write-ahead log by a handle that creates it
// (a recording or an export). An existing log opened for reading is opened
// immutable: its bytes, any journal beside it and its folder stay exactly as
// they were. A journal left beside it by a writer that stopped is applied to
// a private copy instead. With Access::ReadWriteExisting the file is opened
// for writing only when a write first asks for it (see writeConnection).
void openLog(LogFileImpl& impl, const std::filesystem::path& path, const CreationMetadata* creation, bool readOnly,
             bool mayCreate = true)
{
    impl.filePath = path;
    // What is left of a file cut short is read, never written.
    impl.endIsDamaged = isCutShort(path);
    const bool writesWanted = !readOnly;
    readOnly = readOnly || impl.endIsDamaged;
    try {
        const bool creating = !readOnly && mayCreate && isMissingOrEmpty(path);
        auto mode = creating ? Database::OpenMode::ReadWriteCreate : Database::OpenMode::ReadWrite;
        std::filesystem::path opened = path;
        if (readOnly || !mayCreate) {
            mode = impl.endIsDamaged ? Database::OpenMode::ReadOnlyCutShort : Database::OpenMode::ReadOnlyUnchanging;
            impl.writeOnDemand = writesWanted;
            impl.openedMidWrite = SqliteLogFile::hasJournalBeside(path);
            if (impl.openedMidWrite) {
                impl.privateCopy = copyWithJournal(path);
                if (!impl.privateCopy.empty()) {
                    opened = impl.privateCopy / "copy.ondrix";
                    mode = impl.endIsDamaged ? Database::OpenMode::ReadWriteCutShort : Database::OpenMode::ReadWrite;
                }
            }
        }
        impl.database = std::make_unique<SqliteDatabase>(opened.string(), mode);
        SqliteDatabase& database = *impl.database;
        database.executeSimpleQuery("PRAGMA foreign_keys = on;");

        const auto tableCount = countRows(database, "SELECT COUNT(*) FROM sqlite_master WHERE type='table';");
        if (!tableCount || (*tableCount == 0 && (readOnly || !mayCreate))) {
            throw NotALogFileError();
        }
        if (*tableCount == 0) {
            if (!createSchema(database, creation)) {
                throw Database::DatabaseError("Cannot create the log file schema.", database.getLastErrorCode());
            }
            impl.isNew = true;
        } else if (!hasAllLogTables(database)) {
            throw NotALogFileError();
        }
        if (!impl.isNew) {
            if (mode == Database::OpenMode::ReadWrite && opened == path) {
                allowUncheckableBookmarks(impl, database);
            } else {
                // An immutable connection would take writes into its cache
                // alone, and a private copy's are lost on close: this
                // connection only reads; writes go through writeConnection.
                database.executeSimpleQuery("PRAGMA query_only = 1;");
            }
            return;
        }

        // A write-ahead log keeps every committed entry through a crash of the
        // writing process; without fsync on each commit it stays cheap.
        impl.writeAheadLogEnabled = enableWriteAheadLog(database);
        database.executeSimpleQuery("PRAGMA synchronous = NORMAL;");
        if (impl.writeAheadLogEnabled) {
            // Commits only append to the log; a helper thread copies it into
            // the database. The writer's own checkpoint stays as a backstop
            // should the helper fall far behind.
            database.executeSimpleQuery("PRAGMA wal_autocheckpoint = 16384;");
            impl.checkpointer =
                std::make_unique<Database::BackgroundCheckpointer>(path.string(), std::chrono::milliseconds(50));
        }
    } catch (const Database::FileIsNotDatabase&) {
        impl.database.reset();
        throwForNonDatabase(path);
    }
}

} // namespace

LogFileImpl::~LogFileImpl()
{
    checkpointer.reset();
    if (!privateCopy.empty()) {
        database.reset();
        std::error_code error;
        std::filesystem::remove_all(privateCopy, error);
        return;
    }
    if (!database || !writeAheadLogEnabled) {
        return;
    }
    try {
        // Leave an ordinary single-file database behind. Both steps fail
        // harmlessly while another connection still has the file open.
        database->executeSimpleQuery("PRAGMA wal_checkpoint(TRUNCATE);");
        database->executeSimpleQuery("PRAGMA journal_mode = DELETE;");
    } catch (...) {
        // Closing must not throw; the -wal file will be recovered on next open.
    }
}

Database::SqliteDatabase* LogFileImpl::writeConnection()
{
    if (!writeOnDemand || writer) {
        return writer ? writer.get() : database.get();
    }
    const char* refusal = nullptr;
    if (openedMidWrite) {
        refusal = "The recording was cut off while it was being written: recover it into a new file to change it.";
    } else if (endIsDamaged || pagesDamaged) {
        refusal = "The log file is damaged: recover it into a new file to change it.";
    }
    if (refusal == nullptr) {
        try {
            auto opened = std::make_unique<SqliteDatabase>(filePath.string(), Database::OpenMode::ReadWrite);
            opened->executeSimpleQuery("PRAGMA foreign_keys = on;");
            if (allowUncheckableBookmarks(*this, *opened)) {
                writer = std::move(opened);
                return writer.get();
            }
            refusal = "The log file is damaged: recover it into a new file to change it.";
        } catch (const std::exception& error) {
            setLastError(std::string("The log file cannot be opened for writing: ") + error.what());
            lastWriteErrorCode = 14; // SQLITE_CANTOPEN
            return nullptr;
        }
    }
    setLastError(refusal);
    lastWriteErrorCode = 11; // SQLITE_CORRUPT: refused for the file's state
    return nullptr;
}

void LogFileImpl::setLastError(std::string message)
{
    std::lock_guard lock(errorMutex_);
    lastError_ = std::move(message);
}

std::string LogFileImpl::getLastError() const
{
    std::lock_guard lock(errorMutex_);
    return lastError_;
}

SqliteLogFile::SqliteLogFile(const std::filesystem::path& path)
    : impl_(std::make_unique<LogFileImpl>())
{
    openLog(*impl_, path, nullptr, false);
    readVersion();
}

SqliteLogFile::SqliteLogFile(const std::filesystem::path& path, Access access)
    : impl_(std::make_unique<LogFileImpl>())
{
    openLog(*impl_, path, nullptr, access == Access::ReadOnly, access == Access::ReadWrite);
    readVersion();
}

void SqliteLogFile::readVersion()
{
    if (!impl_->isNew) {
        impl_->logVersion = clampToInt32(readIntegerMetadata(*this, "logVersion"));
        const std::int64_t level = readIntegerMetadata(*this, "compressionLevel");
        impl_->compressionLevel = static_cast<std::int8_t>(std::clamp<std::int64_t>(
            level, std::numeric_limits<std::int8_t>::min(), std::numeric_limits<std::int8_t>::max()));
    }
}

SqliteLogFile::SqliteLogFile(const std::string& path, const std::string& timeZone, const std::string& applicationName,
                             const std::string& applicationVersion, std::int8_t compressionLevel,
                             std::int64_t createdDateTime)
    : impl_(std::make_unique<LogFileImpl>())
{
    const CreationMetadata creation{timeZone, applicationName, applicationVersion, compressionLevel, createdDateTime};
    openLog(*impl_, std::filesystem::path(path), &creation, false);
    if (!impl_->isNew) {
        // Never write a second set of standard metadata into someone's log.
        impl_.reset();
        throw std::runtime_error("Cannot create file as file already exists.");
    }
    impl_->compressionLevel = compressionLevel;
    impl_->logVersion = currentLogVersion;
}

SqliteLogFile::~SqliteLogFile() = default;

bool SqliteLogFile::hasLogFileSignature(const std::filesystem::path& path)
{
    return readSignature(path) != Signature::None;
}

bool SqliteLogFile::hasJournalBeside(const std::filesystem::path& path)
{
    for (const char* suffix : {"-wal", "-journal"}) {
        std::error_code error;
        const auto size = std::filesystem::file_size(std::filesystem::path(path.string() + suffix), error);
        if (!error && size > 0) {
            return true;
        }
    }
    return false;
}
SqliteLogFile::SqliteLogFile(SqliteLogFile&& other) noexcept = default;
SqliteLogFile& SqliteLogFile::operator=(SqliteLogFile&& other) noexcept = default;

std::filesystem::path SqliteLogFile::getFilePath() const
{
    return impl_->filePath;
}

std::vector<DataSource> SqliteLogFile::getDataSources() const
{
    std::vector<DataSource> sources;
    SqliteQuery query(*impl_->database, "SELECT dataSourceId, dataSourceType, dataSourceName FROM dataSources;");
    while (query.executeStep() == QueryResult::Row) {
        DataSource source;
        source.id = static_cast<std::int8_t>(asInteger(query.getValueFromColumn(0)).value_or(-1));
        source.type = static_cast<KD_LogDataSourceType>(asInteger(query.getValueFromColumn(1)).value_or(0));
        source.name = asText(query.getValueFromColumn(2));
        sources.push_back(std::move(source));
    }
    return sources;
}

namespace {

// The first column of the statement's first row as a property value; empty for
// no row or SQL NULL.
std::optional<PropertyValue> firstValueAsProperty(SqliteQuery& query)
{
    if (query.executeStep() != QueryResult::Row) {
        return std::nullopt;
    }
    const auto value = query.getValueFromColumn(0);
    if (!value) {
        return std::nullopt;
    }
    return toPropertyValue(*value);
}

} // namespace

std::optional<PropertyValue> SqliteLogFile::getDataSourceProperty(int dataSourceId, const std::string& key) const
{
    SqliteQuery query(*impl_->database,
                      "SELECT value FROM dataSourceProperties WHERE dataSourceId = :id AND key = :key;");
    query.bindParameter(":id", dataSourceId);
    query.bindParameter(":key", key, BindMode::NoCopy);
    return firstValueAsProperty(query);
}

std::vector<DataSourceProperty> SqliteLogFile::getAllDataSourceProperties() const
{
    std::vector<DataSourceProperty> properties;
    properties.reserve(reserveSize(countRows(*impl_->database, "SELECT COUNT(*) FROM dataSourceProperties;")));
    SqliteQuery query(*impl_->database, "SELECT dataSourceId, key, value FROM dataSourceProperties;");
    while (query.executeStep() == QueryResult::Row) {
        const auto value = query.getValueFromColumn(2);
        if (!value) {
            continue;
        }
        DataSourceProperty property;
        property.dataSourceId = static_cast<std::int8_t>(asInteger(query.getValueFromColumn(0)).value_or(-1));
        property.key = asText(query.getValueFromColumn(1));
        property.value = toPropertyValue(*value);
        properties.push_back(std::move(property));
    }
    return properties;
}

namespace {

// The first id at or after `from` from which `reads` succeeds again, past a
// run of unreadable pages: the ids a damaged page held form one range, so
// a doubling step finds the far side and halving finds its edge.
std::optional<std::int64_t> firstReadableFrom(const std::function<bool(std::int64_t)>& reads, std::int64_t from)
{
    constexpr std::int64_t lastId = std::numeric_limits<std::int32_t>::max();
    std::int64_t unreadable = from;
    std::optional<std::int64_t> readable;
    for (std::int64_t step = 1; from + step <= lastId; step *= 2) {
        if (reads(from + step)) {
            readable = from + step;
            break;
        }
        unreadable = from + step;
    }
    if (!readable) {
        return std::nullopt;
    }
    while (*readable - unreadable > 1) {
        const std::int64_t middle = unreadable + (*readable - unreadable) / 2;
        (reads(middle) ? *readable : unreadable) = middle;
    }
    return readable;
}

} // namespace

std::vector<std::int32_t> SqliteLogFile::getEntryIndex(const EntryIndexFilter& filter) const
{
    auto index = listEntryIds(filter);
    if (impl_->entriesChecked) {
        // A filtered listing may go by an index whose pages outlived the
        // table's: only the entries found to read are kept.
        const auto& readable = impl_->readableIds;
        std::erase_if(
            index, [&readable](std::int32_t id) { return !std::binary_search(readable.begin(), readable.end(), id); });
    } else if (impl_->endIsDamaged || impl_->pagesDamaged) {
        // The index may outlive the entries it points to, and the pages lost
        // are not only the last entries': keep every entry that reads whole.
        std::erase_if(index, [this](std::int32_t id) { return !readEntry(id); });
    }
    return index;
}

std::vector<std::int32_t> SqliteLogFile::listEntryIds(const EntryIndexFilter& filter) const
{
    const std::string join =
        "FROM data INNER JOIN dataSources ON data.dataSourceId = dataSources.dataSourceId " + buildFilterClause(filter);
    std::string clause = buildFilterClause(filter);
    clause += clause.empty() ? "WHERE" : " AND";
    std::vector<std::int32_t> index;
    index.reserve(reserveSize(countRows(*impl_->database, "SELECT COUNT(*) " + join + ";", &filter)));
    const std::string listing = "SELECT data.entryId FROM data INNER JOIN dataSources ON data.dataSourceId = "
                                "dataSources.dataSourceId " +
                                clause + " data.entryId >= :from ORDER BY data.entryId";
    SqliteQuery query(*impl_->database, listing + ";");
    // Whether the listing itself can be read from `from` on (its first row,
    // or the end): the same query as the listing's, so that a round started
    // there lists at least one entry or ends, and the rounds always end.
    const auto listingReadsFrom = [&](std::int64_t start) {
        SqliteQuery probe(*impl_->database, listing + " LIMIT 1;");
        bindFilter(probe, filter);
        probe.bindParameter(":from", start);
        const auto step = probe.executeStep();
        return step == QueryResult::Row || step == QueryResult::Done;
    };
    std::int64_t from = std::numeric_limits<std::int32_t>::min();
    while (true) {
        query.resetQuery();
        bindFilter(query, filter);
        query.bindParameter(":from", from);
        QueryResult step = QueryResult::Done;
        while ((step = query.executeStep()) == QueryResult::Row) {
            if (const auto id = asInteger(query.getValueFromColumn(0))) {
                index.push_back(clampToInt32(*id));
            }
        }
        if (step == QueryResult::Done) {
            break;
        }
        // A page of the table cannot be read: go on past it, so that every
        // entry on the pages that read is listed.
        impl_->pagesDamaged = true;
        const std::int64_t next = index.empty() ? from : std::max<std::int64_t>(from, index.back() + std::int64_t{1});
        const auto readable = firstReadableFrom(listingReadsFrom, next);
        if (!readable || *readable <= from) {
            break;
        }
        from = *readable;
    }
    return index;
}

std::optional<SqliteLogFile::EntryCount>
SqliteLogFile::checkEntries(const std::function<bool(std::int64_t done, std::int64_t total)>& progress) const
{
    if (impl_->entriesChecked) {
        return EntryCount{impl_->listedEntries, impl_->readableEntries};
    }
    const auto ids = listEntryIds(EntryIndexFilter{});
    EntryCount count;
    if (!ids.empty()) {
        // Entries are numbered in turn: ids missing between the first and the
        // last were on pages that no longer read. The index by source lists
        // them too, on pages of its own, which may outlive the table's last.
        std::int64_t last = ids.back();
        SqliteQuery indexed(*impl_->database, "SELECT entryId FROM data INDEXED BY dataDataSourceIndex;");
        while (indexed.executeStep() == QueryResult::Row) {
            last = std::max(last, asInteger(indexed.getValueFromColumn(0)).value_or(last));
        }
        count.listed =
            std::max<std::int64_t>(static_cast<std::int64_t>(ids.size()), last - std::int64_t{ids.front()} + 1);
    }
    const auto total = static_cast<std::int64_t>(ids.size());
    std::vector<std::int32_t> readable;
    DataEntry entry;
    for (std::int64_t done = 0; done < total; ++done) {
        if (progress && done % 64 == 0 && !progress(done, total)) {
            return std::nullopt;
        }
        const std::int32_t id = ids[static_cast<std::size_t>(done)];
        if (readEntryInto(id, entry)) {
            ++count.readable;
            readable.push_back(id);
        }
    }
    if (count.readable < count.listed) {
        impl_->pagesDamaged = true;
    }
    impl_->readableIds = std::move(readable);
    impl_->listedEntries = count.listed;
    impl_->readableEntries = count.readable;
    impl_->entriesChecked = true;
    return count;
}

bool SqliteLogFile::lookForDamage() const
{
    if (!isDamaged()) {
        listEntryIds(EntryIndexFilter{});
    }
    return isDamaged();
}

bool SqliteLogFile::isDamaged() const
{
    return impl_->endIsDamaged || impl_->pagesDamaged;
}

bool SqliteLogFile::openedMidWrite() const
{
    return impl_->openedMidWrite;
}

std::string SqliteLogFile::writeRefusal() const
{
    const LogFileImpl& impl = *impl_;
    if (impl.writer || (!impl.writeOnDemand && impl.privateCopy.empty() && !impl.endIsDamaged && impl.database &&
                        !impl.database->isReadOnly())) {
        return {};
    }
    if (!impl.writeOnDemand) {
        return "the log file was opened read-only.";
    }
    if (impl.openedMidWrite) {
        return "the recording was cut off while it was being written; recover it into a new file to change it.";
    }
    if (impl.endIsDamaged || impl.pagesDamaged) {
        return "the log file is damaged; recover it into a new file to change it.";
    }
    if (::access(impl.filePath.c_str(), W_OK) != 0) {
        return "the log file is read-only.";
    }
    const auto folder = impl.filePath.has_parent_path() ? impl.filePath.parent_path() : std::filesystem::path(".");
    if (::access(folder.c_str(), W_OK) != 0) {
        return "the folder of the log file is read-only.";
    }
    return {};
}

std::vector<std::int64_t> SqliteLogFile::getEntryTimestamps(const EntryIndexFilter& filter) const
{
    // The timestamp column comes before the payload: no payload is read.
    const std::string join =
        "FROM data INNER JOIN dataSources ON data.dataSourceId = dataSources.dataSourceId " + buildFilterClause(filter);
    std::vector<std::int64_t> timestamps;
    if (isDamaged()) {
        // The entries that read, each looked up past the pages that do not:
        // one per entry of the index, still without its payload.
        SqliteQuery lookup(*impl_->database, "SELECT timestamp FROM data WHERE entryId = :entryId;");
        for (const std::int32_t id : getEntryIndex(filter)) {
            lookup.resetQuery();
            lookup.bindParameter(":entryId", id);
            const auto timestamp =
                lookup.executeStep() == QueryResult::Row ? asInteger(lookup.getValueFromColumn(0)) : std::nullopt;
            timestamps.push_back(timestamp ? *timestamp : timestamps.empty() ? 0 : timestamps.back());
        }
        return timestamps;
    }
    timestamps.reserve(reserveSize(countRows(*impl_->database, "SELECT COUNT(*) " + join + ";", &filter)));
    SqliteQuery query(*impl_->database, "SELECT entryId, data.timestamp " + join + " ORDER BY entryId;");
    bindFilter(query, filter);
    while (query.executeStep() == QueryResult::Row) {
        if (asInteger(query.getValueFromColumn(0))) {
            const auto timestamp = asInteger(query.getValueFromColumn(1));
            timestamps.push_back(timestamp ? *timestamp : timestamps.empty() ? 0 : timestamps.back());
        }
    }
    return timestamps;
}

namespace {

std::int32_t readCount(LogFileImpl& impl, const char* sql)
{
    SqliteQuery query(*impl.database, sql);
    const QueryResult result = query.executeStep();
    if (result == QueryResult::Row) {
        if (const auto value = asInteger(query.getValueFromColumn(0))) {
            return clampToInt32(*value);
        }
        impl.setLastError("The log file holds no data entries.");
        return -1;
    }
    impl.setLastError(messageForErrorCode(query.getLastErrorCode(), WriteOperation::Other));
    return -1;
}

// Decodes one entry row; columns: [entryId,] timestamp, type, dataSourceId, payload.
std::optional<DataEntry> entryFromRow(LogFileImpl& impl, const SqliteQuery& query, int firstColumn,
                                      std::int32_t entryId, bool decode = true)
{
    const auto timestamp = asInteger(query.getValueFromColumn(firstColumn));
    const auto type = asInteger(query.getValueFromColumn(firstColumn + 1));
    const auto source = asInteger(query.getValueFromColumn(firstColumn + 2));
    const auto stored = asBytes(query.getValueFromColumn(firstColumn + 3));
    if (!timestamp || !type || !source || !stored) {
        impl.setLastError("Data entry " + std::to_string(entryId) + " is damaged.");
        return std::nullopt;
    }
    auto payload = decode ? PayloadCodec::decode(*stored, impl.compressionLevel) : stored;
    if (!payload) {
        impl.setLastError("Data entry " + std::to_string(entryId) + " has a damaged payload.");
        return std::nullopt;
    }
    DataEntry entry;
    entry.entryId = entryId;
    entry.timestamp = *timestamp;
    entry.type = static_cast<std::uint32_t>(*type);
    entry.dataSourceId = static_cast<std::int8_t>(*source);
    entry.payload = std::move(*payload);
    return entry;
}

} // namespace

std::int32_t SqliteLogFile::getFirstEntryId() const
{
    return readCount(*impl_, "SELECT MIN(entryId) FROM data;");
}

std::int32_t SqliteLogFile::getLastEntryId() const
{
    return readCount(*impl_, "SELECT MAX(entryId) FROM data;");
}

std::int32_t SqliteLogFile::getEntryCount() const
{
    return readCount(*impl_, "SELECT COUNT(*) FROM data;");
}

std::optional<DataEntry> SqliteLogFile::readEntry(int entryId) const
{
    SqliteQuery query(*impl_->database,
                      "SELECT timestamp, type, dataSourceId, payload FROM data WHERE entryId = :entryId;");
    query.bindParameter(":entryId", entryId);
    if (query.executeStep() != QueryResult::Row) {
        return std::nullopt;
    }
    return entryFromRow(*impl_, query, 0, entryId);
}

bool SqliteLogFile::readEntryInto(int entryId, DataEntry& entry) const
{
    LogFileImpl& impl = *impl_;
    SqliteQuery query(*impl.database, "SELECT timestamp, type, dataSourceId FROM data WHERE entryId = :entryId;");
    query.bindParameter(":entryId", entryId);
    if (query.executeStep() != QueryResult::Row) {
        return false;
    }
    const auto timestamp = asInteger(query.getValueFromColumn(0));
    const auto type = asInteger(query.getValueFromColumn(1));
    const auto source = asInteger(query.getValueFromColumn(2));
    query.resetQuery();
    // Payloads are read straight into a buffer that lives from entry to entry:
    // allocating and freeing one of a sonar image's size per entry makes the
    // allocator return its pages to the system and fault them in again, which
    // costs more than reading the entry.
    const bool raw = impl.compressionLevel == 0;
    thread_local std::vector<std::uint8_t> stored;
    if (!timestamp || !type || !source ||
        !impl.database->readBlob("data", "payload", entryId, raw ? entry.payload : stored)) {
        impl.setLastError("Data entry " + std::to_string(entryId) + " is damaged.");
        return false;
    }
    if (!raw) {
        auto payload = PayloadCodec::decode(stored, impl.compressionLevel);
        if (!payload) {
            impl.setLastError("Data entry " + std::to_string(entryId) + " has a damaged payload.");
            return false;
        }
        entry.payload = std::move(*payload);
    }
    entry.entryId = entryId;
    entry.timestamp = *timestamp;
    entry.type = static_cast<std::uint32_t>(*type);
    entry.dataSourceId = static_cast<std::int8_t>(*source);
    return true;
}

std::vector<DataEntry> SqliteLogFile::readEntries(int first, int last, const EntryIndexFilter& filter, int limit) const
{
    return readEntryRange(first, last, filter, limit, true);
}

std::vector<DataEntry> SqliteLogFile::readStoredEntries(int first, int last, int limit) const
{
    return readEntryRange(first, last, EntryIndexFilter{}, limit, false);
}

bool SqliteLogFile::visitEntries(int first, int last, bool decode, const EntryVisitor& visit) const
{
    SqliteQuery query(*impl_->database,
                      "SELECT data.entryId, data.timestamp, data.type, data.dataSourceId, data.payload FROM data "
                      "INNER JOIN dataSources ON data.dataSourceId = dataSources.dataSourceId "
                      "WHERE (data.entryId BETWEEN :minimumEntryId AND :maximumEntryId) ORDER BY entryId;");
    query.bindParameter(":minimumEntryId", first);
    query.bindParameter(":maximumEntryId", last);
    while (true) {
        const QueryResult result = query.executeStep();
        if (result == QueryResult::Done) {
            return true;
        }
        if (result != QueryResult::Row) {
            return false;
        }
        const auto id = asInteger(query.getValueFromColumn(0));
        if (!id) {
            return false;
        }
        const std::int32_t entryId = clampToInt32(*id);
        if (!visit(entryId, entryFromRow(*impl_, query, 1, entryId, decode))) {
            return true;
        }
    }
}

int SqliteLogFile::getLastWriteErrorCode() const
{
    return impl_->lastWriteErrorCode;
}

std::vector<DataEntry> SqliteLogFile::readEntryRange(int first, int last, const EntryIndexFilter& filter, int limit,
                                                     bool decode) const
{
    if (first == -1) {
        first = getFirstEntryId();
    }
    if (last == -1) {
        last = getLastEntryId();
    }
    if (first == -1 || last == -1 || first > last || limit == 0) {
        return {};
    }
    std::string clause = buildFilterClause(filter);
    clause += clause.empty() ? "WHERE" : " AND";
    clause += " (data.entryId BETWEEN :minimumEntryId AND :maximumEntryId)";
    const std::string sql = "SELECT data.entryId, data.timestamp, data.type, data.dataSourceId, data.payload FROM data "
                            "INNER JOIN dataSources ON data.dataSourceId = dataSources.dataSourceId " +
                            clause + " ORDER BY entryId " + (limit >= 0 ? "LIMIT :limit" : "") + ";";
    SqliteQuery query(*impl_->database, sql);
    bindFilter(query, filter);
    query.bindParameter(":minimumEntryId", first);
    query.bindParameter(":maximumEntryId", last);
    if (limit >= 0) {
        query.bindParameter(":limit", limit);
    }
    std::vector<DataEntry> entries;
    if (limit > 0) {
        entries.reserve(std::min<std::size_t>(static_cast<std::size_t>(limit), 4096));
    }
    while (query.executeStep() == QueryResult::Row) {
        const auto id = asInteger(query.getValueFromColumn(0));
        if (!id) {
            continue;
        }
        if (auto entry = entryFromRow(*impl_, query, 1, clampToInt32(*id), decode)) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

std::optional<PropertyValue> SqliteLogFile::getMetadataValue(const std::string& key) const
{
    SqliteQuery query(*impl_->database, "SELECT value FROM metadata WHERE key = :key;");
    query.bindParameter(":key", key, BindMode::NoCopy);
    return firstValueAsProperty(query);
}

std::vector<LogMetadataEntry> SqliteLogFile::getAllMetadata() const
{
    std::vector<LogMetadataEntry> metadata;
    SqliteQuery query(*impl_->database, "SELECT key, value FROM metadata;");
    while (query.executeStep() == QueryResult::Row) {
        const auto value = query.getValueFromColumn(1);
        if (!value) {
            continue;
        }
        metadata.push_back(LogMetadataEntry{asText(query.getValueFromColumn(0)), toPropertyValue(*value)});
    }
    return metadata;
}

std::optional<std::vector<std::uint8_t>> SqliteLogFile::getResource(const std::string& name) const
{
    SqliteQuery query(*impl_->database, "SELECT payload FROM resources WHERE name = :name;");
    query.bindParameter(":name", name, BindMode::NoCopy);
    if (query.executeStep() != QueryResult::Row) {
        return std::nullopt;
    }
    const auto stored = asBytes(query.getValueFromColumn(0));
    if (!stored) {
        return std::nullopt;
    }
    const int level = isResourceCompressionSupported() ? impl_->compressionLevel : 0;
    auto data = PayloadCodec::decode(*stored, level);
    if (!data) {
        impl_->setLastError("Resource \"" + name + "\" is damaged.");
    }
    return data;
}

std::vector<LogResourceEntry> SqliteLogFile::getAllResources() const
{
    std::vector<LogResourceEntry> resources;
    SqliteQuery query(*impl_->database, "SELECT name, payload FROM resources;");
    const int level = isResourceCompressionSupported() ? impl_->compressionLevel : 0;
    while (query.executeStep() == QueryResult::Row) {
        const auto stored = asBytes(query.getValueFromColumn(1));
        auto name = asText(query.getValueFromColumn(0));
        auto data = stored ? PayloadCodec::decode(*stored, level) : std::nullopt;
        if (!data) {
            impl_->setLastError("Resource \"" + name + "\" is damaged.");
            continue;
        }
        resources.push_back(LogResourceEntry{std::move(name), std::move(*data)});
    }
    return resources;
}

std::optional<std::vector<std::uint8_t>> SqliteLogFile::getThumbnail() const
{
    return getResource("thumbnail");
}

std::vector<Bookmark> SqliteLogFile::getBookmarks() const
{
    const bool withPayload = isBookmarkPayloadsSupported();
    std::vector<Bookmark> bookmarks;
    SqliteQuery query(impl_->current(), withPayload ? "SELECT entryId, title, comments, payload FROM bookmarks;"
                                                    : "SELECT entryId, title, comments FROM bookmarks;");
    while (query.executeStep() == QueryResult::Row) {
        Bookmark bookmark;
        bookmark.entryId = clampToInt32(asInteger(query.getValueFromColumn(0)).value_or(0));
        bookmark.title = asText(query.getValueFromColumn(1));
        bookmark.comments = asText(query.getValueFromColumn(2));
        if (withPayload) {
            const auto stored = asBytes(query.getValueFromColumn(3));
            if (stored) {
                auto payload = PayloadCodec::decode(*stored, impl_->compressionLevel);
                if (payload) {
                    bookmark.payload = std::move(*payload);
                } else {
                    impl_->setLastError("The payload of the bookmark on entry " + std::to_string(bookmark.entryId) +
                                        " is damaged.");
                }
            }
        }
        bookmarks.push_back(std::move(bookmark));
    }
    return bookmarks;
}

namespace {

bool finishWrite(LogFileImpl& impl, SqliteQuery& query, WriteOperation operation)
{
    if (query.executeStep() == QueryResult::Done) {
        impl.lastWriteErrorCode = 0;
        return true;
    }
    impl.lastWriteErrorCode = query.getLastErrorCode();
    impl.setLastError(messageForErrorCode(query.getLastErrorCode(), operation));
    return false;
}

} // namespace

bool SqliteLogFile::addDataSource(const DataSource& source)
{
    auto* db = impl_->writeConnection();
    if (db == nullptr) {
        return false;
    }
    SqliteQuery query(*db, "INSERT INTO dataSources (dataSourceId, dataSourceType, dataSourceName) VALUES "
                           "(:dataSourceId, :dataSourceType, :dataSourceName);");
    query.bindParameter(":dataSourceId", static_cast<int>(source.id));
    query.bindParameter(":dataSourceType", static_cast<int>(source.type));
    query.bindParameter(":dataSourceName", source.name, BindMode::NoCopy);
    return finishWrite(*impl_, query, WriteOperation::Other);
}

bool SqliteLogFile::addDataSource(DataSource& source)
{
    auto* db = impl_->writeConnection();
    if (db == nullptr) {
        return false;
    }
    SqliteQuery query(*db, "INSERT INTO dataSources (dataSourceType, dataSourceName) VALUES "
                           "(:dataSourceType, :dataSourceName);");
    query.bindParameter(":dataSourceType", static_cast<int>(source.type));
    query.bindParameter(":dataSourceName", source.name, BindMode::NoCopy);
    if (!finishWrite(*impl_, query, WriteOperation::Other)) {
        return false;
    }
    source.id = static_cast<std::int8_t>(query.getInsertedRowId());
    return true;
}

bool SqliteLogFile::addDataSourceProperty(const DataSourceProperty& property)
{
    auto* db = impl_->writeConnection();
    if (db == nullptr) {
        return false;
    }
    SqliteQuery query(*db, "INSERT INTO dataSourceProperties (dataSourceId, key, value) VALUES "
                           "(:dataSourceId, :key, :value);");
    query.bindParameter(":dataSourceId", static_cast<int>(property.dataSourceId));
    query.bindParameter(":key", property.key, BindMode::NoCopy);
    std::visit(Database::BindParameterVisitor(query, ":value", BindMode::NoCopy), property.value);
    return finishWrite(*impl_, query, WriteOperation::AddDataSourceProperty);
}

bool SqliteLogFile::logData(const DataEntry& entry)
{
    // Stored as it is: no copy of a large payload per entry.
    if (impl_->compressionLevel == 0) {
        return logStored(entry, entry.payload);
    }
    return logStored(entry, PayloadCodec::encode(entry.payload, impl_->compressionLevel));
}

bool SqliteLogFile::logStoredData(const DataEntry& entry)
{
    return logStored(entry, entry.payload);
}

bool SqliteLogFile::logStored(const DataEntry& entry, const std::vector<std::uint8_t>& stored)
{
    auto* db = impl_->writeConnection();
    if (db == nullptr) {
        return false;
    }
    SqliteQuery query(*db, "INSERT INTO data (timestamp, type, dataSourceId, length, payload) VALUES "
                           "(:timestamp, :type, :dataSourceId, :length, :payload);");
    query.bindParameter(":timestamp", entry.timestamp);
    query.bindParameter(":type", static_cast<std::int64_t>(entry.type));
    query.bindParameter(":dataSourceId", static_cast<int>(entry.dataSourceId));
    query.bindParameter(":length", static_cast<std::int64_t>(stored.size()));
    query.bindParameter(":payload", stored, BindMode::NoCopy);
    return finishWrite(*impl_, query, WriteOperation::LogData);
}

bool SqliteLogFile::addMetadata(const std::string& key, PropertyValue value)
{
    auto* db = impl_->writeConnection();
    if (db == nullptr) {
        return false;
    }
    SqliteQuery lookup(*db, "SELECT * FROM metadata WHERE key = :key;");
    lookup.bindParameter(":key", key, BindMode::NoCopy);
    if (lookup.executeStep() == QueryResult::Row) {
        impl_->lastWriteErrorCode = refusedAsDuplicate;
        return false;
    }
    SqliteQuery query(*db, "INSERT INTO metadata (key, value) VALUES (:key, :value);");
    query.bindParameter(":key", key, BindMode::NoCopy);
    std::visit(Database::BindParameterVisitor(query, ":value", BindMode::Copy), value);
    return finishWrite(*impl_, query, WriteOperation::Other);
}

bool SqliteLogFile::addResource(const std::string& name, const std::vector<std::uint8_t>& data)
{
    auto* db = impl_->writeConnection();
    if (db == nullptr) {
        return false;
    }
    SqliteQuery lookup(*db, "SELECT * FROM resources WHERE name = :name;");
    lookup.bindParameter(":name", name, BindMode::NoCopy);
    if (lookup.executeStep() == QueryResult::Row) {
        impl_->lastWriteErrorCode = refusedAsDuplicate;
        return false;
    }
    const int level = isResourceCompressionSupported() ? impl_->compressionLevel : 0;
    const auto stored = PayloadCodec::encode(data, level);
    SqliteQuery query(*db, "INSERT INTO resources (name, payload) VALUES (:name, :payload);");
    query.bindParameter(":name", name, BindMode::NoCopy);
    query.bindParameter(":payload", stored, BindMode::NoCopy);
    return finishWrite(*impl_, query, WriteOperation::Other);
}

bool SqliteLogFile::setThumbnail(const std::vector<std::uint8_t>& data)
{
    auto* db = impl_->writeConnection();
    if (db == nullptr) {
        return false;
    }
    SqliteQuery counting(*db, "SELECT COUNT(*) FROM resources WHERE name = 'thumbnail';");
    const auto count =
        counting.executeStep() == QueryResult::Row ? asInteger(counting.getValueFromColumn(0)) : std::nullopt;
    if (!count) {
        impl_->setLastError(messageForErrorCode(counting.getLastErrorCode(), WriteOperation::Other));
        return false;
    }
    if (*count == 0) {
        return addResource("thumbnail", data);
    }
    const int level = isResourceCompressionSupported() ? impl_->compressionLevel : 0;
    const auto stored = PayloadCodec::encode(data, level);
    SqliteQuery query(*db, "UPDATE resources SET payload = :payload WHERE name = 'thumbnail';");
    query.bindParameter(":payload", stored, BindMode::NoCopy);
    return finishWrite(*impl_, query, WriteOperation::Other);
}

namespace {

// Adding and updating a bookmark bind the same columns; the payload column is
// written only from log version 4 on.
bool writeBookmark(LogFileImpl& impl, const Bookmark& bookmark, bool withPayload, const char* sqlWithPayload,
                   const char* sqlWithoutPayload)
{
    auto* db = impl.writeConnection();
    if (db == nullptr) {
        return false;
    }
    SqliteQuery query(*db, withPayload ? sqlWithPayload : sqlWithoutPayload);
    query.bindParameter(":entryId", bookmark.entryId);
    query.bindParameter(":title", bookmark.title, BindMode::NoCopy);
    query.bindParameter(":comments", bookmark.comments, BindMode::NoCopy);
    // Bound without a copy: it must live until the statement has been stepped.
    std::vector<std::uint8_t> stored;
    if (withPayload) {
        stored = PayloadCodec::encode(bookmark.payload, impl.compressionLevel);
        query.bindParameter(":payload", stored, BindMode::NoCopy);
    }
    return finishWrite(impl, query, WriteOperation::Other);
}

} // namespace

bool SqliteLogFile::addBookmark(const Bookmark& bookmark)
{
    return writeBookmark(*impl_, bookmark, isBookmarkPayloadsSupported(),
                         "INSERT INTO bookmarks (entryId, title, comments, payload) VALUES "
                         "(:entryId, :title, :comments, :payload);",
                         "INSERT INTO bookmarks (entryId, title, comments) VALUES (:entryId, :title, :comments);");
}

bool SqliteLogFile::updateBookmark(const Bookmark& bookmark)
{
    return writeBookmark(*impl_, bookmark, isBookmarkPayloadsSupported(),
                         "UPDATE bookmarks SET title = :title, comments = :comments, "
                         "payload = :payload WHERE entryId = :entryId;",
                         "UPDATE bookmarks SET title = :title, comments = :comments WHERE entryId = :entryId;");
}

bool SqliteLogFile::removeBookmark(const Bookmark& bookmark)
{
    auto* db = impl_->writeConnection();
    if (db == nullptr) {
        return false;
    }
    SqliteQuery query(*db, "DELETE FROM bookmarks WHERE entryId = :entryId;");
    query.bindParameter(":entryId", bookmark.entryId);
    return finishWrite(*impl_, query, WriteOperation::Other);
}

namespace {

// The row of one bookmark, told apart from others on its entry by its title
// and comments (NULL comments read as empty); identical twins are
// interchangeable, so the first is as good as any.
std::optional<std::int64_t> findBookmarkRow(LogFileImpl& impl, const Bookmark& chosen)
{
    auto* db = impl.writeConnection();
    if (db == nullptr) {
        return std::nullopt;
    }
    SqliteQuery query(*db, "SELECT rowid FROM bookmarks WHERE entryId = :entryId AND title = :title "
                           "AND IFNULL(comments, '') = :comments ORDER BY rowid LIMIT 1;");
    query.bindParameter(":entryId", chosen.entryId);
    query.bindParameter(":title", chosen.title, BindMode::NoCopy);
    query.bindParameter(":comments", chosen.comments, BindMode::NoCopy);
    const auto step = query.executeStep();
    if (step == QueryResult::Row) {
        return asInteger(query.getValueFromColumn(0));
    }
    impl.setLastError(step == QueryResult::Done ? "The bookmark is no longer in the file."
                                                : messageForErrorCode(query.getLastErrorCode(), WriteOperation::Other));
    return std::nullopt;
}

} // namespace

bool SqliteLogFile::editBookmark(const Bookmark& chosen, const std::string& title, const std::string& comments)
{
    auto* db = impl_->writeConnection();
    if (db == nullptr) {
        return false;
    }
    const auto row = findBookmarkRow(*impl_, chosen);
    if (!row) {
        return false;
    }
    SqliteQuery query(*db, "UPDATE bookmarks SET title = :title, comments = :comments WHERE rowid = :row;");
    query.bindParameter(":title", title, BindMode::NoCopy);
    query.bindParameter(":comments", comments, BindMode::NoCopy);
    query.bindParameter(":row", *row);
    return finishWrite(*impl_, query, WriteOperation::Other);
}

bool SqliteLogFile::removeOneBookmark(const Bookmark& chosen)
{
    auto* db = impl_->writeConnection();
    if (db == nullptr) {
        return false;
    }
    const auto row = findBookmarkRow(*impl_, chosen);
    if (!row) {
        return false;
    }
    SqliteQuery query(*db, "DELETE FROM bookmarks WHERE rowid = :row;");
    query.bindParameter(":row", *row);
    return finishWrite(*impl_, query, WriteOperation::Other);
}

std::string SqliteLogFile::getLastError() const
{
    return impl_->getLastError();
}

bool SqliteLogFile::isResourceCompressionSupported() const
{
    return impl_->logVersion >= 3;
}

bool SqliteLogFile::isBookmarkPayloadsSupported() const
{
    return impl_->logVersion >= 4;
}

std::int8_t SqliteLogFile::getCompressionLevel() const
{
    return impl_->compressionLevel;
}

std::int32_t SqliteLogFile::getLogVersion() const
{
    return impl_->logVersion;
}

bool SqliteLogFile::isNewFile() const
{
    return impl_->isNew;
}

bool SqliteLogFile::endIsDamaged() const
{
    return impl_->endIsDamaged;
}

bool SqliteLogFile::setBulkWriting(bool enabled)
{
    LogFileImpl& impl = *impl_;
    if (enabled) {
        if (!impl.writeAheadLogEnabled) {
            return true;
        }
        impl.checkpointer.reset();
        impl.database->executeSimpleQuery("PRAGMA wal_checkpoint(TRUNCATE);");
        SqliteQuery query(*impl.database, "PRAGMA journal_mode = DELETE;");
        const bool switched =
            query.executeStep() == QueryResult::Row && asText(query.getValueFromColumn(0)) == "delete";
        impl.writeAheadLogEnabled = !switched;
        impl.database->executeSimpleQuery("PRAGMA synchronous = OFF;");
        return switched;
    }
    if (impl.writeAheadLogEnabled) {
        return true;
    }
    impl.database->executeSimpleQuery("PRAGMA synchronous = NORMAL;");
    impl.writeAheadLogEnabled = enableWriteAheadLog(*impl.database);
    if (impl.writeAheadLogEnabled) {
        impl.checkpointer =
            std::make_unique<Database::BackgroundCheckpointer>(impl.filePath.string(), std::chrono::milliseconds(50));
    }
    return impl.writeAheadLogEnabled;
}

namespace {

// Transactions are run by the writing thread alone, so the connection's code
// is this statement's.
bool runTransactionStatement(LogFileImpl& impl, const char* sql)
{
    if (impl.database->executeSimpleQuery(sql)) {
        impl.lastWriteErrorCode = 0;
        return true;
    }
    const int code = impl.database->getLastErrorCode();
    impl.lastWriteErrorCode = code;
    impl.setLastError(messageForErrorCode(code, WriteOperation::Other));
    return false;
}

} // namespace

bool SqliteLogFile::beginTransaction()
{
    return runTransactionStatement(*impl_, "BEGIN IMMEDIATE;");
}

bool SqliteLogFile::commitTransaction()
{
    return runTransactionStatement(*impl_, "COMMIT;");
}

} // namespace Keldar::Logging
