#include "support/OlderFormatFiles.h"

#include "LegacyBytes.h"

#include <keldar/ondrix/MessageBuilding.h>

#include <fstream>
#include <iterator>

namespace Keldar::OndrixLumivane::Testing {

namespace {

namespace Bytes = Logging::Legacy::Testing;

constexpr double startTime = 1700000000.0;

FileBytes pingResult(int which)
{
    Ondrix::MessageBuilding::ImageDescription image;
    image.sourceId = 4242;
    image.beams = 64;
    image.ranges = 100;
    image.range = 10.0;
    image.gain = 50.0;
    for (int beam = 0; beam < image.beams; ++beam) {
        image.bearings.push_back(static_cast<std::int16_t>(-6000 + beam * 190));
    }
    // A bed return that brightens with range, so the fan shows a picture.
    for (int range = 0; range < image.ranges; ++range) {
        for (int beam = 0; beam < image.beams; ++beam) {
            image.samples.push_back(static_cast<std::uint8_t>(60 + range + (beam + which) % 40));
        }
    }
    return Bytes::toBytes(Ondrix::MessageBuilding::buildSimplePingResultV2(image));
}

} // namespace

OlderFormatFile::OlderFormatFile(std::filesystem::path path, int count)
    : path(std::move(path))
    , bytes(Bytes::fileHeader(startTime))
{
    for (int i = 0; i < count; ++i) {
        payloads.push_back(pingResult(i));
        const auto record =
            Bytes::record({.kind = 10, .time = startTime + i * 0.1, .payload = payloads.back(), .versionFlag = 2});
        bytes.insert(bytes.end(), record.begin(), record.end());
    }
    write(bytes);
}

void OlderFormatFile::write(const FileBytes& content) const
{
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
}

FileBytes bytesOnDisk(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace Keldar::OndrixLumivane::Testing
