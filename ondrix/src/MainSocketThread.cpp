// Boost.Asio's scheduler uses std::atomic_thread_fence, which GCC reports as
// unsupported under ThreadSanitizer; we never run an asio event loop (only its
// sockets), so the fence is not on any path ThreadSanitizer needs to follow.
#if defined(__SANITIZE_THREAD__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wtsan"
#endif

#include <keldar/ondrix/ConnectionError.h>
#include <keldar/ondrix/MainSocketThread.h>
#include <keldar/ondrix/MessageBuilding.h>
#include <keldar/ondrix/MessageParsing.h>
#include <keldar/ondrix/MessageType.h>
#include <keldar/ondrix/ProtocolLayout.h>

#include "WakeupEvent.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

namespace Keldar::Ondrix {

namespace asio = boost::asio;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::size_t chunkSize = 65536;
// Between connect attempts while the constructor still waits: a sonar that is
// just starting may accept a moment later.
constexpr std::chrono::milliseconds connectRetryPause{100};

// Offset of the next possible message start after a garbage head, or `size`.
std::size_t nextMagic(const std::byte* data, std::size_t size)
{
    for (std::size_t i = 1; i + 1 < size; ++i) {
        if (data[i] == std::byte{0x7C} && data[i + 1] == std::byte{0x3A}) {
            return i;
        }
    }
    // A lone 0x7C at the very end may be the first half of a magic.
    return size > 0 && data[size - 1] == std::byte{0x7C} ? size - 1 : size;
}

// The receive buffer: grows without zero-filling (a full-beam ping result is
// half a megabyte) and drops consumed bytes by moving the rest to the front.
class ReceiveBuffer
{
public:
    std::byte* data() { return m_data.get() + m_head; }
    std::size_t size() const { return m_size - m_head; }
    void consume(std::size_t n)
    {
        m_head += n;
        if (m_head == m_size) {
            m_head = 0;
            m_size = 0;
        }
    }
    void clear() { m_head = m_size = 0; }
    // Room for at least `n` more bytes at writeArea().
    void reserveTail(std::size_t n)
    {
        if (m_capacity - m_size >= n) {
            return;
        }
        const std::size_t live = size();
        if (m_head > 0 && m_capacity - live >= n) {
            std::memmove(m_data.get(), m_data.get() + m_head, live);
        } else {
            std::size_t capacity = std::max<std::size_t>(m_capacity * 2, chunkSize);
            while (capacity - live < n) {
                capacity *= 2;
            }
            auto grown = std::make_unique_for_overwrite<std::byte[]>(capacity);
            if (live > 0) {
                std::memcpy(grown.get(), m_data.get() + m_head, live);
            }
            m_data = std::move(grown);
            m_capacity = capacity;
        }
        m_head = 0;
        m_size = live;
    }
    std::byte* writeArea() { return m_data.get() + m_size; }
    std::size_t tailRoom() const { return m_capacity - m_size; }
    void commit(std::size_t n) { m_size += n; }

private:
    std::unique_ptr<std::byte[]> m_data;
    std::size_t m_capacity = 0;
    std::size_t m_head = 0;
    std::size_t m_size = 0;
};

} // namespace

struct MainSocketThread::Private
{
    Endpoint endpoint;
    ParameterSource parameters;

    std::atomic<bool> onDemand{false};
    std::atomic<bool> running{false};
    std::atomic<bool> connected{false};
    std::atomic<bool> alive{true};
    std::atomic<bool> dispatching{false};

    std::mutex connectMutex;
    std::condition_variable connectCondition;

    mutable std::mutex sendMutex;
    std::vector<std::byte> sendQueue;
    // Under sendMutex. Fire requests sent and not yet answered, as far as the
    // results tell: the sonar answers in order but names no request, so a
    // result cannot say which request it answers.
    std::size_t unanswered = 0;
    // A re-ask is waiting for the chain to resume, and whether any result has
    // come since it was sent.
    bool reasked = false;
    bool resultSinceReask = false;

