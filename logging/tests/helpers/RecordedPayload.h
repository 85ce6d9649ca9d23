#pragma once

#include <cstdint>
#include <vector>

namespace Keldar::Logging::Testing {

// Deterministic, id-dependent bytes with some runs, so a surviving entry can be
// checked byte for byte and compression has something to do.
inline std::vector<std::uint8_t> recordedPayload(std::int32_t id, std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t state = 2166136261u ^ static_cast<std::uint32_t>(id);
    for (std::size_t i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        bytes[i] = (i % 64) < 16 ? static_cast<std::uint8_t>(id) : static_cast<std::uint8_t>(state >> 24);
    }
    return bytes;
}

} // namespace Keldar::Logging::Testing
