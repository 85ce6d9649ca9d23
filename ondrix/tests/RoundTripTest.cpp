#include <keldar/ondrix/MessageBuilding.h>
#include <keldar/ondrix/MessageParsing.h>
#include <keldar/ondrix/StatusMessage.h>

#include <gtest/gtest.h>

#include <cmath>

using namespace Keldar::Ondrix;
using MessageBuilding::ImageDescription;

// What a sonar-side builder writes, the host-side parser must read back: the
// simulator and every test above the protocol rely on this.

namespace {

ImageDescription describedImage(std::uint16_t beams, std::uint16_t ranges)
{
    ImageDescription image;
    image.sourceId = 0x2A2A;
    image.partNumber = ModelNumber::SevanthB2297;
    image.beams = beams;
    image.ranges = ranges;
    image.range = 17.25;
    image.gain = 63.5;
    image.frequency = 2100000.0;
    for (int b = 0; b < beams; ++b) {
        image.bearings.push_back(static_cast<std::int16_t>(-6500 + b * 13000 / std::max(1, beams - 1)));
    }
    for (int i = 0; i < beams * ranges; ++i) {
        image.samples.push_back(static_cast<std::uint8_t>((i * 37 + 11) & 0xFF));
    }
    image.temperature = 14.5;
    image.pressure = 2.25;
    image.echoValue = 0.875;
    image.attitudeFirst = -7.5;
    image.attitudeSecond = 3.125;
    return image;
}

void expectImageMatches(const OndrixImage& parsed, const ImageDescription& image)
{
    EXPECT_EQ(parsed.getWidth(), image.beams);
    EXPECT_EQ(parsed.getHeight(), image.ranges);
    EXPECT_EQ(parsed.getRange(), image.range);
    EXPECT_EQ(parsed.getGain(), image.gain);
    EXPECT_EQ(parsed.getFrequency(), image.frequency);
    EXPECT_EQ(parsed.getBearings(), image.bearings);
}

template<typename Parsed>
void expectEnvironmentMatches(const Parsed& parsed, const ImageDescription& image)
{
    EXPECT_NEAR(parsed.pressure, image.pressure * 100000.0, 1e-6);
    EXPECT_NEAR(parsed.temperature, image.temperature + 273.15, 1e-9);
    EXPECT_EQ(parsed.echoValue, image.echoValue);
}

} // namespace

TEST(PingResultRoundTrip, VersionOneKeepsEveryFieldTheHostReads)
{
    const ImageDescription image = describedImage(256, 40);
    const auto message = MessageBuilding::buildSimplePingResult(image);
    EXPECT_EQ(MessageParsing::getMessageType(message), MessageType::SimplePingResult);
    EXPECT_EQ(MessageParsing::getMessageVersion(message), 1);
    EXPECT_EQ(MessageParsing::getSerialNumber(message), 0x2A2A);
    EXPECT_EQ(MessageParsing::getModelNumber(message), ModelNumber::SevanthB2297);
    const auto parsed = MessageParsing::parseSimplePingResult(message);
    expectImageMatches(parsed.image, image);
    EXPECT_EQ(parsed.image.getData(), image.samples);
    expectEnvironmentMatches(parsed, image);
}

TEST(PingResultRoundTrip, VersionTwoKeepsAttitudeToo)
{
    const ImageDescription image = describedImage(512, 30);
    const auto message = MessageBuilding::buildSimplePingResultV2(image);
    EXPECT_EQ(MessageParsing::getMessageVersion(message), 2);
    const auto parsed = MessageParsing::parseSimplePingResultV2(message);
    expectImageMatches(parsed.image, image);
    EXPECT_EQ(parsed.image.getData(), image.samples);
    expectEnvironmentMatches(parsed, image);
    EXPECT_EQ(parsed.attitude.pitch, -7.5F);
    EXPECT_EQ(parsed.attitude.roll, 3.125F);
    EXPECT_EQ(parsed.attitude.yaw, 0.0F);
}

