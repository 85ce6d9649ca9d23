// Opening and creating log files: the schema, recognition of foreign, legacy
// and partial files, version rules and the file left behind after closing.
#include "TestLogs.h"

#include <keldar/logging/LegacyLogFileError.h>
#include <keldar/logging/NotALogFileError.h>
#include <keldar/logging/SqliteLogFile.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace Keldar::Logging;
using namespace Keldar::Logging::Testing;

namespace {

std::vector<std::string> tableNames(const std::filesystem::path& path)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.string().c_str(), &db);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type IN ('table','index') ORDER BY name;", -1,
                       &statement, nullptr);
    std::vector<std::string> names;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return names;
}

std::string journalMode(const std::filesystem::path& path)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.string().c_str(), &db);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA journal_mode;", -1, &statement, nullptr);
    std::string mode;
    if (sqlite3_step(statement) == SQLITE_ROW) {
        mode = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return mode;
}

} // namespace

TEST(LogFileSchema, NewFileGetsAllTablesAndIndexes)
{
    TempFolder folder;
    {
        SqliteLogFile file(folder.file("new.ondrix"));
        EXPECT_TRUE(file.isNewFile());
    }
    const std::vector<std::string> expected{"bookmarkIndex",
                                            "bookmarks",
                                            "data",
                                            "dataDataSourceIndex",
                                            "dataSourceProperties",
                                            "dataSourcePropertiesIndex",
                                            "dataSources",
                                            "metadata",
                                            "resources"};
    EXPECT_EQ(tableNames(folder.file("new.ondrix")), expected);
}

TEST(LogFileSchema, ZeroByteFileOpensAsNewLog)
{
    TempFolder folder;
    writeBytes(folder.file("empty.ondrix"), {});
    SqliteLogFile file(folder.file("empty.ondrix"));
    EXPECT_TRUE(file.isNewFile());
    EXPECT_EQ(file.getLogVersion(), 0);
    EXPECT_EQ(file.getEntryCount(), 0);
}

TEST(LogFileSchema, CreatingConstructorWritesStandardMetadataInOrder)
{
    TempFolder folder;
    auto file = createLog(folder.file("a.ondrix"), 5);
    const auto metadata = file->getAllMetadata();
    ASSERT_EQ(metadata.size(), 6u);
    EXPECT_EQ(metadata[0].key, "createdDateTime");
    EXPECT_EQ(std::get<std::int64_t>(metadata[0].value), 1700000000000);
    EXPECT_EQ(metadata[1].key, "applicationName");
    EXPECT_EQ(std::get<std::string>(metadata[1].value), "test-app");
    EXPECT_EQ(metadata[2].key, "applicationVersion");
    EXPECT_EQ(std::get<std::string>(metadata[2].value), "1.2.3");
    EXPECT_EQ(metadata[3].key, "currentTimeZone");
    EXPECT_EQ(std::get<std::string>(metadata[3].value), "Europe/Oslo");
    EXPECT_EQ(metadata[4].key, "logVersion");
    EXPECT_EQ(std::get<std::int64_t>(metadata[4].value), 4);
    EXPECT_EQ(metadata[5].key, "compressionLevel");
    EXPECT_EQ(std::get<std::int64_t>(metadata[5].value), 5);
    EXPECT_EQ(file->getLastError(), "No error");
}

TEST(LogFileSchema, CreatingOverAnExistingLogIsRefusedAndLeavesItAlone)
{
    TempFolder folder;
    {
        auto file = createLog(folder.file("a.ondrix"));
        fillLog(*file, 3);
    }
    EXPECT_THROW(createLog(folder.file("a.ondrix"), 0, "intruder"), std::runtime_error);
    SqliteLogFile reopened(folder.file("a.ondrix"));
    EXPECT_EQ(reopened.getEntryCount(), 3);
    EXPECT_EQ(reopened.getAllMetadata().size(), 6u);
}

TEST(LogFileRecognition, ExtraTablesAreIgnored)
{
    TempFolder folder;
    {
        auto file = createLog(folder.file("a.ondrix"));
        fillLog(*file, 2);
    }
    runSql(folder.file("a.ondrix"), "CREATE TABLE notes(text TEXT);");
    SqliteLogFile file(folder.file("a.ondrix"));
    EXPECT_FALSE(file.isNewFile());
    EXPECT_EQ(file.getEntryCount(), 2);
}

TEST(LogFileRecognition, LegacyMagicRaisesLegacyError)
{
    TempFolder folder;
    writeBytes(folder.file("old.log"), {0x44, 0x33, 0x22, 0x11, 1, 2, 3, 4, 5, 6, 7, 8});
    try {
        SqliteLogFile file(folder.file("old.log"));
        FAIL() << "opened a legacy file";
    } catch (const LegacyLogFileError& error) {
        EXPECT_STREQ(error.what(), "Tried to open a legacy log file.");
    }
}

TEST(LogFileRecognition, OtherNonDatabaseFilesRaiseNotALogFile)
{
    TempFolder folder;
    writeBytes(folder.file("text.txt"), std::vector<std::uint8_t>(200, 'x'));
    writeBytes(folder.file("short"), {0x44, 0x33});
    writeBytes(folder.file("reversed"), std::vector<std::uint8_t>{0x11, 0x22, 0x33, 0x44, 0, 0, 0, 0});
    for (const char* name : {"text.txt", "short", "reversed"}) {
        try {
            SqliteLogFile file(folder.file(name));
            FAIL() << "opened " << name;
        } catch (const NotALogFileError& error) {
            EXPECT_STREQ(error.what(), "This file is not in a supported log file format.");
        }
    }
}

