// Boost 1.74's awaitable uses std::exchange without including <utility>, and
// its coroutine frames pair a sized operator delete with their own operator
// new, which GCC 12 mistakes for a mismatch.
#include <utility>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
// The asio scheduler's std::atomic_thread_fence, which GCC reports as
// unsupported under ThreadSanitizer; the proxy's test is not run under it.
#if defined(__SANITIZE_THREAD__)
#pragma GCC diagnostic ignored "-Wtsan"
#endif
#endif

#include <keldar/faultproxy/FaultProxy.h>

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ip/udp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>

#include <algorithm>
#include <array>
#include <chrono>
#include <deque>
#include <mutex>
#include <random>
#include <stdexcept>

namespace Keldar::FaultProxy {

namespace asio = boost::asio;
using asio::awaitable;
using asio::ip::tcp;
using asio::ip::udp;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

constexpr std::size_t chunkSize = 65536;
constexpr std::size_t slowChunk = 256;
constexpr milliseconds slowPause{2};
constexpr std::array<std::uint8_t, 2> statusMagic{0x7C, 0x3A};

asio::ip::address loopbackAddress(const std::string& text)
{
    boost::system::error_code error;
    const auto address = asio::ip::make_address(text, error);
    if (error || !address.is_v4() || (address.to_v4().to_uint() >> 24) != 127) {
        throw std::invalid_argument("not a loopback (127.0.0.0/8) address: " + text);
    }
    return address;
}

struct Chunk
{
    Clock::time_point due;
    std::vector<std::uint8_t> bytes;
};

// One viewer connection and the sonar connection made for it.
struct Link
{
    Link(tcp::socket viewerSocket, const asio::any_io_executor& executor)
        : viewer(std::move(viewerSocket))
        , sonar(executor)
        , wake(executor)
    {
    }

    // Hard: both ends see a reset (RST), not an orderly end of stream.
    void close(bool hard)
    {
        if (closed) {
            return;
        }
        closed = true;
        boost::system::error_code ignored;
        for (tcp::socket* socket : {&viewer, &sonar}) {
            if (hard && socket->is_open()) {
                socket->set_option(asio::socket_base::linger(true, 0), ignored);
            }
            socket->close(ignored);
        }
        wake.cancel();
    }

    tcp::socket viewer;
    tcp::socket sonar;
    // The writer to the viewer sleeps on it; cancelling it wakes the writer.
    asio::steady_timer wake;
    std::deque<Chunk> queue;
    std::size_t buffered = 0;
    Clock::time_point stallUntil{};
    Clock::time_point latencyUntil{};
    Clock::time_point slowUntil{};
    int latencyMs = 0;
    bool cutNext = false;
    int flipNext = 0;
    bool closed = false;
};

} // namespace

struct FaultProxy::Private
{
    explicit Private(Settings s)
        : settings(std::move(s))
        , acceptor(io)
        , udpSocket(io)
        , faultTimer(io)
        , garbageTimer(io)
        , random(settings.seed)
    {
        const tcp::endpoint listen{loopbackAddress(settings.tcpListenAddress), settings.tcpListenPort};
        upstream = {loopbackAddress(settings.tcpUpstreamAddress), settings.tcpUpstreamPort};
        acceptor.open(listen.protocol());
        acceptor.set_option(asio::socket_base::reuse_address(true));
        acceptor.bind(listen);
        acceptor.listen();
        if (settings.udpForwardPort != 0) {
            forward = {loopbackAddress(settings.udpForwardAddress), settings.udpForwardPort};
            const udp::endpoint udpListen{loopbackAddress(settings.udpListenAddress), settings.udpListenPort};
            udpSocket.open(udpListen.protocol());
            udpSocket.bind(udpListen);
        }
    }

    void emit(const std::string& event) const
    {
        if (onEvent && *onEvent) {
            (*onEvent)(event);
        }
    }

    template<typename Change>
    void count(Change&& change)
    {
        std::lock_guard lock(countersMutex);
        change(counters);
    }

    int uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
    bool chance(double share) { return share > 0 && std::uniform_real_distribution<double>(0, 1)(random) < share; }

    std::shared_ptr<Link> newest() const
    {
        auto link = links.empty() ? nullptr : links.back().lock();
        return link && !link->closed ? link : nullptr;
    }

