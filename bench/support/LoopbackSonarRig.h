#pragma once

#include <keldar/ondrix/ConnectionManager.h>
#include <keldar/sim/LoopbackPort.h>
#include <keldar/sim/SimulatedSonar.h>

#include <sys/socket.h>

#include <chrono>
#include <cstdint>

namespace Keldar::Bench {

// The viewer benchmarks' sonar: one simulated sonar with 1000 range lines on
// 127.0.0.2, talking to a viewer that listens on free loopback ports, never on
// the sonars' own.
struct LoopbackSonarRig
{
    std::uint16_t statusPort = Sim::freeLoopbackPort(SOCK_DGRAM);
    std::uint16_t sonarPort = Sim::freeLoopbackPort(SOCK_STREAM);

    [[nodiscard]] Ondrix::Utilities::ConnectionManager::Settings network() const
    {
        Ondrix::Utilities::ConnectionManager::Settings settings;
        settings.listenAddress = "127.0.0.1";
        settings.statusPort = statusPort;
        settings.sonarPort = sonarPort;
        return settings;
    }

    [[nodiscard]] Sim::SimulatedSonarConfig sonar(std::uint32_t serialNumber) const
    {
        Sim::SimulatedSonarConfig config;
        config.serialNumber = serialNumber;
        config.address = "127.0.0.2";
        config.tcpPort = sonarPort;
        config.statusDestination = "127.0.0.1";
        config.statusPort = statusPort;
        config.statusInterval = std::chrono::milliseconds(250);
        config.rangeLines = 1000;
        return config;
    }
};

} // namespace Keldar::Bench
