// The flat KD_ interface: handles, ownership through callbacks, the error
// objects and their texts, and the writable/read-only rules.
#include "TestLogs.h"

#include <keldar/logging/FlatInterface.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Keldar::Logging::Testing;

namespace {

std::string messageOf(KD_LogError*& error)
{
    const char* text = nullptr;
    EXPECT_TRUE(KD_LogError_GetErrorMessage(error, &text));
    std::string message = text != nullptr ? text : "";
    KD_LogError_Destroy(error);
    error = nullptr;
    return message;
}

struct FlatLog
{
    explicit FlatLog(const std::filesystem::path& path, std::int8_t level = -1)
    {
        config = KD_LogConfig_Create("flat-test", "0.9", "UTC");
        KD_LogConfig_SetCompressionLevel(config, level, nullptr);
        file = KD_LogFile_Create(path.string().c_str(), config, &error);
        source = KD_LogDataSource_Create(KD_LogDataSourceType_Sonar, "Ondrix M900");
    }
    ~FlatLog()
    {
        KD_LogDataSource_Destroy(source);
        KD_LogFile_Destroy(file);
        KD_LogConfig_Destroy(config);
        KD_LogError_Destroy(error);
    }
    FlatLog(const FlatLog&) = delete;
    FlatLog& operator=(const FlatLog&) = delete;

    bool log(std::uint32_t type, std::vector<std::uint8_t> bytes, std::int64_t timestamp)
    {
        KD_LogDataEntry* entry = KD_LogDataEntry_Create(source, type, bytes.data(), bytes.size());
        KD_LogDataEntry_SetTimestamp(entry, timestamp);
        const bool ok = KD_LogFile_LogData(file, entry, &error);
        KD_LogDataEntry_Destroy(entry);
        return ok;
    }

    KD_LogConfig* config = nullptr;
    KD_LogFile* file = nullptr;
    KD_LogDataSource* source = nullptr;
    KD_LogError* error = nullptr;
};

template<typename T, void (*Destroy)(T*)>
struct Collected
{
    static void add(void* context, T* item) { static_cast<Collected*>(context)->items.push_back(item); }
    ~Collected()
    {
        for (T* item : items) {
            Destroy(item);
        }
    }
    std::vector<T*> items;
};

} // namespace

TEST(FlatLogConfig, CompressionLevelAcceptsMinusOneToNineOnly)
{
    KD_LogConfig* config = KD_LogConfig_Create("a", "b", "Europe/Paris");
    std::int8_t level = 0;
    KD_LogConfig_GetCompressionLevel(config, &level);
    EXPECT_EQ(level, -1);
    KD_LogError* error = nullptr;
    EXPECT_TRUE(KD_LogConfig_SetCompressionLevel(config, 9, &error));
    EXPECT_TRUE(KD_LogConfig_SetCompressionLevel(config, -1, &error));
    EXPECT_EQ(error, nullptr);
    EXPECT_FALSE(KD_LogConfig_SetCompressionLevel(config, 10, &error));
    EXPECT_EQ(messageOf(error), "Invalid compression level, value must be in the range [0,9].");
    EXPECT_FALSE(KD_LogConfig_SetCompressionLevel(config, -2, &error));
    EXPECT_EQ(messageOf(error), "Invalid compression level, value must be in the range [0,9].");
    KD_LogConfig_GetCompressionLevel(config, &level);
    EXPECT_EQ(level, -1);
    const char* zone = nullptr;
    KD_LogConfig_GetTimeZone(config, &zone);
    EXPECT_STREQ(zone, "Europe/Paris");
    EXPECT_TRUE(KD_LogConfig_SetTimeZone(config, "UTC"));
    KD_LogConfig_GetTimeZone(config, &zone);
    EXPECT_STREQ(zone, "UTC");
    KD_LogConfig_Destroy(config);
    KD_LogConfig_Destroy(nullptr);
}