TEST(LogFileRecognition, ForeignDatabaseRaisesNotALogFileAndStaysUnchanged)
{
    TempFolder folder;
    const auto path = folder.file("other.db");
    runSql(path, "CREATE TABLE customers(id INTEGER PRIMARY KEY, name TEXT); INSERT INTO customers VALUES (1,'a');");
    const auto before = readBytes(path);
    EXPECT_THROW(SqliteLogFile file(path), NotALogFileError);
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(journalMode(path), "delete");
}

TEST(LogFileRecognition, PartialTablesRaiseNotALogFileAndStayUnchanged)
{
    TempFolder folder;
    const auto path = folder.file("partial.ondrix");
    runSql(path, "CREATE TABLE dataSources(dataSourceId INTEGER PRIMARY KEY,dataSourceType INT NOT NULL,"
                 "dataSourceName TEXT NOT NULL);"
                 "CREATE TABLE data(entryId INTEGER PRIMARY KEY, payload BLOB);"
                 "CREATE TABLE metadata(key TEXT NOT NULL, value NOT NULL);");
    const auto before = readBytes(path);
    EXPECT_THROW(SqliteLogFile file(path), NotALogFileError);
    EXPECT_EQ(readBytes(path), before);
}

TEST(LogFileVersion, MissingVersionKeysReadAsZero)
{
    TempFolder folder;
    const auto path = folder.file("v0.ondrix");
    {
        SqliteLogFile file(path);
    }
    SqliteLogFile file(path);
    EXPECT_FALSE(file.isNewFile());
    EXPECT_EQ(file.getLogVersion(), 0);
    EXPECT_EQ(file.getCompressionLevel(), 0);
    EXPECT_FALSE(file.isResourceCompressionSupported());
    EXPECT_FALSE(file.isBookmarkPayloadsSupported());
}

TEST(LogFileVersion, VersionAndLevelAreReadFromMetadata)
{
    TempFolder folder;
    const auto path = folder.file("v3.ondrix");
    {
        createLog(path, 7);
    }
    runSql(path, "UPDATE metadata SET value = 3 WHERE key = 'logVersion';");
    SqliteLogFile file(path);
    EXPECT_EQ(file.getLogVersion(), 3);
    EXPECT_EQ(file.getCompressionLevel(), 7);
    EXPECT_TRUE(file.isResourceCompressionSupported());
    EXPECT_FALSE(file.isBookmarkPayloadsSupported());
}

TEST(LogFileClosing, ClosedFileIsAnOrdinarySingleFileDatabase)
{
    TempFolder folder;
    const auto path = folder.file("closed.ondrix");
    {
        auto file = createLog(path, 0);
        fillLog(*file, 20, 1000, 10, 4096);
        // While open the write-ahead log is in use.
        EXPECT_TRUE(std::filesystem::exists(path.string() + "-wal"));
    }
    EXPECT_FALSE(std::filesystem::exists(path.string() + "-wal"));
    EXPECT_FALSE(std::filesystem::exists(path.string() + "-shm"));
    EXPECT_EQ(journalMode(path), "delete");
    EXPECT_EQ(integrityCheck(path), "ok");
}

TEST(LogFileClosing, BookmarkTableWithBrokenForeignKeyKeepsItsBookmarksAndTakesNewOnes)
{
    TempFolder folder;
    const auto path = folder.file("oldbookmarks.ondrix");
    {
        auto file = createLog(path);
        fillLog(*file, 2);
    }
    // A foreign key naming a missing parent column makes the check itself fail.
    runSql(path, "DROP TABLE bookmarks; CREATE TABLE bookmarks(entryId INT REFERENCES data(noSuchColumn), "
                 "title TEXT, comments TEXT, payload BLOB); INSERT INTO bookmarks VALUES (2, 'old', 'note', x'01');");
    SqliteLogFile file(path);
    EXPECT_TRUE(file.addBookmark(Bookmark{1, "t", "c", {}}));
    const auto bookmarks = file.getBookmarks();
    ASSERT_EQ(bookmarks.size(), 2u);
    EXPECT_EQ(bookmarks[0].title, "old");
    EXPECT_EQ(bookmarks[0].comments, "note");
    EXPECT_EQ(bookmarks[1].title, "t");
}

TEST(LogFileClosing, DanglingBookmarksSurviveOpening)
{
    TempFolder folder;
    const auto path = folder.file("dangling.ondrix");
    {
        auto file = createLog(path);
        fillLog(*file, 2);
    }
    runSql(path, "PRAGMA foreign_keys=off; INSERT INTO bookmarks (entryId, title) VALUES (99, 'kept');");
    SqliteLogFile file(path);
    ASSERT_EQ(file.getBookmarks().size(), 1u);
    EXPECT_EQ(file.getBookmarks()[0].title, "kept");
}

TEST(LogFileRecognition, TinyNonDatabaseFileIsRefusedAndNotOverwritten)
{
    TempFolder folder;
    const auto path = folder.file("tiny.ondrix");
    writeBytes(path, {1});
    EXPECT_THROW(SqliteLogFile file(path), NotALogFileError);
    EXPECT_EQ(readBytes(path), (std::vector<std::uint8_t>{1}));
}
