#include <keldar/navigation/TrackExport.h>

#include "IsoTime.h"

#include <chrono>
#include <cstdio>
#include <sstream>

namespace Keldar::Navigation {

namespace {

std::string coordinate(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.8f", value);
    return text;
}

std::string geoJson(const NavigationTrack& track, const std::vector<Footprint>& footprints)
{
    std::ostringstream out;
    out << R"({"type":"FeatureCollection","features":[)";
    out << R"({"type":"Feature","properties":{"kind":"track","start":")"
        << (track.positions().empty() ? "" : isoTime(track.positions().front().timeMs)) << R"("},)"
        << R"("geometry":{"type":"LineString","coordinates":[)";
    bool first = true;
    for (const auto& sample : track.positions()) {
        out << (first ? "" : ",") << '[' << coordinate(sample.position.longitude) << ','
            << coordinate(sample.position.latitude) << ']';
        first = false;
    }
    out << "]}}";
    for (const auto& footprint : footprints) {
        out << R"(,{"type":"Feature","properties":{"kind":"footprint","frame":)" << footprint.frame << R"(,"time":")"
            << isoTime(footprint.timestampMs) << R"("},"geometry":{"type":"Polygon","coordinates":[[)";
        first = true;
        for (const auto& point : footprint.outline) {
            out << (first ? "" : ",") << '[' << coordinate(point.longitude) << ',' << coordinate(point.latitude) << ']';
            first = false;
        }
        out << "]]}}";
    }
    out << "]}\n";
    return out.str();
}

std::string kml(const NavigationTrack& track, const std::vector<Footprint>& footprints)
{
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n"
        << "<Placemark><name>track</name><LineString><coordinates>";
    for (const auto& sample : track.positions()) {
        out << coordinate(sample.position.longitude) << ',' << coordinate(sample.position.latitude) << ' ';
    }
    out << "</coordinates></LineString></Placemark>\n";
    for (const auto& footprint : footprints) {
        out << "<Placemark><name>frame " << footprint.frame << "</name><TimeStamp><when>"
            << isoTime(footprint.timestampMs) << "</when></TimeStamp>"
            << "<Polygon><outerBoundaryIs><LinearRing><coordinates>";
        for (const auto& point : footprint.outline) {
            out << coordinate(point.longitude) << ',' << coordinate(point.latitude) << ' ';
        }
        out << "</coordinates></LinearRing></outerBoundaryIs></Polygon></Placemark>\n";
    }
    out << "</Document>\n</kml>\n";
    return out.str();
}

std::string gpx(const NavigationTrack& track)
{
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<gpx version=\"1.1\" creator=\"Ondrix Lumivane\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
        << "<trk><name>track</name><trkseg>\n";
    for (const auto& sample : track.positions()) {
        out << "<trkpt lat=\"" << coordinate(sample.position.latitude) << "\" lon=\""
            << coordinate(sample.position.longitude) << "\"><time>" << isoTime(sample.timeMs) << "</time></trkpt>\n";
    }
    out << "</trkseg></trk>\n</gpx>\n";
    return out.str();
}

} // namespace

std::optional<TrackFormat> trackFormatFromName(const std::string& name)
{
    if (name == "geojson") {
        return TrackFormat::GeoJson;
    }
    if (name == "kml") {
        return TrackFormat::Kml;
    }
    if (name == "gpx") {
        return TrackFormat::Gpx;
    }
    return std::nullopt;
}

std::string formatTrack(const NavigationTrack& track, const std::vector<Footprint>& footprints, TrackFormat format)
{
    switch (format) {
    case TrackFormat::GeoJson:
        return geoJson(track, footprints);
    case TrackFormat::Kml:
        return kml(track, footprints);
    case TrackFormat::Gpx:
        return gpx(track);
    }
    return {};
}

std::vector<Position> footprintOutline(const Position& antenna, double heading, const Mounting& mounting, double range,
                                       double firstBearing, double lastBearing)
{
    const UtmProjection projection(antenna);
    const auto placement = placeSonar(projection, antenna, heading, mounting);
    std::vector<Position> ring;
    for (const auto& point : fanOutline(placement, range, firstBearing, lastBearing, 16)) {
        ring.push_back(projection.inverse(point));
    }
    return ring;
}

} // namespace Keldar::Navigation