TEST(FlatLogFile, CreateRefusesExistingPathAndOpenRefusesMissingOne)
{
    TempFolder folder;
    writeBytes(folder.file("x.ondrix"), {1});
    KD_LogConfig* config = KD_LogConfig_Create("a", "b", "");
    KD_LogError* error = nullptr;
    EXPECT_EQ(KD_LogFile_Create(folder.file("x.ondrix").string().c_str(), config, &error), nullptr);
    EXPECT_EQ(messageOf(error), "Cannot create file as file already exists.");
    EXPECT_EQ(KD_LogFile_Open(folder.file("none.ondrix").string().c_str(), &error), nullptr);
    EXPECT_EQ(messageOf(error), "Log file does not exist.");
    EXPECT_EQ(KD_LogFile_Open(folder.file("x.ondrix").string().c_str(), &error), nullptr);
    EXPECT_EQ(messageOf(error), "This file is not in a supported log file format.");
    writeBytes(folder.file("legacy.log"), {0x44, 0x33, 0x22, 0x11, 0, 0, 0, 0});
    EXPECT_EQ(KD_LogFile_Open(folder.file("legacy.log").string().c_str(), &error), nullptr);
    EXPECT_EQ(messageOf(error), "Tried to open a legacy log file.");
    // A missing error pointer is allowed.
    EXPECT_EQ(KD_LogFile_Open(folder.file("none.ondrix").string().c_str(), nullptr), nullptr);
    KD_LogConfig_Destroy(config);
}

TEST(FlatLogFile, RecorderSequenceWritesAReadableLog)
{
    TempFolder folder;
    const auto path = folder.file("rec.ondrix");
    {
        FlatLog log(path);
        ASSERT_NE(log.file, nullptr);
        ASSERT_TRUE(KD_LogFile_AddDataSource(log.file, log.source, &log.error));
        std::int8_t id = 0;
        KD_LogDataSource_GetId(log.source, &id);
        EXPECT_EQ(id, 1);
        KD_LogDataSourceProperty* serial = KD_LogDataSourceProperty_CreateInt32(log.source, "serialNumber", 4242);
        EXPECT_TRUE(KD_LogFile_AddDataSourceProperty(log.file, serial, &log.error));
        KD_LogDataSourceProperty_Destroy(serial);
        EXPECT_TRUE(log.log(1, {9, 8, 7}, 111));
        EXPECT_TRUE(log.log(0, {}, 222));
        std::int32_t count = 0;
        EXPECT_TRUE(KD_LogFile_GetEntryCount(log.file, &count, &log.error));
        EXPECT_EQ(count, 2);
    }
    KD_LogError* error = nullptr;
    KD_LogFile* file = KD_LogFile_Open(path.string().c_str(), &error);
    ASSERT_NE(file, nullptr);
    KD_LogDataEntry* entry = nullptr;
    ASSERT_TRUE(KD_LogFile_ReadEntry(file, 1, &entry, &error));
    size_t size = 0;
    const std::uint8_t* data = nullptr;
    KD_LogDataEntry_GetData(entry, &size, &data);
    ASSERT_EQ(size, 3u);
    EXPECT_EQ(data[0], 9);
    EXPECT_EQ(data[2], 7);
    std::int64_t timestamp = 0;
    std::uint32_t type = 5;
    std::int8_t sourceId = 0;
    KD_LogDataEntry_GetTimestamp(entry, &timestamp);
    KD_LogDataEntry_GetType(entry, &type);
    KD_LogDataEntry_GetDataSourceId(entry, &sourceId);
    EXPECT_EQ(timestamp, 111);
    EXPECT_EQ(type, 1u);
    EXPECT_EQ(sourceId, 1);
    KD_LogDataEntry_Destroy(entry);
    EXPECT_FALSE(KD_LogFile_ReadEntry(file, 3, &entry, &error));
    EXPECT_EQ(messageOf(error), "The requested data entry does not exist.");
    KD_LogFile_Destroy(file);
}

