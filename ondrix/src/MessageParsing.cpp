#include <keldar/ondrix/MessageParsing.h>

#include "ByteIo.h"

#include <keldar/core/DottedQuadValue.h>
#include <keldar/core/Units/Bar.h>
#include <keldar/core/Units/Celsius.h>
#include <keldar/ondrix/ProtocolLayout.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>

namespace Keldar::Ondrix::MessageParsing {

namespace Layout = ProtocolLayout;
using namespace ByteIo;

namespace {

// Validates the header and returns a pointer to the message's first byte.
const std::byte* checkedHeader(const std::vector<std::byte>& message)
{
    if (message.size() < Layout::Header::size || readU16(message.data()) != Layout::Header::magicValue) {
        throw BadlyFormedMessageError();
    }
    return message.data();
}

std::vector<std::int16_t> readBearings(const std::byte* table, std::size_t count)
{
    std::vector<std::int16_t> bearings(count);
    if (count == 0) {
        return bearings;
    }
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(bearings.data(), table, count * sizeof(std::int16_t));
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            bearings[i] = static_cast<std::int16_t>(readU16(table + 2 * i));
        }
    }
    return bearings;
}

struct ResultFields
{
    OndrixImage image;
    double pressure = 0.0;
    double temperature = 0.0;
    double echoValue = 0.0;
};

// The steps shared by the three result layouts. Fields are read in place; the
// only copies made are the bearing table and the samples, each exactly once.
ResultFields parseResult(const std::vector<std::byte>& message, const Layout::ResultLayout& layout)
{
    const std::size_t size = message.size();
    if (size < layout.fixedSize) {
        throw BadlyFormedMessageError();
    }
    const std::byte* bytes = message.data();

    // Sizes are summed in 64 bits so that no field value can wrap round.
    const std::uint16_t beams = readU16(bytes + layout.beamCount);
    const std::uint64_t bearingsEnd = std::uint64_t{layout.fixedSize} + 2U * std::uint64_t{beams};
    const std::uint32_t imageOffset = readU32(bytes + layout.imageOffset);
    const std::uint32_t imageSize = readU32(bytes + layout.imageSize);
    const std::uint64_t imageEnd = std::uint64_t{imageOffset} + std::uint64_t{imageSize};
    if (bearingsEnd > size || imageEnd > size) {
        throw BadlyFormedMessageError();
    }

    std::vector<std::int16_t> bearings = readBearings(bytes + layout.fixedSize, beams);

    const auto* packed = reinterpret_cast<const std::uint8_t*>(bytes + imageOffset);
    std::vector<std::uint8_t> samples;
    if (readU8(bytes + layout.sampleSizeCode) == Layout::fourBitSampleCode) {
        samples.resize(2 * std::size_t{imageSize});
        expandFourBitSamples(packed, imageSize, samples.data());
    } else {
        samples.assign(packed, packed + imageSize);
    }

    static const DataProcessing::Units::Pressure::Bar bar;
    static const DataProcessing::Units::Temperature::Celsius celsius;

    ResultFields result{
        OndrixImage(beams, readU16(bytes + layout.rangeCount), readF64(bytes + layout.range),
                    readF64(bytes + layout.gain), readF64(bytes + layout.frequency), std::move(bearings),
                    std::move(samples)),
        bar.toSI(readF64(bytes + layout.pressure)),
        celsius.toSI(readF64(bytes + layout.temperature)),
        readF64(bytes + layout.echoValue),
    };
    return result;
}

} // namespace

MessageType getMessageType(const std::vector<std::byte>& message)
{
    return static_cast<MessageType>(readU16(checkedHeader(message) + Layout::Header::messageId));
}

int getMessageVersion(const std::vector<std::byte>& message)
{
    return readU16(checkedHeader(message) + Layout::Header::messageVersion);
}

