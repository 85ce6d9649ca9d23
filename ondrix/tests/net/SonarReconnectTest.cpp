#include "SimRig.h"

#include <gtest/gtest.h>

using namespace NetTest;
using Keldar::Ondrix::OndrixImage;
using Keldar::Ondrix::OndrixSonar;
using Clock = std::chrono::steady_clock;

namespace {

struct Events
{
    Recorder<Clock::time_point> offline;
    Recorder<Clock::time_point> reconnected;
    Recorder<Clock::time_point> failed;
    Recorder<Clock::time_point> images;
    Recorder<OndrixSonar::OperationParameters> initial;

    void attach(OndrixSonar& sonar)
    {
        sonar.sonarOffline.connect([this] { offline.add(Clock::now()); });
        sonar.sonarReconnected.connect([this] { reconnected.add(Clock::now()); });
        sonar.sonarReconnectFailed.connect([this] { failed.add(Clock::now()); });
        sonar.newImage.connect([this](const OndrixImage&) { images.add(Clock::now()); });
        sonar.initialParameters.connect([this](const OndrixSonar::OperationParameters& p) { initial.add(p); });
    }
};

} // namespace

TEST(SonarReconnect, SilenceTakesTheSonarOfflineAndItsReturnReconnects)
{
    Events events;
    SimRig rig;
    OndrixSonar* sonar = rig.connect();
    ASSERT_NE(sonar, nullptr);
    events.attach(*sonar);
    sonar->setGain(66.0);
    sonar->beginImaging(OndrixSonar::PingControl::Continuous);
    ASSERT_TRUE(events.images.waitForSize(3, 3000ms));

    const auto silenceStart = Clock::now();
    rig.sim.pauseStatus(4000ms);
    // Offline at all means within the 4 s pause: the status returns after it.
    ASSERT_TRUE(events.offline.waitForSize(1, 6000ms));
    EXPECT_GE(events.offline.values()[0] - silenceStart, 2900ms);
    EXPECT_FALSE(sonar->hasSession());

    ASSERT_TRUE(events.reconnected.waitForSize(1, 5000ms));
    EXPECT_GE(events.reconnected.values()[0] - silenceStart, 3900ms);
    EXPECT_EQ(events.offline.size(), 1U);
    EXPECT_EQ(events.failed.size(), 0U);
    // The new session repeats the start-up: parameters reported, configuration
    // asked for, continuous imaging resumed with the same settings.
    ASSERT_EQ(events.initial.size(), 2U);
    EXPECT_EQ(events.initial.values()[1].gain, 66.0);
    const std::size_t imagesBefore = events.images.size();
    ASSERT_TRUE(events.images.waitForSize(imagesBefore + 3, 3000ms));
    EXPECT_EQ(rig.sim.counters().connectionsAccepted, 2U);
    EXPECT_EQ(rig.sim.counters().userConfigQueries, 2U);
}

TEST(SonarReconnect, RefusedConnectionGivesNoSonarAfterTheConnectWait)
{
    SimRig rig([](auto& config) { config.status.refuseConnections = true; });
    ASSERT_TRUE(rig.waitVisible());
    EXPECT_FALSE(rig.manager->getVisibleSonars().at(rig.sim.serialNumber()).connectable);
    const auto before = Clock::now();
    EXPECT_EQ(rig.manager->getSonar(rig.sim.serialNumber()), nullptr);
    EXPECT_GE(Clock::now() - before, 2000ms);
}

TEST(SonarReconnect, RefusingSonarFailsEveryReconnectUntilItAcceptsAgain)
{
    Events events;
    SimRig rig;
    OndrixSonar* sonar = rig.connect();
    ASSERT_NE(sonar, nullptr);
    events.attach(*sonar);
    sonar->beginImaging(OndrixSonar::PingControl::Continuous);
    ASSERT_TRUE(events.images.waitForSize(2, 3000ms));

    // The sonar closes its port (dropping our session) but keeps broadcasting.
    auto status = rig.sim.getStatus();
    status.refuseConnections = true;
    rig.sim.setStatus(status);
    ASSERT_TRUE(events.offline.waitForSize(1, 3000ms));
    ASSERT_TRUE(events.failed.waitForSize(2, 8000ms));
    EXPECT_EQ(events.reconnected.size(), 0U);

    status.refuseConnections = false;
    rig.sim.setStatus(status);
    ASSERT_TRUE(events.reconnected.waitForSize(1, 6000ms));
    const std::size_t imagesBefore = events.images.size();
    EXPECT_TRUE(events.images.waitForSize(imagesBefore + 2, 3000ms));
}