    awaitable<void> accept();
    awaitable<void> sonarToQueue(std::shared_ptr<Link> link);
    awaitable<void> queueToViewer(std::shared_ptr<Link> link);
    awaitable<void> viewerToSonar(std::shared_ptr<Link> link);
    awaitable<void> scheduleFaults();
    awaitable<void> relayStatus();
    awaitable<void> sendGarbage();
    void apply(TcpFault fault);
    void calmDown();

    Settings settings;
    const std::function<void(const std::string&)>* onEvent = nullptr;
    asio::io_context io;
    tcp::acceptor acceptor;
    tcp::endpoint upstream;
    udp::socket udpSocket;
    udp::endpoint forward;
    asio::steady_timer faultTimer;
    asio::steady_timer garbageTimer;
    std::mt19937_64 random;
    std::vector<std::weak_ptr<Link>> links;
    bool stopping = false;
    bool calm = false;
    mutable std::mutex countersMutex;
    Counters counters;
};

awaitable<void> FaultProxy::Private::accept()
{
    const auto executor = co_await asio::this_coro::executor;
    while (!stopping) {
        boost::system::error_code error;
        tcp::socket viewer = co_await acceptor.async_accept(asio::redirect_error(asio::use_awaitable, error));
        if (error) {
            continue; // stopping closes the acceptor; the loop then ends
        }
        auto link = std::make_shared<Link>(std::move(viewer), executor);
        co_await link->sonar.async_connect(upstream, asio::redirect_error(asio::use_awaitable, error));
        if (error) {
            emit("upstream refused: " + error.message());
            link->close(false);
            continue;
        }
        boost::system::error_code ignored;
        link->viewer.set_option(tcp::no_delay(true), ignored);
        link->sonar.set_option(tcp::no_delay(true), ignored);
        std::erase_if(links, [](const std::weak_ptr<Link>& old) { return old.expired(); });
        links.push_back(link);
        count([](Counters& c) { ++c.connections; });
        emit("connected");
        asio::co_spawn(io, sonarToQueue(link), asio::detached);
        asio::co_spawn(io, queueToViewer(link), asio::detached);
        asio::co_spawn(io, viewerToSonar(link), asio::detached);
    }
}

awaitable<void> FaultProxy::Private::sonarToQueue(std::shared_ptr<Link> link)
{
    std::vector<std::uint8_t> buffer(chunkSize);
    asio::steady_timer pause(io);
    while (!link->closed) {
        const auto now = Clock::now();
        const bool slow = now < link->slowUntil;
        if (slow || link->buffered >= settings.maxBuffered) {
            pause.expires_after(slowPause);
            boost::system::error_code ignored;
            co_await pause.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
            if (link->buffered >= settings.maxBuffered) {
                continue;
            }
        }
        boost::system::error_code error;
        const std::size_t n =
            co_await link->sonar.async_read_some(asio::buffer(buffer.data(), slow ? slowChunk : buffer.size()),
                                                 asio::redirect_error(asio::use_awaitable, error));
        if (error) {
            link->close(false);
            break;
        }
        const auto read = Clock::now();
        const auto due = read < link->latencyUntil ? read + milliseconds(link->latencyMs) : read;
        link->queue.push_back({due, {buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n)}});
        link->buffered += n;
        link->wake.cancel();
    }
}

awaitable<void> FaultProxy::Private::queueToViewer(std::shared_ptr<Link> link)
{
    while (!link->closed) {
        boost::system::error_code ignored;
        if (link->queue.empty()) {
            link->wake.expires_at(Clock::time_point::max());
            co_await link->wake.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
            continue;
        }
        const auto ready = std::max(link->queue.front().due, link->stallUntil);
        if (Clock::now() < ready) {
            link->wake.expires_at(ready);
            co_await link->wake.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
            continue;
        }
        Chunk chunk = std::move(link->queue.front());
        link->queue.pop_front();
        link->buffered -= chunk.bytes.size();
        if (link->flipNext > 0) {
            const int flips = std::exchange(link->flipNext, 0);
            std::string where;
            for (int i = 0; i < flips; ++i) {
                const auto at = static_cast<std::size_t>(uniform(0, static_cast<int>(chunk.bytes.size()) - 1));
                chunk.bytes[at] ^= static_cast<std::uint8_t>(uniform(1, 255));
                where += " " + std::to_string(at);
            }
            count([](Counters& c) { ++c.flips; });
            emit("flip " + std::to_string(flips) + " bytes of a " + std::to_string(chunk.bytes.size()) +
                 "-byte chunk at" + where);
        }
        std::size_t length = chunk.bytes.size();
        const bool cut = link->cutNext && length > 1;
        if (cut) {
            link->cutNext = false;
            length = static_cast<std::size_t>(uniform(1, static_cast<int>(length) - 1));
        }
        boost::system::error_code error;
        co_await asio::async_write(link->viewer, asio::buffer(chunk.bytes.data(), length),
                                   asio::redirect_error(asio::use_awaitable, error));
        if (error) {
            link->close(false);
            break;
        }
        count([length](Counters& c) { c.bytesToViewer += length; });
        if (cut) {
            count([](Counters& c) { ++c.cuts; });
            emit("cut after " + std::to_string(length) + " of " + std::to_string(chunk.bytes.size()) + " bytes");
            link->close(true);
        }
    }
}

