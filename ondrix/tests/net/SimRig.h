#pragma once

// A simulated sonar and a connection manager wired together over loopback on
// free ports, with a short listener tick so that tests need not wait long.

#include "NetTestSupport.h"

#include <keldar/ondrix/ConnectionManager.h>
#include <keldar/ondrix/OndrixSonar.h>
#include <keldar/sim/SimulatedSonar.h>

#include <memory>

namespace NetTest {

inline Keldar::Sim::SimulatedSonarConfig simConfig(std::uint16_t statusPort)
{
    Keldar::Sim::SimulatedSonarConfig config;
    config.address = "127.0.0.2";
    config.tcpPort = 0;
    config.statusDestination = "127.0.0.1";
    config.statusPort = statusPort;
    config.statusInterval = std::chrono::milliseconds(100);
    config.rangeLines = 50;
    return config;
}

class SimRig
{
public:
    explicit SimRig(const std::function<void(Keldar::Sim::SimulatedSonarConfig&)>& adjust = {},
                    std::chrono::milliseconds tick = std::chrono::milliseconds(250),
                    std::chrono::milliseconds connectWait = std::chrono::milliseconds(2100))
        : statusPort(freeUdpPort())
        , sim(makeConfig(statusPort, adjust))
    {
        sim.start();
        manager = std::make_unique<Keldar::Ondrix::Utilities::ConnectionManager>(
            Keldar::Ondrix::Utilities::ConnectionManager::Settings{"127.0.0.1", statusPort, sim.tcpPort(), tick,
                                                                   connectWait});
        manager->startListening();
    }
    ~SimRig()
    {
        sonar.reset(); // the device must go before the manager it listens to
        manager.reset();
        sim.stop();
    }
    SimRig(const SimRig&) = delete;
    SimRig& operator=(const SimRig&) = delete;

    bool waitVisible(std::chrono::milliseconds timeout = std::chrono::milliseconds(3000))
    {
        return waitUntil([&] { return manager->getVisibleSonars().count(sim.serialNumber()) == 1; }, timeout);
    }

    // Waits for discovery, then connects.
    Keldar::Ondrix::OndrixSonar* connect()
    {
        if (!waitVisible()) {
            return nullptr;
        }
        sonar = manager->getSonar(sim.serialNumber());
        return sonar.get();
    }

    std::uint16_t statusPort;
    Keldar::Sim::SimulatedSonar sim;
    std::unique_ptr<Keldar::Ondrix::Utilities::ConnectionManager> manager;
    std::unique_ptr<Keldar::Ondrix::OndrixSonar> sonar;

private:
    static Keldar::Sim::SimulatedSonarConfig
    makeConfig(std::uint16_t statusPort, const std::function<void(Keldar::Sim::SimulatedSonarConfig&)>& adjust)
    {
        auto config = simConfig(statusPort);
        if (adjust) {
            adjust(config);
        }
        return config;
    }
};

} // namespace NetTest
