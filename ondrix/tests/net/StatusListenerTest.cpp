#include "NetTestSupport.h"

#include <keldar/ondrix/MessageBuilding.h>
#include <keldar/ondrix/StatusSocketThread.h>

#include <gtest/gtest.h>

#include <cstring>

using namespace NetTest;
using Keldar::Ondrix::StatusFields;
using Keldar::Ondrix::Status::Message;
using Keldar::Ondrix::Status::StatusSocketThread;

namespace {

StatusFields sampleFields(std::uint32_t serial)
{
    StatusFields f;
    f.serialNumber = serial;
    f.partNumber = static_cast<Keldar::Ondrix::ModelNumber>(1032);
    f.statusWord = 0x4004;
    f.firmwareVersion = 77;
    f.ipAddress = 0x0200007F;
    f.subnetMask = 0x000000FF;
    f.internalTemperature = 41.5;
    f.waterTemperature = 9.25;
    f.pressure = 2.5;
    return f;
}

// `datagram` cut or padded to `length` bytes, its header saying so.
std::vector<std::byte> resized(std::vector<std::byte> datagram, std::size_t length)
{
    datagram.resize(length, std::byte{0xEE});
    const auto payload = static_cast<std::uint32_t>(length - 16);
    std::memcpy(datagram.data() + 10, &payload, sizeof payload);
    return datagram;
}

class StatusListener : public ::testing::Test
{
protected:
    std::uint16_t port = freeUdpPort();
    StatusSocketThread listener{"127.0.0.1", port, std::chrono::milliseconds(100)};
    Recorder<Message> received;
    Keldar::Connection connection = listener.statusReceived.connect([this](Message message) { received.add(message); });

    void TearDown() override { listener.stop(); }
};

} // namespace

TEST_F(StatusListener, DeliversDatagramFieldsToListeners)
{
    listener.start();
    ASSERT_TRUE(waitUntil([&] { return listener.isListening(); }, generousWait));
    DatagramSender sender(port);
    sender.send(Keldar::Ondrix::MessageBuilding::buildStatusDatagram(sampleFields(1234)));
    ASSERT_TRUE(received.waitForSize(1, generousWait));
    EXPECT_EQ(received.values()[0].fields(), sampleFields(1234));
}

TEST_F(StatusListener, IgnoresDatagramsWithAnotherMagic)
{
    listener.start();
    ASSERT_TRUE(waitUntil([&] { return listener.isListening(); }, generousWait));
    DatagramSender sender(port);
    auto datagram = Keldar::Ondrix::MessageBuilding::buildStatusDatagram(sampleFields(1));
    std::swap(datagram[0], datagram[1]); // 0x3A 0x7C: byte order wrong
    sender.send(datagram);
    sender.send(Keldar::Ondrix::MessageBuilding::buildStatusDatagram(sampleFields(2)));
    ASSERT_TRUE(received.waitForSize(1, generousWait));
    std::this_thread::sleep_for(100ms);
    ASSERT_EQ(received.size(), 1U);
    EXPECT_EQ(received.values()[0].fields().serialNumber, 2U);
}

TEST_F(StatusListener, LongDatagramIsCutAndShortOneZeroFilled)
{
    listener.start();
    ASSERT_TRUE(waitUntil([&] { return listener.isListening(); }, generousWait));
    DatagramSender sender(port);
    sender.send(resized(Keldar::Ondrix::MessageBuilding::buildStatusDatagram(sampleFields(5)), 200));
    // Loses water temperature (110) and pressure (134).
    sender.send(resized(Keldar::Ondrix::MessageBuilding::buildStatusDatagram(sampleFields(6)), 100));
    ASSERT_TRUE(received.waitForSize(2, generousWait));
    const auto values = received.values();
    EXPECT_EQ(values[0].fields(), sampleFields(5));
    const StatusFields cut = values[1].fields();
    EXPECT_EQ(cut.serialNumber, 6U);
    EXPECT_DOUBLE_EQ(cut.internalTemperature, 41.5);
    EXPECT_EQ(cut.waterTemperature, 0.0);
    EXPECT_EQ(cut.pressure, 0.0);
}

