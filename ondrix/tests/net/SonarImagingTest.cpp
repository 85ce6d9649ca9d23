#include "SimRig.h"

#include <keldar/ondrix/MessageParsing.h>
#include <keldar/ondrix/ProtocolLayout.h>

#include <gtest/gtest.h>

#include <cstring>

using namespace NetTest;
using Keldar::Ondrix::MessageType;
using Keldar::Ondrix::OndrixImage;
using Keldar::Ondrix::OndrixSonar;
namespace Layout = Keldar::Ondrix::ProtocolLayout;

namespace {

struct RawRecord
{
    std::vector<std::byte> bytes;
    MessageType type;
    int version;
};

double fireDouble(const std::vector<std::byte>& fire, std::size_t offset)
{
    double value = 0;
    std::memcpy(&value, fire.data() + offset, sizeof value);
    return value;
}

} // namespace

TEST(SonarImaging, ContinuousModeStreamsVersionTwoImagesWithAttitude)
{
    // Declared before the rig: the device, which calls into them, goes first.
    Recorder<OndrixImage> images;
    Recorder<OndrixSonar::Attitude> attitudes;
    Recorder<RawRecord> raw;
    Recorder<OndrixSonar::OperationParameters> initial;
    SimRig rig;
    OndrixSonar* sonar = rig.connect();
    ASSERT_NE(sonar, nullptr);
    sonar->newImage.connect([&](const OndrixImage& image) { images.add(image); });
    sonar->newAttitude.connect([&](const OndrixSonar::Attitude& a) { attitudes.add(a); });
    sonar->rawMessage.connect([&](const std::vector<std::byte>& b, MessageType t, int v) { raw.add({b, t, v}); });
    sonar->initialParameters.connect([&](const OndrixSonar::OperationParameters& p) { initial.add(p); });

    sonar->setPingRate(OndrixSonar::PingRate::Rate40Hz);
    sonar->beginImaging(OndrixSonar::PingControl::Continuous);
    ASSERT_TRUE(images.waitForSize(5, 5000ms));
    ASSERT_EQ(initial.size(), 1U);
    EXPECT_EQ(initial.values()[0].pingRate, OndrixSonar::PingRate::Rate40Hz);

    const OndrixImage first = images.values()[0];
    EXPECT_EQ(first.getWidth(), 256);
    EXPECT_EQ(first.getHeight(), 50);
    EXPECT_EQ(first.getData().size(), 256U * 50U);
    EXPECT_EQ(first.getBearings().front(), -6500);
    EXPECT_DOUBLE_EQ(first.getRange(), 2.5);
    EXPECT_DOUBLE_EQ(first.getGain(), 50.0);
    EXPECT_GE(attitudes.size(), 4U);
    ASSERT_GE(raw.size(), 4U);
    EXPECT_EQ(raw.values()[0].type, MessageType::SimplePingResult);
    EXPECT_EQ(raw.values()[0].version, 2);
    // The session asked once for the configuration, before imaging.
    EXPECT_EQ(rig.sim.counters().userConfigQueries, 1U);
}

TEST(SonarImaging, OnDemandModeMakesOneImagePerPing)
{
    // Declared before the rig: the device, which calls into them, goes first.
    Recorder<OndrixImage> images;
    SimRig rig;
    OndrixSonar* sonar = rig.connect();
    ASSERT_NE(sonar, nullptr);
    sonar->newImage.connect([&](const OndrixImage& image) { images.add(image); });
    sonar->beginImaging(OndrixSonar::PingControl::OnDemand);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(images.size(), 0U);
    sonar->ping();
    sonar->ping();
    ASSERT_TRUE(images.waitForSize(2, 3000ms));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(images.size(), 2U);
    const auto fire = rig.sim.lastFireRequest();
    ASSERT_TRUE(fire.has_value());
    EXPECT_EQ((*fire)[Layout::FireRequest::flags] & std::byte{0x80}, std::byte{0x80});
}

