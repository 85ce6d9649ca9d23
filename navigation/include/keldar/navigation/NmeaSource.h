#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace Keldar::Navigation {

/// Where NMEA comes from: "udp:PORT" (or "udp:ADDRESS:PORT" to bind one
/// address), "tcp:HOST:PORT" (a client), "serial:PATH:BAUD".
struct NmeaEndpoint
{
    enum class Kind : std::uint8_t {
        Udp,
        Tcp,
        Serial,
    };
    Kind kind = Kind::Udp;
    std::string host; // UDP: address to bind (empty: any); TCP: server
    std::uint16_t port = 10110;
    std::string device;
    unsigned baud = 4800;

    /// Throws std::invalid_argument with a readable reason.
    static NmeaEndpoint parse(const std::string& text);
    [[nodiscard]] std::string describe() const;
};

/// Reads sentences from an endpoint on a thread of its own and hands every
/// line to the callback on that thread with the time it arrived (ms since
/// the Unix epoch). TCP and serial reconnect after a second when they fail.
/// Lines longer than an NMEA sentence can be are dropped, so a flood never
/// grows memory.
class NmeaSource
{
public:
    using LineCallback = std::function<void(const std::string& line, std::int64_t receivedMs)>;

    NmeaSource(NmeaEndpoint endpoint, LineCallback callback);
    ~NmeaSource(); // stops and joins the thread
    NmeaSource(const NmeaSource&) = delete;
    NmeaSource& operator=(const NmeaSource&) = delete;

    /// Opens the endpoint (UDP binds here, so that a busy port fails at once
    /// with std::runtime_error) and starts the thread.
    void start();
    void stop();

    /// The UDP port actually bound (for port 0).
    [[nodiscard]] std::uint16_t boundPort() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace Keldar::Navigation