awaitable<void> FaultProxy::Private::viewerToSonar(std::shared_ptr<Link> link)
{
    std::vector<std::uint8_t> buffer(chunkSize);
    while (!link->closed) {
        boost::system::error_code error;
        const std::size_t n = co_await link->viewer.async_read_some(asio::buffer(buffer),
                                                                    asio::redirect_error(asio::use_awaitable, error));
        if (!error) {
            co_await asio::async_write(link->sonar, asio::buffer(buffer.data(), n),
                                       asio::redirect_error(asio::use_awaitable, error));
        }
        if (error) {
            link->close(false);
            break;
        }
        count([n](Counters& c) { c.bytesToSonar += n; });
    }
}

void FaultProxy::Private::apply(TcpFault fault)
{
    const auto link = newest();
    if (!link) {
        emit(std::string("no connection for ") + faultName(fault));
        return;
    }
    const auto now = Clock::now();
    switch (fault) {
    case TcpFault::Latency: {
        link->latencyMs = uniform(20, std::max(20, settings.latencyMaxMs));
        const int forMs = uniform(5000, 15000);
        link->latencyUntil = now + milliseconds(forMs);
        count([](Counters& c) { ++c.latencies; });
        emit("latency " + std::to_string(link->latencyMs) + " ms for " + std::to_string(forMs) + " ms");
        break;
    }
    case TcpFault::Stall: {
        const int ms = uniform(settings.stallMinMs, std::max(settings.stallMinMs, settings.stallMaxMs));
        link->stallUntil = now + milliseconds(ms);
        count([](Counters& c) { ++c.stalls; });
        emit("stall " + std::to_string(ms) + " ms");
        break;
    }
    case TcpFault::Reset:
        count([](Counters& c) { ++c.resets; });
        emit("reset");
        link->close(true);
        break;
    case TcpFault::Cut:
        link->cutNext = true; // reported when the next chunk goes
        break;
    case TcpFault::Flip:
        link->flipNext = uniform(1, 4);
        break;
    case TcpFault::SlowRead: {
        const int forMs = uniform(3000, 8000);
        link->slowUntil = now + milliseconds(forMs);
        count([](Counters& c) { ++c.slowReads; });
        emit("slow reads for " + std::to_string(forMs) + " ms");
        break;
    }
    }
    link->wake.cancel();
}

awaitable<void> FaultProxy::Private::scheduleFaults()
{
    if (settings.tcpFaultEvery <= 0 || settings.tcpFaults.empty()) {
        co_return;
    }
    while (!stopping) {
        const double seconds = settings.tcpFaultEvery * std::uniform_real_distribution<double>(0.5, 1.5)(random);
        faultTimer.expires_after(milliseconds(static_cast<std::int64_t>(seconds * 1000)));
        boost::system::error_code ignored;
        co_await faultTimer.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
        if (stopping || calm) {
            continue;
        }
        apply(settings.tcpFaults[static_cast<std::size_t>(uniform(0, int(settings.tcpFaults.size()) - 1))]);
    }
}

awaitable<void> FaultProxy::Private::relayStatus()
{
    if (!udpSocket.is_open()) {
        co_return;
    }
    std::array<std::uint8_t, 2048> buffer{};
    while (!stopping) {
        udp::endpoint from;
        boost::system::error_code error;
        const std::size_t n = co_await udpSocket.async_receive_from(asio::buffer(buffer), from,
                                                                    asio::redirect_error(asio::use_awaitable, error));
        if (error) {
            continue;
        }
        if (!calm && chance(settings.udpDropShare)) {
            count([](Counters& c) { ++c.datagramsDropped; });
            continue;
        }
        const int copies = !calm && chance(settings.udpDuplicateShare) ? 2 : 1;
        for (int i = 0; i < copies; ++i) {
            udpSocket.send_to(asio::buffer(buffer.data(), n), forward, 0, error);
        }
        count([copies](Counters& c) {
            ++c.datagramsRelayed;
            c.datagramsDuplicated += copies - 1;
        });
    }
}

