#pragma once

#include <keldar/ondrix/OndrixImage.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// One image on /stream: a 16-byte header, JSON metadata, the bearings and the
// samples as the sonar sent them (docs/stream.md).
namespace Keldar::Web::StreamMessage {

inline constexpr std::string_view magic = "OXIM";
inline constexpr std::uint16_t version = 1;
inline constexpr std::size_t headerSize = 16;

// Empty when the image's counts do not describe its samples and bearings.
// The metadata is padded with spaces so that the bearings start on a
// four-byte boundary.
std::optional<std::string> encode(const Ondrix::OndrixImage& image, std::string metadata);

struct Decoded
{
    std::string_view metadata;
    std::string_view bearings; // width little-endian int16
    std::string_view samples;  // height x width bytes
};

// For tests and tools: empty unless the message is whole and consistent
// with the width and height given.
std::optional<Decoded> decode(std::string_view message, std::size_t width, std::size_t height);

} // namespace Keldar::Web::StreamMessage