ModelNumber getModelNumber(const std::vector<std::byte>& message)
{
    return static_cast<ModelNumber>(readU16(checkedHeader(message) + Layout::Header::partNumber));
}

std::uint16_t getSerialNumber(const std::vector<std::byte>& message)
{
    return readU16(checkedHeader(message) + Layout::Header::sourceId);
}

ParsedSimpleFire parseSimplePingResult(const std::vector<std::byte>& message)
{
    ResultFields fields = parseResult(message, Layout::pingResultV1);
    return {std::move(fields.image), fields.pressure, fields.temperature, fields.echoValue};
}

ParsedSimpleFireV2 parseSimplePingResultV2(const std::vector<std::byte>& message)
{
    ResultFields fields = parseResult(message, Layout::pingResultV2);
    const std::byte* bytes = message.data();
    DataProcessing::Orientation::Attitude attitude{
        static_cast<float>(readF64(bytes + Layout::pingResultV2.attitudeFirst)),
        static_cast<float>(readF64(bytes + Layout::pingResultV2.attitudeSecond)),
        0.0F,
    };
    return {std::move(fields.image), fields.pressure, fields.temperature, fields.echoValue, attitude};
}

ParsedFullFire parseFullFireResult(const std::vector<std::byte>& message)
{
    ResultFields fields = parseResult(message, Layout::fullFireResult);
    return {std::move(fields.image), fields.pressure, fields.temperature, fields.echoValue};
}

NetworkConfiguration parseUserConfig(const std::vector<std::byte>& message)
{
    namespace U = Layout::UserConfig;
    const std::byte* bytes = checkedHeader(message);
    if (message.size() < U::size) {
        throw BadlyFormedMessageError();
    }
    // The sonar sends these the other way round from its status datagrams.
    return NetworkConfiguration{
        .dhcp = readU32(bytes + U::dhcp) != 0,
        .address = DottedQuadValue(readU32(bytes + U::ipAddress), true).toString(false),
        .mask = DottedQuadValue(readU32(bytes + U::subnetMask), true).toString(false),
    };
}

void expandFourBitSamples(const std::uint8_t* packed, std::size_t count, std::uint8_t* out)
{
    // Kept branch-free and index-simple so that the compiler vectorises it.
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t byte = packed[i];
        out[2 * i] = static_cast<std::uint8_t>(byte << 4U);
        out[2 * i + 1] = static_cast<std::uint8_t>(byte & 0xF0U);
    }
}

void expandFourBitSamples(std::vector<std::uint8_t>& samples)
{
    const std::size_t count = samples.size();
    samples.resize(2 * count);
    // Walk backwards so that no source byte is overwritten before it is read.
    for (std::size_t i = count; i-- > 0;) {
        const std::uint8_t byte = samples[i];
        samples[2 * i + 1] = static_cast<std::uint8_t>(byte & 0xF0U);
        samples[2 * i] = static_cast<std::uint8_t>(byte << 4U);
    }
}

Frame examineFrame(const std::byte* data, std::size_t size)
{
    if (size < Layout::Header::size) {
        return {FrameStatus::Incomplete, 0};
    }
    if (readU16(data + Layout::Header::magic) != Layout::Header::magicValue) {
        return {FrameStatus::Garbage, 0};
    }
    // Summed in 64 bits so that payloadSize + 16 cannot wrap.
    const std::uint64_t length = std::uint64_t{readU32(data + Layout::Header::payloadSize)} + Layout::Header::size;
    if (length > maximumMessageSize) {
        return {FrameStatus::Garbage, 0};
    }
    if (size < length) {
        return {FrameStatus::Incomplete, static_cast<std::size_t>(length)};
    }
    return {FrameStatus::Complete, static_cast<std::size_t>(length)};
}

Frame examineFrame(const std::vector<std::byte>& buffer)
{
    return examineFrame(buffer.data(), buffer.size());
}

} // namespace Keldar::Ondrix::MessageParsing
