// Slice and clone: the copied entries, renumbering, bookmarks, metadata,
// resources, sources, naming of the output and refusals.
#include "RecordedPayload.h"
#include "TestLogs.h"

#include <keldar/logging/Algorithms.h>
#include <keldar/logging/FlatInterface.h>
#include <keldar/logging/LogOutput.h>
#include <keldar/logging/SqliteLogFile.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace Keldar::Logging;
using namespace Keldar::Logging::Testing;

namespace {

// A source log with metadata, resources, two properties, 100 entries and bookmarks.
std::unique_ptr<SqliteLogFile> richLog(const std::filesystem::path& path, std::int8_t level = 0, int entries = 100,
                                       std::size_t payloadBytes = 64)
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
    {
        richLog(path);
    }
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

namespace {

// While it lives, every connection opened is capped at `pages` pages, as if
// the disk filled up there.
class DiskFullAfterPages
{
public:
    explicit DiskFullAfterPages(int pages)
    {
        maximumPages = pages;
        sqlite3_auto_extension(reinterpret_cast<void (*)()>(&cap));
    }
    ~DiskFullAfterPages() { sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(&cap)); }
    DiskFullAfterPages(const DiskFullAfterPages&) = delete;
    DiskFullAfterPages& operator=(const DiskFullAfterPages&) = delete;

private:
    static int cap(sqlite3* db, char**, const void*)
    {
        const std::string sql = "PRAGMA max_page_count = " + std::to_string(maximumPages) + ";";
        return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    }
    static inline int maximumPages = 0;
};

// Hands reads through to a log file and notes the most payload bytes one
// read returned: a copy's memory use.
class MeteredLog : public LogFileInterface
{
public:
    explicit MeteredLog(std::unique_ptr<SqliteLogFile> file)
        : file_(std::move(file))
    {
    }
    std::size_t largest() const { return largestRead_; }

    std::filesystem::path getFilePath() const override { return file_->getFilePath(); }
    std::vector<DataSource> getDataSources() const override { return file_->getDataSources(); }
    std::optional<PropertyValue> getDataSourceProperty(int id, const std::string& key) const override
    {
        return file_->getDataSourceProperty(id, key);
    }
    std::vector<DataSourceProperty> getAllDataSourceProperties() const override
    {
        return file_->getAllDataSourceProperties();
    }
    std::vector<std::int32_t> getEntryIndex(const EntryIndexFilter& filter) const override
    {
        return file_->getEntryIndex(filter);
    }
    std::int32_t getFirstEntryId() const override { return file_->getFirstEntryId(); }
    std::int32_t getLastEntryId() const override { return file_->getLastEntryId(); }
    std::int32_t getEntryCount() const override { return file_->getEntryCount(); }
    std::optional<DataEntry> readEntry(int entryId) const override
    {
        auto entry = file_->readEntry(entryId);
        note(entry ? entry->payload.size() : 0);
        return entry;
    }
    std::vector<DataEntry> readEntries(int first, int last, const EntryIndexFilter& filter, int limit) const override
    {
        auto entries = file_->readEntries(first, last, filter, limit);
        std::size_t bytes = 0;
        for (const auto& entry : entries) {
            bytes += entry.payload.size();
        }
        note(bytes);
        return entries;
    }
    std::optional<PropertyValue> getMetadataValue(const std::string& key) const override
    {
        return file_->getMetadataValue(key);
    }
    std::vector<LogMetadataEntry> getAllMetadata() const override { return file_->getAllMetadata(); }
    std::optional<std::vector<std::uint8_t>> getResource(const std::string& name) const override
    {
        return file_->getResource(name);
    }
    std::vector<LogResourceEntry> getAllResources() const override { return file_->getAllResources(); }
    std::optional<std::vector<std::uint8_t>> getThumbnail() const override { return file_->getThumbnail(); }
    std::vector<Bookmark> getBookmarks() const override { return file_->getBookmarks(); }
    bool addDataSource(const DataSource& source) override { return file_->addDataSource(source); }
    bool addDataSource(DataSource& source) override { return file_->addDataSource(source); }
    bool addDataSourceProperty(const DataSourceProperty& property) override
    {
        return file_->addDataSourceProperty(property);
    }
    bool logData(const DataEntry& entry) override { return file_->logData(entry); }
    using LogFileInterface::addMetadata;
    bool addMetadata(const std::string& key, PropertyValue value) override { return file_->addMetadata(key, value); }
    using LogFileInterface::addResource;
    bool addResource(const std::string& name, const std::vector<std::uint8_t>& data) override
    {
        return file_->addResource(name, data);
    }
    bool setThumbnail(const std::vector<std::uint8_t>& data) override { return file_->setThumbnail(data); }
    bool addBookmark(const Bookmark& bookmark) override { return file_->addBookmark(bookmark); }
    bool updateBookmark(const Bookmark& bookmark) override { return file_->updateBookmark(bookmark); }
    bool removeBookmark(const Bookmark& bookmark) override { return file_->removeBookmark(bookmark); }
    std::string getLastError() const override { return file_->getLastError(); }

private:
    void note(std::size_t bytes) const { largestRead_ = std::max(largestRead_, bytes); }

