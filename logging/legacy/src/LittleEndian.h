#pragma once

// Little-endian fields of the older format, independent of host byte order.

#include <bit>
#include <cstddef>
#include <cstdint>

namespace Keldar::Logging::Legacy::LittleEndian {

template<typename T>
T read(const std::uint8_t* p)
{
    using U = std::conditional_t<sizeof(T) == 2, std::uint16_t,
                                 std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>;
    U value = 0;
    for (std::size_t i = sizeof(T); i > 0; --i) {
        value = static_cast<U>((value << 8U) | p[i - 1]);
    }
    return std::bit_cast<T>(value);
}

template<typename T>
void write(std::uint8_t* p, T field)
{
    using U = std::conditional_t<sizeof(T) == 2, std::uint16_t,
                                 std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>;
    auto value = std::bit_cast<U>(field);
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        p[i] = static_cast<std::uint8_t>(value & 0xFFU);
        value = static_cast<U>(value >> 8U);
    }
}

} // namespace Keldar::Logging::Legacy::LittleEndian
