#pragma once

#include <keldar/navigation/NavigationState.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Keldar::Navigation {

/// A vessel on a steady course (or a steady turn) and the NMEA sentences its
/// receiver and compass would send: for the simulator, tests and benchmarks.
class NmeaTrackSimulator
{
public:
    struct Settings
    {
        Position start{60.0, 10.7};
        double heading = 45.0;    // degrees true at the start
        double speed = 2.0;       // m/s
        double turnRate = 0.0;    // degrees per second, positive to starboard
        std::int64_t startMs = 0; // ms since the Unix epoch at the start
    };

    explicit NmeaTrackSimulator(Settings settings);

    /// Where the vessel is and where it points at `timeMs`.
    [[nodiscard]] Position positionAt(std::int64_t timeMs) const;
    [[nodiscard]] double headingAt(std::int64_t timeMs) const;

    /// GGA, RMC, HDT, VTG and ZDA for `timeMs`, each with its line end.
    [[nodiscard]] std::vector<std::string> sentencesAt(std::int64_t timeMs) const;

private:
    Settings settings_;
};

} // namespace Keldar::Navigation
