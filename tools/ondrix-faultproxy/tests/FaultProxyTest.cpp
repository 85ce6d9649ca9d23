#include <keldar/faultproxy/FaultProxy.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
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
    explicit Rig(double garbagePerSecond = 0.0)
    {
        sonarListener = boundSocket(SOCK_STREAM, sonarPort);
        ::listen(sonarListener, 4);
        viewerStatus = boundSocket(SOCK_DGRAM, viewerStatusPort);
        std::uint16_t unused = 0;
        sonarStatus = boundSocket(SOCK_DGRAM, unused);
        Settings settings;
        settings.tcpUpstreamPort = sonarPort;
        settings.udpForwardPort = viewerStatusPort;
        settings.udpGarbagePerSecond = garbagePerSecond;
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
    void connect()
    {
        std::uint16_t unused = 0;
        viewer = boundSocket(SOCK_STREAM, unused);
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

TEST(FaultProxy, ResetClosesBothEnds)
{
    Rig rig;
    rig.connect();
    // A byte through both ways: the proxy holds the link before the reset.
    const std::uint8_t byte = 7;
    ::send(rig.sonar, &byte, 1, MSG_NOSIGNAL);
    ASSERT_EQ(receive(rig.viewer, 1).size(), 1U);
    rig.proxy->inject(TcpFault::Reset);
    for (const int fd : {rig.viewer, rig.sonar}) {
        std::uint8_t ignored = 0;
        errno = 0;
        const ssize_t n = ::recv(fd, &ignored, 1, 0);
        EXPECT_TRUE(n == 0 || (n < 0 && errno == ECONNRESET)) << "recv " << n << " errno " << errno;
    }
    EXPECT_EQ(rig.proxy->counters().resets, 1U);
}

TEST(FaultProxy, GarbageDatagramsStartWithTheStatusMagic)
{
    Rig rig(200.0);
    for (int i = 0; i < 5; ++i) {
        std::vector<std::uint8_t> received(512);
        const ssize_t n = ::recv(rig.viewerStatus, received.data(), received.size(), 0);
        ASSERT_GE(n, 16) << "no garbage datagram";
        EXPECT_LE(n, 200);
        EXPECT_EQ(received[0], 0x7C);
        EXPECT_EQ(received[1], 0x3A);
    }
}
