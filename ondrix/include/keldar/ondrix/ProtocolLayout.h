#pragma once

// Byte offsets of every message layout, from the first byte of the message.
// Parsers and builders both use these, so a layout is written down once.
// All values are little-endian and packed (doubles sit at odd offsets).

#include <cstddef>
#include <cstdint>

namespace Keldar::Ondrix::ProtocolLayout {

namespace Header {
inline constexpr std::uint16_t magicValue = 0x3A7C; // bytes 0x7C, 0x3A on the wire
inline constexpr std::size_t magic = 0;
inline constexpr std::size_t sourceId = 2;
inline constexpr std::size_t destinationId = 4;
inline constexpr std::size_t messageId = 6;
inline constexpr std::size_t messageVersion = 8;
inline constexpr std::size_t payloadSize = 10;
inline constexpr std::size_t partNumber = 14;
inline constexpr std::size_t size = 16;
} // namespace Header

namespace FireRequest {
inline constexpr std::uint16_t version = 2;
inline constexpr std::size_t frequency = 16;
inline constexpr std::size_t pingRate = 17;
inline constexpr std::size_t bandwidth = 18;
inline constexpr std::size_t gamma = 19;
inline constexpr std::size_t flags = 20;
inline constexpr std::size_t range = 21;
inline constexpr std::size_t gain = 29;
inline constexpr std::size_t reservedA = 37; // double, always 0
inline constexpr std::size_t reservedB = 45; // double, always 0
inline constexpr std::size_t extendedFlags = 53;
inline constexpr std::size_t size = 89;

inline constexpr std::uint8_t flagsBase = 0x09; // bits 0 and 3 are always set
inline constexpr std::uint8_t flagGainAssist = 0x10;
inline constexpr std::uint8_t flagLowPower = 0x20;
inline constexpr std::uint8_t flagFullBeams = 0x40;
inline constexpr std::uint8_t flagOnDemand = 0x80;
inline constexpr std::uint32_t extendedFlagGainBoost = 0x04;
} // namespace FireRequest

namespace UserConfig {
inline constexpr std::uint16_t version = 0;
inline constexpr std::size_t ipAddress = 16;
inline constexpr std::size_t subnetMask = 20;
inline constexpr std::size_t dhcp = 24;
inline constexpr std::size_t size = 28;
} // namespace UserConfig

// Where one ping or fire result layout keeps the fields the host reads. The
// bearing table follows the fixed part directly; the samples sit wherever the
// image offset says, counted from the start of the message.
struct ResultLayout
{
    std::size_t fixedSize;
    std::size_t range;
    std::size_t gain;
    std::size_t echoValue;
    std::size_t frequency;
    std::size_t temperature;
    std::size_t pressure;
    std::size_t sampleSizeCode;
    std::size_t rangeCount;
    std::size_t beamCount;
    std::size_t imageOffset;
    std::size_t imageSize;
    std::size_t attitudeFirst; // 0 when the layout carries no attitude
    std::size_t attitudeSecond;
};

inline constexpr ResultLayout pingResultV1{
    .fixedSize = 122,
    .range = 21,
    .gain = 29,
    .echoValue = 45,
    .frequency = 61,
    .temperature = 69,
    .pressure = 77,
    .sampleSizeCode = 97,
    .rangeCount = 106,
    .beamCount = 108,
    .imageOffset = 110,
    .imageSize = 114,
    .attitudeFirst = 0,
    .attitudeSecond = 0,
};

inline constexpr ResultLayout pingResultV2{
    .fixedSize = 202,
    .range = 21,
    .gain = 29,
    .echoValue = 45,
    .frequency = 97,
    .temperature = 105,
    .pressure = 113,
    .sampleSizeCode = 161,
    .rangeCount = 170,
    .beamCount = 172,
    .imageOffset = 190,
    .imageSize = 194,
    .attitudeFirst = 129,
    .attitudeSecond = 137,
};

inline constexpr ResultLayout fullFireResult{
    .fixedSize = 588,
    .range = 25,
    .gain = 166,
    .echoValue = 49,
    .frequency = 33,
    .temperature = 471,
    .pressure = 479,
    .sampleSizeCode = 84,
    .rangeCount = 555,
    .beamCount = 73,
    .imageOffset = 576,
    .imageSize = 580,
    .attitudeFirst = 0,
    .attitudeSecond = 0,
};

inline constexpr std::uint16_t pingResultV2Version = 2;
inline constexpr std::uint8_t fourBitSampleCode = 4; // any other code: one byte per sample

namespace Status {
inline constexpr std::size_t serialNumber = 16;
inline constexpr std::size_t partNumber = 22;
inline constexpr std::size_t statusWord = 24;
inline constexpr std::size_t firmwareVersion = 44;
inline constexpr std::size_t ipAddress = 52;
inline constexpr std::size_t subnetMask = 56;
inline constexpr std::size_t connectionRefusal = 60;
inline constexpr std::size_t internalTemperature = 70;
inline constexpr std::size_t waterTemperature = 110;
inline constexpr std::size_t pressure = 134;
inline constexpr std::size_t size = 142;

// Status word fields.
inline constexpr std::uint32_t mainStateMask = 0x7; // value 1: paused in the boot stage
inline constexpr unsigned pauseReasonShift = 3;
inline constexpr std::uint32_t pauseReasonMask = 0x7;
inline constexpr unsigned temperatureStateShift = 14;
inline constexpr std::uint32_t temperatureStateMask = 0x3;
inline constexpr std::uint32_t transmitFailureBit = 1U << 16;
inline constexpr std::uint32_t firstCapabilityBit = 1U << 30;
inline constexpr std::uint32_t secondCapabilityBit = 1U << 31;
} // namespace Status

} // namespace Keldar::Ondrix::ProtocolLayout
