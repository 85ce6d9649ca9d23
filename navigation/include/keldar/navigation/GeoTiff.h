#pragma once

#include <keldar/navigation/Georeference.h>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace Keldar::Navigation {

class GeoTiffError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// One sonar image with where it was taken.
struct GeoFrame
{
    std::int64_t timestampMs = 0;
    std::uint16_t beams = 0;
    std::uint16_t ranges = 0;
    std::vector<std::uint8_t> samples; // ranges x beams, row 0 nearest the sonar
    std::vector<double> bearings;      // degrees, one per beam
    double range = 0;                  // metres, the far edge
    Position position;                 // the antenna
    double heading = 0;                // degrees true
    Mounting mounting;
};

/// The GeoTIFF's grid: the fan's bounding box in UTM, square pixels.
struct GeoTiffGrid
{
    int zone = 0;
    bool north = true;
    double west = 0;
    double north_ = 0; // top edge northing
    double pixelSize = 0;
    int width = 0;
    int height = 0;
};

/// The grid for a frame, `pixelsAcross` pixels over the fan's widest extent.
GeoTiffGrid geoTiffGrid(const GeoFrame& frame, int pixelsAcross = 2000);

/// Writes the frame as a two-band GeoTIFF (intensity and alpha, transparent
/// outside the fan) in the UTM zone of its position, through an OutputFile:
/// the file appears whole or not at all. Throws GeoTiffError.
void writeGeoTiff(const GeoFrame& frame, const std::filesystem::path& path, int pixelsAcross = 2000);

} // namespace Keldar::Navigation