awaitable<void> FaultProxy::Private::sendGarbage()
{
    if (!udpSocket.is_open() || settings.udpGarbagePerSecond <= 0) {
        co_return;
    }
    std::vector<std::uint8_t> datagram;
    while (!stopping) {
        const double seconds = std::uniform_real_distribution<double>(0.5, 1.5)(random) / settings.udpGarbagePerSecond;
        garbageTimer.expires_after(std::chrono::microseconds(static_cast<std::int64_t>(seconds * 1e6)));
        boost::system::error_code error;
        co_await garbageTimer.async_wait(asio::redirect_error(asio::use_awaitable, error));
        if (stopping || calm) {
            continue;
        }
        // Around the status datagram's 142 bytes: short ones leave fields
        // missing, long ones carry a tail.
        datagram.resize(static_cast<std::size_t>(uniform(16, 200)));
        for (auto& byte : datagram) {
            byte = static_cast<std::uint8_t>(uniform(0, 255));
        }
        std::copy(statusMagic.begin(), statusMagic.end(), datagram.begin());
        udpSocket.send_to(asio::buffer(datagram), forward, 0, error);
        count([](Counters& c) { ++c.garbageDatagrams; });
    }
}

void FaultProxy::Private::calmDown()
{
    for (const auto& weak : links) {
        if (const auto link = weak.lock()) {
            link->stallUntil = link->latencyUntil = link->slowUntil = {};
            link->cutNext = false;
            link->flipNext = 0;
            for (auto& chunk : link->queue) {
                chunk.due = {};
            }
            link->wake.cancel();
        }
    }
}

const char* faultName(TcpFault fault)
{
    switch (fault) {
    case TcpFault::Latency:
        return "latency";
    case TcpFault::Stall:
        return "stall";
    case TcpFault::Reset:
        return "reset";
    case TcpFault::Cut:
        return "cut";
    case TcpFault::Flip:
        return "flip";
    case TcpFault::SlowRead:
        return "slow";
    }
    return "?";
}

bool faultFromName(const std::string& name, TcpFault& fault)
{
    for (const TcpFault candidate :
         {TcpFault::Latency, TcpFault::Stall, TcpFault::Reset, TcpFault::Cut, TcpFault::Flip, TcpFault::SlowRead}) {
        if (name == faultName(candidate)) {
            fault = candidate;
            return true;
        }
    }
    return false;
}

FaultProxy::FaultProxy(Settings settings)
    : d(std::make_unique<Private>(std::move(settings)))
{
    d->onEvent = &onEvent;
}

FaultProxy::~FaultProxy() = default;

std::uint16_t FaultProxy::tcpPort() const
{
    return d->acceptor.local_endpoint().port();
}

std::uint16_t FaultProxy::udpPort() const
{
    return d->udpSocket.is_open() ? d->udpSocket.local_endpoint().port() : 0;
}

void FaultProxy::run()
{
    asio::co_spawn(d->io, d->accept(), asio::detached);
    asio::co_spawn(d->io, d->scheduleFaults(), asio::detached);
    asio::co_spawn(d->io, d->relayStatus(), asio::detached);
    asio::co_spawn(d->io, d->sendGarbage(), asio::detached);
    d->io.run();
}

void FaultProxy::stop()
{
    asio::post(d->io, [this] {
        d->stopping = true;
        boost::system::error_code ignored;
        d->acceptor.close(ignored);
        d->udpSocket.close(ignored);
        d->faultTimer.cancel();
        d->garbageTimer.cancel();
        for (const auto& weak : d->links) {
            if (const auto link = weak.lock()) {
                link->close(false);
            }
        }
    });
}

void FaultProxy::setCalm(bool calm)
{
    asio::post(d->io, [this, calm] {
        d->calm = calm;
        if (calm) {
            d->calmDown();
        }
    });
}

void FaultProxy::inject(TcpFault fault)
{
    asio::post(d->io, [this, fault] { d->apply(fault); });
}

Counters FaultProxy::counters() const
{
    std::lock_guard lock(d->countersMutex);
    return d->counters;
}

} // namespace Keldar::FaultProxy
