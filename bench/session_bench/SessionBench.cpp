// Streams 512-beam x 1000-range version-2 pings from the in-process simulator
// (no pacing) into an OndrixSonar with a newImage listener, and measures the
// CPU an idle connected session costs.
//
//   session_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include <keldar/ondrix/ConnectionManager.h>
#include <keldar/ondrix/OndrixSonar.h>
#include <keldar/sim/LoopbackPort.h>
#include <keldar/sim/SimulatedSonar.h>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;
using Keldar::Ondrix::OndrixSonar;
using Keldar::Ondrix::Utilities::ConnectionManager;

namespace {

std::uint16_t freeUdpPort()
{
    return Keldar::Sim::freeLoopbackPort(SOCK_DGRAM);
}

double processCpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A simulated sonar, a manager listening to it and a connected device.
struct Rig
{
    std::unique_ptr<Keldar::Sim::SimulatedSonar> sim;
    std::unique_ptr<ConnectionManager> manager;
    std::unique_ptr<OndrixSonar> sonar;

    explicit Rig(bool fast)
    {
        Keldar::Sim::SimulatedSonarConfig config;
        config.tcpPort = 0;
        config.statusPort = freeUdpPort();
        config.rangeLines = 1000;
        config.ignorePacing = fast;
        config.resultVersion = 2;
        sim = std::make_unique<Keldar::Sim::SimulatedSonar>(config);
        sim->start();
        manager = std::make_unique<ConnectionManager>(
            ConnectionManager::Settings{"127.0.0.1", config.statusPort, sim->tcpPort()});
        manager->startListening();
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (manager->getVisibleSonars().empty() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(10ms);
        }
        sonar = manager->getSonar(config.serialNumber);
    }
    ~Rig()
    {
        sonar.reset();
        manager.reset();
        sim->stop();
    }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;
};

void BM_StreamFullBeamPings(benchmark::State& state)
{
    Rig rig(true);
    if (!rig.sonar) {
        state.SkipWithError("could not connect to the simulator");
        return;
    }
    std::mutex mutex;
    std::condition_variable arrived;
    std::uint64_t images = 0;
    std::uint64_t bytes = 0;
    rig.sonar->newImage.connect([&](const Keldar::Ondrix::OndrixImage& image) {
        benchmark::DoNotOptimize(image.getData().data());
        {
            std::lock_guard lock(mutex);
            ++images;
        }
        arrived.notify_one();
    });
    rig.sonar->rawMessage.connect([&](const std::vector<std::byte>& raw, Keldar::Ondrix::MessageType, int) {
        std::lock_guard lock(mutex);
        bytes += raw.size();
    });
    rig.sonar->setFullBeams(true);
    rig.sonar->setRange(30.0);
    rig.sonar->beginImaging(OndrixSonar::PingControl::Continuous);

    // Let the stream settle before measuring.
    {
        std::unique_lock lock(mutex);
        arrived.wait_for(lock, 5s, [&] { return images >= 20; });
    }
    std::uint64_t startImages = 0;
    std::uint64_t startBytes = 0;
    {
        std::lock_guard lock(mutex);
        startImages = images;
        startBytes = bytes;
    }
    std::uint64_t seen = startImages;
    for (auto _ : state) {
        std::unique_lock lock(mutex);
        if (!arrived.wait_for(lock, 5s, [&] { return images > seen; })) {
            state.SkipWithError("the stream stopped");
            break;
        }
        seen = images;
    }
    std::lock_guard lock(mutex);
    state.SetItemsProcessed(static_cast<std::int64_t>(images - startImages));
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes - startBytes));
}
BENCHMARK(BM_StreamFullBeamPings)->UseRealTime()->MinTime(3.0);

void BM_IdleConnectedSessionCpu(benchmark::State& state)
{
    Rig rig(false);
    if (!rig.sonar) {
        state.SkipWithError("could not connect to the simulator");
        return;
    }
    // Connected and configured, but asking for no pings.
    rig.sonar->beginImaging(OndrixSonar::PingControl::OnDemand);
    std::this_thread::sleep_for(500ms);
    double cpuPercent = 0.0;
    for (auto _ : state) {
        const double cpuBefore = processCpuSeconds();
        const auto wallBefore = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(5s);
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
        cpuPercent = 100.0 * (processCpuSeconds() - cpuBefore) / wall;
    }
    // Whole process: the session, the status listener and the in-process
    // simulator's own threads together.
    state.counters["cpu_percent_of_a_core"] = cpuPercent;
}
BENCHMARK(BM_IdleConnectedSessionCpu)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