TEST(FlatLogFile, OpenedFilesAreReadOnlyForDataButClonesAreWritable)
{
    TempFolder folder;
    const auto path = folder.file("ro.ondrix");
    {
        FlatLog log(path, 0);
        KD_LogFile_AddDataSource(log.file, log.source, &log.error);
        log.log(0, {1}, 1);
    }
    KD_LogError* error = nullptr;
    KD_LogFile* opened = KD_LogFile_Open(path.string().c_str(), &error);
    ASSERT_NE(opened, nullptr);
    KD_LogDataSource* source = KD_LogDataSource_Create(KD_LogDataSourceType_Sonar, "x");
    EXPECT_FALSE(KD_LogFile_AddDataSource(opened, source, &error));
    EXPECT_EQ(messageOf(error), "Data sources cannot be added to pre-existing log files.");
    KD_LogDataSourceProperty* property = KD_LogDataSourceProperty_CreateDouble(source, "k", 1.5);
    EXPECT_FALSE(KD_LogFile_AddDataSourceProperty(opened, property, &error));
    EXPECT_EQ(messageOf(error), "Data source properties cannot be added to pre-existing log files.");
    KD_LogDataEntry* entry = KD_LogDataEntry_Create(source, 0, nullptr, 0);
    KD_LogDataEntry_SetTimestamp(entry, 5);
    // Give the entry the file's existing source id so only the read-only rule can refuse it.
    KD_LogDataSource* existing = KD_LogDataSource_Create(KD_LogDataSourceType_Sonar, "x");
    KD_LogDataEntry_Destroy(entry);
    entry = nullptr;
    {
        Collected<KD_LogDataSource, KD_LogDataSource_Destroy> sources;
        ASSERT_TRUE(KD_LogFile_GetDataSources(opened, &decltype(sources)::add, &sources, &error));
        ASSERT_EQ(sources.items.size(), 1u);
        entry = KD_LogDataEntry_Create(sources.items[0], 0, nullptr, 0);
    }
    EXPECT_FALSE(KD_LogFile_LogData(opened, entry, &error));
    EXPECT_EQ(messageOf(error), "Data cannot be logged into pre-existing log files.");
    std::int32_t count = 0;
    KD_LogFile_GetEntryCount(opened, &count, &error);
    EXPECT_EQ(count, 1);

    KD_LogConfig* config = KD_LogConfig_Create("cloner", "1", "UTC");
    KD_LogFile* clone = KD_LogAlgorithms_Clone(opened, folder.file("clone.ondrix").string().c_str(), config, &error);
    ASSERT_NE(clone, nullptr);
    EXPECT_TRUE(KD_LogFile_LogData(clone, entry, &error));
    KD_LogFile_GetEntryCount(clone, &count, &error);
    EXPECT_EQ(count, 2);

    KD_LogFile* slice =
        KD_LogAlgorithms_Slice(opened, 1, 1, folder.file("slice.ondrix").string().c_str(), config, &error);
    ASSERT_NE(slice, nullptr);
    EXPECT_FALSE(KD_LogFile_LogData(slice, entry, &error));
    EXPECT_EQ(messageOf(error), "Data cannot be logged into pre-existing log files.");
    EXPECT_EQ(KD_LogAlgorithms_Slice(opened, 1, 1, folder.file("slice.ondrix").string().c_str(), config, &error),
              nullptr);
    EXPECT_EQ(messageOf(error), "Failed to slice log file");
    EXPECT_EQ(KD_LogAlgorithms_Clone(opened, folder.file("slice.ondrix").string().c_str(), config, &error), nullptr);
    EXPECT_EQ(messageOf(error), "Failed to clone log file");

    KD_LogFile_Destroy(slice);
    KD_LogFile_Destroy(clone);
    KD_LogConfig_Destroy(config);
    KD_LogDataEntry_Destroy(entry);
    KD_LogDataSource_Destroy(existing);
    KD_LogDataSourceProperty_Destroy(property);
    KD_LogDataSource_Destroy(source);
    KD_LogFile_Destroy(opened);
}

TEST(FlatLogFile, EmptyFileCountsAndIndex)
{
    TempFolder folder;
    FlatLog log(folder.file("empty.ondrix"));
    std::int32_t value = -5;
    EXPECT_TRUE(KD_LogFile_GetEntryCount(log.file, &value, &log.error));
    EXPECT_EQ(value, 0);
    EXPECT_FALSE(KD_LogFile_GetFirstEntryId(log.file, &value, &log.error));
    EXPECT_NE(log.error, nullptr);
    messageOf(log.error);
    EXPECT_FALSE(KD_LogFile_GetLastEntryId(log.file, &value, &log.error));
    messageOf(log.error);
    std::vector<std::int32_t> ids;
    KD_LogEntryIdCallback collect = [](void* context, std::int32_t id) {
        static_cast<std::vector<std::int32_t>*>(context)->push_back(id);
    };
    EXPECT_FALSE(KD_LogFile_GetEntryIndex(log.file, nullptr, collect, &ids, &log.error));
    messageOf(log.error);
    EXPECT_FALSE(KD_LogFile_GetDataSources(log.file, nullptr, nullptr, &log.error));
    messageOf(log.error);
    EXPECT_FALSE(KD_LogFile_GetAllDataSourceProperties(log.file, nullptr, nullptr, &log.error));
    messageOf(log.error);
}

