#include "SonarLookup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

using Keldar::Cli::SeenSonars;
using Keldar::Ondrix::DeviceInfo;
using Keldar::Ondrix::Utilities::ConnectionManager;

namespace {

ConnectionManager::VisibleSonars tableOf(std::uint32_t firstSerial, std::uint32_t count = 1)
{
    ConnectionManager::VisibleSonars table;
    for (std::uint32_t serial = firstSerial; serial < firstSerial + count; ++serial) {
        DeviceInfo info;
        info.serialNumber = serial;
        info.ipAddress = "127.0.0.2";
        table.emplace(serial, info);
    }
    return table;
}

bool waitUntil(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

} // namespace

// The manager is never started: the test emits its signal itself, from a
// thread of its own as the listener would.
TEST(SeenSonars, KeepsSonarsThatWentQuietAndIsSafeToDestroyWhileTheListenerEmits)
{
    ConnectionManager manager;
    {
        const SeenSonars seen(manager);
        manager.visibleSonarsChanged.emit(tableOf(7));
        manager.visibleSonarsChanged.emit(tableOf(3)); // 7 went quiet meanwhile
        const auto sonars = seen.sonars();
        ASSERT_EQ(sonars.size(), 2U);
        EXPECT_EQ(sonars.begin()->first, 3U);
        EXPECT_EQ(sonars.at(7).ipAddress, "127.0.0.2");

        // Sonars that come and go one after another are kept only as many as
        // the manager lists, the most recently heard.
        for (std::uint32_t serial = 1000; serial < 1100; ++serial) {
            auto table = tableOf(serial);
            table.at(serial).lastSeen = serial;
            manager.visibleSonarsChanged.emit(table);
        }
        const auto bounded = seen.sonars();
        ASSERT_EQ(bounded.size(), ConnectionManager::maxVisibleSonars);
        EXPECT_EQ(bounded.begin()->first, 1100 - ConnectionManager::maxVisibleSonars);
    }

    // Each recorder goes while the other thread is, most likely, in the middle
    // of copying a large table into it: its slot must be cut before its table
    // dies, or that thread writes into freed nodes.
    std::atomic<bool> stop{false};
    std::thread listener([&] {
        const auto large = tableOf(1, 20000);
        while (!stop.load()) {
            manager.visibleSonarsChanged.emit(large);
            std::this_thread::yield(); // let the test thread connect and disconnect
        }
    });
    bool reached = true;
    for (int i = 0; i < 20 && reached; ++i) {
        auto seen = std::make_unique<SeenSonars>(manager);
        reached = waitUntil([&] { return !seen->sonars().empty(); });
        seen.reset();
    }
    stop = true;
    listener.join();
    EXPECT_TRUE(reached);
}
