// Reading and writing the content of a log: entries and their compression,
// data sources and properties, metadata, resources, bookmarks, filters and the
// last-error texts.
#include "RecordedPayload.h"
#include "TestLogs.h"

#include <keldar/logging/SqliteLogFile.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace Keldar::Logging;
using namespace Keldar::Logging::Testing;

namespace {

std::int64_t storedLength(const std::filesystem::path& path, int entryId, std::int64_t* blobBytes)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.string().c_str(), &db);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT length, length(payload) FROM data WHERE entryId = ?;", -1, &statement, nullptr);
    sqlite3_bind_int(statement, 1, entryId);
    std::int64_t length = -1;
    if (sqlite3_step(statement) == SQLITE_ROW) {
        length = sqlite3_column_int64(statement, 0);
        *blobBytes = sqlite3_column_int64(statement, 1);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return length;
}

} // namespace

TEST(LogFileEntries, UncompressedEntriesStoreRawPayloadAndItsLength)
{
    TempFolder folder;
    const auto path = folder.file("raw.ondrix");
    {
        auto file = createLog(path, 0);
        fillLog(*file, 3, 1000, 10, 5000);
    }
    std::int64_t blob = 0;
    EXPECT_EQ(storedLength(path, 2, &blob), 5000);
    EXPECT_EQ(blob, 5000);
    SqliteLogFile file(path);
    const auto entry = file.readEntry(2);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->payload, recordedPayload(2, 5000));
    EXPECT_EQ(entry->timestamp, 1010);
    EXPECT_EQ(entry->type, 0u);
    EXPECT_EQ(entry->dataSourceId, 1);
    EXPECT_EQ(entry->entryId, 2);
}

TEST(LogFileEntries, CompressedEntriesStoreFramedStreamAndItsLength)
{
    TempFolder folder;
    const auto path = folder.file("z.ondrix");
    {
        auto file = createLog(path, 9);
        fillLog(*file, 3, 1000, 10, 50000);
    }
    std::int64_t blob = 0;
    const std::int64_t length = storedLength(path, 3, &blob);
    EXPECT_EQ(length, blob);
    EXPECT_LT(length, 50000);
    const auto stored = [&] {
        sqlite3* db = nullptr;
        sqlite3_open(path.string().c_str(), &db);
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, "SELECT payload FROM data WHERE entryId = 3;", -1, &statement, nullptr);
        sqlite3_step(statement);
        const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement, 0));
        std::vector<std::uint8_t> copy(bytes, bytes + sqlite3_column_bytes(statement, 0));
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return copy;
    }();
    ASSERT_GE(stored.size(), 6u);
    EXPECT_EQ(stored[0] | (stored[1] << 8) | (stored[2] << 16) | (stored[3] << 24), 50000);
    EXPECT_EQ(stored[4] & 0x0f, 8) << "zlib stream with deflate method";
    SqliteLogFile file(path);
    EXPECT_EQ(file.readEntry(3)->payload, recordedPayload(3, 50000));
}

TEST(LogFileEntries, EveryCompressionLevelRoundTrips)
{
    TempFolder folder;
    for (int level = -1; level <= 9; ++level) {
        const auto path = folder.file("level" + std::to_string(level + 1) + ".ondrix");
        {
            auto file = createLog(path, static_cast<std::int8_t>(level));
            fillLog(*file, 2, 0, 1, 3000);
        }
        SqliteLogFile file(path);
        EXPECT_EQ(file.readEntry(1)->payload, recordedPayload(1, 3000)) << "level " << level;
    }
}

TEST(LogFileEntries, EmptyPayloadStaysEmptyWithAndWithoutCompression)
{
    TempFolder folder;
    for (std::int8_t level : {std::int8_t{0}, std::int8_t{6}}) {
        const auto path = folder.file("empty" + std::to_string(level) + ".ondrix");
        auto file = createLog(path, level);
        fillLog(*file, 0);
        ASSERT_TRUE(file->logData(DataEntry{0, 1, 7, {}, 55}));
        const auto entry = file->readEntry(1);
        ASSERT_TRUE(entry);
        EXPECT_TRUE(entry->payload.empty());
        std::int64_t blob = -1;
        file.reset();
        EXPECT_EQ(storedLength(path, 1, &blob), 0);
    }
}

