#pragma once

#include <keldar/core/Signal.h>
#include <keldar/ondrix/ConnectionManager.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace Keldar::Cli {

/// Polls the visible-sonar table until the sonar with `serial` appears or
/// `seconds` have passed; the commands that talk to one sonar start with it.
inline std::optional<Keldar::Ondrix::DeviceInfo>
waitForSonar(const Keldar::Ondrix::Utilities::ConnectionManager& manager, std::uint32_t serial, double seconds)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < deadline) {
        const auto table = manager.getVisibleSonars();
        if (const auto it = table.find(serial); it != table.end()) {
            return it->second;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
}

/// Every sonar that `manager` reports while this object lives, including sonars
/// that went quiet again. The manager's listener thread writes the table, so
/// the destructor first cuts the connection, waiting for a call in progress:
/// the table cannot go while that thread still writes to it.
class SeenSonars : public Keldar::Observer
{
public:
    explicit SeenSonars(const Keldar::Ondrix::Utilities::ConnectionManager& manager)
    {
        connect(manager.visibleSonarsChanged, [this](const auto& table) {
            std::lock_guard lock(m_mutex);
            for (const auto& [serial, info] : table) {
                m_seen[serial] = info;
            }
        });
    }
    ~SeenSonars() override { disconnectAll(); }
    SeenSonars(const SeenSonars&) = delete;
    SeenSonars& operator=(const SeenSonars&) = delete;

    /// In order of serial number.
    [[nodiscard]] std::map<std::uint32_t, Keldar::Ondrix::DeviceInfo> sonars() const
    {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }

private:
    mutable std::mutex m_mutex;
    std::map<std::uint32_t, Keldar::Ondrix::DeviceInfo> m_seen;
};

} // namespace Keldar::Cli
