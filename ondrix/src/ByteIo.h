#pragma once

// Little-endian field access on raw message bytes. Callers check bounds first;
// these helpers only assemble and scatter bytes, independent of host order.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace Keldar::Ondrix::ByteIo {

inline std::uint8_t readU8(const std::byte* p)
{
    return static_cast<std::uint8_t>(p[0]);
}

inline std::uint16_t readU16(const std::byte* p)
{
    return static_cast<std::uint16_t>(static_cast<unsigned>(p[0]) | (static_cast<unsigned>(p[1]) << 8U));
}

inline std::uint32_t readU32(const std::byte* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8U) |
           (static_cast<std::uint32_t>(p[2]) << 16U) | (static_cast<std::uint32_t>(p[3]) << 24U);
}

inline std::uint64_t readU64(const std::byte* p)
{
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) {
        value = (value << 8U) | static_cast<std::uint64_t>(p[i]);
    }
    return value;
}

inline double readF64(const std::byte* p)
{
    return std::bit_cast<double>(readU64(p));
}

inline void writeU8(std::byte* p, std::uint8_t value)
{
    p[0] = static_cast<std::byte>(value);
}

inline void writeU16(std::byte* p, std::uint16_t value)
{
    p[0] = static_cast<std::byte>(value & 0xFFU);
    p[1] = static_cast<std::byte>(value >> 8U);
}

inline void writeU32(std::byte* p, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::byte>((value >> (8U * static_cast<unsigned>(i))) & 0xFFU);
    }
}

inline void writeU64(std::byte* p, std::uint64_t value)
{
    for (int i = 0; i < 8; ++i) {
        p[i] = static_cast<std::byte>((value >> (8U * static_cast<unsigned>(i))) & 0xFFU);
    }
}

inline void writeF64(std::byte* p, double value)
{
    writeU64(p, std::bit_cast<std::uint64_t>(value));
}

} // namespace Keldar::Ondrix::ByteIo