    std::unique_ptr<SqliteLogFile> file_;
    mutable std::size_t largestRead_ = 0;
};

} // namespace

TEST(SliceFailures, FullDiskFailsTheCopyAndLeavesNoTruncatedLog)
{
    TempFolder folder;
    const auto sourcePath = folder.file("src.ondrix");
    richLog(sourcePath, 0, 60, 64 * 1024);
    SqliteLogFile source(sourcePath);
    const auto before = folderListing(folder.path());
    // About half of the entries fit.
    DiskFullAfterPages full(32);

    Algorithms::CopyReport report;
    const auto sliceOut = folder.file("slice.ondrix");
    EXPECT_FALSE(Algorithms::slice(source, 2, 59, sliceOut.string(), "slicer", "2", 0, &report));
    EXPECT_EQ(report.error, "Filesystem full.");
    EXPECT_EQ(fileAndJournals(sliceOut), std::vector<std::string>{});
    EXPECT_FALSE(report.removedOutput.empty());
    EXPECT_EQ(folderListing(folder.path()), before);

    KD_LogError* error = nullptr;
    KD_LogFile* flatSource = KD_LogFile_Open(sourcePath.string().c_str(), &error);
    ASSERT_NE(flatSource, nullptr);
    KD_LogConfig* config = KD_LogConfig_Create("cloner", "3", "UTC");
    const auto cloneOut = folder.file("clone.ondrix");
    EXPECT_EQ(KD_LogAlgorithms_CloneWithReport(flatSource, cloneOut.string().c_str(), config, nullptr, &error),
              nullptr);
    const char* message = nullptr;
    ASSERT_TRUE(KD_LogError_GetErrorMessage(error, &message));
    EXPECT_STREQ(message, "Failed to clone log file: Filesystem full.");
    KD_LogError_Destroy(error);
    EXPECT_EQ(KD_LogAlgorithms_Clone(flatSource, cloneOut.string().c_str(), config, nullptr), nullptr);
    EXPECT_EQ(fileAndJournals(cloneOut), std::vector<std::string>{});
    KD_LogConfig_Destroy(config);
    KD_LogFile_Destroy(flatSource);
}

