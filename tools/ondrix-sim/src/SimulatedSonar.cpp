#include <keldar/sim/SimulatedSonar.h>

#include <keldar/core/DottedQuadValue.h>
#include <keldar/ondrix/MessageBuilding.h>
#include <keldar/ondrix/MessageType.h>
#include <keldar/ondrix/ModelSpecs.h>
#include <keldar/ondrix/ProtocolLayout.h>
#include <keldar/sim/SonarImageGenerator.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

namespace Keldar::Sim {

namespace Layout = Ondrix::ProtocolLayout;
using Clock = std::chrono::steady_clock;

namespace {

sockaddr_in makeAddress(const std::string& text, std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (::inet_pton(AF_INET, text.c_str(), &address.sin_addr) != 1) {
        throw std::invalid_argument("not an IPv4 address: " + text);
    }
    return address;
}

std::system_error lastError(const char* what)
{
    return {errno, std::generic_category(), what};
}

template<typename T>
T readAt(const std::vector<std::byte>& bytes, std::size_t offset)
{
    T value{};
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

double pingRateHz(std::uint8_t code)
{
    switch (code) {
    case 0:
        return 10.0;
    case 1:
        return 15.0;
    case 2:
        return 40.0;
    case 3:
        return 5.0;
    case 4:
        return 2.0;
    default:
        return 15.0;
    }
}

class EventFd
{
public:
    EventFd()
        : m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
    {
        if (m_fd < 0) {
            throw lastError("eventfd");
        }
    }
    ~EventFd() { ::close(m_fd); }
    EventFd(const EventFd&) = delete;
    EventFd& operator=(const EventFd&) = delete;
    int fd() const { return m_fd; }
    void notify() const
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(m_fd, &one, sizeof one);
    }
    void drain() const
    {
        std::uint64_t value = 0;
        [[maybe_unused]] auto n = ::read(m_fd, &value, sizeof value);
    }

private:
    int m_fd;
};

} // namespace

struct SimulatedSonar::Private
{
    SimulatedSonarConfig config; // fixed parts; the mutable ones live below
    SonarImageGenerator generator;
    Clock::time_point startTime = Clock::now();

    mutable std::mutex mutex; // guards everything below up to the threads
    SimulatedStatus status;
    SimulatedSonarCounters counters;
    std::optional<std::vector<std::byte>> lastFire;
    SimulatedNetworkConfig network;
    Clock::time_point statusPausedUntil{};
    bool dropRequested = false;
    std::vector<std::byte> injected; // raw bytes to write before anything else
    std::size_t splitSize = 0;
    std::size_t firesToIgnore = 0;
    bool ignorePacing = false;
    bool ignoreNetworkConfig = false;
    bool refuseNetworkChanges = false;
    bool clientConnected = false;

    std::atomic<bool> running{false};
    std::atomic<std::uint16_t> boundPort{0};
    int listenFd = -1;
    EventFd wakeup;       // the server thread's
    EventFd statusWakeup; // the status thread's: each thread drains its own
    std::thread statusThread;
    std::thread serverThread;

    // Cached image, so that a fast stream does not spend its time generating.
    struct CacheKey
    {
        std::uint16_t beams = 0;
        std::uint16_t ranges = 0;
        double range = 0;
        double gain = 0;
        std::int64_t frame = -1;
        bool operator==(const CacheKey&) const = default;
    };
    CacheKey cacheKey;
    SonarImage cachedImage;
    // The whole message for cacheKey (and the frequency asked for): a stream
    // that ignores pacing resends it until the scene moves on, 10 times a
    // second; a paced one builds every result afresh (attitude, readings).
    std::uint8_t cachedFrequencyCode = 0;
    std::vector<std::byte> cachedMessage;

    explicit Private(SimulatedSonarConfig c)
        : config(std::move(c))
        , generator(config.seed)
    {
        status = config.status;
        network = {false, config.address, config.subnetMask};
        splitSize = config.splitSize;
        ignorePacing = config.ignorePacing;
    }

    double elapsedSeconds() const { return std::chrono::duration<double>(Clock::now() - startTime).count(); }

