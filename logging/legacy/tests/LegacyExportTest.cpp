#include "LegacyBytes.h"
#include "TestLogs.h"

#include <keldar/logging/legacy/LegacyConversion.h>
#include <keldar/ondrix/MessageBuilding.h>

#include <gtest/gtest.h>

namespace {

using namespace Keldar::Logging;
using namespace Keldar::Logging::Legacy;
using namespace Keldar::Logging::Legacy::Testing;
using Keldar::Logging::Testing::folderListing;
using Keldar::Logging::Testing::readBytes;
using Keldar::Logging::Testing::TempFolder;
namespace Build = Keldar::Ondrix::MessageBuilding;

constexpr std::int64_t createdAt = 1700000000123;

// A current log of `count` sonar messages, types cycling 0, 1, 2, at
// timestamps 77 ms apart starting from a time with milliseconds.
std::vector<DataEntry> makeLog(const std::filesystem::path& path, int count)
{
    SqliteLogFile log(path.string(), "UTC", "test", "1", -1, createdAt);
    DataSource source{-1, KD_LogDataSourceType_Sonar, "Ondrix Rostrel A"};
    log.addDataSource(source);
    std::vector<DataEntry> entries;
    for (int i = 0; i < count; ++i) {
        Build::ImageDescription image;
        image.sourceId = 7;
        image.beams = 1;
        image.ranges = 3;
        image.bearings = {static_cast<std::int16_t>(i)};
        image.samples = {static_cast<std::uint8_t>(i), 1, 2};
        const auto type = static_cast<std::uint32_t>(i % 3);
        const auto message = type == 0   ? Build::buildSimplePingResult(image)
                             : type == 1 ? Build::buildSimplePingResultV2(image)
                                         : Build::buildFullFireResult(image);
        entries.push_back({0, source.id, type, toBytes(message), createdAt + 77 * i});
        log.logData(entries.back());
    }
    return entries;
}

Playback::LogFilePlayer playerOf(const std::filesystem::path& path)
{
    return Playback::LogFilePlayer(std::make_unique<SqliteLogFile>(path), {KD_LogDataSourceType_Sonar}, {}, false, 500);
}

TEST(LegacyExport, ExportedRangeConvertsBackToTheSameEntries)
{
    TempFolder folder;
    const auto path = folder.file("dive.ondrix");
    const auto entries = makeLog(path, 6);
    auto player = playerOf(path);

    std::vector<std::int64_t> values;
    const auto exported = exportToLegacyLog(player, 1, 4, {.setValue = [&](std::int64_t v) { values.push_back(v); }});
    ASSERT_TRUE(exported);
    EXPECT_EQ(exported->path, folder.file("dive_legacy.ondrix"));
    EXPECT_TRUE(exported->isComplete());
    EXPECT_EQ(values, (std::vector<std::int64_t>{1, 1, 2, 3, 4}));

    const Bytes bytes = readBytes(exported->path);
    EXPECT_EQ(field(bytes, 0, 4), 0x11223344U);
    EXPECT_DOUBLE_EQ(doubleField(bytes, 40), createdAt / 1000.0);
    // The first record holds a version-2 ping result (frame 1, type 1).
    EXPECT_EQ(field(bytes, 48 + 8, 2), 10U);
    EXPECT_EQ(field(bytes, 48 + 10, 2), 2U);
    EXPECT_EQ(field(bytes, 48 + 32, 4), entries[1].payload.size());

    const auto converted = convertLegacyLogFile(exported->path.string(), {"UTC", "test", 0});
    ASSERT_TRUE(converted);
    const auto back = converted->readEntries(-1, -1, {}, -1);
    ASSERT_EQ(back.size(), 4U);
    for (std::size_t i = 0; i < back.size(); ++i) {
        EXPECT_EQ(back[i].payload, entries[i + 1].payload) << i;
        EXPECT_EQ(back[i].type, entries[i + 1].type) << i;
        EXPECT_EQ(back[i].timestamp, entries[i + 1].timestamp) << i;
    }

    EXPECT_EQ(exportToLegacyLog(player, 0, 0)->path, folder.file("dive_legacy_1.ondrix")) << "names are made unique";
}

// Images rebuilt from older records carry the id the older viewer gave them;
// exported again they must still convert.
TEST(LegacyExport, RebuiltOlderImagesConvertAgainAfterExport)
{
    TempFolder folder;
    const auto path = folder.file("old.ondrix");
    Keldar::Logging::Testing::writeBytes(
        path, concat({fileHeader(), record({.kind = 20, .time = 10.0, .payload = configuration(3, 50, 1, 2, {-5, 5})}),
                      record({.kind = 21, .time = 10.0, .payload = {1, 2, 3, 4}}),
                      record({.kind = 21, .time = 10.1, .payload = {5, 6, 7, 8}})}));
    const auto converted = convertLegacyLogFile(path.string(), {"UTC", "test", 0});
    ASSERT_TRUE(converted);
    const auto before = converted->readEntries(-1, -1, {}, -1);
    auto player = playerOf(path);
    const auto exported = exportToLegacyLog(player, 0, 1);
    ASSERT_TRUE(exported);
    const auto again = convertLegacyLogFile(exported->path.string(), {"UTC", "test", 0});
    ASSERT_TRUE(again);
    const auto after = again->readEntries(-1, -1, {}, -1);
    ASSERT_EQ(after.size(), 2U);
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].payload, before[i].payload) << i;
        EXPECT_EQ(after[i].type, 0U) << i;
        EXPECT_EQ(after[i].timestamp, before[i].timestamp) << i;
    }
}

