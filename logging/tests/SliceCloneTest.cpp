// Slice and clone: the copied entries, renumbering, bookmarks, metadata,
// resources, sources, naming of the output and refusals.
#include "RecordedPayload.h"
#include "TestLogs.h"

#include <keldar/logging/Algorithms.h>
#include <keldar/logging/SqliteLogFile.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace Keldar::Logging;
using namespace Keldar::Logging::Testing;

namespace {

// A source log with metadata, resources, two properties, 100 entries and bookmarks.
std::unique_ptr<SqliteLogFile> richLog(const std::filesystem::path& path, std::int8_t level = 0,
                                       int entries = 100, std::size_t payloadBytes = 64)
{
    auto file = createLog(path, level, "source-app");
    fillLog(*file, entries, 1000, 10, payloadBytes);
    file->addDataSourceProperty({1, "serialNumber", std::int32_t{321}});
    file->addDataSourceProperty({1, "modelNumber", std::int32_t{1190}});
    file->addMetadata("vessel", std::string("Kittiwake"));
    file->addResource("notes", {1, 2, 3, 4});
    file->setThumbnail(recordedPayload(9, 500));
    for (int id : {5, 15, 25}) {
        if (id <= entries) {
            file->addBookmark({id, "mark " + std::to_string(id), "c", recordedPayload(id, 10)});
        }
    }
    return file;
}

std::unique_ptr<LogFileInterface> sliceOf(const LogFileInterface& source, int first, int last,
                                          const std::filesystem::path& out, std::int8_t level = 0,
                                          const std::string& application = "slicer")
{
    return Algorithms::slice(source, first, last, out.string(), application, "2.0", level);
}

std::int64_t storedBytes(const std::filesystem::path& path)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.string().c_str(), &db);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT SUM(length(payload)) FROM data;", -1, &statement, nullptr);
    std::int64_t total = -1;
    if (sqlite3_step(statement) == SQLITE_ROW) {
        total = sqlite3_column_int64(statement, 0);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return total;
}

} // namespace

TEST(Slice, RangeIsRenumberedAndBookmarksFollowTheirEntries)
{
    TempFolder folder;
    auto source = richLog(folder.file("src.ondrix"));
    auto output = sliceOf(*source, 10, 20, folder.file("out.ondrix"));
    ASSERT_TRUE(output);
    EXPECT_EQ(output->getEntryCount(), 11);
    EXPECT_EQ(output->getFirstEntryId(), 1);
    EXPECT_EQ(output->getLastEntryId(), 11);
    for (int id = 1; id <= 11; ++id) {
        const auto copied = output->readEntry(id);
        const auto original = source->readEntry(id + 9);
        ASSERT_TRUE(copied && original);
        EXPECT_EQ(copied->payload, original->payload);
        EXPECT_EQ(copied->timestamp, original->timestamp);
        EXPECT_EQ(copied->type, original->type);
        EXPECT_EQ(copied->dataSourceId, original->dataSourceId);
    }
    const auto bookmarks = output->getBookmarks();
    ASSERT_EQ(bookmarks.size(), 1u);
    EXPECT_EQ(bookmarks[0].entryId, 6);
    EXPECT_EQ(bookmarks[0].title, "mark 15");
    EXPECT_EQ(bookmarks[0].payload, recordedPayload(15, 10));
}

TEST(Slice, SparseIdsCopyOnlyExistingEntries)
{
    TempFolder folder;
    const auto path = folder.file("sparse.ondrix");
    { richLog(path); }
    runSql(path, "DELETE FROM bookmarks; DELETE FROM data WHERE entryId BETWEEN 12 AND 17;");
    SqliteLogFile source(path);
    source.addBookmark({18, "after gap", "", {}});
    auto output = sliceOf(source, 10, 20, folder.file("out.ondrix"));
    ASSERT_TRUE(output);
    EXPECT_EQ(output->getEntryCount(), 5);
    EXPECT_EQ(output->readEntry(3)->timestamp, source.readEntry(18)->timestamp);
    ASSERT_EQ(output->getBookmarks().size(), 1u);
    EXPECT_EQ(output->getBookmarks()[0].entryId, 3);
}