TEST(SonarImaging, SettersReachTheNextFireRequest)
{
    // Declared before the rig: the device, which calls into them, goes first.
    Recorder<OndrixImage> images;
    SimRig rig;
    OndrixSonar* sonar = rig.connect();
    ASSERT_NE(sonar, nullptr);
    sonar->newImage.connect([&](const OndrixImage& image) { images.add(image); });
    sonar->beginImaging(OndrixSonar::PingControl::OnDemand);

    sonar->setGain(77.0);
    sonar->setRange(500.0); // Rostrel A at the low frequency: at most 120 m
    sonar->setFullBeams(true);
    sonar->setGainAssist(true);
    sonar->setGamma(90);
    sonar->ping();
    ASSERT_TRUE(images.waitForSize(1, 3000ms));
    const auto fire = rig.sim.lastFireRequest();
    ASSERT_TRUE(fire.has_value());
    EXPECT_EQ(fireDouble(*fire, Layout::FireRequest::gain), 77.0);
    EXPECT_EQ(fireDouble(*fire, Layout::FireRequest::range), 120.0);
    EXPECT_EQ((*fire)[Layout::FireRequest::gamma], std::byte{90});
    EXPECT_EQ((*fire)[Layout::FireRequest::flags], std::byte{0x09 | 0x10 | 0x40 | 0x80});
    const OndrixImage image = images.values()[0];
    EXPECT_EQ(image.getWidth(), 512); // full beams
    EXPECT_DOUBLE_EQ(image.getGain(), 77.0);
    EXPECT_DOUBLE_EQ(image.getRange(), 120.0);
}

TEST(SonarImaging, RangeIsLimitedForTheFrequencyInForceWhenSet)
{
    SimRig rig;
    OndrixSonar* sonar = rig.connect();
    ASSERT_NE(sonar, nullptr);
    sonar->setFrequency(OndrixSonar::Frequency::High);
    sonar->setRange(0.1);
    EXPECT_DOUBLE_EQ(sonar->getRange(), static_cast<double>(0.3F));
    sonar->setRange(100.0);
    EXPECT_DOUBLE_EQ(sonar->getRange(), 40.0);
    sonar->setFrequency(OndrixSonar::Frequency::Low);
    EXPECT_DOUBLE_EQ(sonar->getRange(), 40.0); // not re-limited by a later change
    sonar->setRange(0.5);
    EXPECT_DOUBLE_EQ(sonar->getRange(), 1.0);
}

TEST(SonarImaging, VersionOneFourBitResultsAreExpanded)
{
    // Declared before the rig: the device, which calls into them, goes first.
    Recorder<OndrixImage> images;
    Recorder<int> attitudes;
    Recorder<int> versions;
    SimRig rig([](auto& config) {
        config.resultVersion = 1;
        config.fourBitSamples = true;
    });
    OndrixSonar* sonar = rig.connect();
    ASSERT_NE(sonar, nullptr);
    sonar->newImage.connect([&](const OndrixImage& image) { images.add(image); });
    sonar->newAttitude.connect([&](const OndrixSonar::Attitude&) { attitudes.add(1); });
    sonar->rawMessage.connect([&](const std::vector<std::byte>&, MessageType, int v) { versions.add(v); });
    sonar->beginImaging(OndrixSonar::PingControl::Continuous);
    ASSERT_TRUE(images.waitForSize(2, 5000ms));
    const OndrixImage image = images.values()[0];
    ASSERT_EQ(image.getData().size(), 256U * 50U);
    // Four-bit samples land in the high nibble: every low nibble is zero.
    for (const std::uint8_t sample : image.getData()) {
        ASSERT_EQ(sample & 0x0F, 0);
    }
    EXPECT_EQ(attitudes.size(), 0U);
    EXPECT_EQ(versions.values()[0], 1);
}