TEST(SliceFailures, UnreadableEntriesAreSkippedAndReportedAndTheRestIsCopied)
{
    TempFolder folder;
    const auto sourcePath = folder.file("src.ondrix");
    {
        auto source = richLog(sourcePath, 6, 600);
        source->addBookmark({450, "late", "", {}});
    }
    // More than a whole transaction's worth of damaged entries in a row.
    runSql(sourcePath, "UPDATE data SET payload = x'FFFFFF7F0102' WHERE entryId BETWEEN 1 AND 300;");
    SqliteLogFile source(sourcePath);
    Algorithms::CopyReport report;
    const auto output = Algorithms::slice(source, 1, 600, folder.file("out.ondrix").string(), "s", "2", 0, &report);
    ASSERT_TRUE(output);
    EXPECT_TRUE(report.error.empty());
    ASSERT_EQ(report.skippedEntryIds.size(), 300u);
    EXPECT_EQ(report.skippedEntryIds.front(), 1);
    EXPECT_EQ(report.skippedEntryIds.back(), 300);
    ASSERT_EQ(output->getEntryCount(), 300);
    EXPECT_EQ(output->readEntry(1)->payload, recordedPayload(301, 64));
    EXPECT_EQ(output->readEntry(300)->payload, recordedPayload(600, 64));
    // Bookmarks on skipped entries move to the first entry copied after them.
    std::vector<std::int32_t> marked;
    for (const auto& bookmark : output->getBookmarks()) {
        marked.push_back(bookmark.entryId);
    }
    EXPECT_EQ(marked, (std::vector<std::int32_t>{1, 1, 1, 150}));
}

TEST(SliceBudget, NoReadHoldsMoreThanTheBatchBudget)
{
    TempFolder folder;
    // 40 MB of entries: more than one batch budget of 32 MB.
    MeteredLog source(richLog(folder.file("src.ondrix"), 0, 40, 1 << 20));
    const auto output = sliceOf(source, 1, 40, folder.file("out.ondrix"));
    ASSERT_TRUE(output);
    EXPECT_EQ(output->getEntryCount(), 40);
    EXPECT_GT(source.largest(), 0u);
    EXPECT_LE(source.largest(), 32u << 20);
}

TEST(SliceFailures, AStoppedCopyReportsItsProgressAndLeavesTheFolderAsItWas)
{
    TempFolder folder;
    auto source = richLog(folder.file("src.ondrix"), 0, 600);
    const auto before = folderListing(folder.path());
    const auto out = folder.file("out.ondrix");
    std::vector<std::int64_t> handled;
    Algorithms::CopyControl control;
    control.progress = [&](std::int64_t done, std::int64_t selected) {
        EXPECT_EQ(selected, 591);
        handled.push_back(done);
        // Written aside: nothing stands under the final name meanwhile.
        EXPECT_FALSE(std::filesystem::exists(out));
    };
    // Past the first committed transaction.
    control.cancelled = [&] { return handled.size() == 300; };
    Algorithms::CopyReport report;
    EXPECT_FALSE(Algorithms::slice(*source, 10, 600, out.string(), "s", "2", 0, &report, control));
    EXPECT_TRUE(report.cancelled);
    EXPECT_TRUE(report.error.empty());
    ASSERT_EQ(handled.size(), 300u) << "nothing is copied once stopped";
    EXPECT_EQ(handled.front(), 1);
    EXPECT_EQ(handled.back(), 300);
    EXPECT_EQ(report.removedOutput.parent_path(), folder.path());
    EXPECT_NE(report.removedOutput.filename().string().find("out.partial-"), std::string::npos);
    EXPECT_EQ(folderListing(folder.path()), before);

    // A clone stops the same way.
    control.progress = {};
    control.cancelled = [] { return true; };
    EXPECT_FALSE(Algorithms::clone(*source, out.string(), "s", "2", 0, &report, control));
    EXPECT_TRUE(report.cancelled);
    EXPECT_EQ(folderListing(folder.path()), before);
}

TEST(SliceFailures, ALogIsCheckedWhenClosedForItsJournalAndItsEntries)
{
    TempFolder folder;
    const auto whole = folder.file("whole.ondrix");
    auto log = createLog(whole);
    fillLog(*log, 5);
    EXPECT_EQ(closeAndCheckLog(std::move(log), 5), "");
    log = std::make_unique<SqliteLogFile>(whole);
    EXPECT_EQ(closeAndCheckLog(std::move(log), 6), "the new log file reads back with 5 of 6 entries");

    const auto journalled = folder.file("journalled.ondrix");
    log = createLog(journalled);
    fillLog(*log, 5);
    // One SQLite cannot remove stays beside the file.
    std::filesystem::create_directory(journalled.string() + "-journal");
    EXPECT_EQ(closeAndCheckLog(std::move(log), 5), "the new log file could not be closed: its journal remains");
}
