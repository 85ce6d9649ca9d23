#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace Keldar::Logging::PayloadCodec {

// Stored form of a payload: raw at level 0, else the 4-byte little-endian
// length followed by a zlib stream. Empty stays empty at every level.
std::vector<std::uint8_t> encode(const std::vector<std::uint8_t>& payload, int compressionLevel);

// The payload of a stored blob; empty optional when a compressed blob is
// damaged (bad stream, or a declared length no zlib stream of that size could
// produce, which guards against huge allocations from corrupt files).
std::optional<std::vector<std::uint8_t>> decode(const std::vector<std::uint8_t>& stored, int compressionLevel);

} // namespace Keldar::Logging::PayloadCodec