TEST(PingResultRoundTrip, FullFireResultKeepsEveryFieldTheHostReads)
{
    const ImageDescription image = describedImage(128, 64);
    const auto message = MessageBuilding::buildFullFireResult(image);
    EXPECT_EQ(MessageParsing::getMessageType(message), MessageType::FullFireResult);
    const auto parsed = MessageParsing::parseFullFireResult(message);
    expectImageMatches(parsed.image, image);
    EXPECT_EQ(parsed.image.getData(), image.samples);
    expectEnvironmentMatches(parsed, image);
}

TEST(PingResultRoundTrip, FourBitSamplesComeBackAsTheirHighNibbles)
{
    ImageDescription image = describedImage(64, 10);
    image.fourBitSamples = true;
    std::vector<std::uint8_t> expected;
    for (std::uint8_t sample : image.samples) {
        expected.push_back(static_cast<std::uint8_t>(sample & 0xF0));
    }
    const auto v1 = MessageBuilding::buildSimplePingResult(image);
    EXPECT_EQ(v1.size(), 122U + 2 * 64 + 320); // half a byte per sample on the wire
    EXPECT_EQ(MessageParsing::parseSimplePingResult(v1).image.getData(), expected);
    EXPECT_EQ(MessageParsing::parseSimplePingResultV2(MessageBuilding::buildSimplePingResultV2(image)).image.getData(),
              expected);
    EXPECT_EQ(MessageParsing::parseFullFireResult(MessageBuilding::buildFullFireResult(image)).image.getData(),
              expected);
}

TEST(PingResultRoundTrip, GapBeforeTheImageIsSkipped)
{
    ImageDescription image = describedImage(8, 4);
    image.gapBeforeImage = 37;
    const auto parsed = MessageParsing::parseSimplePingResultV2(MessageBuilding::buildSimplePingResultV2(image));
    EXPECT_EQ(parsed.image.getData(), image.samples);
}

TEST(PingResultRoundTrip, EmptyImageRoundTrips)
{
    const ImageDescription image = describedImage(0, 0);
    const auto parsed = MessageParsing::parseSimplePingResult(MessageBuilding::buildSimplePingResult(image));
    EXPECT_EQ(parsed.image.getWidth(), 0);
    EXPECT_TRUE(parsed.image.getBearings().empty());
    EXPECT_TRUE(parsed.image.getData().empty());
}

// The reader the listener uses: whole, cut and short datagrams, and the magic.
TEST(StatusDatagramReading, FieldsComeBackFromWholeCutAndShortDatagrams)
{
    StatusFields fields;
    fields.serialNumber = 987654321U;
    fields.partNumber = ModelNumber::PelmarB1217;
    fields.statusWord = (1U << 31) | (3U << 14) | (6U << 3) | 1U;
    fields.firmwareVersion = 65535;
    fields.ipAddress = 0x6401A8C0U;
    fields.subnetMask = 0x0000FFFFU;
    fields.connectionRefusal = 1;
    fields.internalTemperature = 55.0;
    fields.waterTemperature = -1.0;
    fields.pressure = 12.0;
    auto datagram = MessageBuilding::buildStatusDatagram(fields);
    const auto read = [](const std::vector<std::byte>& bytes) { return Status::Message(bytes); };
    EXPECT_TRUE(read(datagram).hasValidMagic());
    EXPECT_EQ(read(datagram).fields(), fields);

    auto longer = datagram;
    longer.resize(200, std::byte{0xFF});
    EXPECT_EQ(read(longer).fields(), fields);

    datagram.resize(100); // water temperature (110) and pressure (134) are beyond
    const StatusFields cut = read(datagram).fields();
    EXPECT_EQ(cut.serialNumber, fields.serialNumber);
    EXPECT_EQ(cut.connectionRefusal, 1U);
    EXPECT_EQ(cut.waterTemperature, 0.0);
    EXPECT_EQ(cut.pressure, 0.0);

    std::swap(datagram[0], datagram[1]);
    EXPECT_FALSE(read(datagram).hasValidMagic());
    EXPECT_FALSE(read(std::vector<std::byte>(1, std::byte{0x7C})).hasValidMagic());
}
