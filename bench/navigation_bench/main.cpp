// navigation_bench: accuracy of interpolated frame positions and of GeoTIFF
// corners. Prints medians and maxima against the goals (0.1 m, 0.5 m).

#include <keldar/navigation/GeoTiff.h>
#include <keldar/navigation/NavigationTrack.h>
#include <keldar/navigation/Nmea.h>
#include <keldar/navigation/NmeaTrackSimulator.h>

#include <geodesic.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace {

using namespace Keldar::Navigation;

double metresBetween(const Position& a, const Position& b)
{
    geod_geodesic wgs84{};
    geod_init(&wgs84, 6378137.0, 1 / 298.257223563);
    double distance = 0;
    geod_inverse(&wgs84, a.latitude, a.longitude, b.latitude, b.longitude, &distance, nullptr, nullptr);
    return distance;
}

struct Summary
{
    double median;
    double maximum;
};

Summary summarise(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.back()};
}

// Frames at 40 Hz with jitter over five minutes; fixes every 100 ms through
// the NMEA sentences themselves (their printed precision included).
Summary interpolationErrors(double turnRate)
{
    NmeaTrackSimulator::Settings settings;
    settings.speed = 2.0;
    settings.turnRate = turnRate;
    settings.startMs = 1796688000000;
    const NmeaTrackSimulator vessel(settings);
    NavigationTrack track;
    NmeaParser parser;
    const std::int64_t span = 5 * 60 * 1000;
    for (std::int64_t t = 0; t <= span; t += 100) {
        for (const auto& sentence : vessel.sentencesAt(settings.startMs + t)) {
            if (const auto fix = parser.parse(sentence)) {
                track.add(*fix, settings.startMs + t);
            }
        }
    }
    std::mt19937 random(7);
    std::uniform_int_distribution<int> jitter(0, 24);
    std::vector<double> errors;
    for (std::int64_t t = 1000; t < span - 1000; t += 25) {
        const std::int64_t frame = settings.startMs + t + jitter(random);
        errors.push_back(metresBetween(*track.positionAt(frame), vessel.positionAt(frame)));
    }
    return summarise(errors);
}

// The grid's top-left corner against the fan's bounding box from geodesics
// (true azimuths on the ellipsoid) projected by PROJ point by point.
Summary cornerErrors()
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> latitude(-70.0, 70.0);
    std::uniform_real_distribution<double> longitude(-179.0, 179.0);
    std::uniform_real_distribution<double> angle(0.0, 360.0);
    geod_geodesic wgs84{};
    geod_init(&wgs84, 6378137.0, 1 / 298.257223563);
    std::vector<double> errors;
    for (int i = 0; i < 500; ++i) {
        GeoFrame frame;
        frame.beams = 256;
        frame.ranges = 10;
        frame.samples.assign(std::size_t{256} * 10, 0);
        for (int b = 0; b < 256; ++b) {
            frame.bearings.push_back(-65.0 + 130.0 * b / 255.0);
        }
        frame.range = 20.0 + i % 5 * 20.0;
        frame.position = {latitude(random), longitude(random)};
        frame.heading = angle(random);
        const auto grid = geoTiffGrid(frame);
        const UtmProjection projection(frame.position);
        double west = std::numeric_limits<double>::max();
        double north = std::numeric_limits<double>::lowest();
        const auto consider = [&](const Position& p) {
            const auto at = projection.forward(p);
            west = std::min(west, at.easting);
            north = std::max(north, at.northing);
        };
        consider(frame.position);
        for (int k = 0; k <= 4000; ++k) {
            const double azimuth = frame.heading - 65.0 + 130.0 * k / 4000.0;
            Position end;
            geod_direct(&wgs84, frame.position.latitude, frame.position.longitude, azimuth, frame.range, &end.latitude,
                        &end.longitude, nullptr);
            consider(end);
        }
        errors.push_back(std::max(std::abs(grid.west - west), std::abs(grid.north_ - north)));
    }
    return summarise(errors);
}

} // namespace

int main()
{
    for (const double turn : {0.0, 3.0, 10.0}) {
        const auto error = interpolationErrors(turn);
        std::printf("interpolated position, 2 m/s, 10 Hz fixes, 40 Hz frames, turning %4.1f deg/s: median %.4f m, "
                    "max %.4f m (goal 0.1 m: %s)\n",
                    turn, error.median, error.maximum, error.maximum <= 0.1 ? "met" : "NOT met");
    }
    const auto corners = cornerErrors();
    std::printf("GeoTIFF top-left corner against geodesics, 500 fans of 20-100 m: median %.4f m, max %.4f m "
                "(goal 0.5 m: %s)\n",
                corners.median, corners.maximum, corners.maximum <= 0.5 ? "met" : "NOT met");
    return 0;
}
