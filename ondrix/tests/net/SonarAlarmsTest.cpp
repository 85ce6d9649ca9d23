#include "SimRig.h"

#include <keldar/ondrix/MessageBuilding.h>
#include <keldar/ondrix/ProtocolLayout.h>

#include <gtest/gtest.h>

using namespace NetTest;
using Keldar::Ondrix::OndrixSonar;
using Keldar::Ondrix::StatusFields;
namespace Layout = Keldar::Ondrix::ProtocolLayout;

namespace {

// Takes the simulator's status broadcasts out of the way so that each test
// sends exactly the datagrams it needs for the connected sonar.
class SonarAlarms : public ::testing::Test
{
protected:
    Recorder<OndrixSonar::SsblPauseReason> pauses;
    Recorder<OndrixSonar::TemperatureStatus> temperatures;
    Recorder<double> internal;
    Recorder<OndrixSonar::EnvironmentalConditions> environment;
    Recorder<int> failures;
    SimRig rig;
    OndrixSonar* sonar = nullptr;
    std::unique_ptr<DatagramSender> sender;

    void SetUp() override
    {
        sonar = rig.connect();
        ASSERT_NE(sonar, nullptr);
        rig.sim.pauseStatus(std::chrono::minutes(5));
        std::this_thread::sleep_for(150ms); // let a datagram already in flight land
        sonar->ssblPaused.connect([this](OndrixSonar::SsblPauseReason r) { pauses.add(r); });
        sonar->newTemperatureStatus.connect([this](OndrixSonar::TemperatureStatus t) { temperatures.add(t); });
        sonar->newInternalTemperature.connect([this](double k) { internal.add(k); });
        sonar->newEnvironmentalConditions.connect(
            [this](OndrixSonar::EnvironmentalConditions e) { environment.add(e); });
        sonar->transmitCircuitFailure.connect([this] { failures.add(1); });
        // From the address the sonar was connected through: the simulator's.
        sender = std::make_unique<DatagramSender>(rig.statusPort, "127.0.0.2");
        ASSERT_TRUE(sender->bound());
    }

    StatusFields fields(std::uint32_t word) const
    {
        StatusFields f;
        f.serialNumber = rig.sim.serialNumber();
        f.partNumber = static_cast<Keldar::Ondrix::ModelNumber>(1032);
        f.statusWord = word;
        f.ipAddress = 0x0200007F;
        f.subnetMask = 0xFF;
        f.internalTemperature = 40.0;
        f.waterTemperature = 10.0;
        f.pressure = 2.0;
        return f;
    }

    // Sends the datagrams, then one marker datagram, and waits until the
    // device has handled all of them (one internal temperature per datagram).
    void sendAll(const std::vector<StatusFields>& datagrams)
    {
        const std::size_t before = internal.size();
        for (const auto& f : datagrams) {
            sender->send(Keldar::Ondrix::MessageBuilding::buildStatusDatagram(f));
            std::this_thread::sleep_for(2ms);
        }
        ASSERT_TRUE(internal.waitForSize(before + datagrams.size(), 3000ms));
    }

    static std::uint32_t paused(std::uint32_t reason) { return 1U | (reason << Layout::Status::pauseReasonShift); }
    static std::uint32_t temperature(std::uint32_t t) { return t << Layout::Status::temperatureStateShift; }
};

} // namespace

TEST_F(SonarAlarms, BrownoutPauseIsReportedOncePerChange)
{
    const std::uint32_t goodTemperature = temperature(2);
    sendAll({fields(4 | goodTemperature), fields(paused(6) | goodTemperature), fields(paused(6) | goodTemperature),
             fields(paused(6) | goodTemperature)});
    ASSERT_EQ(pauses.size(), 1U);
    EXPECT_EQ(pauses.values()[0], OndrixSonar::SsblPauseReason::Brownout);

    sendAll({fields(4 | goodTemperature), fields(paused(0) | goodTemperature)});
    ASSERT_EQ(pauses.size(), 2U);
    EXPECT_EQ(pauses.values()[1], OndrixSonar::SsblPauseReason::MagSwitch);
}

TEST_F(SonarAlarms, OtherPauseReasonsAreNotReported)
{
    sendAll({fields(4 | temperature(2)), fields(paused(2) | temperature(2)), fields(4 | temperature(2)),
             fields(paused(5) | temperature(2))});
    EXPECT_EQ(pauses.size(), 0U);
}

