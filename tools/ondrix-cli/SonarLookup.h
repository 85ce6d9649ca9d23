#pragma once

#include <keldar/core/Signal.h>
#include <keldar/ondrix/ConnectionManager.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

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
            keepMostRecentlySeen();
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
    // A flood of made-up serial numbers must not grow the list without end:
    // as many as the manager lists are kept, the most recently heard.
    void keepMostRecentlySeen()
    {
        const std::size_t limit = Keldar::Ondrix::Utilities::ConnectionManager::maxVisibleSonars;
        if (m_seen.size() <= limit) {
            return;
        }
        std::vector<std::pair<std::int64_t, std::uint32_t>> order; // (lastSeen, serial)
        order.reserve(m_seen.size());
        for (const auto& [serial, info] : m_seen) {
            order.emplace_back(info.lastSeen, serial);
        }
        std::nth_element(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(limit), order.end(),
                         std::greater<>());
        std::map<std::uint32_t, Keldar::Ondrix::DeviceInfo> kept;
        for (std::size_t i = 0; i < limit; ++i) {
            kept.emplace(order[i].second, std::move(m_seen[order[i].second]));
        }
        m_seen.swap(kept);
    }

    mutable std::mutex m_mutex;
    std::map<std::uint32_t, Keldar::Ondrix::DeviceInfo> m_seen;
};

} // namespace Keldar::Cli
