#pragma once

#include <keldar/visualisation/RangeLabel.h>

#include <QPointF>
#include <QRectF>

#include <array>
#include <cstdint>
#include <vector>

namespace Keldar::DataProcessing::Units {
class AbstractUnit;
}

namespace Keldar::Ondrix::Visualisation {

// The fan's model-space geometry, free of OpenGL so that it can be checked
// headless. Apex at the origin, full range = radius 1, bearing 0 up, positive
// bearings to the right. The textured fan follows the real bearings; the
// outline, arcs, sector lines and labels use the symmetric sector from the
// start angle S over the aperture A.
class FanGeometry
{
public:
    static constexpr int FloatsPerVertex = 4; // x, y, u, v
    static constexpr int ArcCount = 5;
    static constexpr int SectorLineCount = 5;

    // Aperture in degrees: (last bearing - first bearing) / 100; 0 for fewer
    // than two bearings.
    static float aperture(const std::vector<std::int16_t>& bearings);
    // (180 - trunc(A)) / 2 in integer arithmetic.
    static std::int16_t startAngle(float aperture);

    // One triangle (apex, edge k, edge k + 1) per neighbouring beam pair, sized
    // for N triangles with the last left zero; 3N - 3 vertices are drawn.
    // Fewer than two bearings give an empty buffer: nothing to draw.
    static std::vector<float> vertices(const std::vector<std::int16_t>& bearings, bool flipped);
    static int drawnVertexCount(std::size_t beamCount);

    // The same fan drawn with at most `maximumWedges` triangles, each spanning
    // several beams between beams whose real bearings it keeps. A software
    // rasteriser shades whole pixel blocks, so hundreds of needle-thin
    // triangles cost several times their area. The vertices carry (u * v, v)
    // with u = 0 at the apex: dividing the interpolated first coordinate by the
    // second gives a u that is constant along each ray and linear across the
    // wedge's chord, within a small fraction of a beam of the per-beam fan.
    // maximumWedges 0 gives the per-beam fan of vertices() (plain u). The
    // result holds exactly the triangles to draw (3 vertices each).
    static std::vector<float> wedgeVertices(const std::vector<std::int16_t>& bearings, bool flipped, int maximumWedges);

    // Five segments from the apex as x,y pairs (20 floats).
    static std::vector<float> sectorLines(std::int16_t start, float aperture);
    // Arcs at 1/5 ... 5/5 of the range, N points each; empty below two beams.
    static std::array<std::vector<float>, ArcCount> rangeArcs(std::int16_t start, float aperture,
                                                              std::size_t beamCount);
    // Apex followed by N points on the unit arc; apex only below two beams.
    static std::vector<QPointF> outline(std::int16_t start, float aperture, std::size_t beamCount);

    // Smallest rectangle holding the fan turned by rotation degrees.
    static QRectF boundingBox(std::int16_t start, float aperture, float rotation);

    // Ten labels, right edge then left edge for each fifth of the range, turned
    // so that they read upright at the given view rotation. None without a unit.
    static std::vector<RangeLabel> rangeLabels(std::int16_t start, float aperture, float rotation, double rangeMetres,
                                               const DataProcessing::Units::AbstractUnit* unit);
};

} // namespace Keldar::Ondrix::Visualisation