TEST(FlatLogFile, IndexFilterAndEntryRangeThroughCallbacks)
{
    TempFolder folder;
    FlatLog log(folder.file("idx.ondrix"), 3);
    KD_LogFile_AddDataSource(log.file, log.source, &log.error);
    for (int i = 0; i < 6; ++i) {
        log.log(static_cast<std::uint32_t>(i % 3), {static_cast<std::uint8_t>(i)}, 100 + i);
    }
    KD_LogEntryIndexFilter* filter = KD_LogEntryIndexFilter_Create();
    KD_LogEntryIndexFilter_AddDataType(filter, 2);
    KD_LogEntryIndexFilter_AddDataSource(filter, 1);
    KD_LogEntryIndexFilter_AddDataSourceType(filter, KD_LogDataSourceType_Sonar);
    std::vector<std::int32_t> ids;
    KD_LogEntryIdCallback collect = [](void* context, std::int32_t id) {
        static_cast<std::vector<std::int32_t>*>(context)->push_back(id);
    };
    EXPECT_TRUE(KD_LogFile_GetEntryIndex(log.file, filter, collect, &ids, &log.error));
    EXPECT_EQ(ids, (std::vector<std::int32_t>{3, 6}));

    Collected<KD_LogDataEntry, KD_LogDataEntry_Destroy> entries;
    EXPECT_TRUE(KD_LogFile_ReadEntries(log.file, 2, -1, nullptr, 3, &decltype(entries)::add, &entries));
    ASSERT_EQ(entries.items.size(), 3u);
    std::int64_t timestamp = 0;
    KD_LogDataEntry_GetTimestamp(entries.items[2], &timestamp);
    EXPECT_EQ(timestamp, 103);
    Collected<KD_LogDataEntry, KD_LogDataEntry_Destroy> filtered;
    EXPECT_TRUE(KD_LogFile_ReadEntries(log.file, -1, -1, filter, -1, &decltype(filtered)::add, &filtered));
    EXPECT_EQ(filtered.items.size(), 2u);
    KD_LogEntryIndexFilter_Destroy(filter);
}

TEST(FlatProperties, AlternativesAreReportedExactlyAndFileValuesAreWide)
{
    TempFolder folder;
    FlatLog log(folder.file("props.ondrix"));
    KD_LogFile_AddDataSource(log.file, log.source, &log.error);
    KD_LogDataSourceProperty* created[] = {
        KD_LogDataSourceProperty_CreateInt32(log.source, "i32", -7),
        KD_LogDataSourceProperty_CreateInt64(log.source, "i64", 1LL << 35),
        KD_LogDataSourceProperty_CreateDouble(log.source, "d", 2.5),
        KD_LogDataSourceProperty_CreateString(log.source, "s", "text"),
    };
    std::int32_t i32 = 0;
    std::int64_t i64 = 0;
    double d = 0;
    const char* s = nullptr;
    EXPECT_TRUE(KD_LogDataSourceProperty_GetInt32(created[0], &i32));
    EXPECT_EQ(i32, -7);
    EXPECT_FALSE(KD_LogDataSourceProperty_GetInt64(created[0], &i64));
    EXPECT_TRUE(KD_LogDataSourceProperty_GetInt64(created[1], &i64));
    EXPECT_FALSE(KD_LogDataSourceProperty_GetDouble(created[1], &d));
    EXPECT_TRUE(KD_LogDataSourceProperty_GetDouble(created[2], &d));
    EXPECT_EQ(d, 2.5);
    EXPECT_FALSE(KD_LogDataSourceProperty_GetString(created[2], &s));
    EXPECT_TRUE(KD_LogDataSourceProperty_GetString(created[3], &s));
    EXPECT_STREQ(s, "text");
    const char* name = nullptr;
    std::int8_t sourceId = 0;
    KD_LogDataSourceProperty_GetPropertyName(created[3], &name);
    KD_LogDataSourceProperty_GetDataSourceId(created[3], &sourceId);
    EXPECT_STREQ(name, "s");
    EXPECT_EQ(sourceId, 1);
    for (auto* property : created) {
        EXPECT_TRUE(KD_LogFile_AddDataSourceProperty(log.file, property, &log.error));
        KD_LogDataSourceProperty_Destroy(property);
    }

    KD_LogDataSourceProperty* read = nullptr;
    ASSERT_TRUE(KD_LogFile_GetDataSourceProperty(log.file, log.source, "i32", &read, &log.error));
    EXPECT_FALSE(KD_LogDataSourceProperty_GetInt32(read, &i32));
    EXPECT_TRUE(KD_LogDataSourceProperty_GetInt64(read, &i64));
    EXPECT_EQ(i64, -7);
    KD_LogDataSourceProperty_Destroy(read);
    EXPECT_FALSE(KD_LogFile_GetDataSourceProperty(log.file, log.source, "none", &read, &log.error));
    EXPECT_EQ(messageOf(log.error), "The requested data source property does not exist.");

    Collected<KD_LogDataSourceProperty, KD_LogDataSourceProperty_Destroy> all;
    EXPECT_TRUE(KD_LogFile_GetAllDataSourceProperties(log.file, &decltype(all)::add, &all, &log.error));
    ASSERT_EQ(all.items.size(), 4u);
    EXPECT_TRUE(KD_LogDataSourceProperty_GetDouble(all.items[2], &d));
    KD_LogDataSourceProperty_Destroy(nullptr);
}