TEST(LogFileEntries, CountsAndBoundsOfEmptyFileAreMinusOneWithError)
{
    TempFolder folder;
    auto file = createLog(folder.file("e.ondrix"));
    EXPECT_EQ(file->getEntryCount(), 0);
    EXPECT_EQ(file->getFirstEntryId(), -1);
    EXPECT_NE(file->getLastError(), "No error");
    EXPECT_EQ(file->getLastEntryId(), -1);
    EXPECT_FALSE(file->readEntry(1));
    EXPECT_TRUE(file->readEntries(-1, -1, {}, -1).empty());
}

TEST(LogFileEntries, LoggedIdsIgnoreTheEntrysOwnId)
{
    TempFolder folder;
    auto file = createLog(folder.file("ids.ondrix"));
    fillLog(*file, 2);
    ASSERT_TRUE(file->logData(DataEntry{77, 1, 0, {1, 2, 3}, 5}));
    EXPECT_EQ(file->getLastEntryId(), 3);
    EXPECT_FALSE(file->readEntry(77));
}

TEST(LogFileEntries, LoggingAgainstMissingSourceFailsAndStoresNothing)
{
    TempFolder folder;
    auto file = createLog(folder.file("fk.ondrix"));
    fillLog(*file, 1);
    EXPECT_FALSE(file->logData(DataEntry{0, 9, 0, {1}, 5}));
    EXPECT_EQ(file->getLastError(), "Attempted to log data against a data source that did not exist in the file.");
    EXPECT_EQ(file->getEntryCount(), 1);
    // Later successes do not clear the message.
    EXPECT_TRUE(file->logData(DataEntry{0, 1, 0, {1}, 6}));
    EXPECT_EQ(file->getLastError(), "Attempted to log data against a data source that did not exist in the file.");
}

TEST(LogFileEntries, ReadEntriesHonoursRangeLimitAndEmptyCases)
{
    TempFolder folder;
    auto file = createLog(folder.file("r.ondrix"));
    fillLog(*file, 10);
    const auto middle = file->readEntries(3, 6, {}, -1);
    ASSERT_EQ(middle.size(), 4u);
    EXPECT_EQ(middle.front().entryId, 3);
    EXPECT_EQ(middle.back().entryId, 6);
    EXPECT_EQ(middle[1].payload, recordedPayload(4, 64));
    EXPECT_EQ(file->readEntries(3, 6, {}, 2).size(), 2u);
    EXPECT_TRUE(file->readEntries(6, 3, {}, -1).empty());
    EXPECT_TRUE(file->readEntries(1, 10, {}, 0).empty());
    EXPECT_EQ(file->readEntries(-1, -1, {}, -1).size(), 10u);
    EXPECT_EQ(file->readEntries(8, -1, {}, -1).size(), 3u);
}

