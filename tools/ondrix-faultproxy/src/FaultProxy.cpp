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
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>
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

std::size_t index(FaultKind kind)
{
    return static_cast<std::size_t>(kind);
}

asio::ip::address loopbackAddress(const std::string& text)
{
    boost::system::error_code error;
    const auto address = asio::ip::make_address(text, error);
    if (error || !address.is_v4() || (address.to_v4().to_uint() >> 24) != 127) {
        throw std::invalid_argument("not a loopback (127.0.0.0/8) address: " + text);
    }
    return address;
}

int uniform(std::mt19937_64& random, int low, int high)
{
    return std::uniform_int_distribution<int>(low, std::max(low, high))(random);
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
    bool closed = false;
};

// A status fault that acts on the next datagrams: how many are left.
struct DatagramFault
{
    Fault fault;
    int left = 0;
};

} // namespace

const char* faultName(FaultKind kind)
{
    switch (kind) {
    case FaultKind::Latency:
        return "latency";
    case FaultKind::Stall:
        return "stall";
    case FaultKind::Reset:
        return "reset";
    case FaultKind::Cut:
        return "cut";
    case FaultKind::Flip:
        return "flip";
    case FaultKind::SlowRead:
        return "slow-read";
    case FaultKind::Drop:
        return "drop";
    case FaultKind::Duplicate:
        return "duplicate";
    case FaultKind::Garbage:
        return "garbage";
    }
    return "?";
}

bool faultFromName(const std::string& name, FaultKind& kind)
{
    for (const FaultKind candidate : allFaultKinds) {
        if (name == faultName(candidate)) {
            kind = candidate;
            return true;
        }
    }
    return false;
}

bool isStatusFault(FaultKind kind)
{
    return kind == FaultKind::Drop || kind == FaultKind::Duplicate || kind == FaultKind::Garbage;
}

std::string Fault::describe() const
{
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", at);
    std::string text = std::string(seconds) + " " + faultName(kind) + (isStatusFault(kind) ? " status" : " connection");
    switch (kind) {
    case FaultKind::Latency:
        return text + " +" + std::to_string(amount) + " ms for " + std::to_string(lastingMs) + " ms";
    case FaultKind::Stall:
    case FaultKind::SlowRead:
        return text + " " + std::to_string(amount) + " ms";
    case FaultKind::Flip:
        return text + " " + std::to_string(amount) + " bytes";
    case FaultKind::Drop:
    case FaultKind::Duplicate:
    case FaultKind::Garbage:
        return text + " " + std::to_string(amount) + " datagrams";
    case FaultKind::Reset:
    case FaultKind::Cut:
        break;
    }
    return text;
}

std::vector<Fault> makeSchedule(const ScheduleSettings& settings)
{
    std::mt19937_64 random(settings.seed);
    std::vector<FaultKind> sessionKinds, statusKinds;
    for (const FaultKind kind : settings.kinds) {
        auto& kinds = isStatusFault(kind) ? statusKinds : sessionKinds;
        if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) {
            kinds.push_back(kind);
        }
    }
    std::vector<Fault> schedule;
    // A stream of faults from `kinds` over [begin, end] seconds: at least one
    // of each, otherwise one per `every` seconds, one in each equal slot.
    const auto deal = [&](const std::vector<FaultKind>& kinds, double every, double begin, double end) {
        if (kinds.empty() || end <= begin) {
            return;
        }
        const auto byRate = every > 0 ? static_cast<std::size_t>((end - begin) / every) : 0;
        const std::size_t count = std::max(kinds.size(), byRate);
        const double slot = (end - begin) / static_cast<double>(count);
        std::vector<FaultKind> round;
        for (std::size_t i = 0; i < count; ++i) {
            if (round.empty()) {
                round = kinds;
                std::shuffle(round.begin(), round.end(), random);
            }
            Fault fault;
            fault.kind = round.back();
            round.pop_back();
            fault.at =
                begin + slot * (static_cast<double>(i) + std::uniform_real_distribution<double>(0.2, 0.8)(random));
            switch (fault.kind) {
            case FaultKind::Latency:
                fault.amount = uniform(random, 20, settings.latencyMaxMs);
                fault.lastingMs = uniform(random, 3000, 8000);
                break;
            case FaultKind::Stall:
                fault.amount = uniform(random, settings.stallMinMs, settings.stallMaxMs);
                break;
            case FaultKind::SlowRead:
                fault.amount = uniform(random, 3000, 8000);
                break;
            case FaultKind::Flip:
                fault.amount = uniform(random, 1, 4);
                break;
            case FaultKind::Drop:
            case FaultKind::Duplicate:
                fault.amount = uniform(random, 1, 5);
                break;
            case FaultKind::Garbage:
                fault.amount = uniform(random, 10, 50);
                break;
            case FaultKind::Reset:
            case FaultKind::Cut:
                break;
            }
            fault.detailSeed = random();
            schedule.push_back(fault);
        }
    };
    // The session's faults end early enough for the longest stall (or slow
    // reads, or latency) to be over, and the viewer back, before the end.
    const double longest = std::max({settings.stallMaxMs, 8000, 0}) / 1000.0;
    deal(sessionKinds, settings.faultEvery, 1.0, std::max(2.0, settings.duration - longest - 3.0));
    deal(statusKinds, settings.statusFaultEvery, 1.0, std::max(2.0, settings.duration - 3.0));
    std::stable_sort(schedule.begin(), schedule.end(), [](const Fault& a, const Fault& b) { return a.at < b.at; });
    return schedule;
}