TEST(FlatMetadata, AddGetAndListWithAlternativeRules)
{
    TempFolder folder;
    FlatLog log(folder.file("meta.ondrix"));
    KD_LogMetadata* site = KD_LogMetadata_CreateString("site", "harbour");
    EXPECT_TRUE(KD_LogFile_AddMetadata(log.file, site, &log.error));
    EXPECT_FALSE(KD_LogFile_AddMetadata(log.file, site, &log.error));
    EXPECT_EQ(messageOf(log.error), "No error");
    KD_LogMetadata_Destroy(site);
    KD_LogMetadata* numbers[] = {KD_LogMetadata_CreateInt32("a", 1), KD_LogMetadata_CreateInt64("b", 2),
                                 KD_LogMetadata_CreateDouble("c", 0.5)};
    std::int32_t i32 = 0;
    double d = 0;
    EXPECT_TRUE(KD_LogMetadata_GetInt32(numbers[0], &i32));
    EXPECT_FALSE(KD_LogMetadata_GetInt32(numbers[1], &i32));
    EXPECT_TRUE(KD_LogMetadata_GetDouble(numbers[2], &d));
    for (auto* entry : numbers) {
        EXPECT_TRUE(KD_LogFile_AddMetadata(log.file, entry, &log.error));
        KD_LogMetadata_Destroy(entry);
    }
    KD_LogMetadata* read = nullptr;
    ASSERT_TRUE(KD_LogFile_GetMetadata(log.file, "logVersion", &read, &log.error));
    std::int64_t version = 0;
    EXPECT_TRUE(KD_LogMetadata_GetInt64(read, &version));
    EXPECT_EQ(version, 4);
    const char* text = nullptr;
    EXPECT_FALSE(KD_LogMetadata_GetString(read, &text));
    KD_LogMetadata_Destroy(read);
    EXPECT_FALSE(KD_LogFile_GetMetadata(log.file, "absent", &read, &log.error));
    EXPECT_EQ(messageOf(log.error), "The requested metadata does not exist.");

    Collected<KD_LogMetadata, KD_LogMetadata_Destroy> all;
    EXPECT_TRUE(KD_LogFile_GetAllMetadata(log.file, &decltype(all)::add, &all));
    ASSERT_EQ(all.items.size(), 10u);
    const char* key = nullptr;
    KD_LogMetadata_GetKey(all.items[6], &key);
    EXPECT_STREQ(key, "site");
    EXPECT_TRUE(KD_LogMetadata_GetString(all.items[6], &text));
    EXPECT_STREQ(text, "harbour");
}

TEST(FlatResources, AddGetAndList)
{
    TempFolder folder;
    FlatLog log(folder.file("res.ondrix"), 6);
    const std::uint8_t bytes[] = {5, 6, 7, 8};
    KD_LogResource* resource = KD_LogResource_Create("thumbnail", bytes, sizeof bytes);
    EXPECT_TRUE(KD_LogFile_AddResource(log.file, resource, &log.error));
    KD_LogResource_Destroy(resource);
    KD_LogResource* read = nullptr;
    ASSERT_TRUE(KD_LogFile_GetResource(log.file, "thumbnail", &read, &log.error));
    size_t size = 0;
    const std::uint8_t* data = nullptr;
    KD_LogResource_GetData(read, &size, &data);
    ASSERT_EQ(size, 4u);
    EXPECT_EQ(data[3], 8);
    KD_LogResource_Destroy(read);
    EXPECT_FALSE(KD_LogFile_GetResource(log.file, "none", &read, &log.error));
    EXPECT_EQ(messageOf(log.error), "The requested resource does not exist.");
    Collected<KD_LogResource, KD_LogResource_Destroy> all;
    EXPECT_TRUE(KD_LogFile_GetAllResources(log.file, &decltype(all)::add, &all));
    ASSERT_EQ(all.items.size(), 1u);
    const char* name = nullptr;
    KD_LogResource_GetName(all.items[0], &name);
    EXPECT_STREQ(name, "thumbnail");
}