    void openListener();
    void closeListener();
    void statusLoop();
    void serverLoop();
    std::vector<std::byte> buildStatus();
    const std::vector<std::byte>& buildPingResult(const std::vector<std::byte>& fire);
    std::vector<std::byte> handleUserConfig(const std::vector<std::byte>& message);
    bool sendAll(int fd, const std::vector<std::byte>& bytes);
};

void SimulatedSonar::Private::openListener()
{
    const sockaddr_in address = makeAddress(config.address, boundPort.load() != 0 ? boundPort.load() : config.tcpPort);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        throw lastError("socket");
    }
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0) {
        const auto error = lastError("bind");
        ::close(fd);
        throw error;
    }
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    boundPort = ntohs(bound.sin_port);
    listenFd = fd;
}

void SimulatedSonar::Private::closeListener()
{
    if (listenFd >= 0) {
        ::close(listenFd);
        listenFd = -1;
    }
}

std::vector<std::byte> SimulatedSonar::Private::buildStatus()
{
    Ondrix::StatusFields f;
    std::lock_guard lock(mutex);
    f.serialNumber = config.serialNumber;
    f.partNumber = static_cast<Ondrix::ModelNumber>(config.partNumber);
    std::uint32_t word = 4; // main state: running
    if (status.brownoutPause || status.magSwitchPause) {
        word = 1U | ((status.brownoutPause ? 6U : 0U) << Layout::Status::pauseReasonShift);
    }
    const std::uint32_t temperature = status.overheated ? 3U : (status.overheatWarning ? 1U : 0U);
    word |= temperature << Layout::Status::temperatureStateShift;
    if (status.transmitFailure) {
        word |= Layout::Status::transmitFailureBit;
    }
    if (status.hasAhrs) {
        word |= Layout::Status::firstCapabilityBit;
    }
    if (status.hasPressureSensor) {
        word |= Layout::Status::secondCapabilityBit;
    }
    f.statusWord = word;
    f.firmwareVersion = config.firmwareVersion;
    f.ipAddress = DottedQuadValue(network.address, false).toUint32_t(false);
    f.subnetMask = DottedQuadValue(network.subnetMask, false).toUint32_t(false);
    f.connectionRefusal = status.refuseConnections ? 1U : 0U;
    const double t = elapsedSeconds();
    f.internalTemperature =
        (status.overheated ? 78.0 : (status.overheatWarning ? 66.0 : 38.0)) + 0.5 * std::sin(t / 30.0);
    f.waterTemperature = 12.5 + 0.3 * std::sin(t / 60.0);
    f.pressure = 1.3 + 0.05 * std::sin(t / 45.0);
    return Ondrix::MessageBuilding::buildStatusDatagram(f);
}

void SimulatedSonar::Private::statusLoop()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return;
    }
    // Send from the sonar's own loopback address, like a real one would.
    sockaddr_in local = makeAddress(config.address, 0);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local);
    const sockaddr_in destination = makeAddress(config.statusDestination, config.statusPort);

    auto next = Clock::now();
    while (running.load()) {
        if (Clock::now() >= next) {
            bool paused = false;
            {
                std::lock_guard lock(mutex);
                paused = Clock::now() < statusPausedUntil;
                counters.statusDatagramsWithheld += paused ? 1U : 0U;
            }
            if (!paused) {
                const auto datagram = buildStatus();
                ::sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&destination),
                         sizeof destination);
                std::lock_guard lock(mutex);
                ++counters.statusDatagramsSent;
            }
            next += config.statusInterval;
            if (next < Clock::now()) {
                next = Clock::now() + config.statusInterval; // fell behind: do not burst
            }
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
        pollfd pfd{statusWakeup.fd(), POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(std::max<long long>(0, wait))) > 0) {
            statusWakeup.drain();
        }
    }
    ::close(fd);
}

