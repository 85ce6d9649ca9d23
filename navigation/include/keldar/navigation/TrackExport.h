#pragma once

#include <keldar/navigation/Georeference.h>
#include <keldar/navigation/NavigationTrack.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Keldar::Navigation {

/// One frame's footprint: the fan's outline in latitude and longitude.
struct Footprint
{
    std::int32_t frame = 0;
    std::int64_t timestampMs = 0;
    std::vector<Position> outline; // closed ring
};

enum class TrackFormat : std::uint8_t {
    GeoJson,
    Kml,
    Gpx,
};

std::optional<TrackFormat> trackFormatFromName(const std::string& name);

/// The track (every position sample) and, for GeoJSON and KML, the
/// footprints; GPX holds the track only.
std::string formatTrack(const NavigationTrack& track, const std::vector<Footprint>& footprints, TrackFormat format);

/// The fan of a frame as a ring of latitudes and longitudes.
std::vector<Position> footprintOutline(const Position& antenna, double heading, const Mounting& mounting, double range,
                                       double firstBearing, double lastBearing);

} // namespace Keldar::Navigation
