#include <keldar/visualisation/FanGeometry.h>

#include <keldar/core/Units.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace Keldar::Ondrix::Visualisation {

namespace {

float toRadians(double degrees)
{
    return static_cast<float>(degrees * std::numbers::pi / 180.0);
}

// Maps an angle into [0, 360) so that the upside-down test works for any sum.
double wrapDegrees(double degrees)
{
    double wrapped = std::fmod(degrees, 360.0);
    if (wrapped < 0.0) {
        wrapped += 360.0;
    }
    return wrapped;
}

bool readsUpsideDown(double degrees)
{
    const double wrapped = wrapDegrees(degrees);
    return wrapped > 90.0 && wrapped < 270.0;
}

std::string formatDistance(double metres, const DataProcessing::Units::AbstractUnit& unit)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.1f", unit.fromSI(metres));
    return std::string(buffer) + unit.getAsciiSymbol();
}

} // namespace

float FanGeometry::aperture(const std::vector<std::int16_t>& bearings)
{
    if (bearings.size() < 2) {
        return 0.F;
    }
    return static_cast<float>(bearings.back() - bearings.front()) / 100.F;
}

std::int16_t FanGeometry::startAngle(float aperture)
{
    return static_cast<std::int16_t>((180 - static_cast<int>(aperture)) / 2);
}

std::vector<float> FanGeometry::vertices(const std::vector<std::int16_t>& bearings, bool flipped)
{
    const std::size_t n = bearings.size();
    if (n < 2) {
        return {};
    }
    std::vector<float> buffer(n * 3 * FloatsPerVertex, 0.F);
    const auto last = static_cast<float>(n - 1);
    auto u = [&](std::size_t k) {
        const float along = static_cast<float>(k) / last;
        return flipped ? 1.F - along : along;
    };
    auto edge = [&](std::size_t k) {
        const float theta = toRadians(90.0 - bearings[k] / 100.0);
        return QPointF(std::cos(theta), std::sin(theta));
    };
    std::size_t i = 0;
    auto put = [&](float x, float y, float tu, float tv) {
        buffer[i++] = x;
        buffer[i++] = y;
        buffer[i++] = tu;
        buffer[i++] = tv;
    };
    for (std::size_t k = 0; k + 1 < n; ++k) {
        const QPointF a = edge(k);
        const QPointF b = edge(k + 1);
        put(0.F, 0.F, u(k), 0.F);
        put(static_cast<float>(a.x()), static_cast<float>(a.y()), u(k), 1.F);
        put(static_cast<float>(b.x()), static_cast<float>(b.y()), u(k + 1), 1.F);
    }
    return buffer;
}

std::vector<float> FanGeometry::wedgeVertices(const std::vector<std::int16_t>& bearings, bool flipped,
                                              int maximumWedges)
{
    const std::size_t n = bearings.size();
    if (n < 2) {
        return {};
    }
    if (maximumWedges <= 0) {
        auto all = vertices(bearings, flipped);
        all.resize((n - 1) * 3 * FloatsPerVertex);
        return all;
    }
    const auto limit = static_cast<std::size_t>(maximumWedges);
    const std::size_t step = (n - 1 + limit - 1) / limit;
    std::vector<std::size_t> edges;
    for (std::size_t k = 0; k < n - 1; k += step) {
        edges.push_back(k);
    }
    edges.push_back(n - 1);
    const auto last = static_cast<float>(n - 1);
    std::vector<float> buffer;
    buffer.reserve((edges.size() - 1) * 3 * FloatsPerVertex);
    for (std::size_t e = 0; e + 1 < edges.size(); ++e) {
        const std::size_t a = edges[e];
        const std::size_t b = edges[e + 1];
        const float ua = flipped ? 1.F - static_cast<float>(a) / last : static_cast<float>(a) / last;
        const float ub = flipped ? 1.F - static_cast<float>(b) / last : static_cast<float>(b) / last;
        const float thetaA = toRadians(90.0 - bearings[a] / 100.0);
        const float thetaB = toRadians(90.0 - bearings[b] / 100.0);
        buffer.insert(buffer.end(), {0.F, 0.F, 0.F, 0.F, std::cos(thetaA), std::sin(thetaA), ua, 1.F, std::cos(thetaB),
                                     std::sin(thetaB), ub, 1.F});
    }
    return buffer;
}

int FanGeometry::drawnVertexCount(std::size_t beamCount)
{
    return beamCount < 2 ? 0 : static_cast<int>(3 * beamCount - 3);
}