    WakeupEvent wakeup;
    std::thread thread;

    void enqueue(const std::vector<std::byte>& message)
    {
        {
            std::lock_guard lock(sendMutex);
            sendQueue.insert(sendQueue.end(), message.begin(), message.end());
        }
        wakeup.notify();
    }

    // Queues a fire request, first running `account` (under the send mutex)
    // on the count of unanswered requests; it returns false to send nothing.
    template<typename Account>
    void enqueueFire(Account&& account)
    {
        const std::vector<std::byte> fire = buildFire();
        {
            std::lock_guard lock(sendMutex);
            if (!account()) {
                return;
            }
            ++unanswered;
            sendQueue.insert(sendQueue.end(), fire.begin(), fire.end());
        }
        wakeup.notify();
    }

    std::vector<std::byte> buildFire() const
    {
        return MessageBuilding::buildFireRequest(parameters(), endpoint.serialNumber, onDemand.load());
    }

    // Waits for `events` on `fd` (and the wake-up event) until `deadline`.
    // Returns the socket's revents, 0 on time-out or wake-up.
    short waitFor(int fd, short events, Clock::time_point deadline)
    {
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        std::array<pollfd, 2> fds{{{fd, events, 0}, {wakeup.fd(), POLLIN, 0}}};
        ::poll(fds.data(), fds.size(), static_cast<int>(std::max<long long>(0, ms)));
        if (fds[1].revents != 0) {
            wakeup.drain();
        }
        return fds[0].revents;
    }

    std::optional<asio::ip::tcp::socket> connect(asio::io_context& context);
};

std::optional<asio::ip::tcp::socket> MainSocketThread::Private::connect(asio::io_context& context)
{
    boost::system::error_code error;
    const auto address = asio::ip::make_address(endpoint.address, error);
    if (error) {
        return std::nullopt;
    }
    const asio::ip::tcp::endpoint remote(address, endpoint.port);
    const auto deadline = Clock::now() + endpoint.connectWait;

    while (running.load() && Clock::now() < deadline) {
        asio::ip::tcp::socket socket(context);
        socket.open(remote.protocol(), error);
        if (error) {
            return std::nullopt;
        }
        // Non-blocking, and through the system call itself: asio's connect
        // waits for completion without a limit even on a non-blocking socket,
        // so an address that never answers would hold this thread (and the
        // join of whoever waits for it) for the system's time-out of minutes.
        socket.non_blocking(true, error);
        if (error) {
            return std::nullopt;
        }
        error = {};
        if (::connect(socket.native_handle(), remote.data(), static_cast<socklen_t>(remote.size())) != 0) {
            // An interrupted connect goes on in the background like one in progress.
            error = errno == EINTR ? asio::error::in_progress
                                   : boost::system::error_code(errno, boost::system::system_category());
        }
        if (error == asio::error::would_block || error == asio::error::in_progress) {
            const short revents = waitFor(socket.native_handle(), POLLOUT, deadline);
            if (revents != 0) {
                int socketError = 0;
                socklen_t length = sizeof socketError;
                ::getsockopt(socket.native_handle(), SOL_SOCKET, SO_ERROR, &socketError, &length);
                error = socketError == 0 ? boost::system::error_code{}
                                         : boost::system::error_code(socketError, boost::system::system_category());
            } else {
                error = asio::error::timed_out;
            }
        }
        if (!error) {
            return socket;
        }
        socket.close(error);
        waitFor(-1, 0, std::min(deadline, Clock::now() + connectRetryPause));
    }
    return std::nullopt;
}