TEST_F(StatusListener, DropsAndCountsDatagramsThatCannotComeFromASonar)
{
    listener.start();
    ASSERT_TRUE(waitUntil([&] { return listener.isListening(); }, generousWait));
    DatagramSender sender(port);
    const auto valid = Keldar::Ondrix::MessageBuilding::buildStatusDatagram(sampleFields(7));
    auto noSerial = sampleFields(0);
    auto noAddress = sampleFields(8);
    noAddress.ipAddress = 0;
    auto pingResultId = valid;
    pingResultId[6] = std::byte{0x23};
    auto hugePayload = valid;
    for (const std::size_t i : {10, 11, 12, 13}) {
        hugePayload[i] = std::byte{0xFF};
    }
    hugePayload[10] = std::byte{0xF0};
    auto cutShort = valid;
    cutShort.resize(100); // the header still claims 142 bytes
    const std::vector<std::vector<std::byte>> garbage{Keldar::Ondrix::MessageBuilding::buildStatusDatagram(noSerial),
                                                      Keldar::Ondrix::MessageBuilding::buildStatusDatagram(noAddress),
                                                      pingResultId,
                                                      hugePayload,
                                                      cutShort,
                                                      {valid.begin(), valid.begin() + 8}};
    for (const auto& datagram : garbage) {
        sender.send(datagram);
    }
    sender.send(valid);
    // Datagrams are handled in order, so the valid one comes last.
    ASSERT_TRUE(received.waitForSize(1, generousWait));
    EXPECT_EQ(received.values()[0].fields(), sampleFields(7));
    EXPECT_EQ(listener.droppedDatagramCount(), garbage.size());
    EXPECT_EQ(received.size(), 1U);
}

TEST_F(StatusListener, TicksAtItsPeriodWithoutAnyTraffic)
{
    Recorder<std::chrono::steady_clock::time_point> ticks;
    auto tickConnection = listener.tick.connect([&] { ticks.add(std::chrono::steady_clock::now()); });
    const auto started = std::chrono::steady_clock::now();
    listener.start();
    ASSERT_TRUE(ticks.waitForSize(4, generousWait));
    const auto values = ticks.values();
    // Four ticks of 100 ms cannot come sooner than 400 ms after the start.
    EXPECT_GE(values[3] - started, 390ms);
    for (std::size_t i = 1; i < values.size(); ++i) {
        EXPECT_GE(values[i] - values[i - 1], 90ms);
    }
    listener.stop(); // before `ticks` goes
}

TEST(StatusListenerErrors, UnusableAddressIsRetriedWhileTicksGoOn)
{
    // 192.0.2.1 is a documentation address that this host does not own, so
    // bind fails: the thread must survive, count the error and keep ticking.
    StatusSocketThread listener("192.0.2.1", freeUdpPort(), std::chrono::milliseconds(100));
    Recorder<int> ticks;
    auto connection = listener.tick.connect([&] { ticks.add(1); });
    listener.start();
    ASSERT_TRUE(ticks.waitForSize(3, generousWait));
    EXPECT_GE(listener.socketErrorCount(), 1U);
    EXPECT_FALSE(listener.isListening());
    EXPECT_TRUE(listener.isRunning());
    listener.stop(); // returns at all only if the retries end with it
    EXPECT_FALSE(listener.isRunning());
}

TEST(StatusListenerErrors, TextThatIsNotAnAddressDoesNotEndTheProgram)
{
    StatusSocketThread listener("not an address", freeUdpPort(), std::chrono::milliseconds(50));
    listener.start();
    ASSERT_TRUE(waitUntil([&] { return listener.socketErrorCount() >= 2; }, generousWait));
    listener.stop();
    EXPECT_FALSE(listener.isRunning());
}

TEST(StatusListenerLifecycle, StopWithoutStartAndDoubleStartAreHarmless)
{
    const std::uint16_t port = freeUdpPort();
    StatusSocketThread listener("127.0.0.1", port, std::chrono::milliseconds(100));
    listener.stop();
    listener.start();
    listener.start();
    ASSERT_TRUE(waitUntil([&] { return listener.isListening(); }, generousWait));
    listener.stop();
    EXPECT_FALSE(listener.isListening());
}
