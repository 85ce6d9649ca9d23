#include <keldar/core/Compression.h>

#include <libdeflate.h>
#include <zlib.h>

#include <array>
#include <cstdint>
#include <limits>

namespace Keldar::Compression {

namespace {

constexpr std::size_t prefixSize = 4;
// Deflate's best case is one 258-byte match per two bits: 1032:1. The slack
// covers the fixed block overhead of tiny streams.
constexpr std::size_t maximumRatio = 1032;
constexpr std::size_t ratioSlack = 64;

// Compressors are costly to set up and not shareable between threads, so each
// recording thread keeps its own, one per level, made on first use.
class ThreadCompressors
{
public:
    ThreadCompressors() = default;
    ThreadCompressors(const ThreadCompressors&) = delete;
    ThreadCompressors& operator=(const ThreadCompressors&) = delete;
    ~ThreadCompressors()
    {
        for (auto* compressor : m_compressors) {
            libdeflate_free_compressor(compressor);
        }
    }

    libdeflate_compressor* get(int level)
    {
        auto& compressor = m_compressors.at(static_cast<std::size_t>(level));
        if (compressor == nullptr) {
            compressor = libdeflate_alloc_compressor(level);
        }
        return compressor;
    }

private:
    std::array<libdeflate_compressor*, 10> m_compressors{};
};

thread_local ThreadCompressors compressors;

} // namespace

std::size_t maximumUncompressedSize(std::size_t frameSize)
{
    if (frameSize <= prefixSize) {
        return 0;
    }
    const std::size_t streamSize = frameSize - prefixSize;
    if (streamSize > (std::numeric_limits<std::size_t>::max() - ratioSlack) / maximumRatio) {
        return std::numeric_limits<std::size_t>::max();
    }
    return streamSize * maximumRatio + ratioSlack;
}

std::vector<std::byte> compress(const std::vector<std::byte>& data, CompressionLevel level)
{
    return compress(data.data(), data.size(), level);
}

std::vector<std::byte> compress(const std::byte* data, std::size_t size, CompressionLevel level)
{
    // The prefix has 32 bits: a larger input could not be framed truthfully.
    if (data == nullptr || size == 0 || size > std::numeric_limits<std::uint32_t>::max()) {
        return {};
    }
    if (level < -1 || level > 9) {
        return {};
    }
    // The default is the fastest level: on sonar images every level from 1 to 6
    // stores within 0.5 % of the same size (the gain is in the Huffman coding,
    // not in matches), while level 6 takes twice as long, and recording
    // compresses on the sonar's network thread.
    auto* compressor = compressors.get(level == DefaultCompression ? 1 : level);
    if (compressor == nullptr) {
        return {};
    }
    const std::size_t bound = libdeflate_zlib_compress_bound(compressor, size);
    std::vector<std::byte> frame(prefixSize + bound);
    const std::size_t written = libdeflate_zlib_compress(compressor, data, size, frame.data() + prefixSize, bound);
    if (written == 0) {
        return {};
    }
    const auto length = static_cast<std::uint32_t>(size);
    for (std::size_t i = 0; i < prefixSize; ++i) {
        frame[i] = static_cast<std::byte>(length >> (8 * i));
    }
    frame.resize(prefixSize + written);
    return frame;
}

std::vector<std::byte> uncompress(const std::vector<std::byte>& frame)
{
    return uncompress(frame.data(), frame.size());
}

std::vector<std::byte> uncompress(const std::byte* frame, std::size_t size)
{
    if (frame == nullptr || size <= prefixSize) {
        return {};
    }
    std::uint32_t length = 0;
    for (std::size_t i = 0; i < prefixSize; ++i) {
        length |= static_cast<std::uint32_t>(std::to_integer<std::uint8_t>(frame[i])) << (8 * i);
    }
    // Never trust the prefix with an allocation the stream could not fill.
    if (length == 0 || length > maximumUncompressedSize(size)) {
        return {};
    }
    // Inflated by zlib itself, so any stream zlib accepts is accepted and
    // nothing else is.
    std::vector<std::byte> data(length);
    uLongf produced = length;
    uLong consumed = size - prefixSize;
    const int result = ::uncompress2(reinterpret_cast<Bytef*>(data.data()), &produced,
                                     reinterpret_cast<const Bytef*>(frame + prefixSize), &consumed);
    if (result != Z_OK || produced != length) {
        return {};
    }
    return data;
}

} // namespace Keldar::Compression
