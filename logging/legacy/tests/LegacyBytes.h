#pragma once

// Older-format files written byte by byte, independently of the library's
// writer, so that reader and writer cannot share a mistake.

#include <cstdint>
#include <vector>

namespace Keldar::Logging::Legacy::Testing {

using Bytes = std::vector<std::uint8_t>;

Bytes fileHeader(double creationTime = 0.0, std::uint32_t magic = 0x11223344);

struct RecordBytes
{
    std::uint16_t kind = 10;
    double time = 0.0;
    Bytes payload;
    std::uint16_t versionFlag = 0;
    // What the size fields claim; the payload's own size when absent.
    std::int64_t claimedSize = -1;
    std::uint32_t magic = 0xAABBCCDD;
};
Bytes record(const RecordBytes& record);

// A kind-20 payload; `claimedBeams` overrides the beam count field.
Bytes configuration(float range, float gain, float mode, std::uint16_t ranges,
                    const std::vector<std::int16_t>& bearings, int claimedBeams = -1);

Bytes concat(std::initializer_list<Bytes> parts);
Bytes toBytes(const std::vector<std::byte>& message);

// Reads a little-endian field of `width` bytes at `offset`.
std::uint64_t field(const Bytes& bytes, std::size_t offset, std::size_t width);
double doubleField(const Bytes& bytes, std::size_t offset);

} // namespace Keldar::Logging::Legacy::Testing
