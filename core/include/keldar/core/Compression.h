#pragma once

#include <cstddef>
#include <vector>

namespace Keldar::Compression {

// zlib scale: -1 the default (the fastest, 1), 0 stored, 1 fastest ... 9 smallest.
using CompressionLevel = int;
inline constexpr CompressionLevel DefaultCompression = -1;

// Frame: 4-byte little-endian uncompressed length, then a standard zlib stream.
// Empty input, inputs of 4 GiB or more and invalid levels give an empty result.
std::vector<std::byte> compress(const std::vector<std::byte>& data, CompressionLevel level = DefaultCompression);
std::vector<std::byte> compress(const std::byte* data, std::size_t size, CompressionLevel level = DefaultCompression);

// Inverse of compress. Anything that is not a valid frame - too short, a
// stream that does not inflate to exactly the announced length, or a length
// the stream could not possibly produce - gives an empty result. The length
// prefix is checked before any memory is reserved for it.
std::vector<std::byte> uncompress(const std::vector<std::byte>& frame);
std::vector<std::byte> uncompress(const std::byte* frame, std::size_t size);

// The largest uncompressed length a frame of `frameSize` bytes is allowed to
// announce (deflate cannot expand beyond about 1032:1).
std::size_t maximumUncompressedSize(std::size_t frameSize);

} // namespace Keldar::Compression