TEST(Slice, InvalidRangesAndExistingOutputFail)
{
    TempFolder folder;
    auto source = richLog(folder.file("src.ondrix"));
    EXPECT_FALSE(sliceOf(*source, 20, 10, folder.file("a.ondrix")));
    EXPECT_FALSE(sliceOf(*source, 101, 120, folder.file("b.ondrix")));
    EXPECT_FALSE(sliceOf(*source, 0, 5, folder.file("c.ondrix")));
    EXPECT_FALSE(std::filesystem::exists(folder.file("a.ondrix")));
    writeBytes(folder.file("taken.ondrix"), {1, 2, 3});
    EXPECT_FALSE(sliceOf(*source, 1, 5, folder.file("taken.ondrix")));
    EXPECT_EQ(readBytes(folder.file("taken.ondrix")), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(Slice, EmptyOutputPathFollowsExportedNamingRule)
{
    TempFolder folder;
    auto source = richLog(folder.file("dive.ondrix"), 0, 10);
    auto first = sliceOf(*source, 1, 2, "");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->getFilePath(), folder.file("dive_exported.ondrix"));
    auto second = sliceOf(*source, 1, 2, "");
    ASSERT_TRUE(second);
    EXPECT_EQ(second->getFilePath(), folder.file("dive_exported_1.ondrix"));
}

TEST(Slice, MetadataSourcesAndResourcesAreCopied)
{
    TempFolder folder;
    auto source = richLog(folder.file("src.ondrix"), 6);
    auto output = sliceOf(*source, 1, 3, folder.file("out.ondrix"), 0);
    ASSERT_TRUE(output);
    const auto metadata = output->getAllMetadata();
    ASSERT_EQ(metadata.size(), 9u);
    EXPECT_EQ(std::get<std::string>(metadata[1].value), "slicer");
    EXPECT_EQ(std::get<std::string>(metadata[3].value), "Europe/Oslo");
    EXPECT_EQ(std::get<std::int64_t>(metadata[5].value), 0);
    EXPECT_EQ(metadata[6].key, "oldApplicationName");
    EXPECT_EQ(std::get<std::string>(metadata[6].value), "source-app");
    EXPECT_EQ(metadata[7].key, "oldApplicationVersion");
    EXPECT_EQ(std::get<std::string>(metadata[7].value), "1.2.3");
    EXPECT_EQ(metadata[8].key, "vessel");
    EXPECT_EQ(*output->getThumbnail(), recordedPayload(9, 500));
    EXPECT_EQ(*output->getResource("notes"), (std::vector<std::uint8_t>{1, 2, 3, 4}));
    ASSERT_EQ(output->getDataSources().size(), 1u);
    EXPECT_EQ(output->getDataSources()[0].name, "Ondrix M750");
    EXPECT_EQ(std::get<std::int64_t>(*output->getDataSourceProperty(1, "modelNumber")), 1190);
}

TEST(Slice, SameApplicationAddsNoOldKeysAndExistingOldKeysAreKept)
{
    TempFolder folder;
    auto source = richLog(folder.file("src.ondrix"));
    auto same = Algorithms::slice(*source, 1, 2, folder.file("same.ondrix").string(), "source-app", "1.2.3", 0);
    ASSERT_TRUE(same);
    EXPECT_FALSE(same->getMetadataValue("oldApplicationName"));
    EXPECT_FALSE(same->getMetadataValue("oldApplicationVersion"));
    // Slicing the slice again with another name keeps the original old name once.
    auto first = sliceOf(*source, 1, 2, folder.file("first.ondrix"), 0, "second-app");
    auto again = sliceOf(*first, 1, 2, folder.file("again.ondrix"), 0, "third-app");
    ASSERT_TRUE(again);
    int oldNames = 0;
    for (const auto& entry : again->getAllMetadata()) {
        if (entry.key == "oldApplicationName") {
            ++oldNames;
            EXPECT_EQ(std::get<std::string>(entry.value), "source-app");
        }
    }
    EXPECT_EQ(oldNames, 1);
}

TEST(Slice, ChangingCompressionKeepsPayloadsIdentical)
{
    TempFolder folder;
    auto source = richLog(folder.file("src.ondrix"), 0, 20, 4000);
    auto packed = sliceOf(*source, 1, 20, folder.file("packed.ondrix"), 9);
    ASSERT_TRUE(packed);
    auto unpacked = sliceOf(*packed, 1, 20, folder.file("unpacked.ondrix"), 0);
    ASSERT_TRUE(unpacked);
    for (int id = 1; id <= 20; ++id) {
        EXPECT_EQ(unpacked->readEntry(id)->payload, source->readEntry(id)->payload);
    }
    packed.reset();
    unpacked.reset();
    EXPECT_LT(storedBytes(folder.file("packed.ondrix")), storedBytes(folder.file("unpacked.ondrix")));
    EXPECT_EQ(storedBytes(folder.file("unpacked.ondrix")), 20 * 4000);
}

TEST(Slice, ManyBatchesProduceTheSameEntriesInOrder)
{
    TempFolder folder;
    // Enough entries to span several batches.
    auto source = richLog(folder.file("big.ondrix"), 1, 1500, 200);
    auto output = sliceOf(*source, 2, 1499, folder.file("out.ondrix"), 1);
    ASSERT_TRUE(output);
    EXPECT_EQ(output->getEntryCount(), 1498);
    const auto copied = output->readEntries(-1, -1, {}, -1);
    ASSERT_EQ(copied.size(), 1498u);
    for (std::size_t i = 0; i < copied.size(); ++i) {
        ASSERT_EQ(copied[i].entryId, static_cast<std::int32_t>(i + 1));
        ASSERT_EQ(copied[i].payload, recordedPayload(static_cast<std::int32_t>(i + 2), 200)) << "entry " << i + 1;
    }
}

TEST(Clone, CopiesEverythingWithTheSameIds)
{
    TempFolder folder;
    auto source = richLog(folder.file("src.ondrix"), 6, 30);
    auto copy = Algorithms::clone(*source, folder.file("copy.ondrix").string(), "cloner", "3", 6);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->getEntryIndex({}), source->getEntryIndex({}));
    EXPECT_EQ(copy->readEntries(-1, -1, {}, -1).back().payload, source->readEntry(30)->payload);
    const auto bookmarks = copy->getBookmarks();
    ASSERT_EQ(bookmarks.size(), 3u);
    EXPECT_EQ(bookmarks[2].entryId, 25);
    EXPECT_EQ(bookmarks[2].payload, recordedPayload(25, 10));
}

