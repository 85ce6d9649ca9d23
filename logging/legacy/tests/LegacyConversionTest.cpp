#include "LegacyBytes.h"
#include "TestLogs.h"

#include <keldar/logging/legacy/LegacyConversion.h>
#include <keldar/logging/legacy/LegacyLogReader.h>
#include <keldar/ondrix/MessageBuilding.h>
#include <keldar/ondrix/MessageParsing.h>

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

namespace {

using namespace Keldar::Logging;
using namespace Keldar::Logging::Legacy;
using namespace Keldar::Logging::Legacy::Testing;
using Keldar::Logging::Testing::readBytes;
using Keldar::Logging::Testing::TempFolder;
using Keldar::Logging::Testing::writeBytes;
namespace Build = Keldar::Ondrix::MessageBuilding;

const ConversionSettings settings{"Europe/Oslo", "Ondrix Lumivane", 0};

Bytes sonarMessage(int which)
{
    Build::ImageDescription image;
    image.sourceId = 51001;
    image.partNumber = Keldar::Ondrix::ModelNumber::RostrelA1032;
    image.beams = 2;
    image.ranges = 2;
    image.range = 5.0 + which;
    image.bearings = {-10, 10};
    image.samples = {1, 2, 3, static_cast<std::uint8_t>(which)};
    switch (which % 3) {
    case 0:
        return toBytes(Build::buildSimplePingResult(image));
    case 1:
        return toBytes(Build::buildSimplePingResultV2(image));
    default:
        return toBytes(Build::buildFullFireResult(image));
    }
}

std::vector<std::filesystem::path> folderContents(const TempFolder& folder)
{
    std::vector<std::filesystem::path> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string sourceName(const SqliteLogFile& log, std::int8_t id)
{
    for (const auto& source : log.getDataSources()) {
        if (source.id == id) {
            return source.name;
        }
    }
    return "missing";
}

TEST(LegacyConversion, SpreadsEqualTimesAndRoutesRecordsToTheirSources)
{
    TempFolder folder;
    const auto path = folder.file("dive.ondrix");
    const double t = 1700000000.25;
    const Bytes original = concat({
        fileHeader(t),
        record({.kind = 10, .time = t, .payload = sonarMessage(0)}),
        record({.kind = 10, .time = t, .payload = sonarMessage(1), .versionFlag = 2}),
        record({.kind = 10, .time = t, .payload = sonarMessage(2)}),
        record({.kind = 21, .time = t + 1, .payload = {9, 8, 7}}),
        record({.kind = 99, .time = t + 2, .payload = {}}),
    });
    writeBytes(path, original);
    writeBytes(folder.file("dive.ondrix.old"), {1, 2, 3}); // an earlier backup is not overwritten

    std::filesystem::path kept;
    const auto log = convertLegacyLogFile(path.string(), settings, {}, &kept);
    ASSERT_TRUE(log);
    EXPECT_EQ(log->getFilePath(), path);
    EXPECT_EQ(kept, folder.file("dive.ondrix_1.old"));
    EXPECT_EQ(readBytes(kept), original);
    EXPECT_EQ(readBytes(folder.file("dive.ondrix.old")), (Bytes{1, 2, 3}));
    for (const auto& name : folderContents(folder)) {
        EXPECT_EQ(name.string().find("_temp"), std::string::npos) << name;
    }

    const auto entries = log->readEntries(-1, -1, {}, -1);
    ASSERT_EQ(entries.size(), 5U);
    const std::int64_t ms = 1700000000250;
    const std::vector<std::int64_t> timestamps{ms, ms + 333, ms + 666, ms + 1000, ms + 2000};
    const std::vector<std::uint32_t> types{0, 1, 2, 21, 99};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].timestamp, timestamps[i]) << i;
        EXPECT_EQ(entries[i].type, types[i]) << i;
        EXPECT_EQ(sourceName(*log, entries[i].dataSourceId), i < 3 ? "Ondrix Sonar" : "Unknown") << i;
    }
    EXPECT_EQ(entries[1].payload, sonarMessage(1));
    EXPECT_EQ(entries[3].payload, (Bytes{9, 8, 7})) << "an image before any configuration is carried unchanged";

    const auto sonar = entries[0].dataSourceId;
    const auto unknown = entries[3].dataSourceId;
    EXPECT_EQ(log->getDataSourceProperty(sonar, "serialNumber"), PropertyValue{std::int64_t{51001}});
    EXPECT_EQ(log->getDataSourceProperty(sonar, "modelNumber"), PropertyValue{std::int64_t{1032}});
    EXPECT_EQ(log->getDataSourceProperty(unknown, "serialNumber"), PropertyValue{std::int64_t{0}});
    EXPECT_EQ(log->getMetadataValue("applicationVersion"), PropertyValue{std::string("1.0.0")});
    EXPECT_EQ(log->getMetadataValue("currentTimeZone"), PropertyValue{std::string("Europe/Oslo")});
}

