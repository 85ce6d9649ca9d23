#pragma once

#include <keldar/navigation/NmeaTrackSimulator.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace Keldar::Sim {

/// Sends GGA, RMC, HDT, VTG and ZDA along a simulated track as UDP datagrams
/// to a loopback address, ten times a second, on a thread of its own.
class NmeaSender
{
public:
    /// `endpoint` is "udp:ADDRESS:PORT" (ADDRESS in 127.0.0.0/8) or
    /// "udp:PORT" for 127.0.0.1; throws std::invalid_argument otherwise.
    NmeaSender(const std::string& endpoint, Navigation::NmeaTrackSimulator::Settings track);
    ~NmeaSender();
    NmeaSender(const NmeaSender&) = delete;
    NmeaSender& operator=(const NmeaSender&) = delete;

    void start();
    void stop();
    [[nodiscard]] std::uint64_t datagramsSent() const { return sent_.load(); }

private:
    void run();

    std::string address_;
    std::uint16_t port_ = 0;
    Navigation::NmeaTrackSimulator track_;
    std::atomic<bool> stopping_{false};
    std::atomic<std::uint64_t> sent_{0};
    std::thread thread_;
};

} // namespace Keldar::Sim