const std::vector<std::byte>& SimulatedSonar::Private::buildPingResult(const std::vector<std::byte>& fire)
{
    namespace F = Layout::FireRequest;
    const auto frequencyCode = readAt<std::uint8_t>(fire, F::frequency);
    const auto flags = readAt<std::uint8_t>(fire, F::flags);
    const double range = readAt<double>(fire, F::range);
    const double gain = readAt<double>(fire, F::gain);
    const bool fullBeams = (flags & F::flagFullBeams) != 0;

    const Ondrix::ModelSpec spec =
        Ondrix::ModelSpecs::getModelSpec(static_cast<Ondrix::ModelNumber>(config.partNumber));
    const double frequencyHz = 1000.0 * (frequencyCode == 2 ? spec.secondFrequency : spec.firstFrequency);

    const double t = elapsedSeconds();
    CacheKey key{static_cast<std::uint16_t>(fullBeams ? 512 : 256), config.rangeLines, range, gain,
                 static_cast<std::int64_t>(std::floor(t * 10.0))};
    bool fast = false;
    {
        std::lock_guard lock(mutex);
        fast = ignorePacing;
    }
    const bool sameScene = key == cacheKey;
    if (fast && sameScene && frequencyCode == cachedFrequencyCode && !cachedMessage.empty()) {
        return cachedMessage;
    }
    if (!sameScene) {
        const double safeRange = std::isfinite(range) && range > 0.0 ? range : 1.0;
        cachedImage = generator.generate(key.beams, key.ranges, safeRange, gain, t);
        cacheKey = key;
    }
    cachedFrequencyCode = frequencyCode;

    Ondrix::MessageBuilding::ImageDescription image;
    image.sourceId = static_cast<std::uint16_t>(config.serialNumber & 0xFFFFU);
    image.partNumber = static_cast<Ondrix::ModelNumber>(config.partNumber);
    image.beams = key.beams;
    image.ranges = key.ranges;
    image.range = range;
    image.gain = gain;
    image.frequency = frequencyHz;
    image.bearings = cachedImage.bearings;
    image.samples = cachedImage.samples;
    image.fourBitSamples = config.fourBitSamples;
    image.temperature = 12.5 + 0.3 * std::sin(t / 60.0);
    image.pressure = 1.3 + 0.05 * std::sin(t / 45.0);
    image.echoValue = 0.0;
    // Pitch and roll drift slowly, in degrees.
    image.attitudeFirst = 3.0 * std::sin(t / 7.0);
    image.attitudeSecond = 5.0 * std::sin(t / 11.0);
    cachedMessage = config.resultVersion == 2 ? Ondrix::MessageBuilding::buildSimplePingResultV2(image)
                                              : Ondrix::MessageBuilding::buildSimplePingResult(image, 1);
    return cachedMessage;
}

std::vector<std::byte> SimulatedSonar::Private::handleUserConfig(const std::vector<std::byte>& message)
{
    namespace U = Layout::UserConfig;
    std::lock_guard lock(mutex);
    const bool query =
        message.size() < U::size || std::all_of(message.begin() + Layout::Header::size, message.begin() + U::size,
                                                [](std::byte b) { return b == std::byte{0}; });
    if (query) {
        ++counters.userConfigQueries;
    } else if (refuseNetworkChanges) {
        ++counters.userConfigsRefused;
    } else {
        ++counters.userConfigsApplied;
        const bool dhcp = readAt<std::uint32_t>(message, U::dhcp) != 0;
        const std::string address = DottedQuadValue(readAt<std::uint32_t>(message, U::ipAddress), true).toString(false);
        const std::string mask = DottedQuadValue(readAt<std::uint32_t>(message, U::subnetMask), true).toString(false);
        network.dhcp = dhcp;
        // The simulator lives on loopback: it takes on only loopback addresses,
        // so that nothing it advertises can send a viewer onto a real network.
        if (!dhcp && SimulatedSonar::isLoopback(address)) {
            network.address = address;
            network.subnetMask = mask;
        }
    }
    return Ondrix::MessageBuilding::buildUserConfigReply(
        static_cast<std::uint16_t>(config.serialNumber & 0xFFFFU), static_cast<Ondrix::ModelNumber>(config.partNumber),
        network.dhcp, DottedQuadValue(network.address, true).toUint32_t(false),
        DottedQuadValue(network.subnetMask, true).toUint32_t(false));
}