TEST(LegacyConversion, RebuildsOlderImagesAsVersionOnePingResults)
{
    TempFolder folder;
    const auto path = folder.file("old.ondrix");
    const double t = 1600000000.5;
    const Bytes samples{10, 20, 30, 40, 50, 60};
    writeBytes(path,
               concat({
                   fileHeader(),
                   record({.kind = 20, .time = t, .payload = configuration(12.5F, 40.0F, 2.0F, 2, {-300, 0, 300})}),
                   record({.kind = 21, .time = t, .payload = samples}),
                   record({.kind = 21, .time = t, .payload = samples}),
               }));
    const auto log = convertLegacyLogFile(path.string(), settings);
    ASSERT_TRUE(log);
    const auto entries = log->readEntries(-1, -1, {}, -1);
    ASSERT_EQ(entries.size(), 2U);
    // Rebuilt images keep their record's own time; they are not spread.
    EXPECT_EQ(entries[0].timestamp, 1600000000500);
    EXPECT_EQ(entries[1].timestamp, 1600000000500);
    EXPECT_EQ(entries[0].type, 0U);
    EXPECT_EQ(sourceName(*log, entries[0].dataSourceId), "Ondrix Sonar");

    const Bytes& message = entries[0].payload;
    ASSERT_EQ(message.size(), 122U + 6U + samples.size());
    EXPECT_EQ(field(message, 0, 2), 0x3A7CU);
    EXPECT_EQ(field(message, 6, 2), 21U);
    EXPECT_EQ(field(message, 8, 2), 0U) << "message version";
    EXPECT_EQ(field(message, 10, 4), message.size() - 16);
    EXPECT_EQ(message[16], 2U) << "frequency mode";
    EXPECT_EQ(field(message, 110, 4), 128U);
    EXPECT_EQ(field(message, 114, 4), samples.size());

    std::vector<std::byte> raw(message.size());
    std::memcpy(raw.data(), message.data(), message.size());
    const auto parsed = Keldar::Ondrix::MessageParsing::parseSimplePingResult(raw);
    EXPECT_DOUBLE_EQ(parsed.image.getRange(), 12.5);
    EXPECT_DOUBLE_EQ(parsed.image.getGain(), 40.0);
    EXPECT_EQ(parsed.image.getWidth(), 3);
    EXPECT_EQ(parsed.image.getHeight(), 2);
    EXPECT_EQ(parsed.image.getBearings(), (std::vector<std::int16_t>{-300, 0, 300}));
    EXPECT_EQ(parsed.image.getData(), samples);
}

TEST(LegacyConversion, HeaderOnlyFileBecomesAnEmptyLog)
{
    TempFolder folder;
    const auto path = folder.file("empty.ondrix");
    writeBytes(path, fileHeader(1.0));
    std::int64_t maximum = -1;
    KD_LogConfig* config = KD_LogConfig_Create("ignored", "ignored", "Asia/Tokyo");
    ASSERT_TRUE(KD_LogConfig_SetCompressionLevel(config, 4, nullptr));
    const auto log = convertLegacyLogFile(path.string(), config, "Ondrix Lumivane",
                                          {.setRange = [&](std::int64_t, std::int64_t max) { maximum = max; }});
    KD_LogConfig_Destroy(config);
    ASSERT_TRUE(log);
    EXPECT_EQ(log->getEntryCount(), 0);
    EXPECT_TRUE(log->getDataSources().empty());
    EXPECT_EQ(maximum, 0);
    EXPECT_EQ(log->getCompressionLevel(), 4);
    EXPECT_EQ(log->getMetadataValue("currentTimeZone"), PropertyValue{std::string("Asia/Tokyo")});
    EXPECT_EQ(log->getMetadataValue("applicationName"), PropertyValue{std::string("Ondrix Lumivane")});
    EXPECT_TRUE(std::filesystem::exists(folder.file("empty.ondrix.old")));
}