TEST(SonarImaging, DeviceDetailsComeFromDiscovery)
{
    SimRig rig([](auto& config) {
        config.serialNumber = 777001;
        config.partNumber = 1041;
        config.firmwareVersion = 19;
    });
    OndrixSonar* sonar = rig.connect();
    ASSERT_NE(sonar, nullptr);
    EXPECT_EQ(sonar->getSerialNumber(), 777001U);
    EXPECT_EQ(sonar->getIP(), "127.0.0.2");
    EXPECT_EQ(sonar->getSubnetMask(), "255.0.0.0");
    EXPECT_EQ(sonar->getFirmwareVersion(), "19");
    EXPECT_EQ(sonar->getSpec().name, "Pelmar A");
    EXPECT_TRUE(sonar->getCapabilities().hasAhrs);
    sonar->setRange(500);
    EXPECT_DOUBLE_EQ(sonar->getRange(), 200.0);
}

TEST(SonarNetworkConfig, QueryIsAnsweredAndANewConfigurationIsReportedBack)
{
    // Declared before the rig: the device, which calls into them, goes first.
    Recorder<std::tuple<bool, std::string, std::string>> configs;
    SimRig rig;
    OndrixSonar* sonar = rig.connect();
    ASSERT_NE(sonar, nullptr);
    sonar->newNetworkConfig.connect([&](bool dhcp, const std::string& address, const std::string& mask) {
        configs.add({dhcp, address, mask});
    });
    sonar->beginImaging(OndrixSonar::PingControl::OnDemand);
    ASSERT_TRUE(configs.waitForSize(1, 3000ms));
    EXPECT_EQ(configs.values()[0], std::make_tuple(false, std::string("127.0.0.2"), std::string("255.0.0.0")));

    sonar->setNetworkConfiguration(false, "127.0.0.9", "255.255.0.0");
    ASSERT_TRUE(configs.waitForSize(2, 3000ms));
    EXPECT_EQ(configs.values()[1], std::make_tuple(false, std::string("127.0.0.9"), std::string("255.255.0.0")));
    const auto applied = rig.sim.networkConfig();
    EXPECT_EQ(applied.address, "127.0.0.9");
    EXPECT_EQ(applied.subnetMask, "255.255.0.0");
    EXPECT_EQ(rig.sim.counters().userConfigsApplied, 1U);
}

TEST(SonarNetworkConfig, TextThatIsNotAnAddressThrowsAndSendsNothing)
{
    SimRig rig;
    OndrixSonar* sonar = rig.connect();
    ASSERT_NE(sonar, nullptr);
    EXPECT_THROW(sonar->setNetworkConfiguration(false, "10.0.x.1", "255.0.0.0"), std::invalid_argument);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(rig.sim.counters().userConfigsApplied, 0U);
}

TEST(SonarFaults, ImagingSurvivesGarbageSplitMessagesAndOversizedHeaders)
{
    // Declared before the rig: the device, which calls into them, goes first.
    Recorder<OndrixImage> images;
    SimRig rig([](auto& config) { config.splitSize = 1500; });
    OndrixSonar* sonar = rig.connect();
    ASSERT_NE(sonar, nullptr);
    sonar->newImage.connect([&](const OndrixImage& image) { images.add(image); });
    sonar->setPingRate(OndrixSonar::PingRate::Rate40Hz);
    sonar->beginImaging(OndrixSonar::PingControl::OnDemand);
    std::size_t expected = 0;
    for (int round = 0; round < 3; ++round) {
        rig.sim.sendGarbage(333);
        rig.sim.sendOversizedHeader();
        sonar->ping();
        ++expected;
        ASSERT_TRUE(images.waitForSize(expected, 3000ms)) << "round " << round;
    }
    for (const auto& image : images.values()) {
        EXPECT_EQ(image.getData().size(), 256U * 50U);
    }
    EXPECT_TRUE(sonar->hasSession());
}
