#include "PayloadCodec.h"

#include <keldar/core/Compression.h>

namespace Keldar::Logging::PayloadCodec {

namespace {

std::vector<std::uint8_t> toBytes(const std::vector<std::byte>& data)
{
    const auto* first = reinterpret_cast<const std::uint8_t*>(data.data());
    return std::vector<std::uint8_t>(first, first + data.size());
}

} // namespace

std::vector<std::uint8_t> encode(const std::vector<std::uint8_t>& payload, int compressionLevel)
{
    if (compressionLevel == 0 || payload.empty()) {
        return payload;
    }
    // A level outside zlib's range (from a damaged file) would make the
    // compressor refuse and lose the payload; fall back to the default level.
    if (compressionLevel < -1 || compressionLevel > 9) {
        compressionLevel = Compression::DefaultCompression;
    }
    return toBytes(
        Compression::compress(reinterpret_cast<const std::byte*>(payload.data()), payload.size(), compressionLevel));
}

std::optional<std::vector<std::uint8_t>> decode(const std::vector<std::uint8_t>& stored, int compressionLevel)
{
    if (compressionLevel == 0 || stored.empty()) {
        return stored;
    }
    const auto data = Compression::uncompress(reinterpret_cast<const std::byte*>(stored.data()), stored.size());
    if (data.empty()) {
        // A frame announcing zero bytes is the only valid way to get nothing back.
        const bool announcesEmpty =
            stored.size() >= 4 && stored[0] == 0 && stored[1] == 0 && stored[2] == 0 && stored[3] == 0;
        if (!announcesEmpty) {
            return std::nullopt;
        }
    }
    return toBytes(data);
}

} // namespace Keldar::Logging::PayloadCodec
