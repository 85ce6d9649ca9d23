// The browser view's stream under load: a feeder publishes 512 x 1000 images
// at 40 Hz to the sharing server, first with no client, then with four clients
// in child processes (so that this process's processor time is the feeder's
// and the server's alone). Prints, per client, the share of images received
// and the median delay from publish to WebSocket receipt; the feeder's rate
// with and without clients; the processor cost per client.
//
//   web_bench [SECONDS]            (default 10 per phase)

#include <keldar/web/ShareServer.h>

#include "../support/ProcessCpu.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace beast = boost::beast;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using Clock = std::chrono::steady_clock;

double nowMs()
{
    return static_cast<double>(std::chrono::duration_cast<std::chrono::microseconds>(
                                   std::chrono::system_clock::now().time_since_epoch())
                                   .count()) /
           1000.0;
}

// A client: reads for `seconds`, then prints "received expected median_ms".
int runClient(std::uint16_t port, double seconds, int fd)
{
    net::io_context io;
    beast::websocket::stream<tcp::socket> ws(io);
    ws.next_layer().connect({net::ip::make_address("127.0.0.1"), port});
    ws.handshake("127.0.0.1", "/stream");
    std::vector<double> delays;
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::uint64_t received = 0;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    beast::flat_buffer buffer;
    while (Clock::now() < end) {
        buffer.clear();
        ws.read(buffer);
        if (!ws.got_binary()) {
            continue;
        }
        const double at = nowMs();
        const auto* bytes = static_cast<const char*>(buffer.cdata().data());
        std::uint32_t length = 0;
        std::memcpy(&length, bytes + 8, 4);
        const auto meta = nlohmann::json::parse(std::string_view(bytes + 16, length));
        const auto seq = meta["seq"].get<std::uint64_t>();
        if (first == 0) {
            first = seq;
        }
        last = seq;
        ++received;
        delays.push_back(at - meta["sent_ms"].get<double>());
    }
    std::sort(delays.begin(), delays.end());
    const double median = delays.empty() ? 0.0 : delays[delays.size() / 2];
    const std::string line =
        std::to_string(received) + " " + std::to_string(last - first + 1) + " " + std::to_string(median) + "\n";
    if (write(fd, line.data(), line.size()) < 0) {
        return 1;
    }
    return 0;
}

struct FeederResult
{
    double rate = 0.0;
    double medianPublishMs = 0.0;
    double cpuSeconds = 0.0;
};

FeederResult feed(Keldar::Web::ShareServer& server, double seconds)
{
    std::vector<std::int16_t> bearings(512);
    for (int i = 0; i < 512; ++i) {
        bearings[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(-6500 + 13000 * i / 511);
    }
    std::vector<std::uint8_t> samples(512 * 1000);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::uint8_t>(i * 13);
    }
    const Keldar::Ondrix::OndrixImage image(512, 1000, 30.0, 50.0, 750000.0, bearings, samples);
    std::vector<double> publishMs;
    const double cpuBefore = Keldar::Bench::processCpuSeconds();
    const auto start = Clock::now();
    const int count = static_cast<int>(seconds * 40);
    for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_until(start + std::chrono::microseconds(25000 * i));
        const auto before = Clock::now();
        server.publish(image, {40.0, false, std::nullopt, std::nullopt});
        publishMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - before).count());
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    std::sort(publishMs.begin(), publishMs.end());
    return {count / elapsed, publishMs[publishMs.size() / 2], Keldar::Bench::processCpuSeconds() - cpuBefore};
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 5 && std::strcmp(argv[1], "--client") == 0) {
        return runClient(static_cast<std::uint16_t>(std::atoi(argv[2])), std::atof(argv[3]), std::atoi(argv[4]));
    }
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    Keldar::Web::ServerSettings settings;
    settings.port = 0;
    Keldar::Web::ShareServer server(settings);

    const FeederResult alone = feed(server, seconds);

    constexpr int clients = 4;
    int pipes[2];
    if (pipe(pipes) != 0) {
        return 1;
    }
    std::vector<pid_t> children;
    const std::string port = std::to_string(server.port());
    const std::string clientSeconds = std::to_string(seconds);
    const std::string fd = std::to_string(pipes[1]);
    for (int i = 0; i < clients; ++i) {
        const pid_t child = fork();
        if (child == 0) {
            execl("/proc/self/exe", argv[0], "--client", port.c_str(), clientSeconds.c_str(), fd.c_str(), nullptr);
            _exit(127);
        }
        children.push_back(child);
    }
    close(pipes[1]);
    while (server.clients().size() < static_cast<std::size_t>(clients)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const FeederResult loaded = feed(server, seconds + 1.0); // the clients stop reading first
    for (const pid_t child : children) {
        waitpid(child, nullptr, 0);
    }
    std::string report;
    char chunk[256];
    ssize_t got = 0;
    while ((got = read(pipes[0], chunk, sizeof chunk)) > 0) {
        report.append(chunk, static_cast<std::size_t>(got));
    }

    std::printf("web_bench: 512 x 1000 images at 40 Hz, %.0f s a phase, %d clients in child processes\n", seconds,
                clients);
    std::printf("client  received  expected  share   median delay publish->receipt (ms)\n");
    std::size_t at = 0;
    for (int i = 0; i < clients; ++i) {
        const std::size_t end = report.find('\n', at);
        if (end == std::string::npos) {
            break;
        }
        unsigned long received = 0;
        unsigned long expected = 0;
        double median = 0.0;
        std::sscanf(report.substr(at, end - at).c_str(), "%lu %lu %lf", &received, &expected, &median);
        std::printf("%6d  %8lu  %8lu  %5.3f   %.2f\n", i + 1, received, expected,
                    expected > 0 ? static_cast<double>(received) / static_cast<double>(expected) : 0.0, median);
        at = end + 1;
    }
    std::printf("feeder rate: %.2f Hz without clients, %.2f Hz with %d (ratio %.3f)\n", alone.rate, loaded.rate,
                clients, loaded.rate / alone.rate);
    std::printf("median publish() call: %.3f ms without clients, %.3f ms with %d\n", alone.medianPublishMs,
                loaded.medianPublishMs, clients);
    const double cpuAlone = alone.cpuSeconds / seconds;
    const double cpuLoaded = loaded.cpuSeconds / (seconds + 1.0);
    std::printf("feeder+server processor: %.1f %% of a core without clients, %.1f %% with %d: %.1f %% per client\n",
                100.0 * cpuAlone, 100.0 * cpuLoaded, clients, 100.0 * (cpuLoaded - cpuAlone) / clients);
    return 0;
}
