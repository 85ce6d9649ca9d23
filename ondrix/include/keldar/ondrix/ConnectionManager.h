#pragma once

#include <keldar/core/Signal.h>
#include <keldar/ondrix/OndrixSonar.h>
#include <keldar/ondrix/SonarTypes.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

namespace Keldar::Ondrix::Utilities {

/// The library's front door: listens for status datagrams, keeps the table of
/// visible sonars (serial number to DeviceInfo) and hands out connected
/// OndrixSonar objects. The table may be read from any thread.
class ConnectionManager : public Observer
{
public:
    using VisibleSonars = std::unordered_map<std::uint32_t, DeviceInfo>;

    struct Settings
    {
        std::string listenAddress = "0.0.0.0";
        std::uint16_t statusPort = 52102;
        std::uint16_t sonarPort = 52100;
        std::chrono::milliseconds tickPeriod{2000};
        std::chrono::milliseconds connectWait{2100};
    };

    static constexpr std::chrono::milliseconds expiry{3000};
    /// At most this many sonars are listed; a new one beyond it replaces the
    /// one heard longest ago.
    static constexpr std::size_t maxVisibleSonars = 64;

    ConnectionManager();
    explicit ConnectionManager(Settings settings);
    /// Stops the listener before the table goes away. Every OndrixSonar from
    /// getSonar() must be destroyed before the manager.
    ~ConnectionManager() override;
    ConnectionManager(const ConnectionManager&) = delete;
    ConnectionManager& operator=(const ConnectionManager&) = delete;

    /// Emitted on the listener thread with a snapshot of the whole table when
    /// a sonar appears, changes its connectable state or is dropped.
    Signal<const VisibleSonars&> visibleSonarsChanged;

    void startListening();
    /// A copy of the table, safe to call from any thread.
    [[nodiscard]] VisibleSonars getVisibleSonars() const;
    /// Connects to a visible sonar (waiting up to the connect wait); empty when
    /// the serial number is not visible or the sonar does not accept.
    [[nodiscard]] std::unique_ptr<OndrixSonar> getSonar(std::uint32_t serialNumber);

    [[nodiscard]] const Status::StatusSocketThread& getStatusListener() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Keldar::Ondrix::Utilities