std::vector<float> FanGeometry::sectorLines(std::int16_t start, float aperture)
{
    std::vector<float> points;
    points.reserve(4 * SectorLineCount);
    for (int j = 0; j < SectorLineCount; ++j) {
        const float phi = toRadians(start + j * aperture / 4.0);
        points.insert(points.end(), {0.F, 0.F, std::cos(phi), std::sin(phi)});
    }
    return points;
}

std::array<std::vector<float>, FanGeometry::ArcCount> FanGeometry::rangeArcs(std::int16_t start, float aperture,
                                                                             std::size_t beamCount)
{
    std::array<std::vector<float>, ArcCount> arcs;
    if (beamCount < 2) {
        return arcs;
    }
    const double step = aperture / static_cast<double>(beamCount - 1);
    for (int k = 1; k <= ArcCount; ++k) {
        auto& arc = arcs[static_cast<std::size_t>(k - 1)];
        arc.reserve(2 * beamCount);
        const float radius = static_cast<float>(k) / ArcCount;
        for (std::size_t j = 0; j < beamCount; ++j) {
            const float psi = toRadians(start + static_cast<double>(j) * step);
            arc.push_back(radius * std::cos(psi));
            arc.push_back(radius * std::sin(psi));
        }
    }
    return arcs;
}

std::vector<QPointF> FanGeometry::outline(std::int16_t start, float aperture, std::size_t beamCount)
{
    std::vector<QPointF> points{QPointF(0.0, 0.0)};
    if (beamCount < 2) {
        return points;
    }
    const double step = aperture / static_cast<double>(beamCount - 1);
    for (std::size_t j = 0; j < beamCount; ++j) {
        const float psi = toRadians(start + static_cast<double>(j) * step);
        points.emplace_back(std::cos(psi), std::sin(psi));
    }
    return points;
}

QRectF FanGeometry::boundingBox(std::int16_t start, float aperture, float rotation)
{
    const double alpha = start + static_cast<double>(rotation);
    const double beta = alpha + aperture;
    double left = 0.0;
    double right = 0.0;
    double bottom = 0.0;
    double top = 0.0;
    auto include = [&](double degrees) {
        const double radians = degrees * std::numbers::pi / 180.0;
        const double x = std::cos(radians);
        const double y = std::sin(radians);
        left = std::min(left, x);
        right = std::max(right, x);
        bottom = std::min(bottom, y);
        top = std::max(top, y);
    };
    include(alpha);
    include(beta);
    // Every axis direction the arc sweeps across widens the box to 1 there.
    for (double c = 0.0; c < beta; c += 90.0) {
        if (c > alpha) {
            include(c);
        }
    }
    return {QPointF(left, bottom), QPointF(right, top)};
}

std::vector<RangeLabel> FanGeometry::rangeLabels(std::int16_t start, float aperture, float rotation, double rangeMetres,
                                                 const DataProcessing::Units::AbstractUnit* unit)
{
    std::vector<RangeLabel> labels;
    if (unit == nullptr) {
        return labels;
    }
    constexpr std::uint8_t startsAtPoint = 16; // vertically centred, text begins at x
    constexpr std::uint8_t endsAtPoint = 18;   // vertically centred, text ends at x
    const float rightAngle = toRadians(90.0 - aperture / 2.0);
    const float leftAngle = toRadians(90.0 + aperture / 2.0);
    const int rightLabelAngle = start - 90;
    const int leftLabelAngle = static_cast<int>(start - 90 + aperture);
    for (int k = 1; k <= ArcCount; ++k) {
        const std::string text = formatDistance(k * rangeMetres / ArcCount, *unit);
        const float radius = static_cast<float>(k) / ArcCount;

        RangeLabel right;
        right.x = radius * std::cos(rightAngle);
        right.y = radius * std::sin(rightAngle);
        if (readsUpsideDown(rightLabelAngle + static_cast<double>(rotation))) {
            right.angle = start - 270;
            right.text = text + " ";
            right.alignment = endsAtPoint;
        } else {
            right.angle = rightLabelAngle;
            right.text = " " + text;
            right.alignment = startsAtPoint;
        }
        labels.push_back(right);

        RangeLabel left;
        left.x = radius * std::cos(leftAngle);
        left.y = radius * std::sin(leftAngle);
        if (readsUpsideDown(leftLabelAngle + static_cast<double>(rotation))) {
            left.angle = leftLabelAngle - 180;
            left.text = " " + text;
            left.alignment = startsAtPoint;
        } else {
            left.angle = leftLabelAngle;
            left.text = text + " ";
            left.alignment = endsAtPoint;
        }
        labels.push_back(left);
    }
    return labels;
}

} // namespace Keldar::Ondrix::Visualisation
