#include <keldar/faultproxy/FaultProxy.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <random>
#include <thread>
#include <vector>

using namespace Keldar::FaultProxy;

namespace {

// Every blocking call below gives up after this, so a proxy that forwards
// nothing fails the test instead of hanging it.
constexpr int waitSeconds = 10;

int boundSocket(int type, std::uint16_t& port)
{
    const int fd = ::socket(AF_INET, type, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    timeval timeout{waitSeconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    return fd;
}

void sendTo(int fd, std::uint16_t port, const std::vector<std::uint8_t>& bytes)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    ::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
}

// A fake sonar (TCP listener and a status socket), the viewer's status
// socket, and the proxy between them on its own thread.
struct Rig
{
    explicit Rig(std::size_t maxBuffered = Settings{}.maxBuffered)
    {
        sonarListener = boundSocket(SOCK_STREAM, sonarPort);
        ::listen(sonarListener, 4);
        viewerStatus = boundSocket(SOCK_DGRAM, viewerStatusPort);
        std::uint16_t unused = 0;
        sonarStatus = boundSocket(SOCK_DGRAM, unused);
        Settings settings;
        settings.tcpUpstreamPort = sonarPort;
        settings.udpForwardPort = viewerStatusPort;
        settings.maxBuffered = maxBuffered;
        proxy = std::make_unique<FaultProxy>(settings);
        thread = std::thread([this] { proxy->run(); });
    }

    ~Rig()
    {
        proxy->stop();
        thread.join();
        for (const int fd : {sonarListener, viewerStatus, sonarStatus, viewer, sonar}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }

    // The viewer connects through the proxy; the sonar accepts.
    void connect(int viewerReceiveBuffer = 0)
    {
        std::uint16_t unused = 0;
        viewer = boundSocket(SOCK_STREAM, unused);
        if (viewerReceiveBuffer > 0) {
            ::setsockopt(viewer, SOL_SOCKET, SO_RCVBUF, &viewerReceiveBuffer, sizeof viewerReceiveBuffer);
        }
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(proxy->tcpPort());
        ASSERT_EQ(::connect(viewer, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        sonar = ::accept(sonarListener, nullptr, nullptr);
        ASSERT_GE(sonar, 0) << "the proxy did not connect to the sonar";
        timeval timeout{waitSeconds, 0};
        ::setsockopt(sonar, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        ::setsockopt(sonar, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    }

    std::uint16_t sonarPort = 0;
    std::uint16_t viewerStatusPort = 0;
    int sonarListener = -1, viewerStatus = -1, sonarStatus = -1, viewer = -1, sonar = -1;
    std::unique_ptr<FaultProxy> proxy;
    std::thread thread;
};

std::vector<std::uint8_t> randomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(size);
    for (auto& byte : bytes) {
        byte = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

// Reads exactly `size` bytes, or fewer when the peer ends or the wait runs out.
std::vector<std::uint8_t> receive(int fd, std::size_t size)
{
    std::vector<std::uint8_t> bytes(size);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::recv(fd, bytes.data() + got, size - got, 0);
        if (n <= 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

} // namespace

TEST(FaultProxy, ForwardsBytesAndDatagramsUnchangedWithFaultsOff)
{
    Rig rig;
    rig.connect();
    // More than the proxy's chunk and its buffer bound, so that both the
    // chunking and the back-pressure path carry data.
    const auto image = randomBytes(6 << 20, 1);
    std::thread sender([&] { ::send(rig.sonar, image.data(), image.size(), MSG_NOSIGNAL); });
    EXPECT_EQ(receive(rig.viewer, image.size()), image);
    sender.join();
    const auto request = randomBytes(89, 2);
    ::send(rig.viewer, request.data(), request.size(), MSG_NOSIGNAL);
    EXPECT_EQ(receive(rig.sonar, request.size()), request);

    for (const std::size_t size : {142U, 100U, 200U}) {
        const auto datagram = randomBytes(size, unsigned(size));
        sendTo(rig.sonarStatus, rig.proxy->udpPort(), datagram);
        std::vector<std::uint8_t> received(512);
        const ssize_t n = ::recv(rig.viewerStatus, received.data(), received.size(), 0);
        ASSERT_GT(n, 0) << "datagram of " << size << " bytes not relayed";
        received.resize(static_cast<std::size_t>(n));
        EXPECT_EQ(received, datagram);
    }
}

bool waitUntil(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::uint64_t injected(const Rig& rig, FaultKind kind)
{
    return rig.proxy->counters().injected[static_cast<std::size_t>(kind)];
}

// Sends a byte from the sonar and says how long it took to reach the viewer.
std::chrono::milliseconds byteDelay(Rig& rig, std::chrono::steady_clock::time_point since)
{
    const std::uint8_t byte = 1;
    ::send(rig.sonar, &byte, 1, MSG_NOSIGNAL);
    EXPECT_EQ(receive(rig.viewer, 1).size(), 1U);
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since);
}

std::vector<std::uint8_t> tagged(std::uint8_t tag)
{
    std::vector<std::uint8_t> datagram(142, tag);
    return datagram;
}

// The first byte of each datagram the viewer receives, `count` of them.
std::vector<std::uint8_t> receiveTags(const Rig& rig, int count)
{
    std::vector<std::uint8_t> tags;
    for (int i = 0; i < count; ++i) {
        std::vector<std::uint8_t> received(512);
        const ssize_t n = ::recv(rig.viewerStatus, received.data(), received.size(), 0);
        if (n <= 0) {
            break;
        }
        tags.push_back(received[0]);
    }
    return tags;
}

struct FaultCase
{
    Fault fault;
    // Injects nothing itself: checks what the viewer sees once the fault is in.
    std::function<void(Rig&, std::chrono::steady_clock::time_point injectedAt)> check;
};

Fault faultOf(FaultKind kind, int amount = 0, int lastingMs = 0)
{
    Fault fault;
    fault.kind = kind;
    fault.amount = amount;
    fault.lastingMs = lastingMs;
    fault.detailSeed = 99;
    return fault;
}

// Each fault by what the viewer's end sees: a fault that does nothing, or
// something else, fails its case. Durations are checked as lower bounds only,
// which a loaded machine can only lengthen.
const std::vector<FaultCase> faultCases{
    {faultOf(FaultKind::Latency, 300, 5000),
     [](Rig& rig, auto) {
         ASSERT_TRUE(waitUntil([&] { return injected(rig, FaultKind::Latency) == 1; }));
         EXPECT_GE(byteDelay(rig, std::chrono::steady_clock::now()).count(), 300);
     }},
    {faultOf(FaultKind::Stall, 600),
     [](Rig& rig, auto injectedAt) {
         ASSERT_TRUE(waitUntil([&] { return injected(rig, FaultKind::Stall) == 1; }));
         EXPECT_GE(byteDelay(rig, injectedAt).count(), 600);
     }},
    {faultOf(FaultKind::Reset),
     [](Rig& rig, auto) {
         for (const int fd : {rig.viewer, rig.sonar}) {
             std::uint8_t ignored = 0;
             errno = 0;
             const ssize_t n = ::recv(fd, &ignored, 1, 0);
             EXPECT_TRUE(n == 0 || (n < 0 && errno == ECONNRESET)) << "recv " << n << " errno " << errno;
         }
     }},
    {faultOf(FaultKind::Cut),
     [](Rig& rig, auto) {
         const auto message = randomBytes(1000, 3);
         ::send(rig.sonar, message.data(), message.size(), MSG_NOSIGNAL);
         const auto got = receive(rig.viewer, message.size()); // up to the end of stream
         EXPECT_GE(got.size(), 1U);
         EXPECT_LT(got.size(), message.size());
         EXPECT_TRUE(std::equal(got.begin(), got.end(), message.begin()));
     }},
    {faultOf(FaultKind::Flip, 3),
     [](Rig& rig, auto) {
         const auto message = randomBytes(1000, 4);
         ::send(rig.sonar, message.data(), message.size(), MSG_NOSIGNAL);
         const auto got = receive(rig.viewer, message.size());
         ASSERT_EQ(got.size(), message.size());
         std::size_t differ = 0;
         for (std::size_t i = 0; i < got.size(); ++i) {
             differ += got[i] != message[i] ? 1 : 0;
         }
         EXPECT_GE(differ, 1U);
         EXPECT_LE(differ, 3U);
     }},
    {faultOf(FaultKind::SlowRead, 20000),
     [](Rig& rig, auto) {
         ASSERT_TRUE(waitUntil([&] { return injected(rig, FaultKind::SlowRead) == 1; }));
         // 256 bytes a read and a pause between reads: 64 KiB take at least
         // 256 pauses.
         const auto message = randomBytes(65536, 5);
         const auto start = std::chrono::steady_clock::now();
         std::thread sender([&] { ::send(rig.sonar, message.data(), message.size(), MSG_NOSIGNAL); });
         EXPECT_EQ(receive(rig.viewer, message.size()), message);
         sender.join();
         EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
     }},
    {faultOf(FaultKind::Drop, 2),
     [](Rig& rig, auto) {
         for (std::uint8_t tag = 1; tag <= 4; ++tag) {
             sendTo(rig.sonarStatus, rig.proxy->udpPort(), tagged(tag));
         }
         EXPECT_EQ(receiveTags(rig, 2), (std::vector<std::uint8_t>{3, 4}));
     }},
    {faultOf(FaultKind::Duplicate, 1),
     [](Rig& rig, auto) {
         for (std::uint8_t tag = 1; tag <= 2; ++tag) {
             sendTo(rig.sonarStatus, rig.proxy->udpPort(), tagged(tag));
         }
         EXPECT_EQ(receiveTags(rig, 3), (std::vector<std::uint8_t>{1, 1, 2}));
     }},
    {faultOf(FaultKind::Garbage, 5),
     [](Rig& rig, auto) {
         for (int i = 0; i < 5; ++i) {
             std::vector<std::uint8_t> received(512);
             const ssize_t n = ::recv(rig.viewerStatus, received.data(), received.size(), 0);
             ASSERT_GE(n, 16) << "garbage datagram " << i << " missing";
             EXPECT_LE(n, 200);
             EXPECT_EQ(received[0], 0x7C);
             EXPECT_EQ(received[1], 0x3A);
         }
     }},
};

class FaultKinds : public ::testing::TestWithParam<FaultCase>
{
};

TEST_P(FaultKinds, DoWhatTheySayAndAreCountedOnce)
{
    const FaultCase& c = GetParam();
    Rig rig;
    rig.connect();
    // A byte through first: the proxy holds the link before the fault.
    const std::uint8_t byte = 7;
    ::send(rig.sonar, &byte, 1, MSG_NOSIGNAL);
    ASSERT_EQ(receive(rig.viewer, 1).size(), 1U);
    const auto injectedAt = std::chrono::steady_clock::now();
    rig.proxy->inject(c.fault);
    c.check(rig, injectedAt);
    EXPECT_TRUE(waitUntil([&] { return injected(rig, c.fault.kind) == 1; }));
}

INSTANTIATE_TEST_SUITE_P(FaultProxy, FaultKinds, ::testing::ValuesIn(faultCases), [](const auto& info) {
    std::string name = faultName(info.param.fault.kind);
    std::erase(name, '-');
    return name;
});

// A viewer that does not read backs the stream up into the sonar's socket,
// not into the proxy: it holds at most its bound (and the chunk in hand), and
// every byte still arrives, in order, once the viewer reads again.
TEST(FaultProxy, HoldsNoMoreThanItsBoundForAViewerThatDoesNotRead)
{
    constexpr std::size_t bound = 256 << 10;
    Rig rig(bound);
    rig.connect(4096);
    const auto stream = randomBytes(16 << 20, 6);
    std::thread sender([&] {
        std::size_t sent = 0;
        while (sent < stream.size()) {
            const ssize_t n = ::send(rig.sonar, stream.data() + sent, stream.size() - sent, MSG_NOSIGNAL);
            if (n <= 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                break;
            }
            sent += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
    });
    EXPECT_TRUE(waitUntil([&] { return rig.proxy->counters().mostBuffered >= bound; }));
    EXPECT_EQ(receive(rig.viewer, stream.size()), stream);
    sender.join();
    EXPECT_LE(rig.proxy->counters().mostBuffered, bound + 65536);
}

// The seed alone fixes the schedule: every kind, in time order, the session's
// faults done before the longest stall could outlast the run.
TEST(FaultProxy, TheSeedFixesTheScheduleAndEveryKindComesInAMinute)
{
    ScheduleSettings settings;
    settings.seed = 42;
    const auto schedule = makeSchedule(settings);
    EXPECT_EQ(makeSchedule(settings), schedule);
    settings.seed = 43;
    EXPECT_NE(makeSchedule(settings), schedule);
    for (const FaultKind kind : allFaultKinds) {
        EXPECT_TRUE(std::any_of(schedule.begin(), schedule.end(), [&](const Fault& f) { return f.kind == kind; }))
            << faultName(kind);
    }
    EXPECT_TRUE(
        std::is_sorted(schedule.begin(), schedule.end(), [](const Fault& a, const Fault& b) { return a.at < b.at; }));
    for (const Fault& fault : schedule) {
        EXPECT_LE(fault.at, isStatusFault(fault.kind) ? 57.0 : 60.0 - 10.0 - 3.0) << fault.describe();
    }
}

// Played from the schedule, a fault is due at its time and injected once.
TEST(FaultProxy, PlaysItsSchedule)
{
    std::uint16_t sonarPort = 0;
    const int sonarListener = boundSocket(SOCK_STREAM, sonarPort);
    ::listen(sonarListener, 4);
    std::uint16_t viewerStatusPort = 0;
    const int viewerStatus = boundSocket(SOCK_DGRAM, viewerStatusPort);
    Settings settings;
    settings.tcpUpstreamPort = sonarPort;
    settings.udpForwardPort = viewerStatusPort;
    settings.schedule = {faultOf(FaultKind::Garbage, 3)};
    settings.schedule[0].at = 0.2;
    FaultProxy proxy(settings);
    std::thread thread([&] { proxy.run(); });
    int received = 0;
    for (; received < 3; ++received) {
        std::vector<std::uint8_t> datagram(512);
        if (::recv(viewerStatus, datagram.data(), datagram.size(), 0) <= 0) {
            break;
        }
    }
    proxy.stop();
    thread.join();
    ::close(sonarListener);
    ::close(viewerStatus);
    EXPECT_EQ(received, 3);
    const auto counters = proxy.counters();
    EXPECT_EQ(counters.due[static_cast<std::size_t>(FaultKind::Garbage)], 1U);
    EXPECT_EQ(counters.injected[static_cast<std::size_t>(FaultKind::Garbage)], 1U);
}
