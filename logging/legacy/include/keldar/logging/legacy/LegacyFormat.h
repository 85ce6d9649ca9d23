#pragma once

// The flat binary log format of the previous product generation: a 48-byte
// file header, then records back to back, each a 40-byte header and a
// payload. All numbers little-endian; padding is written as zero and ignored.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Keldar::Logging::Legacy {

namespace FileHeader {
inline constexpr std::uint32_t magicValue = 0x11223344;
inline constexpr std::size_t magic = 0;
inline constexpr std::size_t headerSize = 4;
inline constexpr std::size_t productName = 8; // 16 bytes, "Ondrix" and zeros
inline constexpr std::size_t productNameSize = 16;
inline constexpr std::size_t formatVersion = 24;
inline constexpr std::size_t creationTime = 40; // double, seconds since the Unix epoch
inline constexpr std::size_t size = 48;
inline constexpr std::uint32_t formatVersionValue = 1;
} // namespace FileHeader

namespace RecordHeader {
inline constexpr std::uint32_t magicValue = 0xAABBCCDD;
inline constexpr std::size_t magic = 0;
inline constexpr std::size_t headerSize = 4;
inline constexpr std::size_t kind = 8;
inline constexpr std::size_t versionFlag = 10;
inline constexpr std::size_t time = 16; // double, seconds since the Unix epoch
inline constexpr std::size_t payloadSize = 28;
inline constexpr std::size_t payloadSizeCopy = 32; // the one readers use
inline constexpr std::size_t size = 40;
} // namespace RecordHeader

namespace RecordKind {
inline constexpr std::uint16_t sonarMessage = 10;       // one complete network message
inline constexpr std::uint16_t imageConfiguration = 20; // describes the kind-21 records after it
inline constexpr std::uint16_t image = 21;              // samples of one ping, older kind
} // namespace RecordKind

// Version flag of a record whose payload is a version-2 ping result.
inline constexpr std::uint16_t versionTwoFlag = 2;

struct Record
{
    std::uint16_t kind = 0;
    std::uint16_t versionFlag = 0;
    double time = 0.0; // seconds since the Unix epoch
    std::vector<std::uint8_t> payload;
};

// Kind 20: float range (0), float gain (4), float mode (8), u16 range count
// (12), u16 beam count (14), then that many i16 bearings.
struct ImageConfiguration
{
    float range = 0.0F;
    float gain = 0.0F;
    float mode = 0.0F;
    std::uint16_t rangeCount = 0;
    std::uint16_t beamCount = 0;
    std::vector<std::int16_t> bearings;
};

namespace ImageConfigurationLayout {
inline constexpr std::size_t bearings = 16;
inline constexpr std::size_t maximumSize = 2066; // 1025 bearings
} // namespace ImageConfigurationLayout

// Throws ConversionError (not well formed) for a payload longer than the
// format allows, or one too short for its fixed fields or its beam count.
ImageConfiguration parseImageConfiguration(const std::vector<std::uint8_t>& payload);

} // namespace Keldar::Logging::Legacy
