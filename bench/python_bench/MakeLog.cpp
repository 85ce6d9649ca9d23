// python-bench-log PATH MEGABYTES: writes a recording of about MEGABYTES MB
// for python_bench.py: version-2 ping results of 512 beams by 1000 ranges at
// 10 Hz, sixteen different images in turn, uncompressed as ondrix-cli records.

#include <keldar/logging/SqliteLogFile.h>
#include <keldar/ondrix/MessageBuilding.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: python-bench-log PATH MEGABYTES\n";
        return 1;
    }
    const std::filesystem::path path = argv[1];
    const std::uint64_t target = std::strtoull(argv[2], nullptr, 10) << 20;
    if (std::filesystem::exists(path)) {
        std::cerr << "python-bench-log: " << path << " exists\n";
        return 1;
    }
    namespace Build = Keldar::Ondrix::MessageBuilding;
    std::mt19937 random(11);
    std::vector<std::vector<std::uint8_t>> messages;
    for (int m = 0; m < 16; ++m) {
        Build::ImageDescription image;
        image.sourceId = 51001;
        image.beams = 512;
        image.ranges = 1000;
        image.range = 30.0;
        image.gain = 50.0;
        image.frequency = 1.2e6;
        image.attitudeFirst = 0.5 * m;
        image.attitudeSecond = -0.25 * m;
        for (int beam = 0; beam < image.beams; ++beam) {
            image.bearings.push_back(static_cast<std::int16_t>(-6500 + beam * 13000 / (image.beams - 1)));
        }
        image.samples.resize(std::size_t{image.beams} * image.ranges);
        for (std::size_t i = 0; i < image.samples.size(); ++i) {
            image.samples[i] = static_cast<std::uint8_t>((i / image.beams) / 8 + random() % 64U);
        }
        const auto bytes = Build::buildSimplePingResultV2(image);
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
        messages.emplace_back(data, data + bytes.size());
    }

    Keldar::Logging::SqliteLogFile log(path.string(), "UTC", "python-bench-log", "1", 0, 1'700'000'000'000);
    Keldar::Logging::DataSource source{-1, KD_LogDataSourceType_Sonar, "Ondrix bench"};
    if (!log.addDataSource(source) || !log.setBulkWriting(true) || !log.beginTransaction()) {
        std::cerr << "python-bench-log: " << log.getLastError() << "\n";
        return 1;
    }
    std::uint64_t written = 0;
    for (std::int64_t i = 0; written < target; ++i) {
        const auto& message = messages[static_cast<std::size_t>(i) % messages.size()];
        if (!log.logData({0, source.id, 1, message, 1'700'000'000'000 + i * 100})) {
            std::cerr << "python-bench-log: " << log.getLastError() << "\n";
            return 1;
        }
        written += message.size();
        if (i % 500 == 499 && !(log.commitTransaction() && log.beginTransaction())) {
            std::cerr << "python-bench-log: " << log.getLastError() << "\n";
            return 1;
        }
    }
    if (!log.commitTransaction()) {
        std::cerr << "python-bench-log: " << log.getLastError() << "\n";
        return 1;
    }
    std::cout << log.getEntryCount() << " entries\n";
    return 0;
}
