#include <keldar/logging/LogFilePlayer.h>
#include <keldar/logging/SqliteLogFile.h>
#include <keldar/logging/frames/FrameReader.h>
#include <keldar/navigation/NavigationLog.h>
#include <keldar/navigation/NmeaSource.h>

#include <gtest/gtest.h>

#include <utility> // before Asio, whose awaitable.hpp uses std::exchange without it

#include <boost/asio.hpp>

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <unistd.h>

using namespace Keldar::Navigation;
using namespace Keldar::Logging;

namespace {

std::filesystem::path scratch(const std::string& name)
{
    const auto folder = std::filesystem::temp_directory_path() / ("navigation-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    return folder / name;
}

DataEntry entry(std::int8_t source, std::uint32_t type, const std::string& text, std::int64_t time)
{
    DataEntry e;
    e.dataSourceId = source;
    e.type = type;
    e.payload.assign(text.begin(), text.end());
    e.timestamp = time;
    return e;
}

} // namespace

// Sentences recorded beside the sonar's messages read back as a track, and
// neither frame numbering nor playback sees them.
TEST(NavigationLog, RecordedSentencesComeBackAndLeaveFramesAlone)
{
    const auto path = scratch("round-trip.ondrix");
    std::filesystem::remove(path);
    {
        SqliteLogFile file(path.string(), "UTC", "test", "1", 0, 1000);
        DataSource sonar{-1, KD_LogDataSourceType_Sonar, "sonar"};
        DataSource navigation{-1, KD_LogDataSourceType_Navigation, navigationSourceName};
        ASSERT_TRUE(file.addDataSource(sonar));
        ASSERT_TRUE(file.addDataSource(navigation));
        for (int i = 0; i < 4; ++i) {
            ASSERT_TRUE(file.logData(entry(sonar.id, 1, "not parsed here", 1000 + i * 100)));
            const double minutes = 0.001 * i;
            char body[128];
            std::snprintf(body, sizeof body, "GPGGA,120000,60%06.3f,N,01042.000,E,1,08,0.9,5,M,4,M,,", minutes);
            ASSERT_TRUE(file.logData(entry(navigation.id, nmeaSentenceType, withChecksum(body), 1050 + i * 100)));
        }
        ASSERT_TRUE(file.logData(entry(navigation.id, nmeaSentenceType, "$GPHDT,90.0,T*00", 1100)));
    }
    SqliteLogFile file(path, SqliteLogFile::Access::ReadOnly);
    ASSERT_TRUE(hasNavigationSource(file));
    const auto track = readNavigationTrack(file);
    ASSERT_EQ(track.positions().size(), 4U); // the sentence with the wrong checksum is passed over
    EXPECT_TRUE(track.headings().empty());
    EXPECT_NEAR(track.positionAt(1100)->latitude, 60.0 + 0.0005 / 60.0, 1e-12);

    Frames::FrameReader reader(file);
    EXPECT_EQ(reader.count(), 4);
    EXPECT_EQ(reader.entryId(1), 3);

    // The viewer's player, asked for the sonar source, numbers the same frames.
    Playback::LogFilePlayer player(
        std::make_unique<SqliteLogFile>(path, SqliteLogFile::Access::ReadOnly), {KD_LogDataSourceType_Sonar},
        [](std::int32_t, DataEntry) {}, false, 500);
    EXPECT_EQ(player.getFrameCount(), 4);
    std::filesystem::remove_all(path.parent_path());
}

TEST(NavigationLog, OlderRecordingsHaveNoNavigation)
{
    const auto path = scratch("plain.ondrix");
    std::filesystem::remove(path);
    {
        SqliteLogFile file(path.string(), "UTC", "test", "1", 0, 1000);
        DataSource sonar{-1, KD_LogDataSourceType_Sonar, "sonar"};
        ASSERT_TRUE(file.addDataSource(sonar));
        ASSERT_TRUE(file.logData(entry(sonar.id, 1, "x", 1000)));
    }
    SqliteLogFile file(path, SqliteLogFile::Access::ReadOnly);
    EXPECT_FALSE(hasNavigationSource(file));
    EXPECT_TRUE(readNavigationTrack(file).empty());
    std::filesystem::remove_all(path.parent_path());
}

// Lines over UDP arrive one by one with their time; over-long junk is dropped.
TEST(NmeaSourceTest, UdpDeliversEachLineAndDropsOverlongOnes)
{
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::string> lines;
    NmeaSource source(NmeaEndpoint::parse("udp:127.0.0.1:0"), [&](const std::string& line, std::int64_t time) {
        std::lock_guard lock(mutex);
        EXPECT_GT(time, 0);
        lines.push_back(line);
        arrived.notify_all();
    });
    source.start();
    boost::asio::io_context io;
    boost::asio::ip::udp::socket sender(io, boost::asio::ip::udp::v4());
    const boost::asio::ip::udp::endpoint to(boost::asio::ip::make_address("127.0.0.1"), source.boundPort());
    sender.send_to(boost::asio::buffer(std::string(5000, 'x')), to);
    sender.send_to(boost::asio::buffer(std::string("$HEHDT,1.0,T*00\r\n$HEHDT,2.0,T*00")), to);
    std::unique_lock lock(mutex);
    ASSERT_TRUE(arrived.wait_for(lock, std::chrono::seconds(30), [&] { return lines.size() >= 2; }));
    EXPECT_EQ(lines, (std::vector<std::string>{"$HEHDT,1.0,T*00", "$HEHDT,2.0,T*00"}));

    EXPECT_EQ(NmeaEndpoint::parse("udp:10110").port, 10110);
    EXPECT_EQ(NmeaEndpoint::parse("tcp:localhost:2000").host, "localhost");
    EXPECT_EQ(NmeaEndpoint::parse("serial:/dev/ttyUSB0:38400").baud, 38400U);
    EXPECT_THROW(NmeaEndpoint::parse("tcp:2000"), std::invalid_argument);
    EXPECT_THROW(NmeaEndpoint::parse("serial:/dev/ttyUSB0:fast"), std::invalid_argument);
    EXPECT_THROW(NmeaEndpoint::parse("http:1"), std::invalid_argument);
}
