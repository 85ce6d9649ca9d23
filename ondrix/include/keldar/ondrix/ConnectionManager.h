#pragma once

#include <keldar/core/Signal.h>
#include <keldar/ondrix/OndrixSonar.h>
#include <keldar/ondrix/SonarTypes.h>
#include <keldar/ondrix/VisibleSonarTable.h>

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
        /// A sonar silent this long is dropped at the next tick; a scan sets
        /// its whole length, to list the sonars that went quiet during it.
        std::chrono::milliseconds silenceExpiry{3000};
    };

    static constexpr std::chrono::milliseconds expiry{3000};
    /// At most this many sonars are listed, and this many from one sending
    /// address (see VisibleSonarTable).
    static constexpr std::size_t maxVisibleSonars = VisibleSonarTable::Limits{}.capacity;
    static constexpr std::size_t maxSonarsPerSender = VisibleSonarTable::Limits{}.perSender;

    /// Status datagrams that listed no sonar: not a sonar's status at all, no
    /// room for a newcomer, or an entry pushed out by one.
    struct IgnoredStatuses
    {
        std::uint64_t malformed = 0;
        std::uint64_t refused = 0;
        std::uint64_t evicted = 0;
        [[nodiscard]] std::uint64_t total() const { return malformed + refused + evicted; }
    };

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
    /// From any thread.
    [[nodiscard]] IgnoredStatuses ignoredStatuses() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Keldar::Ondrix::Utilities