TEST(SonarReconnect, DroppedSessionIsReplacedWhileTheSonarStillBroadcasts)
{
    Events events;
    SimRig rig;
    OndrixSonar* sonar = rig.connect();
    ASSERT_NE(sonar, nullptr);
    events.attach(*sonar);
    sonar->beginImaging(OndrixSonar::PingControl::Continuous);
    ASSERT_TRUE(events.images.waitForSize(2, 3000ms));
    rig.sim.dropConnection();
    ASSERT_TRUE(events.offline.waitForSize(1, 3000ms));
    ASSERT_TRUE(events.reconnected.waitForSize(1, 3000ms));
    const std::size_t imagesBefore = events.images.size();
    EXPECT_TRUE(events.images.waitForSize(imagesBefore + 2, 3000ms));
}

TEST(SonarReconnect, DestroyingTheDeviceDuringReconnectAttemptsIsSafe)
{
    Events events;
    // Reconnection attempts that last an hour: the reset below returns at all
    // only if it abandons the one in progress.
    SimRig rig({}, 250ms, std::chrono::hours(1));
    OndrixSonar* sonar = rig.connect();
    ASSERT_NE(sonar, nullptr);
    events.attach(*sonar);
    auto status = rig.sim.getStatus();
    status.refuseConnections = true;
    rig.sim.setStatus(status);
    ASSERT_TRUE(events.offline.waitForSize(1, 3000ms));
    std::this_thread::sleep_for(600ms); // inside the attempt now
    rig.sonar.reset();
    const std::size_t failedAfter = events.failed.size();
    std::this_thread::sleep_for(600ms);
    EXPECT_LE(events.failed.size(), failedAfter);
}

TEST(SonarReconnect, CallsFromTheApplicationThreadRaceSafelyWithReplacement)
{
    Events events;
    SimRig rig;
    OndrixSonar* sonar = rig.connect();
    ASSERT_NE(sonar, nullptr);
    events.attach(*sonar);
    sonar->beginImaging(OndrixSonar::PingControl::OnDemand);
    // A jthread: a failed ASSERT below still stops and joins it.
    std::jthread user([&](const std::stop_token& stop) {
        double gain = 0;
        while (!stop.stop_requested()) {
            sonar->setGain(gain = gain >= 100 ? 0 : gain + 1);
            sonar->setRange(gain);
            sonar->ping();
            std::this_thread::sleep_for(2ms);
        }
    });
    bool reconnected = true;
    for (int i = 0; i < 3 && reconnected; ++i) {
        rig.sim.dropConnection();
        reconnected = events.reconnected.waitForSize(static_cast<std::size_t>(i + 1), 4000ms);
    }
    EXPECT_TRUE(reconnected);
    // The last session images the pings that keep coming.
    const std::size_t imagesBefore = events.images.size();
    EXPECT_TRUE(events.images.waitForSize(imagesBefore + 1, 5000ms));
    user.request_stop();
    user.join();
}

TEST(SonarStall, LostPingResultDoesNotEndContinuousImaging)
{
    Events events;
    SimRig rig;
    OndrixSonar* sonar = rig.connect();
    ASSERT_NE(sonar, nullptr);
    events.attach(*sonar);
    sonar->beginImaging(OndrixSonar::PingControl::Continuous);
    ASSERT_TRUE(events.images.waitForSize(3, 3000ms));
    rig.sim.ignoreFireRequests(1);
    // The chain of one request per result is now broken...
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto images = events.images.values();
            return Clock::now() - images.back() > 500ms;
        },
        3000ms));
    const std::size_t stalledAt = events.images.size();
    // ...until the watchdog asks again, without dropping the session.
    ASSERT_TRUE(events.images.waitForSize(stalledAt + 3, 12000ms));
    EXPECT_EQ(events.offline.size(), 0U);
    EXPECT_EQ(rig.sim.counters().connectionsAccepted, 1U);
}

TEST(SonarStall, OnDemandModeIsNeverPingedByTheWatchdog)
{
    Events events;
    SimRig rig;
    OndrixSonar* sonar = rig.connect();
    ASSERT_NE(sonar, nullptr);
    events.attach(*sonar);
    sonar->beginImaging(OndrixSonar::PingControl::OnDemand);
    std::this_thread::sleep_for(6000ms);
    EXPECT_EQ(rig.sim.counters().fireRequests, 0U);
    EXPECT_EQ(events.images.size(), 0U);
}
