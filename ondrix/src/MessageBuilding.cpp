#include <keldar/ondrix/MessageBuilding.h>

#include "ByteIo.h"

#include <keldar/ondrix/MessageType.h>
#include <keldar/ondrix/ProtocolLayout.h>

#include <limits>
#include <stdexcept>

namespace Keldar::Ondrix::MessageBuilding {

namespace Layout = ProtocolLayout;
using namespace ByteIo;

namespace {

struct HeaderFields
{
    std::uint16_t sourceId = 0;
    std::uint16_t destinationId = 0;
    std::uint16_t messageId = 0;
    std::uint16_t messageVersion = 0;
    std::uint16_t partNumber = 0;
};

// A zeroed message of `size` bytes with its header filled in.
std::vector<std::byte> makeMessage(std::size_t size, const HeaderFields& header)
{
    if (size < Layout::Header::size || size - Layout::Header::size > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("Message too large for its size field.");
    }
    std::vector<std::byte> message(size);
    std::byte* p = message.data();
    writeU16(p + Layout::Header::magic, Layout::Header::magicValue);
    writeU16(p + Layout::Header::sourceId, header.sourceId);
    writeU16(p + Layout::Header::destinationId, header.destinationId);
    writeU16(p + Layout::Header::messageId, header.messageId);
    writeU16(p + Layout::Header::messageVersion, header.messageVersion);
    writeU32(p + Layout::Header::payloadSize, static_cast<std::uint32_t>(size - Layout::Header::size));
    writeU16(p + Layout::Header::partNumber, header.partNumber);
    return message;
}

std::uint16_t lowBits(std::uint32_t serialNumber)
{
    return static_cast<std::uint16_t>(serialNumber & 0xFFFFU);
}

std::vector<std::byte> buildResult(const ImageDescription& image, const Layout::ResultLayout& layout, MessageType type,
                                   std::uint16_t version)
{
    const std::vector<std::uint8_t> packed =
        image.fourBitSamples ? packFourBitSamples(image.samples) : std::vector<std::uint8_t>{};
    const std::vector<std::uint8_t>& samples = image.fourBitSamples ? packed : image.samples;

    const std::size_t bearingsEnd = layout.fixedSize + 2 * image.bearings.size();
    const std::size_t imageOffset = bearingsEnd + image.gapBeforeImage;
    if (imageOffset > std::numeric_limits<std::uint32_t>::max() ||
        samples.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("Image too large for its offset and size fields.");
    }

    std::vector<std::byte> message =
        makeMessage(imageOffset + samples.size(), {image.sourceId, 0, static_cast<std::uint16_t>(type), version,
                                                   static_cast<std::uint16_t>(image.partNumber)});
    std::byte* p = message.data();
    writeF64(p + layout.range, image.range);
    writeF64(p + layout.gain, image.gain);
    writeF64(p + layout.echoValue, image.echoValue);
    writeF64(p + layout.frequency, image.frequency);
    writeF64(p + layout.temperature, image.temperature);
    writeF64(p + layout.pressure, image.pressure);
    writeU8(p + layout.sampleSizeCode, image.fourBitSamples ? Layout::fourBitSampleCode : 1);
    writeU16(p + layout.rangeCount, image.ranges);
    writeU16(p + layout.beamCount, image.beams);
    writeU32(p + layout.imageOffset, static_cast<std::uint32_t>(imageOffset));
    writeU32(p + layout.imageSize, static_cast<std::uint32_t>(samples.size()));
    if (layout.attitudeFirst != 0) {
        writeF64(p + layout.attitudeFirst, image.attitudeFirst);
        writeF64(p + layout.attitudeSecond, image.attitudeSecond);
    }
    for (std::size_t i = 0; i < image.bearings.size(); ++i) {
        writeU16(p + layout.fixedSize + 2 * i, static_cast<std::uint16_t>(image.bearings[i]));
    }
    for (std::size_t i = 0; i < samples.size(); ++i) {
        p[imageOffset + i] = static_cast<std::byte>(samples[i]);
    }
    return message;
}

} // namespace

std::vector<std::byte> buildFireRequest(const OperationParameters& parameters, std::uint32_t serialNumber,
                                        bool onDemand)
{
    namespace F = Layout::FireRequest;
    std::vector<std::byte> message = makeMessage(
        F::size, {0, lowBits(serialNumber), static_cast<std::uint16_t>(MessageType::SimpleFire), F::version, 0});
    std::byte* p = message.data();

    std::uint8_t flags = F::flagsBase;
    if (parameters.gainAssist) {
        flags |= F::flagGainAssist;
    }
    if (parameters.lowPowerMode) {
        flags |= F::flagLowPower;
    }
    if (parameters.fullBeams) {
        flags |= F::flagFullBeams;
    }
    if (onDemand) {
        flags |= F::flagOnDemand;
    }

    writeU8(p + F::frequency, static_cast<std::uint8_t>(parameters.frequency));
    writeU8(p + F::pingRate, static_cast<std::uint8_t>(parameters.pingRate));
    writeU8(p + F::bandwidth, parameters.bandwidth);
    writeU8(p + F::gamma, parameters.gamma);
    writeU8(p + F::flags, flags);
    writeF64(p + F::range, parameters.range);
    writeF64(p + F::gain, parameters.gain);
    // The sonar takes no speed of sound or salinity; both reserved doubles stay 0.
    writeU32(p + F::extendedFlags, parameters.gainBoost ? F::extendedFlagGainBoost : 0U);
    return message;
}

std::vector<std::byte> buildUserConfig(std::uint32_t serialNumber)
{
    return makeMessage(Layout::UserConfig::size,
                       {0, lowBits(serialNumber), static_cast<std::uint16_t>(MessageType::UserConfig),
                        Layout::UserConfig::version, 0});
}

std::vector<std::byte> buildUserConfig(std::uint32_t serialNumber, bool dhcp, std::uint32_t ipAddress,
                                       std::uint32_t subnetMask)
{
    std::vector<std::byte> message = buildUserConfig(serialNumber);
    std::byte* p = message.data();
    writeU32(p + Layout::UserConfig::ipAddress, ipAddress);
    writeU32(p + Layout::UserConfig::subnetMask, subnetMask);
    writeU32(p + Layout::UserConfig::dhcp, dhcp ? 1U : 0U);
    return message;
}

std::vector<std::byte> buildSimplePingResult(const ImageDescription& image, std::uint16_t version)
{
    return buildResult(image, Layout::pingResultV1, MessageType::SimplePingResult, version);
}

std::vector<std::byte> buildSimplePingResultV2(const ImageDescription& image)
{
    return buildResult(image, Layout::pingResultV2, MessageType::SimplePingResult, Layout::pingResultV2Version);
}

std::vector<std::byte> buildFullFireResult(const ImageDescription& image)
{
    return buildResult(image, Layout::fullFireResult, MessageType::FullFireResult, 1);
}

std::vector<std::byte> buildUserConfigReply(std::uint16_t sourceId, ModelNumber partNumber, bool dhcp,
                                            std::uint32_t ipAddress, std::uint32_t subnetMask)
{
    std::vector<std::byte> message =
        makeMessage(Layout::UserConfig::size, {sourceId, 0, static_cast<std::uint16_t>(MessageType::UserConfig),
                                               Layout::UserConfig::version, static_cast<std::uint16_t>(partNumber)});
    std::byte* p = message.data();
    writeU32(p + Layout::UserConfig::ipAddress, ipAddress);
    writeU32(p + Layout::UserConfig::subnetMask, subnetMask);
    writeU32(p + Layout::UserConfig::dhcp, dhcp ? 1U : 0U);
    return message;
}

std::vector<std::byte> buildStatusDatagram(const StatusFields& fields)
{
    namespace S = Layout::Status;
    // The host reads nothing of the header but the magic; the rest is filled
    // plausibly so that a capture of it reads sensibly.
    std::vector<std::byte> message =
        makeMessage(S::size, {lowBits(fields.serialNumber), 0, 0, 0, static_cast<std::uint16_t>(fields.partNumber)});
    std::byte* p = message.data();
    writeU32(p + S::serialNumber, fields.serialNumber);
    writeU16(p + S::partNumber, static_cast<std::uint16_t>(fields.partNumber));
    writeU32(p + S::statusWord, fields.statusWord);
    writeU16(p + S::firmwareVersion, fields.firmwareVersion);
    writeU32(p + S::ipAddress, fields.ipAddress);
    writeU32(p + S::subnetMask, fields.subnetMask);
    writeU32(p + S::connectionRefusal, fields.connectionRefusal);
    writeF64(p + S::internalTemperature, fields.internalTemperature);
    writeF64(p + S::waterTemperature, fields.waterTemperature);
    writeF64(p + S::pressure, fields.pressure);
    return message;
}

std::vector<std::uint8_t> packFourBitSamples(const std::vector<std::uint8_t>& samples)
{
    std::vector<std::uint8_t> packed((samples.size() + 1) / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto nibble = static_cast<unsigned>(samples[i] >> 4U);
        packed[i / 2] |= static_cast<std::uint8_t>(i % 2 == 0 ? nibble : nibble << 4U);
    }
    return packed;
}

} // namespace Keldar::Ondrix::MessageBuilding
