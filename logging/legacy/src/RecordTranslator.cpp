#include <keldar/logging/legacy/ConversionError.h>
#include <keldar/logging/legacy/RecordTranslator.h>

#include <keldar/ondrix/MessageBuilding.h>
#include <keldar/ondrix/MessageParsing.h>
#include <keldar/ondrix/ProtocolLayout.h>

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace Keldar::Logging::Legacy {

namespace {

namespace Layout = Ondrix::ProtocolLayout;

// Message id that the older viewer wrote into the ping results it rebuilt,
// kept so that converted logs hold the same bytes as before.
constexpr std::uint16_t rebuiltMessageId = 0x15;
// The frequency mode byte right after the header of a version-1 ping result.
constexpr std::size_t masterModeOffset = 16;

// Entry type codes of the current format.
constexpr std::uint32_t pingResultV1Type = 0;
constexpr std::uint32_t pingResultV2Type = 1;
constexpr std::uint32_t fullFireResultType = 2;

// trunc(milliseconds), refusing what an int64 cannot hold (a hostile time
// could be infinite, NaN or beyond the range of any timestamp).
std::int64_t toTimestamp(double milliseconds)
{
    constexpr double limit = 9.2e18;
    if (!std::isfinite(milliseconds) || std::fabs(milliseconds) >= limit) {
        throw ConversionError(notWellFormedMessage);
    }
    return static_cast<std::int64_t>(std::trunc(milliseconds));
}

std::uint8_t modeByte(float mode)
{
    // The mode is a small whole number in every file the older viewer wrote;
    // anything an int cannot hold is read as 0 rather than converted blindly.
    if (!std::isfinite(mode) || std::fabs(mode) >= 2.0e9F) {
        return 0;
    }
    return static_cast<std::uint8_t>(static_cast<std::int32_t>(mode) & 0xFF);
}

} // namespace

std::uint32_t sonarMessageType(const std::vector<std::uint8_t>& payload)
{
    // The header functions need only the header; copying just that keeps
    // large messages from being copied to be classified.
    if (payload.size() < Layout::Header::size) {
        throw ConversionError(notWellFormedMessage);
    }
    std::vector<std::byte> header(Layout::Header::size);
    std::memcpy(header.data(), payload.data(), header.size());
    try {
        switch (Ondrix::MessageParsing::getMessageType(header)) {
        case Ondrix::MessageType::FullFireResult:
            return fullFireResultType;
        case Ondrix::MessageType::SimplePingResult:
            return Ondrix::MessageParsing::getMessageVersion(header) == 2 ? pingResultV2Type : pingResultV1Type;
        case Ondrix::MessageType::SimpleFire:
            // A ping result rebuilt from an older image record, exported back
            // to this format: a fire request is never recorded, and has
            // version 2 and no room for an image.
            if (Ondrix::MessageParsing::getMessageVersion(header) == 0 &&
                payload.size() >= Layout::pingResultV1.fixedSize) {
                return pingResultV1Type;
            }
            throw ConversionError(unsupportedDataTypeMessage);
        default:
            throw ConversionError(unsupportedDataTypeMessage);
        }
    } catch (const Ondrix::BadlyFormedMessageError&) {
        throw ConversionError(notWellFormedMessage);
    }
}

std::vector<std::uint8_t> buildPingResult(const ImageConfiguration& configuration,
                                          const std::vector<std::uint8_t>& samples)
{
    Ondrix::MessageBuilding::ImageDescription image;
    image.beams = configuration.beamCount;
    image.ranges = configuration.rangeCount;
    image.range = static_cast<double>(configuration.range);
    image.gain = static_cast<double>(configuration.gain);
    image.bearings = configuration.bearings;
    image.samples = samples;
    std::vector<std::byte> message;
    try {
        message = Ondrix::MessageBuilding::buildSimplePingResult(image, 0);
    } catch (const std::length_error&) {
        throw ConversionError(notWellFormedMessage);
    }
    auto* p = reinterpret_cast<std::uint8_t*>(message.data());
    p[Layout::Header::messageId] = static_cast<std::uint8_t>(rebuiltMessageId);
    p[Layout::Header::messageId + 1] = 0;
    p[masterModeOffset] = modeByte(configuration.mode);
    // The older messages carried no sample size code: one byte per sample.
    p[Layout::pingResultV1.sampleSizeCode] = 0;
    return std::vector<std::uint8_t>(p, p + message.size());
}

std::optional<ConvertedEntry> RecordTranslator::translate(Record record, std::size_t position, std::size_t groupSize)
{
    if (record.kind == RecordKind::imageConfiguration) {
        configuration_ = parseImageConfiguration(record.payload);
        return std::nullopt;
    }
    if (record.kind == RecordKind::image && configuration_) {
        return ConvertedEntry{ConvertedSource::Sonar, pingResultV1Type, toTimestamp(record.time * 1000.0),
                              buildPingResult(*configuration_, record.payload)};
    }
    // Records sharing one time are spread evenly over the following second.
    const double spread = 1000.0 / static_cast<double>(groupSize) * static_cast<double>(position);
    ConvertedEntry entry;
    entry.timestamp = toTimestamp(spread + record.time * 1000.0);
    if (record.kind == RecordKind::sonarMessage) {
        entry.source = ConvertedSource::Sonar;
        entry.type = sonarMessageType(record.payload);
    } else {
        entry.source = ConvertedSource::Unknown;
        entry.type = record.kind;
    }
    entry.payload = std::move(record.payload);
    return entry;
}

} // namespace Keldar::Logging::Legacy