bool SimulatedSonar::Private::sendAll(int fd, const std::vector<std::byte>& bytes)
{
    std::size_t split = 0;
    {
        std::lock_guard lock(mutex);
        split = splitSize;
    }
    std::size_t offset = 0;
    while (offset < bytes.size()) {
        const std::size_t piece = split > 0 ? std::min(split, bytes.size() - offset) : bytes.size() - offset;
        const ssize_t n = ::send(fd, bytes.data() + offset, piece, MSG_NOSIGNAL);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            return false;
        }
        offset += static_cast<std::size_t>(n);
        if (split > 0 && offset < bytes.size()) {
            std::this_thread::sleep_for(config.splitPause);
        }
    }
    return true;
}

void SimulatedSonar::Private::serverLoop()
{
    int client = -1;
    std::vector<std::byte> received;
    std::deque<std::vector<std::byte>> pendingFires;
    auto nextPingAllowed = Clock::now();

    auto closeClient = [&] {
        if (client >= 0) {
            ::close(client);
            client = -1;
        }
        received.clear();
        pendingFires.clear();
        std::lock_guard lock(mutex);
        clientConnected = false;
    };

    while (running.load()) {
        bool refuse = false;
        bool drop = false;
        std::vector<std::byte> inject;
        bool pacing = true;
        {
            std::lock_guard lock(mutex);
            refuse = status.refuseConnections;
            drop = std::exchange(dropRequested, false);
            inject.swap(injected);
            pacing = !ignorePacing;
        }
        if (refuse && listenFd >= 0) {
            closeListener();
            closeClient();
        } else if (!refuse && listenFd < 0) {
            try {
                openListener();
            } catch (const std::exception&) {
                // Port briefly unavailable: try again on the next pass.
            }
        }
        if (drop) {
            closeClient();
        }
        if (client >= 0 && !inject.empty() && !sendAll(client, inject)) {
            closeClient();
        }

        // Answer a fire request when its ping is due.
        int timeoutMs = 200;
        if (client >= 0 && !pendingFires.empty()) {
            const auto now = Clock::now();
            if (!pacing || now >= nextPingAllowed) {
                const auto fire = std::move(pendingFires.front());
                pendingFires.pop_front();
                const double hz = pingRateHz(readAt<std::uint8_t>(fire, Layout::FireRequest::pingRate));
                nextPingAllowed = std::max(now, nextPingAllowed) +
                                  std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / hz));
                if (sendAll(client, buildPingResult(fire))) {
                    std::lock_guard lock(mutex);
                    ++counters.pingResultsSent;
                } else {
                    closeClient();
                }
                timeoutMs = 0;
            } else {
                timeoutMs =
                    static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(nextPingAllowed - now).count());
            }
        }

        std::array<pollfd, 3> fds{{{wakeup.fd(), POLLIN, 0}, {listenFd, POLLIN, 0}, {client, POLLIN, 0}}};
        ::poll(fds.data(), fds.size(), timeoutMs);
        if (fds[0].revents != 0) {
            wakeup.drain();
        }
        if (listenFd >= 0 && fds[1].revents != 0) {
            const int incoming = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (incoming >= 0) {
                if (client >= 0) {
                    ::close(incoming); // one session at a time, like the real thing
                } else {
                    client = incoming;
                    const int on = 1;
                    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
                    std::lock_guard lock(mutex);
                    ++counters.connectionsAccepted;
                    clientConnected = true;
                }
            }
        }
        if (client >= 0 && fds[2].revents != 0) {
            std::array<std::byte, 4096> chunk{};
            const ssize_t n = ::recv(client, chunk.data(), chunk.size(), MSG_DONTWAIT);
            if (n <= 0) {
                if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                    closeClient();
                }
                continue;
            }
            received.insert(received.end(), chunk.begin(), chunk.begin() + n);
            while (received.size() >= Layout::Header::size) {
                if (readAt<std::uint16_t>(received, 0) != Layout::Header::magicValue) {
                    received.clear();
                    break;
                }
                const std::uint64_t length =
                    std::uint64_t{readAt<std::uint32_t>(received, Layout::Header::payloadSize)} + Layout::Header::size;
                if (length > 65536) {
                    received.clear();
                    break;
                }
                if (received.size() < length) {
                    break;
                }
                std::vector<std::byte> message(received.begin(),
                                               received.begin() + static_cast<std::ptrdiff_t>(length));
                received.erase(received.begin(), received.begin() + static_cast<std::ptrdiff_t>(length));
                const auto id = readAt<std::uint16_t>(message, Layout::Header::messageId);
                if (id == static_cast<std::uint16_t>(Ondrix::MessageType::SimpleFire) &&
                    message.size() >= Layout::FireRequest::size) {
                    bool ignore = false;
                    {
                        std::lock_guard lock(mutex);
                        ++counters.fireRequests;
                        lastFire = message;
                        if (firesToIgnore > 0) {
                            --firesToIgnore;
                            ignore = true;
                        }
                    }
                    if (!ignore) {
                        pendingFires.push_back(std::move(message));
                    }
                } else if (id == static_cast<std::uint16_t>(Ondrix::MessageType::UserConfig)) {
                    {
                        std::lock_guard lock(mutex);
                        if (ignoreNetworkConfig) {
                            ++counters.userConfigsIgnored;
                            continue;
                        }
                    }
                    if (!sendAll(client, handleUserConfig(message))) {
                        closeClient();
                        break;
                    }
                }
            }
        }
    }
    closeClient();
}

