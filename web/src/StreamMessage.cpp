#include "StreamMessage.h"

#include <cstring>

namespace Keldar::Web::StreamMessage {

namespace {

void putU16(std::string& out, std::size_t at, std::uint16_t value)
{
    out[at] = static_cast<char>(value & 0xFFU);
    out[at + 1] = static_cast<char>(value >> 8U);
}

void putU32(std::string& out, std::size_t at, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) {
        out[at + i] = static_cast<char>((value >> (8U * i)) & 0xFFU);
    }
}

std::uint32_t getU32(std::string_view in, std::size_t at)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(in[at + i])) << (8U * i);
    }
    return value;
}

} // namespace

std::optional<std::string> encode(const Ondrix::OndrixImage& image, std::string metadata)
{
    const std::size_t width = image.getWidth();
    const std::size_t height = image.getHeight();
    const auto& bearings = image.getBearings();
    const auto& samples = image.getData();
    if (bearings.size() != width || samples.size() != width * height) {
        return std::nullopt;
    }
    metadata.resize((metadata.size() + 3U) & ~std::size_t{3}, ' ');
    std::string out(headerSize + metadata.size() + 2 * width + samples.size(), '\0');
    std::memcpy(out.data(), magic.data(), magic.size());
    putU16(out, 4, version);
    putU16(out, 6, static_cast<std::uint16_t>(headerSize));
    putU32(out, 8, static_cast<std::uint32_t>(metadata.size()));
    putU32(out, 12, 0);
    std::size_t at = headerSize;
    std::memcpy(out.data() + at, metadata.data(), metadata.size());
    at += metadata.size();
    for (const std::int16_t bearing : bearings) {
        putU16(out, at, static_cast<std::uint16_t>(bearing));
        at += 2;
    }
    std::memcpy(out.data() + at, samples.data(), samples.size());
    return out;
}

std::optional<Decoded> decode(std::string_view message, std::size_t width, std::size_t height)
{
    if (message.size() < headerSize || message.substr(0, 4) != magic) {
        return std::nullopt;
    }
    const std::size_t length = getU32(message, 8);
    if (length > message.size() - headerSize || message.size() - headerSize - length != 2 * width + width * height) {
        return std::nullopt;
    }
    Decoded decoded;
    decoded.metadata = message.substr(headerSize, length);
    decoded.bearings = message.substr(headerSize + length, 2 * width);
    decoded.samples = message.substr(headerSize + length + 2 * width);
    return decoded;
}

} // namespace Keldar::Web::StreamMessage
