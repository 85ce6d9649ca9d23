#include <keldar/navigation/GeoTiff.h>

#include "IsoTime.h"

#include <keldar/core/OutputFile.h>

#include <cpl_conv.h>
#include <gdal.h>
#include <ogr_srs_api.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <mutex>
#include <numbers>

namespace Keldar::Navigation {

namespace {

constexpr double degrees = 180.0 / std::numbers::pi;

struct Placed
{
    UtmProjection projection;
    SonarPlacement placement;
    double firstBearing;
    double lastBearing;
};

Placed place(const GeoFrame& frame)
{
    if (frame.beams == 0 || frame.ranges == 0 || frame.bearings.size() != frame.beams ||
        frame.samples.size() != std::size_t(frame.beams) * frame.ranges || !(frame.range > 0)) {
        throw GeoTiffError("the frame's samples, bearings or range do not describe an image");
    }
    UtmProjection projection(frame.position);
    const auto placement = placeSonar(projection, frame.position, frame.heading, frame.mounting);
    const auto [first, last] = std::minmax_element(frame.bearings.begin(), frame.bearings.end());
    return {std::move(projection), placement, *first, *last};
}

void registerDrivers()
{
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

} // namespace

GeoTiffGrid geoTiffGrid(const GeoFrame& frame, int pixelsAcross)
{
    const auto placed = place(frame);
    const auto outline = fanOutline(placed.placement, frame.range, placed.firstBearing, placed.lastBearing, 256);
    double west = std::numeric_limits<double>::max();
    double east = std::numeric_limits<double>::lowest();
    double south = west;
    double north = east;
    for (const auto& point : outline) {
        west = std::min(west, point.easting);
        east = std::max(east, point.easting);
        south = std::min(south, point.northing);
        north = std::max(north, point.northing);
    }
    GeoTiffGrid grid;
    grid.zone = placed.projection.zone();
    grid.north = placed.projection.north();
    grid.pixelSize = std::max(east - west, north - south) / std::max(pixelsAcross, 1);
    grid.width = std::max(1, static_cast<int>(std::ceil((east - west) / grid.pixelSize)));
    grid.height = std::max(1, static_cast<int>(std::ceil((north - south) / grid.pixelSize)));
    grid.west = west;
    grid.north_ = north;
    return grid;
}

void writeGeoTiff(const GeoFrame& frame, const std::filesystem::path& path, int pixelsAcross)
{
    const auto placed = place(frame);
    const auto grid = geoTiffGrid(frame, pixelsAcross);

    // Each pixel takes the sample whose cell holds its centre.
    std::vector<std::uint8_t> intensity(std::size_t(grid.width) * grid.height, 0);
    std::vector<std::uint8_t> alpha(intensity.size(), 0);
    const double rowDepth = frame.range / frame.ranges;
    const double halfFirst = frame.beams > 1 ? (frame.bearings[1] - frame.bearings[0]) / 2 : 0.0;
    const double halfLast =
        frame.beams > 1 ? (frame.bearings[frame.beams - 1] - frame.bearings[frame.beams - 2]) / 2 : 0.0;
    const double low = frame.bearings.front() - std::abs(halfFirst);
    const double high = frame.bearings.back() + std::abs(halfLast);
    for (int y = 0; y < grid.height; ++y) {
        const double northing = grid.north_ - (y + 0.5) * grid.pixelSize;
        for (int x = 0; x < grid.width; ++x) {
            const double easting = grid.west + (x + 0.5) * grid.pixelSize;
            const double dx = easting - placed.placement.origin.easting;
            const double dy = northing - placed.placement.origin.northing;
            const double range = std::hypot(dx, dy);
            if (range >= frame.range) {
                continue;
            }
            double bearing = std::atan2(dx, dy) * degrees - placed.placement.gridHeading;
            bearing = std::remainder(bearing, 360.0);
            if (bearing < std::min(low, high) || bearing > std::max(low, high)) {
                continue;
            }
            const auto nearest = std::lower_bound(frame.bearings.begin(), frame.bearings.end(), bearing);
            std::size_t beam = static_cast<std::size_t>(nearest - frame.bearings.begin());
            if (beam == frame.beams || (beam > 0 && bearing - frame.bearings[beam - 1] < *nearest - bearing)) {
                beam -= 1;
            }
            const auto row = std::min<std::size_t>(static_cast<std::size_t>(range / rowDepth), frame.ranges - 1U);
            const std::size_t pixel = std::size_t(y) * grid.width + x;
            intensity[pixel] = frame.samples[row * frame.beams + beam];
            alpha[pixel] = 255;
        }
    }

    registerDrivers();
    Filesystem::OutputFile output(path);
    GDALDriverH driver = GDALGetDriverByName("GTiff");
    if (driver == nullptr) {
        throw GeoTiffError("GDAL has no GeoTIFF driver");
    }
    const char* options[] = {"COMPRESS=DEFLATE", "ALPHA=YES", "PHOTOMETRIC=MINISBLACK", nullptr};
    GDALDatasetH dataset = GDALCreate(driver, output.temporaryPath().c_str(), grid.width, grid.height, 2, GDT_Byte,
                                      const_cast<char**>(options));
    if (dataset == nullptr) {
        throw GeoTiffError("cannot create " + path.string() + ": " + CPLGetLastErrorMsg());
    }
    double transform[6] = {grid.west, grid.pixelSize, 0, grid.north_, 0, -grid.pixelSize};
    bool ok = GDALSetGeoTransform(dataset, transform) == CE_None;
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    ok = ok && OSRImportFromEPSG(srs, (grid.north ? 32600 : 32700) + grid.zone) == OGRERR_NONE;
    char* wkt = nullptr;
    ok = ok && OSRExportToWkt(srs, &wkt) == OGRERR_NONE && GDALSetProjection(dataset, wkt) == CE_None;
    CPLFree(wkt);
    OSRDestroySpatialReference(srs);

    const auto time = isoTime(frame.timestampMs);
    const std::string tiffTime =
        time.substr(0, 4) + ":" + time.substr(5, 2) + ":" + time.substr(8, 2) + " " + time.substr(11, 8);
    const auto number = [](double value) {
        char text[32];
        std::snprintf(text, sizeof text, "%.9f", value);
        return std::string(text);
    };
    const std::vector<std::pair<std::string, std::string>> metadata{
        {"TIFFTAG_DATETIME", tiffTime},
        {"TIFFTAG_SOFTWARE", "Ondrix Lumivane"},
        {"ACQUISITION_TIME", time},
        {"SONAR_LATITUDE", number(frame.position.latitude)},
        {"SONAR_LONGITUDE", number(frame.position.longitude)},
        {"SONAR_HEADING_TRUE", number(placed.placement.trueHeading)},
        {"GRID_CONVERGENCE", number(placed.placement.trueHeading - placed.placement.gridHeading)},
        {"RANGE_M", number(frame.range)},
        {"BEARINGS_DEG", number(placed.firstBearing) + "," + number(placed.lastBearing)},
        {"ATTITUDE", "pitch and roll are recorded but not applied: the sonar is taken to look horizontally"},
    };
    for (const auto& [key, value] : metadata) {
        ok = ok && GDALSetMetadataItem(dataset, key.c_str(), value.c_str(), nullptr) == CE_None;
    }
    GDALRasterBandH gray = GDALGetRasterBand(dataset, 1);
    GDALRasterBandH mask = GDALGetRasterBand(dataset, 2);
    ok = ok && GDALSetRasterColorInterpretation(gray, GCI_GrayIndex) == CE_None;
    ok = ok && GDALSetRasterColorInterpretation(mask, GCI_AlphaBand) == CE_None;
    ok = ok && GDALRasterIO(gray, GF_Write, 0, 0, grid.width, grid.height, intensity.data(), grid.width, grid.height,
                            GDT_Byte, 0, 0) == CE_None;
    ok = ok && GDALRasterIO(mask, GF_Write, 0, 0, grid.width, grid.height, alpha.data(), grid.width, grid.height,
                            GDT_Byte, 0, 0) == CE_None;
    // Closing writes the rest; its failure is a failed file too.
    CPLErrorReset();
    GDALClose(dataset);
    ok = ok && CPLGetLastErrorType() != CE_Failure && CPLGetLastErrorType() != CE_Fatal;
    if (!ok) {
        throw GeoTiffError("cannot write " + path.string() + ": " + CPLGetLastErrorMsg());
    }
    try {
        output.commit();
    } catch (const std::exception& error) {
        throw GeoTiffError(error.what());
    }
}

} // namespace Keldar::Navigation
