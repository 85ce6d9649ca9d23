#include "NetTestSupport.h"

#include <keldar/ondrix/ConnectionManager.h>
#include <keldar/ondrix/MessageBuilding.h>
#include <keldar/ondrix/StatusSocketThread.h>

#include <gtest/gtest.h>

#include <atomic>

using namespace NetTest;
using Keldar::Ondrix::StatusFields;
using Keldar::Ondrix::Utilities::ConnectionManager;

namespace {

StatusFields fieldsFor(std::uint32_t serial, std::uint16_t part = 1032)
{
    StatusFields f;
    f.serialNumber = serial;
    f.partNumber = static_cast<Keldar::Ondrix::ModelNumber>(part);
    f.statusWord = (1U << 30U); // AHRS fitted, no pressure sensor
    f.firmwareVersion = 305;
    f.ipAddress = 0x0300007F;  // 127.0.0.3 as the status datagram carries it
    f.subnetMask = 0x000000FF; // 255.0.0.0
    return f;
}

class Discovery : public ::testing::Test
{
protected:
    std::uint16_t port = freeUdpPort();
    // Before the manager, so that the listener thread has stopped before it goes.
    Recorder<ConnectionManager::VisibleSonars> changes;
    ConnectionManager manager{ConnectionManager::Settings{"127.0.0.1", port, 52100, std::chrono::milliseconds(200),
                                                          std::chrono::milliseconds(2100)}};
    Keldar::Connection connection = manager.visibleSonarsChanged.connect(
        [this](const ConnectionManager::VisibleSonars& table) { changes.add(table); });
    DatagramSender sender{port};

    void startAndWaitForTick()
    {
        std::atomic<int> ticks{0};
        auto tick = manager.getStatusListener().tick.connect([&] { ++ticks; });
        manager.startListening();
        ASSERT_TRUE(waitUntil([&] { return ticks.load() > 0; }, generousWait));
        tick.disconnect();
    }

    void send(const StatusFields& f) { sender.send(Keldar::Ondrix::MessageBuilding::buildStatusDatagram(f)); }
};

} // namespace

TEST_F(Discovery, FirstDatagramAddsTheSonarWithItsDetails)
{
    startAndWaitForTick();
    send(fieldsFor(9001));
    ASSERT_TRUE(changes.waitForSize(1, generousWait));
    const auto table = manager.getVisibleSonars();
    ASSERT_EQ(table.count(9001), 1U);
    const auto& info = table.at(9001);
    EXPECT_EQ(info.serialNumber, 9001U);
    EXPECT_EQ(info.ipAddress, "127.0.0.3");
    EXPECT_EQ(info.subnetMask, "255.0.0.0");
    EXPECT_EQ(info.firmwareVersion, "305");
    EXPECT_EQ(info.spec.name, "Rostrel A");
    EXPECT_TRUE(info.connectable);
    EXPECT_TRUE(info.capabilities.hasAhrs);
    EXPECT_FALSE(info.capabilities.hasPressureSensor);
    EXPECT_GT(info.lastSeen, 0);
}

TEST_F(Discovery, IdenticalDatagramChangesNothing)
{
    startAndWaitForTick();
    send(fieldsFor(9002));
    ASSERT_TRUE(changes.waitForSize(1, generousWait));
    send(fieldsFor(9002));
    send(fieldsFor(9002));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(changes.size(), 1U);
}

TEST_F(Discovery, RefusalFlipsConnectableButAddressChangeIsIgnored)
{
    startAndWaitForTick();
    send(fieldsFor(9003));
    ASSERT_TRUE(changes.waitForSize(1, generousWait));

    auto moved = fieldsFor(9003);
    moved.ipAddress = 0x0900007F;
    send(moved);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(changes.size(), 1U);

    auto refusing = fieldsFor(9003);
    refusing.connectionRefusal = 1;
    send(refusing);
    ASSERT_TRUE(changes.waitForSize(2, generousWait));
    const auto table = changes.values()[1];
    EXPECT_FALSE(table.at(9003).connectable);
    EXPECT_EQ(table.at(9003).ipAddress, "127.0.0.3");
}

TEST_F(Discovery, UnknownModelIsNeverConnectable)
{
    startAndWaitForTick();
    send(fieldsFor(9004, 9999));
    ASSERT_TRUE(changes.waitForSize(1, generousWait));
    EXPECT_EQ(manager.getVisibleSonars().at(9004).spec.name, "Unknown");
    EXPECT_FALSE(manager.getVisibleSonars().at(9004).connectable);
    // A later datagram with the refusal word still 0 must not make it connectable.
    send(fieldsFor(9004, 9999));
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(manager.getVisibleSonars().at(9004).connectable);
}

