#pragma once

#include <keldar/ondrix/ConnectionManager.h>

#include <chrono>
#include <cstdint>
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

} // namespace Keldar::Cli