MainSocketThread::MainSocketThread(Endpoint endpoint, ParameterSource parameters)
    : d(std::make_unique<Private>())
{
    d->endpoint = std::move(endpoint);
    d->parameters = std::move(parameters);
    d->running = true;
    d->thread = std::thread([this] { run(); });

    // Waits in short slices so that a cancel request is seen promptly.
    auto cancelled = [this] { return d->endpoint.cancel && d->endpoint.cancel->load(); };
    const auto deadline = Clock::now() + d->endpoint.connectWait + std::chrono::milliseconds(200);
    bool connected = false;
    {
        std::unique_lock lock(d->connectMutex);
        while (!connected && !cancelled() && Clock::now() < deadline) {
            connected = d->connectCondition.wait_for(lock, std::chrono::milliseconds(50),
                                                     [this] { return d->connected.load() || !d->alive.load(); });
        }
    }
    if (!connected || !d->connected.load()) {
        d->running = false;
        d->wakeup.notify();
        d->thread.join();
        throw ConnectionError("Could not connect to sonar.");
    }
}

MainSocketThread::~MainSocketThread()
{
    d->running = false;
    d->wakeup.notify();
    if (d->thread.joinable()) {
        d->thread.join();
    }
}

void MainSocketThread::sendFire()
{
    d->enqueueFire([] { return true; });
}

void MainSocketThread::resendFire()
{
    d->enqueueFire([this] {
        // The earlier request may yet be answered, late: it stays counted, so
        // that its result does not start a second chain. But when a result
        // came after the previous re-ask and the chain still did not resume,
        // what is counted was lost: forget it, or imaging would never resume.
        if (d->reasked && d->resultSinceReask) {
            d->unanswered = 0;
        }
        d->reasked = true;
        d->resultSinceReask = false;
        return true;
    });
}

void MainSocketThread::sendUserConfig()
{
    d->enqueue(MessageBuilding::buildUserConfig(d->endpoint.serialNumber));
}

void MainSocketThread::sendUserConfig(bool dhcp, std::uint32_t address, std::uint32_t mask)
{
    d->enqueue(MessageBuilding::buildUserConfig(d->endpoint.serialNumber, dhcp, address, mask));
}

bool MainSocketThread::awaitsLateResult() const
{
    std::lock_guard lock(d->sendMutex);
    return d->reasked && d->resultSinceReask && d->unanswered > 0;
}

void MainSocketThread::setOnDemand(bool onDemand)
{
    d->onDemand = onDemand;
}

bool MainSocketThread::isOnDemand() const
{
    return d->onDemand.load();
}

void MainSocketThread::startDispatching()
{
    d->dispatching = true;
    d->wakeup.notify();
}

bool MainSocketThread::isAlive() const
{
    return d->alive.load();
}

void MainSocketThread::dispatch(const std::vector<std::byte>& message)
{
    // Framing has checked the magic and the length, so these cannot throw.
    const MessageType id = MessageParsing::getMessageType(message);
    const int version = MessageParsing::getMessageVersion(message);
    switch (static_cast<std::uint16_t>(id)) {
    case static_cast<std::uint16_t>(MessageType::SimplePingResult):
        if (version == ProtocolLayout::pingResultV2Version) {
            pingResultV2Received.emit(message);
        } else {
            pingResultReceived.emit(message);
        }
        // Continuous mode: a result asks for the next ping once no other
        // request is waiting for its answer, so that at most one is ever
        // outstanding (a re-ask or an extra ping() must not double the chain).
        d->enqueueFire([this] {
            d->unanswered -= std::min<std::size_t>(d->unanswered, 1);
            d->resultSinceReask = true;
            if (d->onDemand.load() || d->unanswered > 0) {
                return false;
            }
            d->reasked = false;
            return true;
        });
        break;
    case static_cast<std::uint16_t>(MessageType::UserConfig):
        userConfigReceived.emit(message);
        break;
    case 0x80:
        unknownMessage0x80Received.emit(message);
        break;
    default:
        break;
    }
}