TEST(Clone, EmptyLogCopiesDescriptionButNoEntries)
{
    TempFolder folder;
    auto source = richLog(folder.file("src.ondrix"), 0, 0);
    auto copy = Algorithms::clone(*source, folder.file("copy.ondrix").string(), "cloner", "3", 0);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->getEntryCount(), 0);
    EXPECT_TRUE(copy->getBookmarks().empty());
    EXPECT_EQ(copy->getDataSources().size(), 1u);
    EXPECT_EQ(copy->getAllDataSourceProperties().size(), 2u);
    EXPECT_EQ(copy->getAllResources().size(), 2u);
    EXPECT_TRUE(copy->getMetadataValue("vessel"));
}

TEST(Slice, SameLevelCopiesStoredBytesAndLeavesAnOrdinaryFile)
{
    TempFolder folder;
    auto source = richLog(folder.file("src.ondrix"), 6, 40, 3000);
    const auto sourceBlobs = [&] {
        source.reset();
        std::vector<std::string> blobs;
        sqlite3* db = nullptr;
        sqlite3_open(folder.file("src.ondrix").string().c_str(), &db);
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, "SELECT hex(payload) FROM data WHERE entryId BETWEEN 5 AND 9 ORDER BY entryId;", -1,
                           &statement, nullptr);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            blobs.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return blobs;
    }();
    SqliteLogFile reopened(folder.file("src.ondrix"));
    {
        auto output = sliceOf(reopened, 5, 9, folder.file("out.ondrix"), 6);
        ASSERT_TRUE(output);
        // Still writable in the normal way after the bulk copy.
        EXPECT_TRUE(output->addBookmark({2, "after", "", {}}));
        EXPECT_EQ(output->readEntry(3)->payload, recordedPayload(7, 3000));
    }
    EXPECT_FALSE(std::filesystem::exists(folder.file("out.ondrix").string() + "-wal"));
    EXPECT_EQ(integrityCheck(folder.file("out.ondrix")), "ok");
    sqlite3* db = nullptr;
    sqlite3_open(folder.file("out.ondrix").string().c_str(), &db);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT hex(payload) FROM data ORDER BY entryId;", -1, &statement, nullptr);
    std::vector<std::string> copied;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        copied.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    EXPECT_EQ(copied, sourceBlobs);
}
