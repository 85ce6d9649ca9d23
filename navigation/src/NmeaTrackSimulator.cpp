#include <keldar/navigation/NmeaTrackSimulator.h>

#include <keldar/navigation/Nmea.h>

#include "IsoTime.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace Keldar::Navigation {

namespace {

constexpr double radians = std::numbers::pi / 180.0;
constexpr double earthRadius = 6371008.8; // metres, mean: a small track on a sphere is plenty

std::string angleText(double value, int degreeDigits, char positive, char negative)
{
    const double magnitude = std::abs(value);
    int degrees = static_cast<int>(magnitude);
    double minutes = (magnitude - degrees) * 60.0;
    // Six decimals of a minute are 2 mm: rounding must not print 60 minutes.
    if (minutes >= 59.9999995) {
        minutes = 0;
        ++degrees;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%0*d%09.6f,%c", degreeDigits, degrees, minutes, value < 0 ? negative : positive);
    return text;
}

} // namespace

NmeaTrackSimulator::NmeaTrackSimulator(Settings settings)
    : settings_(settings)
{
}

double NmeaTrackSimulator::headingAt(std::int64_t timeMs) const
{
    const double seconds = static_cast<double>(timeMs - settings_.startMs) / 1000.0;
    const double heading = std::fmod(settings_.heading + settings_.turnRate * seconds, 360.0);
    return heading < 0 ? heading + 360.0 : heading;
}

Position NmeaTrackSimulator::positionAt(std::int64_t timeMs) const
{
    const double seconds = static_cast<double>(timeMs - settings_.startMs) / 1000.0;
    double north = 0;
    double east = 0;
    const double h0 = settings_.heading * radians;
    if (std::abs(settings_.turnRate) < 1e-9) {
        north = settings_.speed * seconds * std::cos(h0);
        east = settings_.speed * seconds * std::sin(h0);
    } else {
        const double rate = settings_.turnRate * radians;
        const double radius = settings_.speed / rate;
        const double h = h0 + rate * seconds;
        north = radius * (std::sin(h) - std::sin(h0));
        east = radius * (std::cos(h0) - std::cos(h));
    }
    const double latitude = settings_.start.latitude + north / earthRadius / radians;
    const double longitude =
        settings_.start.longitude + east / (earthRadius * std::cos(settings_.start.latitude * radians)) / radians;
    return {latitude, longitude};
}

std::vector<std::string> NmeaTrackSimulator::sentencesAt(std::int64_t timeMs) const
{
    const auto date = utcFields(timeMs);
    char utc[32];
    std::snprintf(utc, sizeof utc, "%02ld%02ld%02ld.%02ld", date.hours, date.minutes, date.seconds,
                  date.milliseconds / 10);
    const auto position = positionAt(timeMs);
    const auto latitude = angleText(position.latitude, 2, 'N', 'S');
    const auto longitude = angleText(position.longitude, 3, 'E', 'W');
    const double heading = headingAt(timeMs);
    const double knots = settings_.speed * 3600.0 / 1852.0;
    char text[200];
    std::vector<std::string> sentences;
    std::snprintf(text, sizeof text, "GPGGA,%s,%s,%s,1,12,0.8,0.0,M,0.0,M,,", utc, latitude.c_str(), longitude.c_str());
    sentences.push_back(withChecksum(text));
    std::snprintf(text, sizeof text, "GPRMC,%s,A,%s,%s,%.2f,%.2f,%02u%02u%02d,,,A", utc, latitude.c_str(),
                  longitude.c_str(), knots, heading, date.day, date.month, date.year % 100);
    sentences.push_back(withChecksum(text));
    std::snprintf(text, sizeof text, "HEHDT,%.2f,T", heading);
    sentences.push_back(withChecksum(text));
    std::snprintf(text, sizeof text, "GPVTG,%.2f,T,,M,%.2f,N,%.2f,K,A", heading, knots, settings_.speed * 3.6);
    sentences.push_back(withChecksum(text));
    std::snprintf(text, sizeof text, "GPZDA,%s,%02u,%02u,%04d,00,00", utc, date.day, date.month, date.year);
    sentences.push_back(withChecksum(text));
    return sentences;
}

} // namespace Keldar::Navigation