// Records of kinds the converter keeps as they are come back with their kind;
// entries no record can carry are left out and counted, never written as a
// kind the converter would then refuse or misread.
TEST(LegacyExport, EntriesOfOtherKindsKeepTheirKindOrAreLeftOutAndCounted)
{
    TempFolder folder;
    const auto path = folder.file("old.ondrix");
    Build::ImageDescription image;
    image.beams = 1;
    image.ranges = 1;
    image.bearings = {0};
    image.samples = {7};
    const auto ping = toBytes(Build::buildSimplePingResult(image));
    Keldar::Logging::Testing::writeBytes(path,
                                         concat({fileHeader(), record({.kind = 10, .time = 10.0, .payload = ping}),
                                                 record({.kind = 21, .time = 11.0, .payload = {1, 2}}),
                                                 record({.kind = 99, .time = 12.0, .payload = {3}})}));
    const auto converted = convertLegacyLogFile(path.string(), {"UTC", "test", 0});
    ASSERT_TRUE(converted);
    const std::int8_t unknown = converted->getDataSources().back().id;
    for (const std::uint32_t type : {20U, 10U, 0x10000U}) {
        ASSERT_TRUE(converted->logData({0, unknown, type, {5}, 13000}));
    }
    // A sonar entry whose message is not of its type.
    ASSERT_TRUE(converted->logData({0, converted->getDataSources().front().id, 2, ping, 14000}));

    auto player = playerOf(path);
    const auto exported = exportToLegacyLog(player, 0, player.getFrameCount() - 1);
    ASSERT_TRUE(exported);
    EXPECT_EQ(exported->framesWritten, 3);
    EXPECT_EQ(exported->framesOfOtherKinds, 4);
    EXPECT_EQ(exported->framesUnreadable, 0);
    EXPECT_FALSE(exported->isComplete());
    const auto again = convertLegacyLogFile(exported->path.string(), {"UTC", "test", 0});
    ASSERT_TRUE(again);
    const auto back = again->readEntries(-1, -1, {}, -1);
    ASSERT_EQ(back.size(), 3U);
    EXPECT_EQ(back[0].type, 0U);
    EXPECT_EQ(back[0].payload, ping);
    EXPECT_EQ(back[1].type, 21U);
    EXPECT_EQ(back[1].payload, (Bytes{1, 2}));
    EXPECT_EQ(back[2].type, 99U);
    EXPECT_EQ(back[2].payload, Bytes{3});
}

TEST(LegacyExport, CancelRemovesTheFileAndRangesOutsideTheLogAreRefused)
{
    TempFolder folder;
    const auto path = folder.file("dive.ondrix");
    makeLog(path, 3);
    auto player = playerOf(path);
    const auto before = folderListing(folder.path());

    std::filesystem::path removed;
    EXPECT_FALSE(
        exportToLegacyLog(player, 0, 2,
                          {.wasCancelled = [] { return true; },
                           .removedPartial = [&](const std::filesystem::path& partial) { removed = partial; }}));
    EXPECT_NE(removed.filename().string().find("dive_legacy.partial-"), std::string::npos) << removed;
    EXPECT_EQ(folderListing(folder.path()), before);

    EXPECT_THROW(exportToLegacyLog(player, 2, 1), std::out_of_range);
    EXPECT_THROW(exportToLegacyLog(player, 0, 3), std::out_of_range);
    EXPECT_THROW(exportToLegacyLog(player, -1, 0), std::out_of_range);
    EXPECT_FALSE(std::filesystem::exists(folder.file("dive_legacy.ondrix")));
}

} // namespace