TEST_F(Discovery, SilentSonarsExpireTogetherWithOneSignal)
{
    startAndWaitForTick();
    send(fieldsFor(9005));
    send(fieldsFor(9006));
    ASSERT_TRUE(changes.waitForSize(2, generousWait));
    const auto lastSent = std::chrono::steady_clock::now();
    ASSERT_TRUE(changes.waitForSize(3, 5000ms));
    EXPECT_GE(std::chrono::steady_clock::now() - lastSent, 2900ms);
    EXPECT_TRUE(changes.values()[2].empty());
    EXPECT_TRUE(manager.getVisibleSonars().empty());
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(changes.size(), 3U);
}

TEST_F(Discovery, ASonarThatKeepsTalkingStaysVisible)
{
    startAndWaitForTick();
    for (int i = 0; i < 9; ++i) { // 4.5 s of datagrams every 0.5 s
        send(fieldsFor(9007));
        std::this_thread::sleep_for(500ms);
    }
    EXPECT_EQ(manager.getVisibleSonars().count(9007), 1U);
    EXPECT_EQ(changes.size(), 1U);
}

TEST_F(Discovery, NothingBeforeListeningStarts)
{
    send(fieldsFor(9008));
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(manager.getVisibleSonars().empty());
    EXPECT_EQ(changes.size(), 0U);
}

TEST_F(Discovery, GetSonarForAnUnseenSerialIsEmpty)
{
    startAndWaitForTick();
    EXPECT_EQ(manager.getSonar(424242), nullptr);
}

TEST_F(Discovery, TableCanBeReadWhileTheListenerWritesIt)
{
    startAndWaitForTick();
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done.load()) {
            const auto table = manager.getVisibleSonars();
            for (const auto& [serial, info] : table) {
                ASSERT_EQ(serial, info.serialNumber);
            }
        }
    });
    for (std::uint32_t serial = 100; serial < 130; ++serial) {
        send(fieldsFor(serial));
    }
    EXPECT_TRUE(waitUntil([&] { return manager.getVisibleSonars().size() == 30; }, generousWait));
    done = true;
    reader.join();
}

// Every datagram here comes from 127.0.0.1, so the bound is the one sender's.
TEST_F(Discovery, OneSenderIsBoundedAndItsSonarHeardLongestAgoGoesFirst)
{
    startAndWaitForTick();
    const std::uint32_t first = 200;
    const std::uint32_t last = first + ConnectionManager::maxSonarsPerSender;
    for (std::uint32_t serial = first; serial < last; ++serial) {
        send(fieldsFor(serial));
        // Paced by what was heard, so that none is lost to the socket's buffer.
        ASSERT_TRUE(waitUntil([&] { return manager.getVisibleSonars().count(serial) == 1; }, generousWait));
    }
    send(fieldsFor(first)); // the first is heard again: the second is now the oldest
    send(fieldsFor(last));
    ASSERT_TRUE(waitUntil([&] { return manager.getVisibleSonars().count(last) == 1; }, generousWait));
    const auto table = manager.getVisibleSonars();
    EXPECT_EQ(table.size(), ConnectionManager::maxSonarsPerSender);
    EXPECT_EQ(table.count(first), 1U);
    EXPECT_EQ(table.count(first + 1), 0U);
}

TEST(DiscoveryLifecycle, DestroyingTheManagerWhileSonarsAreVisibleStopsCleanly)
{
    const std::uint16_t port = freeUdpPort();
    auto manager = std::make_unique<ConnectionManager>(ConnectionManager::Settings{
        "127.0.0.1", port, 52100, std::chrono::milliseconds(100), std::chrono::milliseconds(2100)});
    Recorder<int> changes;
    auto connection = manager->visibleSonarsChanged.connect([&](const auto&) { changes.add(1); });
    manager->startListening();
    DatagramSender sender(port);
    // A jthread: a failed ASSERT below still stops and joins it.
    std::jthread flood([&](const std::stop_token& stop) {
        std::uint32_t serial = 1;
        while (!stop.stop_requested()) {
            sender.send(Keldar::Ondrix::MessageBuilding::buildStatusDatagram(fieldsFor(serial++ % 50)));
            std::this_thread::sleep_for(1ms);
        }
    });
    ASSERT_TRUE(changes.waitForSize(5, generousWait));
    manager.reset();
    flood.request_stop();
    flood.join();
    EXPECT_FALSE(connection.isConnected());
}
