// Boost.Asio's scheduler uses std::atomic_thread_fence, which GCC reports as
// unsupported under ThreadSanitizer; we never run an asio event loop (only its
// sockets), so the fence is not on any path ThreadSanitizer needs to follow.
#if defined(__SANITIZE_THREAD__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wtsan"
#endif

#include <keldar/ondrix/StatusSocketThread.h>

#include "WakeupEvent.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/udp.hpp>
#include <poll.h>

#include <array>
#include <mutex>
#include <optional>

namespace Keldar::Ondrix::Status {

namespace asio = boost::asio;
using Clock = std::chrono::steady_clock;

struct StatusSocketThread::Private
{
    std::string listenAddress;
    std::uint16_t port;
    std::chrono::milliseconds tickPeriod;

    std::mutex threadMutex; // start/stop may come from different threads
    std::thread thread;
    std::atomic<bool> running{false};
    std::atomic<bool> listening{false};
    std::atomic<std::uint64_t> socketErrors{0};
    std::atomic<std::uint64_t> droppedDatagrams{0};
    WakeupEvent wakeup;

    void run(StatusSocketThread& owner);
    std::optional<asio::ip::udp::socket> openSocket(asio::io_context& context);
};

std::optional<asio::ip::udp::socket> StatusSocketThread::Private::openSocket(asio::io_context& context)
{
    boost::system::error_code error;
    const auto address = asio::ip::make_address_v4(listenAddress, error);
    if (error) {
        return std::nullopt;
    }
    asio::ip::udp::socket socket(context);
    socket.open(asio::ip::udp::v4(), error);
    if (!error) {
        socket.set_option(asio::socket_base::reuse_address(true), error);
    }
    if (!error) {
        socket.bind(asio::ip::udp::endpoint(address, port), error);
    }
    if (!error) {
        socket.non_blocking(true, error);
    }
    if (error) {
        return std::nullopt;
    }
    return socket;
}

void StatusSocketThread::Private::run(StatusSocketThread& owner)
{
    asio::io_context context;
    std::optional<asio::ip::udp::socket> socket;
    auto lastTick = Clock::now();
    auto nextOpenAttempt = Clock::now();
    std::array<std::byte, 2048> buffer{};

    while (running.load()) {
        const auto now = Clock::now();
        if (!socket && now >= nextOpenAttempt) {
            socket = openSocket(context);
            if (!socket) {
                ++socketErrors;
                nextOpenAttempt = now + reopenPause;
            }
            listening = socket.has_value();
        }

        // Sleep until a datagram comes, the next tick is due, a reopen is
        // due, or stop() wakes us: no busy polling.
        auto wakeAt = lastTick + tickPeriod;
        if (!socket && nextOpenAttempt < wakeAt) {
            wakeAt = nextOpenAttempt;
        }
        const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(wakeAt - Clock::now()).count();
        std::array<pollfd, 2> fds{{{wakeup.fd(), POLLIN, 0}, {socket ? socket->native_handle() : -1, POLLIN, 0}}};
        ::poll(fds.data(), fds.size(), static_cast<int>(std::max<long long>(0, waitMs)));
        if (fds[0].revents != 0) {
            wakeup.drain();
        }

        if (socket && fds[1].revents != 0) {
            // Drain what is queued, but a bounded number per wake-up so that a
            // flood cannot starve the tick.
            for (int i = 0; i < 256 && running.load(); ++i) {
                boost::system::error_code error;
                asio::ip::udp::endpoint sender;
                buffer.fill(std::byte{0});
                // A longer datagram is cut to the buffer; only its first 142
                // bytes matter.
                const std::size_t received = socket->receive_from(asio::buffer(buffer), sender, 0, error);
                if (error == asio::error::would_block || error == asio::error::try_again) {
                    break;
                }
                if (error) {
                    ++socketErrors;
                    socket.reset();
                    listening = false;
                    nextOpenAttempt = Clock::now() + reopenPause;
                    break;
                }
                // A datagram longer than the buffer arrives cut, so that its
                // header no longer describes it and it is dropped.
                const std::span<const std::byte> datagram(buffer.data(), received);
                if (!Message::isFromASonar(datagram)) {
                    ++droppedDatagrams;
                    continue;
                }
                owner.statusReceived.emit(Message(datagram, sender.address().to_v4().to_uint()));
            }
        }

        if (Clock::now() - lastTick >= tickPeriod) {
            lastTick = Clock::now();
            owner.tick.emit();
        }
    }
    listening = false;
}

StatusSocketThread::StatusSocketThread(std::string listenAddress, std::uint16_t port,
                                       std::chrono::milliseconds tickPeriod)
    : d(std::make_unique<Private>())
{
    d->listenAddress = std::move(listenAddress);
    d->port = port;
    d->tickPeriod = tickPeriod;
}

StatusSocketThread::~StatusSocketThread()
{
    stop();
}

void StatusSocketThread::start()
{
    std::lock_guard lock(d->threadMutex);
    if (d->thread.joinable()) {
        return;
    }
    d->running = true;
    d->thread = std::thread([this] { d->run(*this); });
}

void StatusSocketThread::stop()
{
    std::lock_guard lock(d->threadMutex);
    d->running = false;
    d->wakeup.notify();
    if (d->thread.joinable()) {
        d->thread.join();
    }
}

bool StatusSocketThread::isRunning() const
{
    return d->running.load();
}

std::uint64_t StatusSocketThread::socketErrorCount() const
{
    return d->socketErrors.load();
}

std::uint64_t StatusSocketThread::droppedDatagramCount() const
{
    return d->droppedDatagrams.load();
}

bool StatusSocketThread::isListening() const
{
    return d->listening.load();
}

} // namespace Keldar::Ondrix::Status
