// Speed and peak memory of the older-format bridge on a large recording:
// converting an older-format file into a current log, and exporting a whole
// current log back to the older format.
//
// The file is generated in a scratch folder and removed at the end; its size
// is 1024 MB unless KELDAR_BENCH_LEGACY_MB says otherwise. Each run happens in
// a child process so that its peak resident memory is its own; the time is
// the child's wall-clock time, the figures the medians of the repetitions.
//
// Both reuse one payload buffer from entry to entry; with a buffer allocated
// and freed per entry glibc hands its pages back to the system and faults
// them in again each time, which cost the export most of its time. Running
// with MALLOC_MMAP_THRESHOLD_=4194304 MALLOC_TRIM_THRESHOLD_=67108864 shows
// whether any such churn has come back.
#include <keldar/logging/legacy/LegacyConversion.h>
#include <keldar/logging/legacy/LegacyFormat.h>
#include <keldar/logging/legacy/LegacyLogWriter.h>
#include <keldar/ondrix/MessageBuilding.h>

#include "../support/BenchSupport.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

using namespace Keldar::Logging;
namespace Build = Keldar::Ondrix::MessageBuilding;
using Keldar::Bench::removeLog;

namespace {

std::filesystem::path scratchFolder()
{
    static const std::filesystem::path folder = Keldar::Bench::makeScratchFolder("keldar-export-bench");
    return folder;
}

std::uint64_t fileMegabytes()
{
    const char* text = std::getenv("KELDAR_BENCH_LEGACY_MB");
    return text != nullptr ? std::strtoull(text, nullptr, 10) : 1024;
}

// Version-2 ping results of 512 beams by 256 ranges (about 132 kB each), ten
// a second, with speckle over a range-dependent bed return.
std::filesystem::path legacyFile()
{
    static const std::filesystem::path path = [] {
        const auto file = scratchFolder() / "recording.ondrix";
        std::ofstream out(file, std::ios::binary);
        Legacy::LegacyLogWriter writer(out, 1700000000.0);
        std::mt19937 random(7);
        std::vector<std::vector<std::byte>> messages;
        for (int m = 0; m < 16; ++m) {
            Build::ImageDescription image;
            image.sourceId = 51001;
            image.beams = 512;
            image.ranges = 256;
            image.range = 30.0;
            image.gain = 50.0;
            image.bearings.resize(512);
            image.samples.resize(512 * 256);
            for (std::size_t i = 0; i < image.samples.size(); ++i) {
                const auto bed = static_cast<unsigned>(i / 512) / 2U;
                image.samples[i] = static_cast<std::uint8_t>(bed + (random() % 64U));
            }
            messages.push_back(Build::buildSimplePingResultV2(image));
        }
        const std::uint64_t target = fileMegabytes() << 20;
        std::uint64_t written = Legacy::FileHeader::size;
        for (int i = 0; written < target; ++i) {
            const auto& message = messages[static_cast<std::size_t>(i) % messages.size()];
            writer.writeRecord(Legacy::RecordKind::sonarMessage, Legacy::versionTwoFlag, 1700000000.0 + i * 0.1,
                               reinterpret_cast<const std::uint8_t*>(message.data()), message.size());
            written += Legacy::RecordHeader::size + message.size();
        }
        return file;
    }();
    return path;
}

struct Measured
{
    long peakKilobytes = 0;
    double cpuSeconds = 0.0;
};

// Runs `work` in a child; returns its wall-clock seconds and adds its peak
// memory and processor time to `measured`.
template<typename Work>
double timeInChild(benchmark::State& state, Measured& measured, Work work)
{
    const auto run = Keldar::Bench::runInChild(work);
    if (!run.succeeded) {
        state.SkipWithError("the child failed");
    }
    measured.peakKilobytes = std::max(measured.peakKilobytes, run.peakKilobytes);
    measured.cpuSeconds += run.cpuSeconds;
    return run.seconds;
}

// MB/s over wall-clock time, MB per processor second of the child (what the
// job costs when the machine is shared), and peak resident MB.
void reportRate(benchmark::State& state, std::uint64_t bytes, const Measured& measured)
{
    const double megabytes = static_cast<double>(state.iterations() * bytes) / 1e6;
    state.counters["MB/s"] = benchmark::Counter(megabytes, benchmark::Counter::kIsRate);
    state.counters["MB/cpu_s"] = megabytes / std::max(measured.cpuSeconds, 1e-9);
    state.counters["peakMB"] = static_cast<double>(measured.peakKilobytes) / 1024.0;
}

void BM_ConvertLegacy(benchmark::State& state)
{
    const auto level = static_cast<std::int8_t>(state.range(0));
    const auto input = legacyFile();
    const auto bytes = std::filesystem::file_size(input);
    const auto kept = std::filesystem::path(input.string() + ".old");
    Measured measured;
    for (auto _ : state) {
        state.SetIterationTime(timeInChild(state, measured, [&] {
            return Legacy::convertLegacyLogFile(input.string(), {"UTC", "bench", level}) != nullptr;
        }));
        // Put the original back for the next run.
        removeLog(input);
        std::filesystem::rename(kept, input);
    }
    reportRate(state, bytes, measured);
}
BENCHMARK(BM_ConvertLegacy)
    ->Arg(0)
    ->ArgName("level")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

void BM_ExportLegacy(benchmark::State& state)
{
    // A current log made once by converting a copy of the generated file,
    // in a child so that this process stays small.
    const auto current = scratchFolder() / "current.ondrix";
    Measured measured;
    if (!std::filesystem::exists(current)) {
        std::filesystem::copy_file(legacyFile(), current);
        timeInChild(state, measured, [&] {
            return Legacy::convertLegacyLogFile(current.string(), {"UTC", "bench", 0}) != nullptr;
        });
        std::filesystem::remove(current.string() + ".old");
        measured = {};
    }
    const auto bytes = std::filesystem::file_size(legacyFile());
    for (auto _ : state) {
        state.SetIterationTime(timeInChild(state, measured, [&] {
            Playback::LogFilePlayer player(std::make_unique<SqliteLogFile>(current), {KD_LogDataSourceType_Sonar}, {},
                                           false, 500);
            return Legacy::exportToLegacyLog(player, 0, player.getFrameCount() - 1).has_value();
        }));
        std::filesystem::remove(scratchFolder() / "current_legacy.ondrix");
    }
    reportRate(state, bytes, measured);
}
BENCHMARK(BM_ExportLegacy)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    return Keldar::Bench::runBenchmarks(argc, argv, scratchFolder());
}
