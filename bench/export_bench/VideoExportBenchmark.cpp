// Speed of the video export: a 60 s recording of 512 beams x 1000 ranges at
// 10 Hz and at 40 Hz, drawn at 1920 x 1080 and encoded as the viewer does,
// as MPEG-4 in AVI (format 0, the baseline) and as H.264 in MP4 (format 1)
// at x264's preset `preset` (an index into h264Presets(): 0 is the default
// "ultrafast", 5 "medium", x264's own default). The MP4 goal: cpu_per_s at the
// default preset at most 1.5 times AVI's.
// The figure that matters is `realtime`: seconds of recording exported per
// second of wall-clock time (goals: 2 at 10 Hz, 1 at 40 Hz). Run it under
// scripts/with-display (software OpenGL under Xvfb) with
// --benchmark_repetitions=3 for medians; on a loaded machine `cpu_per_s`
// (processor seconds per recording second, all threads) is the steadier figure. KELDAR_BENCH_VIDEO_SECONDS shortens
// the recording for a quick look.
#include "../../visualisation/videoexport/tests/SyntheticLog.h"
#include "../support/BenchSupport.h"

#include <keldar/logging/LogFilePlayer.h>
#include <keldar/logging/videoexport/VideoExportText.h>
#include <keldar/visualisation/FanDisplay.h>
#include <keldar/visualisation/videoexport/VideoRenderer.h>

#include <QApplication>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <map>

#include <sys/resource.h>

namespace {

using namespace Keldar::Ondrix::Visualisation;

std::filesystem::path scratchFolder()
{
    static const std::filesystem::path folder = Keldar::Bench::makeScratchFolder("keldar-video-bench");
    return folder;
}

int recordingSeconds()
{
    const char* text = std::getenv("KELDAR_BENCH_VIDEO_SECONDS");
    return text != nullptr ? std::atoi(text) : 60;
}

// One log per rate, made on first use: 16 different images in turn.
std::filesystem::path recording(int hertz)
{
    static std::map<int, std::filesystem::path> made;
    auto& path = made[hertz];
    if (path.empty()) {
        path = scratchFolder() / ("recording-" + std::to_string(hertz) + "hz.ondrix");
        VideoExport::Testing::SyntheticLog log;
        log.beams = 512;
        log.ranges = 1000;
        const int entries = recordingSeconds() * hertz;
        for (int i = 0; i < entries; ++i) {
            log.timestamps.push_back(1'700'000'000'000 + static_cast<std::int64_t>(i) * 1000 / hertz);
            log.imageNumbers.push_back(static_cast<std::uint32_t>(i % 16));
        }
        VideoExport::Testing::writeSyntheticLog(path, log);
    }
    return path;
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void BM_VideoExport(benchmark::State& state)
{
    const int hertz = static_cast<int>(state.range(0));
    const auto format = static_cast<VideoExport::VideoFormat>(state.range(1));
    const std::string preset = Keldar::Logging::VideoExport::h264Presets().at(static_cast<std::size_t>(state.range(2)));
    state.SetLabel(format == VideoExport::H264Mp4 ? "h264-mp4-" + preset : "mpeg4-avi");
    const auto path = recording(hertz);
    Keldar::Logging::Playback::LogFilePlayer player(
        std::make_unique<Keldar::Logging::SqliteLogFile>(path, Keldar::Logging::SqliteLogFile::Access::ReadOnly),
        {KD_LogDataSourceType_Sonar}, {}, false, 500);
    VideoExport::VideoExportSettings settings;
    settings.endIndex = player.getFrameCount() - 1;
    settings.sonarDetails = true;
    settings.format = format;
    settings.preset = preset;
    const FanDisplayOptions::DisplaySettings display = FanDisplay().getCurrentDisplaySettings();
    std::int64_t frames = 0;
    std::int64_t drawn = 0;
    const double cpuBefore = processCpuSeconds();
    for (auto _ : state) {
        VideoExport::VideoRenderer renderer(player, settings, display);
        if (!renderer.run()) {
            state.SkipWithError("the export did not finish");
        }
        frames = renderer.getFramesWritten();
        drawn = renderer.getPicturesDrawn();
        std::filesystem::remove(renderer.getOutputPath());
    }
    // Processor time of every thread (drawing, the software rasteriser's
    // workers, encoding) per recording second: what the machine's load
    // cannot change. Two cores give at most 2 a second.
    state.counters["cpu_per_s"] =
        (processCpuSeconds() - cpuBefore) / (static_cast<double>(recordingSeconds()) * state.iterations());
    state.counters["frames"] = static_cast<double>(frames);
    state.counters["drawn"] = static_cast<double>(drawn);
    // Recording seconds per wall-clock second.
    state.counters["realtime"] =
        benchmark::Counter(static_cast<double>(recordingSeconds()) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_VideoExport)
    ->ArgNames({"hz", "format", "preset"})
    ->Args({10, VideoExport::Mpeg4Avi, 2})
    ->Args({10, VideoExport::H264Mp4, 0})
    ->Args({10, VideoExport::H264Mp4, 1})
    ->Args({10, VideoExport::H264Mp4, 2})
    ->Args({10, VideoExport::H264Mp4, 5})
    ->Args({40, VideoExport::Mpeg4Avi, 2})
    ->Args({40, VideoExport::H264Mp4, 2})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    return Keldar::Bench::runBenchmarks(argc, argv, scratchFolder());
}