void MainSocketThread::run()
{
    asio::io_context context;
    std::optional<asio::ip::tcp::socket> socket;
    try {
        socket = d->connect(context);
        if (!socket) {
            {
                std::lock_guard lock(d->connectMutex);
                d->alive = false;
            }
            d->connectCondition.notify_all();
            return;
        }
        {
            std::lock_guard lock(d->connectMutex);
            d->connected = true;
        }
        d->connectCondition.notify_all();

        socket->set_option(asio::socket_base::keep_alive(true));
        socket->set_option(asio::ip::tcp::no_delay(true));
        socket->set_option(asio::socket_base::reuse_address(true));
        socket->set_option(asio::socket_base::linger(true, static_cast<int>(d->endpoint.linger.count())));

        ReceiveBuffer received;
        std::vector<std::byte> outgoing;
        std::size_t outgoingHead = 0;
        bool peerOpen = true;

        while (d->running.load() && peerOpen) {
            {
                std::lock_guard lock(d->sendMutex);
                outgoing.insert(outgoing.end(), d->sendQueue.begin(), d->sendQueue.end());
                d->sendQueue.clear();
            }
            const bool wantWrite = outgoingHead < outgoing.size();
            std::array<pollfd, 2> fds{
                {{socket->native_handle(), static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0},
                 {d->wakeup.fd(), POLLIN, 0}}};
            if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) {
                break;
            }
            if (fds[1].revents != 0) {
                d->wakeup.drain();
            }

            if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                // Read what is there, in chunks, without blocking.
                for (int i = 0; i < 64; ++i) {
                    received.reserveTail(chunkSize);
                    boost::system::error_code error;
                    const std::size_t room = received.tailRoom();
                    const std::size_t n = socket->read_some(asio::buffer(received.writeArea(), room), error);
                    received.commit(n);
                    if (error == asio::error::would_block || error == asio::error::try_again) {
                        break;
                    }
                    if (error) { // eof or reset: the session is over
                        peerOpen = false;
                        break;
                    }
                    if (n < room) {
                        break;
                    }
                }
            }

            while (d->dispatching.load() && received.size() > 0) {
                const std::byte* data = received.data();
                const std::size_t available = received.size();
                const MessageParsing::Frame frame = MessageParsing::examineFrame(data, available);
                if (frame.status == MessageParsing::FrameStatus::Incomplete) {
                    // Make room for the rest of a large message in one go.
                    if (frame.length > available) {
                        received.reserveTail(frame.length - available);
                    }
                    break;
                }
                if (frame.status == MessageParsing::FrameStatus::Garbage) {
                    // Skip to the next possible message rather than dropping the
                    // whole buffer, which would also lose a good message behind
                    // the garbage and stall continuous imaging.
                    received.consume(nextMagic(data, available));
                    continue;
                }
                const std::vector<std::byte> message(data, data + frame.length);
                received.consume(frame.length);
                dispatch(message);
            }

            {
                std::lock_guard lock(d->sendMutex);
                outgoing.insert(outgoing.end(), d->sendQueue.begin(), d->sendQueue.end());
                d->sendQueue.clear();
            }
            while (outgoingHead < outgoing.size()) {
                boost::system::error_code error;
                const std::size_t toWrite = std::min(chunkSize, outgoing.size() - outgoingHead);
                const std::size_t n = socket->write_some(asio::buffer(outgoing.data() + outgoingHead, toWrite), error);
                if (error == asio::error::would_block || error == asio::error::try_again) {
                    break;
                }
                if (error) {
                    peerOpen = false;
                    break;
                }
                outgoingHead += n;
            }
            if (outgoingHead == outgoing.size()) {
                outgoing.clear();
                outgoingHead = 0;
            }
        }
    } catch (...) {
        // Errors end the session silently; the device replaces it.
    }
    if (socket && socket->is_open()) {
        boost::system::error_code ignored;
        // A lingering close waits for the peer to take what is still queued;
        // with the sonar gone that is the whole linger time, spent by whoever
        // joins this thread (the watchdog, the GUI). Without linger the system
        // still delivers the queued bytes, in the background.
        socket->set_option(asio::socket_base::linger(false, 0), ignored);
        socket->shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        socket->close(ignored);
    }
    {
        std::lock_guard lock(d->connectMutex);
        d->alive = false;
    }
    d->connectCondition.notify_all();
}

} // namespace Keldar::Ondrix
