// Damaged and unexpected files: opening or reading them gives the log
// exceptions or clean empty results with an error text, never a crash or hang.
#include "RecordedPayload.h"
#include "TestLogs.h"

#include <keldar/database/DatabaseError.h>
#include <keldar/logging/LegacyLogFileError.h>
#include <keldar/logging/NotALogFileError.h>
#include <keldar/logging/SqliteLogFile.h>

#include <gtest/gtest.h>

#include <random>

using namespace Keldar::Logging;
using namespace Keldar::Logging::Testing;

namespace {

std::vector<std::uint8_t> validLogBytes(const TempFolder& folder, std::int8_t level)
{
    const auto path = folder.file("valid" + std::to_string(level) + ".ondrix");
    {
        auto file = createLog(path, level);
        fillLog(*file, 40, 1000, 10, 3000);
        file->addBookmark({3, "b", "c", {1, 2}});
        file->setThumbnail(recordedPayload(1, 700));
    }
    return readBytes(path);
}

// Opens and reads everything; returns false when opening threw a log error.
bool openAndReadEverything(const std::filesystem::path& path)
{
    try {
        SqliteLogFile file(path);
        file.getDataSources();
        file.getAllDataSourceProperties();
        file.getAllMetadata();
        file.getAllResources();
        file.getThumbnail();
        file.getBookmarks();
        const auto index = file.getEntryIndex({});
        for (const auto id : index) {
            file.readEntry(id);
        }
        file.readEntries(-1, -1, {}, -1);
        file.getEntryCount();
        return true;
    } catch (const NotALogFileError&) {
        return false;
    } catch (const LegacyLogFileError&) {
        return false;
    } catch (const Keldar::Database::DatabaseError&) {
        return false;
    }
}

} // namespace

TEST(BadInput, TruncatedLogsNeverCrash)
{
    TempFolder folder;
    const auto bytes = validLogBytes(folder, 6);
    for (std::size_t size : {std::size_t{10}, std::size_t{100}, std::size_t{4096}, std::size_t{5000}, bytes.size() / 2,
                             bytes.size() - 1}) {
        const auto path = folder.file("cut" + std::to_string(size) + ".ondrix");
        writeBytes(path, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(size)));
        const bool opened = openAndReadEverything(path);
        if (size < 100) {
            EXPECT_FALSE(opened) << "a file shorter than the SQLite header is not a log";
        }
    }
}

TEST(BadInput, ZeroFilledFileIsNotALog)
{
    TempFolder folder;
    const auto path = folder.file("zeros.ondrix");
    writeBytes(path, std::vector<std::uint8_t>(65536, 0));
    EXPECT_THROW(SqliteLogFile file(path), NotALogFileError);
    EXPECT_EQ(readBytes(path), std::vector<std::uint8_t>(65536, 0));
}

TEST(BadInput, RandomlyCorruptedLogsNeverCrash)
{
    TempFolder folder;
    for (std::int8_t level : {std::int8_t{0}, std::int8_t{6}}) {
        const auto bytes = validLogBytes(folder, level);
        std::mt19937 random(static_cast<unsigned>(99 + level));
        int opened = 0;
        for (int round = 0; round < 30; ++round) {
            auto damaged = bytes;
            const int flips = std::uniform_int_distribution<int>(1, 40)(random);
            for (int i = 0; i < flips; ++i) {
                // Leave the 100-byte header alone half of the time so damage reaches the pages.
                const std::size_t from = round % 2 == 0 ? 100 : 0;
                const auto at = std::uniform_int_distribution<std::size_t>(from, damaged.size() - 1)(random);
                damaged[at] = static_cast<std::uint8_t>(random());
            }
            const auto path = folder.file("flip" + std::to_string(level) + "_" + std::to_string(round) + ".ondrix");
            writeBytes(path, damaged);
            opened += openAndReadEverything(path) ? 1 : 0;
        }
        // Most single-page damage still lets the file open; the reads must cope.
        EXPECT_GT(opened, 0);
    }
}

namespace {

// Reading into a record kept from entry to entry (what exports do) gives what
// reading afresh gives, damaged and missing entries included.
void expectReadIntoAgrees(const SqliteLogFile& file, int lastId)
{
    DataEntry kept;
    for (int id = 1; id <= lastId; ++id) {
        const auto fresh = file.readEntry(id);
        ASSERT_EQ(file.readEntryInto(id, kept), fresh.has_value()) << id;
        if (fresh) {
            EXPECT_EQ(kept.entryId, fresh->entryId);
            EXPECT_EQ(kept.timestamp, fresh->timestamp);
            EXPECT_EQ(kept.type, fresh->type);
            EXPECT_EQ(kept.dataSourceId, fresh->dataSourceId);
            EXPECT_EQ(kept.payload, fresh->payload) << id;
        }
    }
}

} // namespace