struct FaultProxy::Private
{
    explicit Private(Settings s)
        : settings(std::move(s))
        , acceptor(io)
        , udpSocket(io)
        , scheduleTimer(io)
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

    void injected(const Fault& fault, const std::string& detail)
    {
        count([&](Counters& c) { ++c.injected[index(fault.kind)]; });
        emit(std::string(faultName(fault.kind)) + (detail.empty() ? "" : " " + detail));
    }

    std::shared_ptr<Link> newest() const
    {
        auto link = links.empty() ? nullptr : links.back().lock();
        return link && !link->closed ? link : nullptr;
    }

    awaitable<void> accept();
    awaitable<void> sonarToQueue(std::shared_ptr<Link> link);
    awaitable<void> queueToViewer(std::shared_ptr<Link> link);
    awaitable<void> viewerToSonar(std::shared_ptr<Link> link);
    awaitable<void> playSchedule();
    awaitable<void> relayStatus();
    void apply(const Fault& fault);
    void applyToLink(const Fault& fault, Link& link);
    void applyWaiting();
    void sendGarbage(const Fault& fault);
    void calmDown();

    Settings settings;
    const std::function<void(const std::string&)>* onEvent = nullptr;
    asio::io_context io;
    tcp::acceptor acceptor;
    tcp::endpoint upstream;
    udp::socket udpSocket;
    udp::endpoint forward;
    asio::steady_timer scheduleTimer;
    std::vector<std::weak_ptr<Link>> links;
    // Session faults due while no connection was up, applied to the next one.
    std::deque<Fault> waitingForLink;
    // Cuts and flips wait for the next chunk to the viewer, on any connection.
    std::deque<Fault> waitingForChunk;
    std::deque<DatagramFault> waitingForDatagram;
    std::optional<Clock::time_point> started;
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
        if (!calm) {
            applyWaiting();
        }
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
        if (error == asio::error::operation_aborted && !link->closed) {
            continue; // slow reads began: the read in progress was cancelled
        }
        if (error) {
            link->close(false);
            break;
        }
        const auto read = Clock::now();
        const auto due = read < link->latencyUntil ? read + milliseconds(link->latencyMs) : read;
        link->queue.push_back({due, {buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n)}});
        link->buffered += n;
        count([&](Counters& c) { c.mostBuffered = std::max(c.mostBuffered, link->buffered); });
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
        std::size_t length = chunk.bytes.size();
        std::optional<Fault> cut;
        std::string cutDetail;
        // The faults waiting for a chunk, in their order; a cut ends the chunk.
        while (!waitingForChunk.empty() && !cut) {
            const Fault fault = waitingForChunk.front();
            if (fault.kind == FaultKind::Cut && length < 2) {
                break; // nothing to cut short: the next chunk
            }
            waitingForChunk.pop_front();
            std::mt19937_64 detail(fault.detailSeed);
            if (fault.kind == FaultKind::Flip) {
                std::string where;
                for (int i = 0; i < fault.amount; ++i) {
                    const auto at = static_cast<std::size_t>(uniform(detail, 0, static_cast<int>(length) - 1));
                    chunk.bytes[at] ^= static_cast<std::uint8_t>(uniform(detail, 1, 255));
                    where += " " + std::to_string(at);
                }
                injected(fault, std::to_string(fault.amount) + " bytes of a " + std::to_string(length) +
                                    "-byte chunk at" + where);
            } else {
                cut = fault;
                const auto full = length;
                length = static_cast<std::size_t>(uniform(detail, 1, static_cast<int>(length) - 1));
                cutDetail = "after " + std::to_string(length) + " of " + std::to_string(full) + " bytes";
            }
        }
        boost::system::error_code error;
        co_await asio::async_write(link->viewer, asio::buffer(chunk.bytes.data(), length),
                                   asio::redirect_error(asio::use_awaitable, error));
        if (error) {
            if (cut) {
                waitingForChunk.push_front(*cut); // for the next connection's chunk
            }
            link->close(false);
            break;
        }
        count([length](Counters& c) { c.bytesToViewer += length; });
        if (cut) {
            injected(*cut, cutDetail);
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

void FaultProxy::Private::applyToLink(const Fault& fault, Link& link)
{
    const auto now = Clock::now();
    switch (fault.kind) {
    case FaultKind::Latency:
        link.latencyMs = fault.amount;
        link.latencyUntil = now + milliseconds(fault.lastingMs);
        injected(fault, std::to_string(fault.amount) + " ms for " + std::to_string(fault.lastingMs) + " ms");
        break;
    case FaultKind::Stall:
        link.stallUntil = now + milliseconds(fault.amount);
        injected(fault, std::to_string(fault.amount) + " ms");
        break;
    case FaultKind::Reset:
        injected(fault, "");
        link.close(true);
        break;
    case FaultKind::SlowRead:
        link.slowUntil = now + milliseconds(fault.amount);
        {
            // A read of a whole chunk may be waiting already: slow from now.
            boost::system::error_code ignored;
            link.sonar.cancel(ignored);
        }
        injected(fault, "for " + std::to_string(fault.amount) + " ms");
        break;
    default:
        break;
    }
    link.wake.cancel();
}

void FaultProxy::Private::applyWaiting()
{
    while (!waitingForLink.empty()) {
        const auto link = newest();
        if (!link) {
            return;
        }
        const Fault fault = waitingForLink.front();
        waitingForLink.pop_front();
        applyToLink(fault, *link);
    }
}

void FaultProxy::Private::apply(const Fault& fault)
{
    switch (fault.kind) {
    case FaultKind::Cut:
    case FaultKind::Flip:
        waitingForChunk.push_back(fault);
        if (const auto link = newest()) {
            link->wake.cancel();
        }
        break;
    case FaultKind::Drop:
    case FaultKind::Duplicate:
        waitingForDatagram.push_back({fault, std::max(1, fault.amount)});
        break;
    case FaultKind::Garbage:
        sendGarbage(fault);
        break;
    default:
        waitingForLink.push_back(fault);
        applyWaiting();
        break;
    }
}

awaitable<void> FaultProxy::Private::playSchedule()
{
    for (const Fault& fault : settings.schedule) {
        boost::system::error_code ignored;
        // Due at its time after the start; while calm, it waits for the end
        // of calm (and so counts as not injected if calm lasts).
        while (!stopping && (!started || calm ||
                             Clock::now() < *started + std::chrono::duration_cast<Clock::duration>(
                                                           std::chrono::duration<double>(fault.at)))) {
            scheduleTimer.expires_at(started && !calm ? *started + std::chrono::duration_cast<Clock::duration>(
                                                                       std::chrono::duration<double>(fault.at))
                                                      : Clock::time_point::max());
            co_await scheduleTimer.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
        }
        if (stopping) {
            co_return;
        }
        count([&](Counters& c) { ++c.due[index(fault.kind)]; });
        apply(fault);
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
        int copies = 1;
        if (!calm && !waitingForDatagram.empty()) {
            DatagramFault& current = waitingForDatagram.front();
            copies = current.fault.kind == FaultKind::Drop ? 0 : 2;
            if (--current.left == 0) {
                injected(current.fault, std::to_string(current.fault.amount) + " datagrams");
                waitingForDatagram.pop_front();
            }
        }
        for (int i = 0; i < copies; ++i) {
            udpSocket.send_to(asio::buffer(buffer.data(), n), forward, 0, error);
        }
        count([](Counters& c) { ++c.datagramsRelayed; });
    }
}

void FaultProxy::Private::sendGarbage(const Fault& fault)
{
    if (!udpSocket.is_open()) {
        emit("garbage: no status relay");
        return;
    }
    std::mt19937_64 detail(fault.detailSeed);
    std::vector<std::uint8_t> datagram;
    for (int i = 0; i < fault.amount; ++i) {
        // Around the status datagram's 142 bytes: short ones leave fields
        // missing, long ones carry a tail.
        datagram.resize(static_cast<std::size_t>(uniform(detail, 16, 200)));
        for (auto& byte : datagram) {
            byte = static_cast<std::uint8_t>(uniform(detail, 0, 255));
        }
        std::copy(statusMagic.begin(), statusMagic.end(), datagram.begin());
        boost::system::error_code error;
        udpSocket.send_to(asio::buffer(datagram), forward, 0, error);
    }
    injected(fault, std::to_string(fault.amount) + " datagrams");
}

void FaultProxy::Private::calmDown()
{
    for (const auto& weak : links) {
        if (const auto link = weak.lock()) {
            link->stallUntil = link->latencyUntil = link->slowUntil = {};
            for (auto& chunk : link->queue) {
                chunk.due = {};
            }
            link->wake.cancel();
        }
    }
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
    asio::post(d->io, [this] {
        if (!d->calm && !d->started) {
            d->started = Clock::now();
        }
    });
    asio::co_spawn(d->io, d->accept(), asio::detached);
    asio::co_spawn(d->io, d->playSchedule(), asio::detached);
    asio::co_spawn(d->io, d->relayStatus(), asio::detached);
    d->io.run();
}

void FaultProxy::stop()
{
    asio::post(d->io, [this] {
        d->stopping = true;
        boost::system::error_code ignored;
        d->acceptor.close(ignored);
        d->udpSocket.close(ignored);
        d->scheduleTimer.cancel();
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
        } else {
            if (!d->started) {
                d->started = Clock::now();
            }
            d->applyWaiting();
        }
        d->scheduleTimer.cancel();
    });
}

void FaultProxy::inject(const Fault& fault)
{
    asio::post(d->io, [this, fault] { d->apply(fault); });
}

Counters FaultProxy::counters() const
{
    std::lock_guard lock(d->countersMutex);
    return d->counters;
}

} // namespace Keldar::FaultProxy
