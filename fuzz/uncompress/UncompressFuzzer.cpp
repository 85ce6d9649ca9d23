// Feeds arbitrary bytes to the frame decoder and checks what it promises:
// never more than the prefix announces, never more than the stream could
// hold, the same answer as plain zlib, and a faithful round trip.
#include <keldar/core/Compression.h>

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// Plain zlib under the same framing rules: the reference the decoder must match.
std::vector<std::byte> referenceInflate(const std::byte* frame, std::size_t size)
{
    if (size <= 4) {
        return {};
    }
    std::uint32_t length = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        length |= static_cast<std::uint32_t>(std::to_integer<std::uint8_t>(frame[i])) << (8 * i);
    }
    if (length == 0 || length > Keldar::Compression::maximumUncompressedSize(size)) {
        return {};
    }
    std::vector<std::byte> out(length);
    uLongf produced = length;
    uLong consumed = size - 4;
    if (::uncompress2(reinterpret_cast<Bytef*>(out.data()), &produced, reinterpret_cast<const Bytef*>(frame + 4),
                      &consumed) != Z_OK ||
        produced != length) {
        return {};
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto* bytes = reinterpret_cast<const std::byte*>(data);
    const auto result = Keldar::Compression::uncompress(bytes, size);
    check(result == referenceInflate(bytes, size));
    if (!result.empty()) {
        check(result.size() <= Keldar::Compression::maximumUncompressedSize(size));
        check(Keldar::Compression::uncompress(Keldar::Compression::compress(result, 1)) == result);
    }

    // The raw input doubles as data to compress, at a level taken from it.
    if (size > 0) {
        const int level = static_cast<int>(data[0] % 11) - 1;
        const auto frame = Keldar::Compression::compress(bytes, size, level);
        check(!frame.empty());
        check(Keldar::Compression::uncompress(frame) == std::vector<std::byte>(bytes, bytes + size));
    }
    return 0;
}