TEST(BadInput, WrongColumnTypesGiveEmptyResultsWithErrorText)
{
    TempFolder folder;
    const auto path = folder.file("types.ondrix");
    {
        auto file = createLog(path, 6);
        fillLog(*file, 4);
    }
    runSql(path, "UPDATE data SET timestamp = 'yesterday' WHERE entryId = 2;"
                 "UPDATE data SET payload = 12345 WHERE entryId = 3;"
                 "UPDATE metadata SET value = 'nine' WHERE key = 'compressionLevel';");
    SqliteLogFile file(path);
    EXPECT_EQ(file.getCompressionLevel(), 0) << "non-integer level reads as 0";
    // With level 0 read back, compressed payloads come back as stored bytes; the
    // damaged rows are refused.
    EXPECT_FALSE(file.readEntry(2));
    EXPECT_EQ(file.getLastError(), "Data entry 2 is damaged.");
    EXPECT_FALSE(file.readEntry(3));
    EXPECT_TRUE(file.readEntry(4));
    EXPECT_EQ(file.readEntries(-1, -1, {}, -1).size(), 2u);
    expectReadIntoAgrees(file, 5);
}

TEST(BadInput, NullPayloadsAndDamagedStreamsAreRefusedCleanly)
{
    TempFolder folder;
    const auto path = folder.file("nulls.ondrix");
    {
        auto file = createLog(path, 6);
        fillLog(*file, 4, 0, 1, 500);
    }
    // The schema forbids NULL payloads; rebuild the table the way a foreign tool might.
    runSql(path, "PRAGMA foreign_keys=off; PRAGMA writable_schema=on;"
                 "UPDATE sqlite_master SET sql = replace(sql, 'payload BLOB NOT NULL', 'payload BLOB') "
                 "WHERE name = 'data';");
    runSql(path, "UPDATE data SET payload = NULL WHERE entryId = 1;"
                 "UPDATE data SET payload = x'00000040' || randomblob(50) WHERE entryId = 2;"
                 "UPDATE data SET payload = x'01000000' WHERE entryId = 3;");
    SqliteLogFile file(path);
    EXPECT_FALSE(file.readEntry(1));
    EXPECT_FALSE(file.readEntry(2));
    EXPECT_EQ(file.getLastError(), "Data entry 2 has a damaged payload.");
    EXPECT_FALSE(file.readEntry(3));
    ASSERT_TRUE(file.readEntry(4));
    EXPECT_EQ(file.readEntry(4)->payload, recordedPayload(4, 500));
    expectReadIntoAgrees(file, 5);
}

TEST(BadInput, TablesWithWrongColumnsFailWritesWithErrorText)
{
    TempFolder folder;
    const auto path = folder.file("columns.ondrix");
    runSql(path, "CREATE TABLE dataSources(a); CREATE TABLE dataSourceProperties(a); CREATE TABLE data(a);"
                 "CREATE TABLE metadata(a); CREATE TABLE resources(a); CREATE TABLE bookmarks(a);");
    SqliteLogFile file(path);
    EXPECT_EQ(file.getLogVersion(), 0);
    EXPECT_TRUE(file.getDataSources().empty());
    EXPECT_EQ(file.getEntryCount(), 0);
    EXPECT_FALSE(file.readEntry(1));
    EXPECT_TRUE(file.getEntryIndex({}).empty());
    EXPECT_TRUE(file.getBookmarks().empty());
    EXPECT_FALSE(file.logData(DataEntry{0, 1, 0, {1}, 1}));
    EXPECT_EQ(file.getLastError(), "Unknown internal error");
    DataSource source{-1, KD_LogDataSourceType_Sonar, "x"};
    EXPECT_FALSE(file.addDataSource(source));
}

TEST(BadInput, AbsurdMetadataLevelStillWritesReadablePayloads)
{
    TempFolder folder;
    const auto path = folder.file("level.ondrix");
    {
        createLog(path, 6);
    }
    runSql(path, "UPDATE metadata SET value = 77 WHERE key = 'compressionLevel';");
    SqliteLogFile file(path);
    DataSource source{-1, KD_LogDataSourceType_Sonar, "x"};
    ASSERT_TRUE(file.addDataSource(source));
    ASSERT_TRUE(file.logData(DataEntry{0, source.id, 0, recordedPayload(1, 900), 1}));
    EXPECT_EQ(file.readEntry(1)->payload, recordedPayload(1, 900));
}