// Every refusal leaves the original untouched and nothing else in its folder.
TEST(LegacyConversion, RefusesMalformedFilesWithoutTouchingThem)
{
    const Bytes good = concat({fileHeader(), record({.kind = 10, .time = 5.0, .payload = sonarMessage(0)})});
    const Bytes userConfig = toBytes(Build::buildUserConfigReply(1, Keldar::Ondrix::ModelNumber::Unknown, false, 0, 0));
    const std::vector<std::int16_t> beams1025(1025, 7);
    struct Case
    {
        const char* name;
        Bytes bytes;
        const char* message;
    };
    const std::vector<Case> cases{
        {"wrong first magic", concat({fileHeader(0.0, 0x11223345), good}), notWellFormedMessage},
        {"short file header", Bytes(good.begin(), good.begin() + 30), notWellFormedMessage},
        {"short record header", concat({good, Bytes(39, 0)}), notWellFormedMessage},
        {"wrong record magic", concat({good, record({.time = 6.0, .payload = sonarMessage(1), .magic = 0xAABBCCDE})}),
         notWellFormedMessage},
        {"truncated payload", concat({good, record({.time = 6.0, .payload = {1, 2, 3}, .claimedSize = 4})}),
         notWellFormedMessage},
        {"payload size past the end", concat({good, record({.time = 6.0, .payload = {}, .claimedSize = 0xFFFFFFF0})}),
         notWellFormedMessage},
        {"configuration of 1026 beams",
         concat({good, record({.kind = 20,
                               .time = 6.0,
                               .payload = configuration(1, 1, 1, 1, std::vector<std::int16_t>(1026, 1))})}),
         notWellFormedMessage},
        {"beam count beyond its record",
         concat({good, record({.kind = 20, .time = 6.0, .payload = configuration(1, 1, 1, 1, {1, 2}, 900)})}),
         notWellFormedMessage},
        {"sonar record that is no message", concat({good, record({.time = 6.0, .payload = {1, 2, 3}})}),
         notWellFormedMessage},
        {"infinite time", concat({good, record({.time = 1.0 / 0.0, .payload = sonarMessage(0)})}),
         notWellFormedMessage},
        {"unsupported message", concat({good, record({.time = 6.0, .payload = userConfig})}),
         unsupportedDataTypeMessage},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        const auto path = folder.file("bad.ondrix");
        writeBytes(path, c.bytes);
        try {
            convertLegacyLogFile(path.string(), settings);
            ADD_FAILURE() << c.name << ": converted";
        } catch (const ConversionError& error) {
            EXPECT_STREQ(error.what(), c.message) << c.name;
        }
        EXPECT_EQ(readBytes(path), c.bytes) << c.name;
        EXPECT_EQ(folderContents(folder), std::vector<std::filesystem::path>{"bad.ondrix"}) << c.name;
    }

    // The largest configuration the format allows converts.
    TempFolder folder;
    const auto path = folder.file("wide.ondrix");
    writeBytes(path, concat({good, record({.kind = 20, .time = 6.0, .payload = configuration(1, 1, 1, 1, beams1025)}),
                             record({.kind = 21, .time = 6.0, .payload = {1}})}));
    const auto log = convertLegacyLogFile(path.string(), settings);
    ASSERT_TRUE(log);
    EXPECT_EQ(log->getEntryCount(), 2);
}

// A crafted payload size is refused while the group's headers are scanned,
// before the reader sizes any buffer from it.
TEST(LegacyConversion, ReaderRefusesOversizedPayloadBeforeReadingIt)
{
    std::istringstream in(
        std::string(reinterpret_cast<const char*>(
                        concat({fileHeader(), record({.payload = {1}, .claimedSize = 0xFFFFFFFF})}).data()),
                    48 + 41));
    LegacyLogReader reader(in);
    EXPECT_THROW(reader.scanGroup(), ConversionError);
}

TEST(LegacyConversion, CancelLeavesOnlyTheOriginal)
{
    TempFolder folder;
    const auto path = folder.file("long.ondrix");
    Bytes bytes = fileHeader();
    for (int i = 0; i < 40; ++i) {
        bytes = concat({bytes, record({.time = 10.0 + i, .payload = sonarMessage(i)})});
    }
    writeBytes(path, bytes);
    int groups = 0;
    std::filesystem::path removed;
    const auto log =
        convertLegacyLogFile(path.string(), settings,
                             {.wasCancelled = [&] { return ++groups > 3; },
                              .removedPartial = [&](const std::filesystem::path& partial) { removed = partial; }});
    EXPECT_FALSE(log);
    EXPECT_EQ(groups, 4);
    EXPECT_NE(removed.filename().string().find("long.partial-"), std::string::npos) << removed;
    EXPECT_EQ(readBytes(path), bytes);
    EXPECT_EQ(folderContents(folder), std::vector<std::filesystem::path>{"long.ondrix"});
}

} // namespace