TEST(LogFileFilters, TypeSourceAndSourceTypeCombineWithAnd)
{
    TempFolder folder;
    auto file = createLog(folder.file("f.ondrix"));
    fillLog(*file, 6); // source 1 (type 0), entry types alternate 1,0,1,0,...
    DataSource other{-1, static_cast<KD_LogDataSourceType>(5), "other"};
    ASSERT_TRUE(file->addDataSource(other));
    EXPECT_EQ(other.id, 2);
    ASSERT_TRUE(file->logData(DataEntry{0, other.id, 1, {9}, 1}));

    EXPECT_EQ(file->getEntryIndex({}), (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(file->getEntryIndex({{1}, {}, {}}), (std::vector<std::int32_t>{1, 3, 5, 7}));
    EXPECT_EQ(file->getEntryIndex({{1}, {1}, {}}), (std::vector<std::int32_t>{1, 3, 5}));
    EXPECT_EQ(file->getEntryIndex({{}, {}, {static_cast<KD_LogDataSourceType>(5)}}), (std::vector<std::int32_t>{7}));
    EXPECT_EQ(file->getEntryIndex({{0, 1}, {1, 2}, {KD_LogDataSourceType_Sonar}}).size(), 6u);
    EXPECT_TRUE(file->getEntryIndex({{}, {42}, {}}).empty());
    const auto filtered = file->readEntries(2, 7, {{1}, {}, {}}, -1);
    ASSERT_EQ(filtered.size(), 3u);
    EXPECT_EQ(filtered[0].entryId, 3);
    EXPECT_EQ(filtered[2].entryId, 7);
}

TEST(LogFileSources, PropertiesKeepTheirKindsExceptIntegersComeBackWide)
{
    TempFolder folder;
    auto file = createLog(folder.file("p.ondrix"));
    fillLog(*file, 0);
    EXPECT_TRUE(file->addDataSourceProperty({1, "serialNumber", std::int32_t{1234}}));
    EXPECT_TRUE(file->addDataSourceProperty({1, "big", std::int64_t{1} << 40}));
    EXPECT_TRUE(file->addDataSourceProperty({1, "ratio", 0.25}));
    EXPECT_TRUE(file->addDataSourceProperty({1, "label", std::string("port")}));
    const auto serial = file->getDataSourceProperty(1, "serialNumber");
    ASSERT_TRUE(serial);
    EXPECT_EQ(std::get<std::int64_t>(*serial), 1234);
    EXPECT_EQ(std::get<std::int64_t>(*file->getDataSourceProperty(1, "big")), std::int64_t{1} << 40);
    EXPECT_EQ(std::get<double>(*file->getDataSourceProperty(1, "ratio")), 0.25);
    EXPECT_EQ(std::get<std::string>(*file->getDataSourceProperty(1, "label")), "port");
    EXPECT_FALSE(file->getDataSourceProperty(1, "missing"));
    EXPECT_FALSE(file->getDataSourceProperty(2, "label"));
    const auto all = file->getAllDataSourceProperties();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[3].key, "label");
    EXPECT_EQ(all[3].dataSourceId, 1);
}

TEST(LogFileSources, PropertyForMissingSourceFailsWithItsMessage)
{
    TempFolder folder;
    auto file = createLog(folder.file("p.ondrix"));
    EXPECT_FALSE(file->addDataSourceProperty({3, "x", std::int32_t{1}}));
    EXPECT_EQ(file->getLastError(),
              "Attempted to add a data source property for a data source that did not exist in the file.");
}

TEST(LogFileSources, ConstSourceKeepsItsIdAndDuplicatesAreRefused)
{
    TempFolder folder;
    auto file = createLog(folder.file("s.ondrix"));
    const DataSource kept{7, KD_LogDataSourceType_Sonar, "seven"};
    EXPECT_TRUE(file->addDataSource(kept));
    EXPECT_FALSE(file->addDataSource(kept));
    EXPECT_EQ(file->getLastError(), "Unknown internal error");
    const auto sources = file->getDataSources();
    ASSERT_EQ(sources.size(), 1u);
    EXPECT_EQ(sources[0].id, 7);
    EXPECT_EQ(sources[0].name, "seven");
}

TEST(LogFileMetadata, ExistingKeyIsRefusedWithoutTouchingValueOrError)
{
    TempFolder folder;
    auto file = createLog(folder.file("m.ondrix"));
    EXPECT_TRUE(file->addMetadata("site", std::string("harbour")));
    EXPECT_FALSE(file->addMetadata("site", std::string("lake")));
    EXPECT_FALSE(file->addMetadata(LogMetadataEntry{"logVersion", std::int32_t{9}}));
    EXPECT_EQ(file->getLastError(), "No error");
    EXPECT_EQ(std::get<std::string>(*file->getMetadataValue("site")), "harbour");
    EXPECT_EQ(std::get<std::int64_t>(*file->getMetadataValue("logVersion")), 4);
    EXPECT_TRUE(file->addMetadata("depth", 12.5));
    EXPECT_EQ(std::get<double>(*file->getMetadataValue("depth")), 12.5);
    EXPECT_FALSE(file->getMetadataValue("absent"));
    EXPECT_EQ(file->getAllMetadata().back().key, "depth");
}

TEST(LogFileResources, CompressedResourcesAndThumbnailReplacementRoundTrip)
{
    TempFolder folder;
    const auto path = folder.file("res.ondrix");
    const auto picture = recordedPayload(5, 20000);
    const auto newer = recordedPayload(6, 100);
    {
        auto file = createLog(path, 6);
        EXPECT_TRUE(file->addResource("notes", {1, 2, 3}));
        EXPECT_FALSE(file->addResource(LogResourceEntry{"notes", {4}}));
        EXPECT_TRUE(file->setThumbnail(picture));
        EXPECT_TRUE(file->setThumbnail(newer));
    }
    SqliteLogFile file(path);
    EXPECT_EQ(*file.getThumbnail(), newer);
    EXPECT_EQ(*file.getResource("notes"), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_FALSE(file.getResource("nothing"));
    const auto all = file.getAllResources();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].name, "thumbnail");
    EXPECT_EQ(all[1].data, newer);
}

