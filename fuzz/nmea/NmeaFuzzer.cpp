// NMEA sentences arrive from the network and from serial lines: any bytes
// must be parsed or refused without reading out of bounds, and an accepted
// sentence must give values in their ranges.

#include <keldar/navigation/NavigationTrack.h>
#include <keldar/navigation/Nmea.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace Keldar::Navigation;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto result = parseNmea(text);
    if (result.verdict != NmeaVerdict::Accepted) {
        return 0;
    }
    const auto& fix = result.fix;
    const bool inRange =
        (!fix.latitude || std::abs(*fix.latitude) <= 90.0) && (!fix.longitude || std::abs(*fix.longitude) <= 180.0) &&
        (!fix.heading || (*fix.heading >= 0.0 && *fix.heading < 360.0)) &&
        (!fix.course || (*fix.course >= 0.0 && *fix.course < 360.0)) && (!fix.speed || *fix.speed >= 0.0);
    if (!inRange) {
        std::abort();
    }
    NavigationTrack track;
    track.add(fix, 1000);
    (void)track.poseAt(1500);
    return 0;
}
