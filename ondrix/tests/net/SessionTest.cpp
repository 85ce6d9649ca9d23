#include "NetTestSupport.h"

#include <keldar/ondrix/ConnectionError.h>
#include <keldar/ondrix/MainSocketThread.h>
#include <keldar/ondrix/MessageBuilding.h>
#include <keldar/ondrix/MessageParsing.h>
#include <keldar/ondrix/ProtocolLayout.h>

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>

#include <cstring>
#include <future>

using namespace NetTest;
using Keldar::Ondrix::MainSocketThread;
using Keldar::Ondrix::OperationParameters;
namespace Building = Keldar::Ondrix::MessageBuilding;
namespace Layout = Keldar::Ondrix::ProtocolLayout;
using Bytes = std::vector<std::byte>;

namespace {

Bytes pingResult(double gain, int version)
{
    Building::ImageDescription image;
    image.beams = 4;
    image.ranges = 3;
    image.range = 10.0;
    image.gain = gain;
    image.frequency = 750000.0;
    image.bearings = {-6500, -2000, 2000, 6500};
    image.samples = std::vector<std::uint8_t>(12, 9);
    return version == 2 ? Building::buildSimplePingResultV2(image) : Building::buildSimplePingResult(image, 1);
}

Bytes headerOnly(std::uint16_t id, std::uint32_t payloadSize)
{
    Bytes header(Layout::Header::size, std::byte{0});
    const std::uint16_t magic = Layout::Header::magicValue;
    std::memcpy(header.data(), &magic, 2);
    std::memcpy(header.data() + Layout::Header::messageId, &id, 2);
    std::memcpy(header.data() + Layout::Header::payloadSize, &payloadSize, 4);
    return header;
}

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

double gainOf(const Bytes& message)
{
    double gain = 0;
    std::memcpy(&gain, message.data() + Layout::pingResultV1.gain, sizeof gain);
    return gain;
}

// The sonar end of a session: a listening socket on 127.0.0.1 and the one
// connection a MainSocketThread makes to it.
class FakeSonar
{
public:
    // `receiveBuffer`, when not 0, is the accepted connection's receive
    // buffer: small, and a peer that does not read soon stops taking bytes.
    explicit FakeSonar(int receiveBuffer = 0)
        : m_listen(::socket(AF_INET, SOCK_STREAM, 0))
    {
        if (receiveBuffer != 0) {
            ::setsockopt(m_listen, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        }
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listen, 4);
        socklen_t length = sizeof address;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~FakeSonar()
    {
        closeClient();
        ::close(m_listen);
    }
    FakeSonar(const FakeSonar&) = delete;
    FakeSonar& operator=(const FakeSonar&) = delete;

    std::uint16_t port() const { return m_port; }
    void accept() { m_client = ::accept(m_listen, nullptr, nullptr); }
    void closeClient()
    {
        if (m_client >= 0) {
            ::close(m_client);
            m_client = -1;
        }
    }
    void send(const Bytes& bytes) const { ::send(m_client, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    // Bytes received and not read yet.
    int unread() const
    {
        int n = 0;
        ::ioctl(m_client, FIONREAD, &n);
        return n;
    }

    // Reads and drops whatever the session sends until it closes its end.
    bool waitForClose(std::chrono::milliseconds timeout) const
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::array<std::byte, 4096> chunk{};
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd pfd{m_client, POLLIN, 0};
            if (::poll(&pfd, 1, 50) > 0) {
                const auto n = ::recv(m_client, chunk.data(), chunk.size(), 0);
                if (n <= 0) {
                    return n == 0;
                }
            }
        }
        return false;
    }

    // Reads whole messages the session sent, waiting up to `timeout` for `count`.
    std::vector<Bytes> receive(std::size_t count, std::chrono::milliseconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::vector<Bytes> messages;
        while (true) {
            while (m_buffer.size() >= Layout::Header::size) {
                std::uint32_t payload = 0;
                std::memcpy(&payload, m_buffer.data() + Layout::Header::payloadSize, 4);
                const std::size_t length = payload + Layout::Header::size;
                if (m_buffer.size() < length) {
                    break;
                }
                messages.emplace_back(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(length));
                m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(length));
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (messages.size() >= count || left.count() <= 0) {
                return messages;
            }
            pollfd pfd{m_client, POLLIN, 0};
            if (::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            std::array<std::byte, 4096> chunk{};
            const auto n = ::recv(m_client, chunk.data(), chunk.size(), 0);
            if (n <= 0) {
                return messages;
            }
            m_buffer.insert(m_buffer.end(), chunk.begin(), chunk.begin() + n);
        }
    }

private:
    int m_listen;
    int m_client = -1;
    std::uint16_t m_port = 0;
    Bytes m_buffer;
};

class Session : public ::testing::Test
{
protected:
    FakeSonar sonar;
    std::mutex parameterMutex;
    OperationParameters parameters;
    Recorder<Bytes> v1;
    Recorder<Bytes> v2;
    Recorder<Bytes> config;
    Recorder<Bytes> id0x80;
    std::unique_ptr<MainSocketThread> session; // last: its thread uses everything above

    void SetUp() override
    {
        session = std::make_unique<MainSocketThread>(
            MainSocketThread::Endpoint{"127.0.0.1", 0x12345678, sonar.port(), std::chrono::milliseconds(2100)}, [this] {
                std::lock_guard lock(parameterMutex);
                return parameters;
            });
        sonar.accept();
        session->pingResultReceived.connect([this](const Bytes& m) { v1.add(m); });
        session->pingResultV2Received.connect([this](const Bytes& m) { v2.add(m); });
        session->userConfigReceived.connect([this](const Bytes& m) { config.add(m); });
        session->unknownMessage0x80Received.connect([this](const Bytes& m) { id0x80.add(m); });
    }

    void start(bool onDemand)
    {
        session->setOnDemand(onDemand);
        session->startDispatching();
    }
};

} // namespace

TEST_F(Session, TwoMessagesInOneWriteAreDispatchedInOrder)
{
    start(true);
    sonar.send(concat({pingResult(11.0, 1), pingResult(22.0, 1)}));
    ASSERT_TRUE(v1.waitForSize(2, 2000ms));
    EXPECT_EQ(gainOf(v1.values()[0]), 11.0);
    EXPECT_EQ(gainOf(v1.values()[1]), 22.0);
    EXPECT_EQ(v1.values()[0], pingResult(11.0, 1));
}

TEST_F(Session, SplitMessageIsDispatchedOnlyWhenItsLastByteArrives)
{
    start(true);
    const Bytes message = pingResult(33.0, 1);
    sonar.send(Bytes(message.begin(), message.begin() + 10)); // not even a whole header
    std::this_thread::sleep_for(50ms);
    sonar.send(Bytes(message.begin() + 10, message.end() - 1));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(v1.size(), 0U);
    sonar.send(Bytes(message.end() - 1, message.end()));
    ASSERT_TRUE(v1.waitForSize(1, 2000ms));
    EXPECT_EQ(v1.values()[0], message);
}

TEST_F(Session, VersionsAndIdsReachTheirOwnSignals)
{
    start(true);
    const Bytes reply = Building::buildUserConfigReply(1, Keldar::Ondrix::ModelNumber::Unknown, false, 1, 2);
    sonar.send(concat({pingResult(1.0, 1), pingResult(2.0, 2), reply, headerOnly(0x80, 4), Bytes(4, std::byte{1}),
                       headerOnly(0x99, 0), pingResult(3.0, 2)}));
    ASSERT_TRUE(v2.waitForSize(2, 2000ms));
    EXPECT_EQ(v1.size(), 1U);
    EXPECT_EQ(config.size(), 1U);
    EXPECT_EQ(config.values()[0], reply);
    EXPECT_EQ(id0x80.size(), 1U);
    EXPECT_EQ(id0x80.values()[0].size(), 20U);
}

TEST_F(Session, GarbageAtTheHeadIsDroppedWithoutLosingTheMessageBehindIt)
{
    start(true);
    Bytes garbage(300, std::byte{0x4F});
    garbage[1] = std::byte{0x53};
    sonar.send(concat({garbage, pingResult(44.0, 1)}));
    ASSERT_TRUE(v1.waitForSize(1, 2000ms));
    EXPECT_EQ(gainOf(v1.values()[0]), 44.0);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(v1.size(), 1U);
}

TEST_F(Session, GarbageAloneDispatchesNothing)
{
    start(true);
    sonar.send(Bytes{std::byte{0x4F}, std::byte{0x53}, std::byte{0}, std::byte{0}, std::byte{0}, std::byte{0},
                     std::byte{0x23}, std::byte{0}, std::byte{0}, std::byte{0}, std::byte{0}, std::byte{0},
                     std::byte{0}, std::byte{0}, std::byte{0}, std::byte{0}});
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(v1.size() + v2.size() + config.size(), 0U);
    EXPECT_TRUE(session->isAlive());
}

TEST_F(Session, OversizedHeaderIsTreatedAsGarbage)
{
    start(true);
    // 0xFFFFFFFF + 16 would wrap a 32-bit sum; 17 MiB is merely too large.
    sonar.send(concat({headerOnly(0x23, 0xFFFFFFFFU), headerOnly(0x23, 17U * 1024U * 1024U), pingResult(55.0, 1)}));
    ASSERT_TRUE(v1.waitForSize(1, 2000ms));
    EXPECT_EQ(gainOf(v1.values()[0]), 55.0);
    EXPECT_TRUE(session->isAlive());
}

TEST_F(Session, MessagesAreHeldUntilDispatchingStarts)
{
    session->setOnDemand(true);
    sonar.send(pingResult(66.0, 1));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(v1.size(), 0U);
    session->startDispatching();
    ASSERT_TRUE(v1.waitForSize(1, 2000ms));
}

TEST_F(Session, ContinuousModeAsksForOneNextPingPerResult)
{
    start(false);
    {
        std::lock_guard lock(parameterMutex);
        parameters.gain = 61.0;
        parameters.range = 12.0;
    }
    sonar.send(concat({pingResult(1.0, 2), pingResult(2.0, 2), pingResult(3.0, 1)}));
    const auto fires = sonar.receive(4, 500ms);
    ASSERT_EQ(fires.size(), 3U);
    for (const auto& fire : fires) {
        ASSERT_EQ(fire.size(), Layout::FireRequest::size);
        EXPECT_EQ(fire[Layout::FireRequest::flags] & std::byte{0x80}, std::byte{0});
        double gain = 0;
        double range = 0;
        std::memcpy(&gain, fire.data() + Layout::FireRequest::gain, 8);
        std::memcpy(&range, fire.data() + Layout::FireRequest::range, 8);
        EXPECT_EQ(gain, 61.0);
        EXPECT_EQ(range, 12.0);
        std::uint16_t destination = 0;
        std::memcpy(&destination, fire.data() + Layout::Header::destinationId, 2);
        EXPECT_EQ(destination, 0x5678);
    }
}

TEST_F(Session, OnDemandModeSendsOnlyWhatIsAskedFor)
{
    start(true);
    sonar.send(concat({pingResult(1.0, 2), pingResult(2.0, 2)}));
    ASSERT_TRUE(v2.waitForSize(2, 2000ms));
    EXPECT_TRUE(sonar.receive(1, 200ms).empty());
    session->sendFire();
    const auto fires = sonar.receive(1, 2000ms);
    ASSERT_EQ(fires.size(), 1U);
    EXPECT_EQ(fires[0][Layout::FireRequest::flags], std::byte{0x89});
}

TEST_F(Session, QueuedMessagesGoOutInOrder)
{
    start(true);
    session->sendUserConfig();
    session->sendUserConfig(true, 0x7F000005, 0xFF000000);
    session->sendFire();
    const auto sent = sonar.receive(3, 2000ms);
    ASSERT_EQ(sent.size(), 3U);
    EXPECT_EQ(sent[0], Building::buildUserConfig(0x12345678));
    EXPECT_EQ(sent[1], Building::buildUserConfig(0x12345678, true, 0x7F000005, 0xFF000000));
    EXPECT_EQ(sent[2].size(), Layout::FireRequest::size);
}

TEST_F(Session, PeerClosingEndsTheSessionSilently)
{
    start(false);
    EXPECT_TRUE(session->isAlive());
    sonar.closeClient();
    EXPECT_TRUE(waitUntil([&] { return !session->isAlive(); }, 2000ms));
    session->sendFire(); // harmless after the end
    session.reset();     // joins the ended thread
}

TEST_F(Session, DestroyingAConnectedIdleSessionIsPrompt)
{
    start(false);
    std::this_thread::sleep_for(50ms);
    // The session thread blocks on a receive that never ends by itself: the
    // reset returns at all only if it interrupts it.
    session.reset();
    EXPECT_TRUE(sonar.waitForClose(5000ms));
}

TEST(SessionConnect, NothingListeningGivesConnectionErrorAfterTheWait)
{
    const std::uint16_t port = freePort(SOCK_STREAM);
    const auto before = std::chrono::steady_clock::now();
    try {
        MainSocketThread session({"127.0.0.1", 1, port, std::chrono::milliseconds(2100)},
                                 [] { return OperationParameters{}; });
        FAIL() << "connected to a port where nothing listens";
    } catch (const Keldar::Ondrix::ConnectionError& error) {
        EXPECT_STREQ(error.what(), "Could not connect to sonar.");
    }
    EXPECT_GE(std::chrono::steady_clock::now() - before, 2000ms);
}

TEST(SessionConnect, AddressTextThatIsNotAnAddressGivesConnectionError)
{
    EXPECT_THROW(
        MainSocketThread({"no ip", 1, 52100, std::chrono::milliseconds(300)}, [] { return OperationParameters{}; }),
        Keldar::Ondrix::ConnectionError);
}

TEST(SessionConnect, ListenerThatAppearsDuringTheWaitIsReached)
{
    // The sonar opens its port a moment after we start trying.
    const std::uint16_t port = freePort(SOCK_STREAM);
    std::thread late([port] {
        std::this_thread::sleep_for(400ms);
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd, 1);
        std::this_thread::sleep_for(1500ms);
        ::close(fd);
    });
    EXPECT_NO_THROW(MainSocketThread({"127.0.0.1", 1, port, std::chrono::milliseconds(2100)},
                                     [] { return OperationParameters{}; }));
    late.join();
}

TEST_F(Session, LargeMessagesInUnevenPiecesArriveWhole)
{
    start(true);
    // Two 1 MiB results and a small one, cut at awkward places, so the
    // receive buffer has to grow, wrap and move its contents.
    Building::ImageDescription image;
    image.beams = 512;
    image.ranges = 2048;
    image.range = 50.0;
    image.gain = 12.0;
    image.bearings = std::vector<std::int16_t>(512, 0);
    image.samples.resize(512U * 2048U);
    for (std::size_t i = 0; i < image.samples.size(); ++i) {
        image.samples[i] = static_cast<std::uint8_t>(i * 7U);
    }
    const Bytes big = Building::buildSimplePingResultV2(image);
    image.gain = 13.0;
    const Bytes big2 = Building::buildSimplePingResultV2(image);
    const Bytes all = concat({big, pingResult(1.0, 2), big2});
    std::size_t offset = 0;
    std::size_t piece = 1;
    while (offset < all.size()) {
        const std::size_t n = std::min(piece, all.size() - offset);
        sonar.send(Bytes(all.begin() + static_cast<std::ptrdiff_t>(offset),
                         all.begin() + static_cast<std::ptrdiff_t>(offset + n)));
        offset += n;
        piece = piece * 3 + 17; // 1, 20, 77, ... then capped below
        if (piece > 300000) {
            piece = 4099;
        }
    }
    ASSERT_TRUE(v2.waitForSize(3, 5000ms));
    const auto received = v2.values();
    EXPECT_EQ(received[0], big);
    EXPECT_EQ(received[1], pingResult(1.0, 2));
    EXPECT_EQ(received[2], big2);
}

TEST(SessionConnect, CancelAbandonsTheWaitAtOnce)
{
    const std::uint16_t port = freePort(SOCK_STREAM);
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    std::thread canceller([cancel] {
        std::this_thread::sleep_for(200ms);
        cancel->store(true);
    });
    // An hour-long wait: the constructor returns at all only if it is cancelled.
    EXPECT_THROW(
        MainSocketThread({"127.0.0.1", 1, port, std::chrono::hours(1), cancel}, [] { return OperationParameters{}; }),
        Keldar::Ondrix::ConnectionError);
    canceller.join();
}

TEST_F(Session, LateResultAfterAReaskDoesNotStartASecondChain)
{
    start(false);
    session->sendFire();
    ASSERT_EQ(sonar.receive(1, 2000ms).size(), 1U);
    // No result came for a while, so the request is asked again; then the
    // first result arrives late after all, followed by the answer to the
    // re-ask. A configuration reply behind them makes the test's own listener
    // queue a marker, so that everything the two results caused is in front of it.
    session->resendFire();
    ASSERT_EQ(sonar.receive(1, 2000ms).size(), 1U);
    const Bytes reply = Building::buildUserConfigReply(1, Keldar::Ondrix::ModelNumber::Unknown, false, 1, 2);
    session->userConfigReceived.connect([this](const Bytes&) { session->sendUserConfig(); });
    sonar.send(concat({pingResult(1.0, 1), pingResult(2.0, 1), reply}));
    const auto sent = sonar.receive(3, 3000ms);
    ASSERT_EQ(sent.size(), 2U);
    EXPECT_EQ(sent[0].size(), Layout::FireRequest::size);
    EXPECT_EQ(sent[1], Building::buildUserConfig(0x12345678));
    // The one chain goes on: its next result asks for the next ping.
    sonar.send(pingResult(3.0, 1));
    ASSERT_EQ(sonar.receive(1, 2000ms).size(), 1U);
}

TEST_F(Session, ReaskAfterALostResultResumesImaging)
{
    start(false);
    session->sendFire();
    session->resendFire(); // the first request's result was lost
    ASSERT_EQ(sonar.receive(2, 2000ms).size(), 2U);
    sonar.send(pingResult(1.0, 1)); // the answer to the re-ask only
    ASSERT_TRUE(v1.waitForSize(1, 2000ms));
    // Still waiting for the lost one, as far as the session can tell; the
    // next re-ask gives it up, and the chain resumes with its answer.
    session->resendFire();
    ASSERT_EQ(sonar.receive(1, 2000ms).size(), 1U);
    sonar.send(pingResult(2.0, 1));
    EXPECT_EQ(sonar.receive(1, 2000ms).size(), 1U);
}

TEST(SessionClose, PeerThatTakesNothingDoesNotHoldTheDestructorForTheLinger)
{
    // The peer stops reading and acknowledging, as a sonar that has gone
    // does, with a linger long enough that waiting it out cannot go unnoticed.
    FakeSonar sonar(4096);
    auto session = std::make_unique<MainSocketThread>(
        MainSocketThread::Endpoint{"127.0.0.1", 1, sonar.port(), 2100ms, nullptr, std::chrono::seconds(100)},
        [] { return OperationParameters{}; });
    sonar.accept();
    session->setOnDemand(true);
    session->startDispatching();
    for (int i = 0; i < 20000; ++i) { // 1.7 MB: far more than the peer takes
        session->sendFire();
    }
    ASSERT_TRUE(waitUntil([&] { return sonar.unread() > 0; }, 5000ms));
    auto destroyed = std::async(std::launch::async, [&] { session.reset(); });
    const bool prompt = destroyed.wait_for(20s) == std::future_status::ready;
    destroyed.wait();
    EXPECT_TRUE(prompt) << "closing waited for the peer";
}

TEST(SessionConnect, AddressThatNeverAnswersGivesConnectionError)
{
    // A listener whose accept queue is full drops further connection requests
    // without an answer, like a sonar off this host's subnet.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const int filler = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    pollfd queued{listener, POLLIN, 0};
    ASSERT_EQ(::poll(&queued, 1, 5000), 1); // the one connection the queue holds is in it

    auto attempt = std::async(std::launch::async, [port = ntohs(address.sin_port)] {
        try {
            MainSocketThread session({"127.0.0.1", 1, port, std::chrono::milliseconds(2100)},
                                     [] { return OperationParameters{}; });
        } catch (const Keldar::Ondrix::ConnectionError& error) {
            return std::string(error.what());
        }
        return std::string("connected");
    });
    const bool gaveUp = attempt.wait_for(30s) == std::future_status::ready;
    EXPECT_TRUE(gaveUp) << "the connect attempt did not give up";
    EXPECT_EQ(attempt.get(), "Could not connect to sonar.");
    ::close(filler);
    ::close(listener);
}
