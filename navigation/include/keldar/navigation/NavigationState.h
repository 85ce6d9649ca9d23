#pragma once

#include <keldar/navigation/Nmea.h>

#include <cstdint>
#include <optional>

namespace Keldar::Navigation {

template<typename T>
struct Timed
{
    T value{};
    std::int64_t receivedMs = 0; // when it arrived, ms since the Unix epoch
};

struct Position
{
    double latitude = 0;  // degrees
    double longitude = 0; // degrees
};

/// The latest of each navigation quantity, with the time it arrived, so that
/// a display can tell how old each is.
class NavigationState
{
public:
    void apply(const NmeaFix& fix, std::int64_t receivedMs);

    std::optional<Timed<Position>> position;
    std::optional<Timed<int>> fixQuality;
    std::optional<Timed<double>> heading; // degrees true
    std::optional<Timed<double>> course;  // degrees true
    std::optional<Timed<double>> speed;   // m/s
    std::optional<Timed<std::int64_t>> utcMs;

    /// Milliseconds since the position last arrived; empty when it never did.
    [[nodiscard]] std::optional<std::int64_t> positionAgeMs(std::int64_t nowMs) const;

private:
    std::optional<std::int64_t> utcDateMs_;
};

} // namespace Keldar::Navigation
