#include <keldar/sim/SonarImageGenerator.h>

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

// One image per iteration, each a tenth of a second later than the last so
// that the speckle and the scene change as they do in a live stream.
void generateImage(benchmark::State& state)
{
    const auto beams = static_cast<std::uint16_t>(state.range(0));
    const auto ranges = static_cast<std::uint16_t>(state.range(1));
    const Keldar::Sim::SonarImageGenerator generator(42);
    double time = 0.0;
    for (auto _ : state) {
        auto image = generator.generate(beams, ranges, 30.0, 50.0, time);
        benchmark::DoNotOptimize(image.samples.data());
        time += 0.1;
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(beams) * ranges);
}

BENCHMARK(generateImage)->Args({256, 500})->Args({512, 1000})->Unit(benchmark::kMillisecond);

void buildScene(benchmark::State& state)
{
    std::uint32_t seed = 1;
    for (auto _ : state) {
        const Keldar::Sim::SonarImageGenerator generator(seed++);
        benchmark::DoNotOptimize(&generator);
    }
}

BENCHMARK(buildScene)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