SimulatedSonar::SimulatedSonar(SimulatedSonarConfig config)
{
    if (!isLoopback(config.address)) {
        throw std::invalid_argument("the simulated sonar's address must be a loopback address (127.x.x.x)");
    }
    if (!isLoopback(config.statusDestination)) {
        throw std::invalid_argument("status datagrams may only be sent to a loopback address (127.x.x.x)");
    }
    if (config.resultVersion != 1 && config.resultVersion != 2) {
        throw std::invalid_argument("the ping result version must be 1 or 2");
    }
    d = std::make_unique<Private>(std::move(config));
}

SimulatedSonar::~SimulatedSonar()
{
    stop();
}

void SimulatedSonar::start()
{
    if (d->running.load()) {
        return;
    }
    if (!d->status.refuseConnections) {
        d->openListener();
    }
    d->running = true;
    d->startTime = Clock::now();
    d->serverThread = std::thread([this] { d->serverLoop(); });
    d->statusThread = std::thread([this] { d->statusLoop(); });
}

void SimulatedSonar::stop()
{
    d->running = false;
    d->wakeup.notify();
    d->statusWakeup.notify();
    if (d->serverThread.joinable()) {
        d->serverThread.join();
    }
    if (d->statusThread.joinable()) {
        d->statusThread.join();
    }
    d->closeListener();
}

std::uint16_t SimulatedSonar::tcpPort() const
{
    return d->boundPort.load() != 0 ? d->boundPort.load() : d->config.tcpPort;
}

std::uint32_t SimulatedSonar::serialNumber() const
{
    return d->config.serialNumber;
}

void SimulatedSonar::setStatus(const SimulatedStatus& status)
{
    {
        std::lock_guard lock(d->mutex);
        d->status = status;
    }
    d->wakeup.notify();
}

SimulatedStatus SimulatedSonar::getStatus() const
{
    std::lock_guard lock(d->mutex);
    return d->status;
}

void SimulatedSonar::pauseStatus(std::chrono::milliseconds duration)
{
    std::lock_guard lock(d->mutex);
    d->statusPausedUntil = Clock::now() + duration;
}

void SimulatedSonar::dropConnection()
{
    {
        std::lock_guard lock(d->mutex);
        d->dropRequested = true;
    }
    d->wakeup.notify();
}

void SimulatedSonar::sendGarbage(std::size_t bytes)
{
    {
        std::lock_guard lock(d->mutex);
        // Never the first byte of the magic, so the garbage cannot pose as a header.
        for (std::size_t i = 0; i < bytes; ++i) {
            auto value = static_cast<std::uint8_t>((i * 37U + 11U) & 0xFFU);
            d->injected.push_back(std::byte{value == 0x7C ? std::uint8_t{0x4F} : value});
        }
    }
    d->wakeup.notify();
}

