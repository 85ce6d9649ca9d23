#include <keldar/navigation/Georeference.h>

#include <proj.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace Keldar::Navigation {

namespace {

constexpr double radians = std::numbers::pi / 180.0;

int zoneOf(double longitude)
{
    const int zone = static_cast<int>(std::floor((longitude + 180.0) / 6.0)) + 1;
    return std::clamp(zone, 1, 60);
}

} // namespace

struct UtmProjection::Impl
{
    int zone = 0;
    bool north = true;
    PJ_CONTEXT* context = nullptr;
    PJ* transform = nullptr; // geographic (lon, lat) to UTM
    PJ* crs = nullptr;       // the projected CRS, for proj_factors

    Impl(int zoneNumber, bool northern)
        : zone(zoneNumber)
        , north(northern)
    {
        if (zone < 1 || zone > 60) {
            throw std::invalid_argument("UTM zone " + std::to_string(zone) + " does not exist");
        }
        context = proj_context_create();
        const std::string target = "EPSG:" + std::to_string((north ? 32600 : 32700) + zone);
        PJ* raw = proj_create_crs_to_crs(context, "EPSG:4326", target.c_str(), nullptr);
        if (raw != nullptr) {
            // Longitude first, whatever the CRS's own axis order.
            transform = proj_normalize_for_visualization(context, raw);
            proj_destroy(raw);
        }
        crs = proj_create(context, target.c_str());
        if (transform == nullptr || crs == nullptr) {
            release();
            throw std::runtime_error("PROJ cannot set up " + target);
        }
    }
    ~Impl() { release(); }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    void release()
    {
        if (transform != nullptr) {
            proj_destroy(transform);
        }
        if (crs != nullptr) {
            proj_destroy(crs);
        }
        if (context != nullptr) {
            proj_context_destroy(context);
        }
        transform = crs = nullptr;
        context = nullptr;
    }
};

UtmProjection::UtmProjection(const Position& position)
    : UtmProjection(zoneOf(position.longitude), position.latitude >= 0)
{
}

UtmProjection::UtmProjection(int zone, bool north)
    : impl_(std::make_unique<Impl>(zone, north))
{
}

UtmProjection::~UtmProjection() = default;
UtmProjection::UtmProjection(UtmProjection&&) noexcept = default;
UtmProjection& UtmProjection::operator=(UtmProjection&&) noexcept = default;

int UtmProjection::zone() const
{
    return impl_->zone;
}

bool UtmProjection::north() const
{
    return impl_->north;
}

std::string UtmProjection::epsg() const
{
    return "EPSG:" + std::to_string((impl_->north ? 32600 : 32700) + impl_->zone);
}

std::string UtmProjection::zoneName() const
{
    return std::to_string(impl_->zone) + (impl_->north ? "N" : "S");
}

UtmPoint UtmProjection::forward(const Position& position) const
{
    const PJ_COORD out = proj_trans(impl_->transform, PJ_FWD, proj_coord(position.longitude, position.latitude, 0, 0));
    if (!std::isfinite(out.xy.x) || !std::isfinite(out.xy.y)) {
        throw std::runtime_error("PROJ cannot project the position");
    }
    return {out.xy.x, out.xy.y};
}

Position UtmProjection::inverse(const UtmPoint& point) const
{
    const PJ_COORD out = proj_trans(impl_->transform, PJ_INV, proj_coord(point.easting, point.northing, 0, 0));
    if (!std::isfinite(out.lp.lam) || !std::isfinite(out.lp.phi)) {
        throw std::runtime_error("PROJ cannot unproject the point");
    }
    return {out.lp.phi, out.lp.lam};
}

double UtmProjection::convergence(const Position& position) const
{
    const PJ_FACTORS factors =
        proj_factors(impl_->crs, proj_coord(position.longitude * radians, position.latitude * radians, 0, 0));
    if (proj_errno(impl_->crs) != 0) {
        proj_errno_reset(impl_->crs);
        throw std::runtime_error("PROJ cannot give the grid convergence");
    }
    return factors.meridian_convergence / radians;
}

SonarPlacement placeSonar(const UtmProjection& projection, const Position& antenna, double heading,
                          const Mounting& mounting)
{
    const double convergence = projection.convergence(antenna);
    const UtmPoint at = projection.forward(antenna);
    // The lever arm lies along the vessel, whose heading has no mounting offset.
    const double vessel = (heading - convergence) * radians;
    SonarPlacement placement;
    placement.origin.easting = at.easting + mounting.forward * std::sin(vessel) + mounting.starboard * std::cos(vessel);
    placement.origin.northing =
        at.northing + mounting.forward * std::cos(vessel) - mounting.starboard * std::sin(vessel);
    placement.trueHeading = heading + mounting.headingOffset;
    placement.gridHeading = placement.trueHeading - convergence;
    return placement;
}

UtmPoint samplePoint(const SonarPlacement& placement, double range, double bearing)
{
    const double direction = (placement.gridHeading + bearing) * radians;
    return {placement.origin.easting + range * std::sin(direction),
            placement.origin.northing + range * std::cos(direction)};
}

GeoreferencedSamples georeferenceSamples(const UtmProjection& projection, const SonarPlacement& placement,
                                         const std::vector<double>& rowRanges, const std::vector<double>& bearings)
{
    GeoreferencedSamples result;
    result.zone = projection.zone();
    result.north = projection.north();
    result.eastings.reserve(rowRanges.size() * bearings.size());
    result.northings.reserve(rowRanges.size() * bearings.size());
    for (const double range : rowRanges) {
        for (const double bearing : bearings) {
            const auto point = samplePoint(placement, range, bearing);
            result.eastings.push_back(point.easting);
            result.northings.push_back(point.northing);
        }
    }
    return result;
}

std::vector<UtmPoint> fanOutline(const SonarPlacement& placement, double range, double firstBearing, double lastBearing,
                                 int arcPoints)
{
    std::vector<UtmPoint> outline{placement.origin};
    for (int i = 0; i <= arcPoints; ++i) {
        const double bearing = firstBearing + (lastBearing - firstBearing) * i / arcPoints;
        outline.push_back(samplePoint(placement, range, bearing));
    }
    outline.push_back(placement.origin);
    return outline;
}

} // namespace Keldar::Navigation