TEST_F(SonarAlarms, TemperatureStatusIsReportedOnEveryChangeOnly)
{
    // Settle on Good first, whatever the simulator said before its pause.
    sendAll({fields(temperature(0))});
    const std::size_t before = temperatures.size();
    sendAll({fields(temperature(1)), fields(temperature(1)), fields(temperature(3)), fields(temperature(3)),
             fields(temperature(0))});
    const auto values = temperatures.values();
    ASSERT_EQ(values.size() - before, 3U);
    EXPECT_EQ(values[before], OndrixSonar::TemperatureStatus::OverheatWarning);
    EXPECT_EQ(values[before + 1], OndrixSonar::TemperatureStatus::Overheated);
    EXPECT_EQ(values[before + 2], OndrixSonar::TemperatureStatus::Good);
}

TEST_F(SonarAlarms, TransmitFailureIsReportedOnceForTheObjectsLife)
{
    const std::uint32_t bit = Layout::Status::transmitFailureBit;
    sendAll({fields(bit), fields(bit), fields(0), fields(bit), fields(bit)});
    EXPECT_EQ(failures.size(), 1U);
}

TEST_F(SonarAlarms, ReadingsAreConvertedToSIUnits)
{
    sendAll({fields(0)});
    EXPECT_NEAR(internal.values().back(), 313.15, 1e-9);
    const auto conditions = environment.values().back();
    EXPECT_NEAR(conditions.pressure, 200000.0, 1e-6);
    EXPECT_NEAR(conditions.temperature, 283.15, 1e-9);
    EXPECT_EQ(conditions.echoValue, 0.0);
}

TEST_F(SonarAlarms, DatagramsOfOtherSonarsAreIgnored)
{
    auto other = fields(Layout::Status::transmitFailureBit | paused(6));
    other.serialNumber = rig.sim.serialNumber() + 1;
    const std::size_t before = internal.size();
    sender->send(Keldar::Ondrix::MessageBuilding::buildStatusDatagram(other));
    sendAll({fields(0)});
    EXPECT_EQ(internal.size(), before + 1);
    EXPECT_EQ(failures.size(), 0U);
    EXPECT_EQ(pauses.size(), 0U);
}

TEST(SonarAlarmsFromSimulator, SimulatorStatusFlagsReachTheDevice)
{
    Recorder<OndrixSonar::TemperatureStatus> temperatures;
    Recorder<int> failures;
    Recorder<OndrixSonar::SsblPauseReason> pauses;
    SimRig rig;
    OndrixSonar* sonar = rig.connect();
    ASSERT_NE(sonar, nullptr);
    sonar->newTemperatureStatus.connect([&](OndrixSonar::TemperatureStatus t) { temperatures.add(t); });
    sonar->transmitCircuitFailure.connect([&] { failures.add(1); });
    sonar->ssblPaused.connect([&](OndrixSonar::SsblPauseReason r) { pauses.add(r); });
    auto status = rig.sim.getStatus();
    status.overheatWarning = true;
    status.transmitFailure = true;
    status.brownoutPause = true;
    rig.sim.setStatus(status);
    EXPECT_TRUE(temperatures.waitForSize(1, 2000ms));
    EXPECT_TRUE(failures.waitForSize(1, 2000ms));
    EXPECT_TRUE(pauses.waitForSize(1, 2000ms));
    std::this_thread::sleep_for(400ms); // several more datagrams
    EXPECT_EQ(temperatures.values().back(), OndrixSonar::TemperatureStatus::OverheatWarning);
    EXPECT_EQ(failures.size(), 1U);
    EXPECT_EQ(pauses.size(), 1U);
}

TEST_F(SonarAlarms, StatusesWithItsSerialFromAnotherSenderAreIgnored)
{
    // The same serial from 127.0.0.3 is a spoofer's.
    const DatagramSender spoofer(rig.statusPort, "127.0.0.3");
    ASSERT_TRUE(spoofer.bound());
    const std::size_t before = internal.size();
    for (int i = 0; i < 3; ++i) {
        spoofer.send(Keldar::Ondrix::MessageBuilding::buildStatusDatagram(fields(Layout::Status::transmitFailureBit)));
    }
    ASSERT_TRUE(waitUntil([&] { return sonar->foreignStatusCount() == 3; }, 3000ms));
    // A forwarded status claims another address than the one it comes from:
    // the sending address is what counts.
    StatusFields forwarded = fields(0);
    forwarded.ipAddress = 0x0302010A; // 10.1.2.3
    sendAll({forwarded});
    EXPECT_EQ(internal.size(), before + 1);
    EXPECT_EQ(failures.size(), 0U);
}