TEST(LogFileResources, OldVersionStoresAndReadsResourcesRaw)
{
    TempFolder folder;
    const auto path = folder.file("v2.ondrix");
    {
        createLog(path, 6);
    }
    runSql(path, "UPDATE metadata SET value = 2 WHERE key = 'logVersion';"
                 "INSERT INTO resources (name, payload) VALUES ('raw', x'0102030405');");
    SqliteLogFile file(path);
    EXPECT_EQ(*file.getResource("raw"), (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
}

TEST(LogFileBookmarks, VersionFourKeepsCompressedPayloads)
{
    TempFolder folder;
    auto file = createLog(folder.file("b.ondrix"), 6);
    fillLog(*file, 5);
    const auto payload = recordedPayload(1, 3000);
    EXPECT_TRUE(file->addBookmark({2, "dock", "", payload}));
    EXPECT_TRUE(file->addBookmark({4, "buoy", "green", {}}));
    EXPECT_TRUE(file->updateBookmark({2, "dock east", "moored", {7}}));
    auto bookmarks = file->getBookmarks();
    ASSERT_EQ(bookmarks.size(), 2u);
    EXPECT_EQ(bookmarks[0].title, "dock east");
    EXPECT_EQ(bookmarks[0].comments, "moored");
    EXPECT_EQ(bookmarks[0].payload, (std::vector<std::uint8_t>{7}));
    EXPECT_TRUE(bookmarks[1].payload.empty());
    EXPECT_TRUE(file->removeBookmark({2, "", "", {}}));
    bookmarks = file->getBookmarks();
    ASSERT_EQ(bookmarks.size(), 1u);
    EXPECT_EQ(bookmarks[0].entryId, 4);
}

TEST(LogFileBookmarks, VersionThreeStoresNoPayloadAndUpdateLeavesColumnAlone)
{
    TempFolder folder;
    const auto path = folder.file("v3.ondrix");
    {
        auto file = createLog(path, 0);
        fillLog(*file, 3);
    }
    runSql(path, "UPDATE metadata SET value = 3 WHERE key = 'logVersion';"
                 "INSERT INTO bookmarks (entryId, title, comments, payload) VALUES (1, 'old', NULL, x'AABB');");
    {
        SqliteLogFile file(path);
        EXPECT_TRUE(file.addBookmark({2, "new", "c", {1, 2, 3}}));
        EXPECT_TRUE(file.updateBookmark({1, "old renamed", "now", {9, 9}}));
        const auto bookmarks = file.getBookmarks();
        ASSERT_EQ(bookmarks.size(), 2u);
        EXPECT_EQ(bookmarks[0].title, "old renamed");
        EXPECT_TRUE(bookmarks[0].payload.empty());
        EXPECT_TRUE(bookmarks[1].payload.empty());
    }
    sqlite3* db = nullptr;
    sqlite3_open(path.string().c_str(), &db);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT hex(payload), payload IS NULL FROM bookmarks ORDER BY entryId;", -1, &statement,
                       nullptr);
    ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)), "AABB");
    ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(statement, 1), 1);
    sqlite3_finalize(statement);
    sqlite3_close(db);
}

TEST(LogFileBookmarks, BookmarkOnMissingEntryIsRefused)
{
    TempFolder folder;
    auto file = createLog(folder.file("b.ondrix"));
    fillLog(*file, 2);
    EXPECT_FALSE(file->addBookmark({50, "nowhere", "", {}}));
    EXPECT_EQ(file->getLastError(), "Unknown internal error");
    EXPECT_TRUE(file->getBookmarks().empty());
}

TEST(LogFileMoves, MovedFileKeepsWorking)
{
    TempFolder folder;
    auto file = createLog(folder.file("mv.ondrix"));
    fillLog(*file, 2);
    SqliteLogFile moved(std::move(*file));
    EXPECT_EQ(moved.getEntryCount(), 2);
    EXPECT_EQ(moved.getFilePath(), folder.file("mv.ondrix"));
}
