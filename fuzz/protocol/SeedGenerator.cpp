// Writes a small seed corpus of well-formed messages made by the builders.
#include <keldar/ondrix/MessageBuilding.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace Keldar::Ondrix;

void write(const std::filesystem::path& directory, const std::string& name, const std::vector<std::byte>& bytes)
{
    std::ofstream out(directory / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

MessageBuilding::ImageDescription smallImage(bool fourBit)
{
    MessageBuilding::ImageDescription image;
    image.sourceId = 0x1234;
    image.partNumber = ModelNumber::RostrelA1032;
    image.beams = 8;
    image.ranges = 6;
    image.range = 10.0;
    image.gain = 50.0;
    image.frequency = 750000.0;
    for (int b = 0; b < image.beams; ++b) {
        image.bearings.push_back(static_cast<std::int16_t>(-3500 + 1000 * b));
    }
    for (int i = 0; i < image.beams * image.ranges; ++i) {
        image.samples.push_back(static_cast<std::uint8_t>(i * 5));
    }
    image.fourBitSamples = fourBit;
    image.temperature = 12.0;
    image.pressure = 1.5;
    image.attitudeFirst = 2.0;
    image.attitudeSecond = -1.0;
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path directory(argv[1]);
    std::filesystem::create_directories(directory);

    write(directory, "ping-v1-8bit", MessageBuilding::buildSimplePingResult(smallImage(false)));
    write(directory, "ping-v1-4bit", MessageBuilding::buildSimplePingResult(smallImage(true)));
    write(directory, "ping-v2-8bit", MessageBuilding::buildSimplePingResultV2(smallImage(false)));
    write(directory, "ping-v2-4bit", MessageBuilding::buildSimplePingResultV2(smallImage(true)));
    write(directory, "full-fire-8bit", MessageBuilding::buildFullFireResult(smallImage(false)));
    write(directory, "full-fire-4bit", MessageBuilding::buildFullFireResult(smallImage(true)));
    write(directory, "fire-request", MessageBuilding::buildFireRequest({}, 0x1234, false));
    write(directory, "user-config-zero", MessageBuilding::buildUserConfig(0x1234));
    write(directory, "user-config-reply",
          MessageBuilding::buildUserConfigReply(0x1234, ModelNumber::RostrelA1032, false, 0x0A01A8C0U, 0x00FFFFFFU));
    StatusFields status;
    status.serialNumber = 0x1234;
    status.partNumber = ModelNumber::RostrelA1032;
    status.statusWord = (1U << 30) | (2U << 14);
    status.firmwareVersion = 101;
    status.ipAddress = 0x0A01A8C0U;
    status.subnetMask = 0x00FFFFFFU;
    status.internalTemperature = 35.0;
    status.waterTemperature = 12.0;
    status.pressure = 1.5;
    write(directory, "status", MessageBuilding::buildStatusDatagram(status));
    return 0;
}