TEST(FlatBookmarks, RecordAccessorsAndFileOperations)
{
    TempFolder folder;
    FlatLog log(folder.file("bm.ondrix"));
    KD_LogFile_AddDataSource(log.file, log.source, &log.error);
    log.log(0, {1}, 1);
    log.log(0, {2}, 2);
    KD_LogBookmark* bookmark = KD_LogBookmark_Create(2, "title", "comment", nullptr, 0);
    size_t size = 99;
    const std::uint8_t* data = nullptr;
    KD_LogBookmark_GetPayload(bookmark, &size, &data);
    EXPECT_EQ(size, 0u);
    const std::uint8_t payload[] = {1, 2, 3};
    KD_LogBookmark_SetPayload(bookmark, payload, 2);
    KD_LogBookmark_GetPayload(bookmark, &size, &data);
    ASSERT_EQ(size, 2u);
    EXPECT_EQ(data[1], 2);
    EXPECT_TRUE(KD_LogFile_AddBookmark(log.file, bookmark, &log.error));
    KD_LogBookmark_SetTitle(bookmark, "renamed");
    KD_LogBookmark_SetComment(bookmark, "later");
    EXPECT_TRUE(KD_LogFile_UpdateBookmark(log.file, bookmark, &log.error));

    KD_LogBookmark* orphan = KD_LogBookmark_Create(50, "orphan", "", nullptr, 0);
    EXPECT_FALSE(KD_LogFile_AddBookmark(log.file, orphan, &log.error));
    EXPECT_EQ(messageOf(log.error), "Unknown internal error");
    KD_LogBookmark_Destroy(orphan);

    Collected<KD_LogBookmark, KD_LogBookmark_Destroy> all;
    EXPECT_TRUE(KD_LogFile_GetBookmarks(log.file, &decltype(all)::add, &all));
    ASSERT_EQ(all.items.size(), 1u);
    const char* title = nullptr;
    const char* comment = nullptr;
    std::int32_t entryId = 0;
    KD_LogBookmark_GetTitle(all.items[0], &title);
    KD_LogBookmark_GetComment(all.items[0], &comment);
    KD_LogBookmark_GetEntryId(all.items[0], &entryId);
    EXPECT_STREQ(title, "renamed");
    EXPECT_STREQ(comment, "later");
    EXPECT_EQ(entryId, 2);
    KD_LogBookmark_GetPayload(all.items[0], &size, &data);
    EXPECT_EQ(size, 2u);

    EXPECT_TRUE(KD_LogFile_RemoveBookmark(log.file, bookmark, &log.error));
    Collected<KD_LogBookmark, KD_LogBookmark_Destroy> none;
    KD_LogFile_GetBookmarks(log.file, &decltype(none)::add, &none);
    EXPECT_TRUE(none.items.empty());
    KD_LogBookmark_Destroy(bookmark);
}

TEST(FlatRecords, DataEntryAndSourceAccessors)
{
    KD_LogDataSource* source = KD_LogDataSource_Create(static_cast<KD_LogDataSourceType>(4), "gps");
    std::int8_t id = 0;
    KD_LogDataSourceType type = KD_LogDataSourceType_Sonar;
    const char* name = nullptr;
    KD_LogDataSource_GetId(source, &id);
    KD_LogDataSource_GetType(source, &type);
    KD_LogDataSource_GetName(source, &name);
    EXPECT_EQ(id, -1);
    EXPECT_EQ(type, 4);
    EXPECT_STREQ(name, "gps");
    const std::uint8_t bytes[] = {1, 2};
    KD_LogDataEntry* entry = KD_LogDataEntry_Create(source, 3, bytes, 2);
    std::int64_t timestamp = 0;
    KD_LogDataEntry_GetTimestamp(entry, &timestamp);
    EXPECT_GT(timestamp, 1600000000000);
    std::int8_t sourceId = 0;
    KD_LogDataEntry_GetDataSourceId(entry, &sourceId);
    EXPECT_EQ(sourceId, -1);
    KD_LogDataEntry_Destroy(entry);
    KD_LogDataSource_Destroy(source);
    KD_LogDataEntry_Destroy(nullptr);
    KD_LogError_Destroy(nullptr);
}
