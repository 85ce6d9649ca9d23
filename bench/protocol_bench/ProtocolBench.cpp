// Parsing cost of a large version-2 ping result against a plain memcpy of the
// same number of sample bytes, measured in the same binary.
#include <keldar/ondrix/MessageBuilding.h>
#include <keldar/ondrix/MessageParsing.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

using namespace Keldar::Ondrix;

constexpr std::uint16_t beams = 512;
constexpr std::uint16_t ranges = 1000;
constexpr std::size_t samples = std::size_t{beams} * ranges;

std::vector<std::byte> makeMessage(bool fourBit)
{
    MessageBuilding::ImageDescription image;
    image.beams = beams;
    image.ranges = ranges;
    image.range = 50.0;
    image.gain = 50.0;
    image.frequency = 1200000.0;
    for (int b = 0; b < beams; ++b) {
        image.bearings.push_back(static_cast<std::int16_t>(-6500 + b * 25));
    }
    image.samples.resize(samples);
    for (std::size_t i = 0; i < samples; ++i) {
        image.samples[i] = static_cast<std::uint8_t>((i * 131) >> 3);
    }
    image.fourBitSamples = fourBit;
    return MessageBuilding::buildSimplePingResultV2(image);
}

// Reference: copy of the 8-bit image's sample bytes into a ready buffer.
void memcpySamples(benchmark::State& state)
{
    std::vector<std::uint8_t> source(samples, 7);
    std::vector<std::uint8_t> target(samples);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), samples);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * samples));
}
BENCHMARK(memcpySamples);

void parseV2EightBit(benchmark::State& state)
{
    const std::vector<std::byte> message = makeMessage(false);
    for (auto _ : state) {
        auto parsed = MessageParsing::parseSimplePingResultV2(message);
        benchmark::DoNotOptimize(parsed.image.getData().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * samples));
}
BENCHMARK(parseV2EightBit);

// Bytes counted are the expanded output: samples bytes from samples/2 on the wire.
void parseV2FourBit(benchmark::State& state)
{
    const std::vector<std::byte> message = makeMessage(true);
    for (auto _ : state) {
        auto parsed = MessageParsing::parseSimplePingResultV2(message);
        benchmark::DoNotOptimize(parsed.image.getData().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * samples));
}
BENCHMARK(parseV2FourBit);

void expandFourBitOnly(benchmark::State& state)
{
    std::vector<std::uint8_t> packed(samples / 2, 0xAB);
    std::vector<std::uint8_t> out(samples);
    for (auto _ : state) {
        MessageParsing::expandFourBitSamples(packed.data(), packed.size(), out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * samples));
}
BENCHMARK(expandFourBitOnly);

} // namespace

BENCHMARK_MAIN();
