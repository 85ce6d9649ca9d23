// Cost of framing one ping's worth of samples (512 KB of speckle) for a log
// file: plain zlib against libdeflate, which the frame encoder uses.
#include <keldar/core/Compression.h>

#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <random>
#include <vector>

namespace {

// Speckle: exponentially distributed echo strength with a few bright
// patches, roughly what a sonar returns from open water and a sea floor.
const std::vector<std::byte>& pingSamples()
{
    static const std::vector<std::byte> samples = [] {
        constexpr std::size_t size = 512 * 1024;
        std::mt19937 random(42);
        std::exponential_distribution<double> speckle(1.0 / 12.0);
        std::vector<std::byte> data(size);
        for (std::size_t i = 0; i < size; ++i) {
            const bool floor = (i % 1024) > 700 && (i % 1024) < 760;
            const double value = speckle(random) + (floor ? 140.0 : 0.0);
            data[i] = static_cast<std::byte>(std::min(255.0, value));
        }
        return data;
    }();
    return samples;
}

void zlibCompress(benchmark::State& state)
{
    const auto& data = pingSamples();
    std::vector<Bytef> out(compressBound(data.size()));
    const int level = static_cast<int>(state.range(0));
    std::size_t compressed = 0;
    for (auto _ : state) {
        uLongf size = out.size();
        compress2(out.data(), &size, reinterpret_cast<const Bytef*>(data.data()), data.size(), level);
        compressed = size;
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["ratio"] = static_cast<double>(data.size()) / static_cast<double>(compressed);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void libdeflateCompress(benchmark::State& state)
{
    const auto& data = pingSamples();
    auto* compressor = libdeflate_alloc_compressor(static_cast<int>(state.range(0)));
    std::vector<std::byte> out(libdeflate_zlib_compress_bound(compressor, data.size()));
    std::size_t compressed = 0;
    for (auto _ : state) {
        compressed = libdeflate_zlib_compress(compressor, data.data(), data.size(), out.data(), out.size());
        benchmark::DoNotOptimize(out.data());
    }
    libdeflate_free_compressor(compressor);
    state.counters["ratio"] = static_cast<double>(data.size()) / static_cast<double>(compressed);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

// The whole frame encoder as the recorder calls it (allocation included).
void frameCompress(benchmark::State& state)
{
    const auto& data = pingSamples();
    const int level = static_cast<int>(state.range(0));
    for (auto _ : state) {
        auto frame = Keldar::Compression::compress(data, level);
        benchmark::DoNotOptimize(frame.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void frameUncompress(benchmark::State& state)
{
    const auto frame = Keldar::Compression::compress(pingSamples(), -1);
    for (auto _ : state) {
        auto data = Keldar::Compression::uncompress(frame);
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * pingSamples().size()));
}

} // namespace

BENCHMARK(zlibCompress)->Arg(6)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(libdeflateCompress)->Arg(6)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(frameCompress)->Arg(-1)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(frameUncompress)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
