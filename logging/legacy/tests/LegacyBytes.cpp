#include "LegacyBytes.h"

#include <bit>
#include <cstring>

namespace Keldar::Logging::Legacy::Testing {

namespace {

void put(Bytes& bytes, std::uint64_t value, std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

void putDouble(Bytes& bytes, double value)
{
    put(bytes, std::bit_cast<std::uint64_t>(value), 8);
}
void putFloat(Bytes& bytes, float value)
{
    put(bytes, std::bit_cast<std::uint32_t>(value), 4);
}

} // namespace

Bytes fileHeader(double creationTime, std::uint32_t magic)
{
    Bytes bytes;
    put(bytes, magic, 4);
    put(bytes, 48, 4);
    const char name[16] = "Ondrix";
    bytes.insert(bytes.end(), name, name + 16);
    put(bytes, 1, 4);
    put(bytes, 0, 4);
    put(bytes, 0, 8);
    putDouble(bytes, creationTime);
    return bytes;
}

Bytes record(const RecordBytes& record)
{
    const auto size = record.claimedSize >= 0 ? static_cast<std::uint64_t>(record.claimedSize) : record.payload.size();
    Bytes bytes;
    put(bytes, record.magic, 4);
    put(bytes, 40, 4);
    put(bytes, record.kind, 2);
    put(bytes, record.versionFlag, 2);
    put(bytes, 0, 4);
    putDouble(bytes, record.time);
    put(bytes, 0, 4);
    put(bytes, size, 4);
    put(bytes, size, 4);
    put(bytes, 0, 4);
    bytes.insert(bytes.end(), record.payload.begin(), record.payload.end());
    return bytes;
}

Bytes configuration(float range, float gain, float mode, std::uint16_t ranges,
                    const std::vector<std::int16_t>& bearings, int claimedBeams)
{
    Bytes bytes;
    putFloat(bytes, range);
    putFloat(bytes, gain);
    putFloat(bytes, mode);
    put(bytes, ranges, 2);
    put(bytes, claimedBeams >= 0 ? static_cast<std::uint64_t>(claimedBeams) : bearings.size(), 2);
    for (const auto bearing : bearings) {
        put(bytes, static_cast<std::uint16_t>(bearing), 2);
    }
    return bytes;
}

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes bytes;
    for (const auto& part : parts) {
        bytes.insert(bytes.end(), part.begin(), part.end());
    }
    return bytes;
}

Bytes toBytes(const std::vector<std::byte>& message)
{
    Bytes bytes(message.size());
    std::memcpy(bytes.data(), message.data(), message.size());
    return bytes;
}

std::uint64_t field(const Bytes& bytes, std::size_t offset, std::size_t width)
{
    std::uint64_t value = 0;
    for (std::size_t i = width; i > 0; --i) {
        value = (value << 8U) | bytes.at(offset + i - 1);
    }
    return value;
}

double doubleField(const Bytes& bytes, std::size_t offset)
{
    return std::bit_cast<double>(field(bytes, offset, 8));
}

} // namespace Keldar::Logging::Legacy::Testing