void SimulatedSonar::sendOversizedHeader()
{
    std::vector<std::byte> header(Layout::Header::size, std::byte{0});
    const std::uint16_t magic = Layout::Header::magicValue;
    const std::uint16_t id = static_cast<std::uint16_t>(Ondrix::MessageType::SimplePingResult);
    const std::uint32_t payload = 0xFFFFFFF0U;
    std::memcpy(header.data() + Layout::Header::magic, &magic, sizeof magic);
    std::memcpy(header.data() + Layout::Header::messageId, &id, sizeof id);
    std::memcpy(header.data() + Layout::Header::payloadSize, &payload, sizeof payload);
    {
        std::lock_guard lock(d->mutex);
        d->injected.insert(d->injected.end(), header.begin(), header.end());
    }
    d->wakeup.notify();
}

void SimulatedSonar::ignoreFireRequests(std::size_t count)
{
    std::lock_guard lock(d->mutex);
    d->firesToIgnore = count;
}

void SimulatedSonar::setSplitSize(std::size_t bytes)
{
    std::lock_guard lock(d->mutex);
    d->splitSize = bytes;
}

void SimulatedSonar::setIgnorePacing(bool ignore)
{
    std::lock_guard lock(d->mutex);
    d->ignorePacing = ignore;
}

void SimulatedSonar::setIgnoreNetworkConfig(bool ignore)
{
    std::lock_guard lock(d->mutex);
    d->ignoreNetworkConfig = ignore;
}

void SimulatedSonar::setRefuseNetworkChanges(bool refuse)
{
    std::lock_guard lock(d->mutex);
    d->refuseNetworkChanges = refuse;
}

SimulatedSonarCounters SimulatedSonar::counters() const
{
    std::lock_guard lock(d->mutex);
    return d->counters;
}

std::optional<std::vector<std::byte>> SimulatedSonar::lastFireRequest() const
{
    std::lock_guard lock(d->mutex);
    return d->lastFire;
}

std::optional<SimulatedFireRequest> SimulatedSonar::lastFireParameters() const
{
    std::lock_guard lock(d->mutex);
    if (!d->lastFire) {
        return std::nullopt;
    }
    return decodeFireRequest(*d->lastFire);
}

SimulatedFireRequest SimulatedSonar::decodeFireRequest(const std::vector<std::byte>& message)
{
    namespace F = Layout::FireRequest;
    if (message.size() < F::size) {
        throw std::invalid_argument("shorter than a fire request");
    }
    const auto flags = readAt<std::uint8_t>(message, F::flags);
    SimulatedFireRequest request;
    request.range = readAt<double>(message, F::range);
    request.gain = readAt<double>(message, F::gain);
    request.frequency = readAt<std::uint8_t>(message, F::frequency);
    request.pingRate = readAt<std::uint8_t>(message, F::pingRate);
    request.bandwidth = readAt<std::uint8_t>(message, F::bandwidth);
    request.gamma = readAt<std::uint8_t>(message, F::gamma);
    request.gainAssist = (flags & F::flagGainAssist) != 0;
    request.lowPower = (flags & F::flagLowPower) != 0;
    request.fullBeams = (flags & F::flagFullBeams) != 0;
    request.onDemand = (flags & F::flagOnDemand) != 0;
    request.gainBoost = (readAt<std::uint32_t>(message, F::extendedFlags) & F::extendedFlagGainBoost) != 0;
    return request;
}

SimulatedNetworkConfig SimulatedSonar::networkConfig() const
{
    std::lock_guard lock(d->mutex);
    return d->network;
}

bool SimulatedSonar::hasClient() const
{
    std::lock_guard lock(d->mutex);
    return d->clientConnected;
}

bool SimulatedSonar::isLoopback(const std::string& address)
{
    in_addr parsed{};
    if (::inet_pton(AF_INET, address.c_str(), &parsed) != 1) {
        return false;
    }
    return (ntohl(parsed.s_addr) >> 24U) == 127U;
}

std::vector<std::byte> madeUpStatusDatagram(std::uint32_t serialNumber, std::uint32_t claimedAddress)
{
    Ondrix::StatusFields fields;
    fields.serialNumber = serialNumber;
    fields.partNumber = static_cast<Ondrix::ModelNumber>(1032);
    fields.ipAddress = claimedAddress;
    fields.subnetMask = 0x00FFFFFF;
    return Ondrix::MessageBuilding::buildStatusDatagram(fields);
}

} // namespace Keldar::Sim
