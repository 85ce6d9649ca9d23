#include "support/TestSupport.h"

#include <keldar/core/Units.h>
#include <keldar/visualisation/FanGeometry.h>
#include <keldar/visualisation/FanGeometryEngine.h>

#include <QMatrix4x4>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

using namespace Keldar::Ondrix::Visualisation;
using Testing::constantImage;
using Testing::spreadBearings;

namespace {

double degrees(double radians)
{
    return radians * 180.0 / std::numbers::pi;
}

const std::vector<std::int16_t> fullFan = spreadBearings(256, -6500, 6500);

} // namespace

TEST(FanSector, ApertureAndStartAngleOfA130DegreeFan)
{
    EXPECT_FLOAT_EQ(FanGeometry::aperture(fullFan), 130.F);
    EXPECT_EQ(FanGeometry::startAngle(130.F), 25);
    // An asymmetric table still gives a sector centred on straight ahead.
    EXPECT_FLOAT_EQ(FanGeometry::aperture(spreadBearings(10, -3000, 6000)), 90.F);
    EXPECT_EQ(FanGeometry::startAngle(90.F), 45);
    // Integer arithmetic: trunc(129.9) = 129, (180 - 129) / 2 = 25.
    EXPECT_EQ(FanGeometry::startAngle(129.9F), 25);
}

TEST(FanSector, SectorLinesSplitTheSectorIntoQuarters)
{
    const auto lines = FanGeometry::sectorLines(25, 130.F);
    ASSERT_EQ(lines.size(), 20U);
    const double expected[] = {25.0, 57.5, 90.0, 122.5, 155.0};
    for (std::size_t j = 0; j < 5; ++j) {
        EXPECT_FLOAT_EQ(lines[4 * j], 0.F);
        EXPECT_FLOAT_EQ(lines[4 * j + 1], 0.F);
        EXPECT_NEAR(degrees(std::atan2(lines[4 * j + 3], lines[4 * j + 2])), expected[j], 1e-4);
        EXPECT_NEAR(std::hypot(lines[4 * j + 2], lines[4 * j + 3]), 1.0, 1e-6);
    }
}

TEST(FanSector, RangeArcsAreFiveConcentricArcsAcrossTheSector)
{
    const auto arcs = FanGeometry::rangeArcs(25, 130.F, 256);
    for (std::size_t k = 0; k < 5; ++k) {
        ASSERT_EQ(arcs[k].size(), 512U);
        const double radius = (k + 1) / 5.0;
        EXPECT_NEAR(std::hypot(arcs[k][0], arcs[k][1]), radius, 1e-6);
        EXPECT_NEAR(degrees(std::atan2(arcs[k][1], arcs[k][0])), 25.0, 1e-4);
        EXPECT_NEAR(degrees(std::atan2(arcs[k][511], arcs[k][510])), 155.0, 1e-4);
    }
}

TEST(FanSector, VerticesFollowTheRealBearingsWithTextureAcrossTheBeams)
{
    const auto bearings = spreadBearings(4, -6000, 3000);
    const auto vertices = FanGeometry::vertices(bearings, false);
    ASSERT_EQ(vertices.size(), 4U * 3U * 4U);
    EXPECT_EQ(FanGeometry::drawnVertexCount(4), 9);
    // First triangle: apex, beam 0 (bearing -60 degrees, i.e. 150 from +x), beam 1.
    EXPECT_FLOAT_EQ(vertices[0], 0.F);
    EXPECT_FLOAT_EQ(vertices[1], 0.F);
    EXPECT_FLOAT_EQ(vertices[2], 0.F);
    EXPECT_FLOAT_EQ(vertices[3], 0.F);
    EXPECT_NEAR(degrees(std::atan2(vertices[5], vertices[4])), 150.0, 1e-4);
    EXPECT_FLOAT_EQ(vertices[6], 0.F);
    EXPECT_FLOAT_EQ(vertices[7], 1.F);
    EXPECT_FLOAT_EQ(vertices[10], 1.F / 3.F);
    // Last drawn triangle ends on beam 3 (bearing +30, 60 from +x) at u = 1.
    EXPECT_NEAR(degrees(std::atan2(vertices[33], vertices[32])), 60.0, 1e-4);
    EXPECT_FLOAT_EQ(vertices[34], 1.F);
    // The spare last triangle stays zero.
    for (std::size_t i = 36; i < 48; ++i) {
        EXPECT_EQ(vertices[i], 0.F);
    }
}

TEST(FanSector, FlipMirrorsTheTextureNotTheShape)
{
    const auto plain = FanGeometry::vertices(fullFan, false);
    const auto flipped = FanGeometry::vertices(fullFan, true);
    ASSERT_EQ(plain.size(), flipped.size());
    for (std::size_t v = 0; v + 3 < plain.size() - 12; v += 4) {
        EXPECT_FLOAT_EQ(plain[v], flipped[v]);
        EXPECT_FLOAT_EQ(plain[v + 1], flipped[v + 1]);
        EXPECT_NEAR(plain[v + 2], 1.F - flipped[v + 2], 1e-6);
    }
}

TEST(FanSector, FewerThanTwoBeamsGiveNothingToDraw)
{
    EXPECT_TRUE(FanGeometry::vertices({}, false).empty());
    EXPECT_TRUE(FanGeometry::vertices({100}, false).empty());
    EXPECT_EQ(FanGeometry::drawnVertexCount(1), 0);
    EXPECT_EQ(FanGeometry::drawnVertexCount(0), 0);
    EXPECT_TRUE(FanGeometry::rangeArcs(90, 0.F, 1)[0].empty());
    EXPECT_EQ(FanGeometry::outline(90, 0.F, 1).size(), 1U);
    EXPECT_FLOAT_EQ(FanGeometry::aperture({100}), 0.F);
}

TEST(FanBoundingBox, UnrotatedFanSpansTheChordAndTheFullRadiusUp)
{
    const QRectF box = FanGeometry::boundingBox(25, 130.F, 0.F);
    const double c = std::cos(25.0 * std::numbers::pi / 180.0);
    EXPECT_NEAR(box.left(), -c, 1e-6);
    EXPECT_NEAR(box.right(), c, 1e-6);
    EXPECT_NEAR(box.top(), 0.0, 1e-9);
    EXPECT_NEAR(box.bottom(), 1.0, 1e-9);
    EXPECT_NEAR(box.width(), 2 * c, 1e-6);
}

TEST(FanBoundingBox, QuarterTurnPointsTheFanLeft)
{
    const QRectF box = FanGeometry::boundingBox(25, 130.F, 90.F);
    const double c = std::cos(25.0 * std::numbers::pi / 180.0);
    EXPECT_NEAR(box.left(), -1.0, 1e-9);
    EXPECT_NEAR(box.right(), 0.0, 1e-9);
    EXPECT_NEAR(box.top(), -c, 1e-6);
    EXPECT_NEAR(box.bottom(), c, 1e-6);
}

TEST(FanBoundingBox, HalfTurnAndNearlyFullTurn)
{
    QRectF box = FanGeometry::boundingBox(25, 130.F, 180.F);
    EXPECT_NEAR(box.top(), -1.0, 1e-9);
    EXPECT_NEAR(box.bottom(), 0.0, 1e-9);
    // 350 degrees: alpha 375, beta 505; the sweep crosses 450 (up).
    box = FanGeometry::boundingBox(25, 130.F, 350.F);
    EXPECT_NEAR(box.bottom(), 1.0, 1e-9);
    EXPECT_NEAR(box.top(), 0.0, 1e-9);
    EXPECT_NEAR(box.right(), std::cos(15.0 * std::numbers::pi / 180.0), 1e-6);
}

TEST(FanRangeLabels, UprightAtZeroRotation)
{
    const Keldar::DataProcessing::Units::Distance::Metres metres;
    const auto labels = FanGeometry::rangeLabels(25, 130.F, 0.F, 50.0, &metres);
    ASSERT_EQ(labels.size(), 10U);
    EXPECT_EQ(labels[0].text, " 10.0m");
    EXPECT_EQ(labels[0].angle, -65);
    EXPECT_EQ(labels[0].alignment, 16);
    EXPECT_NEAR(labels[0].x, 0.2 * std::cos(25.0 * std::numbers::pi / 180.0), 1e-6);
    EXPECT_NEAR(labels[0].y, 0.2 * std::sin(25.0 * std::numbers::pi / 180.0), 1e-6);
    EXPECT_EQ(labels[1].text, "10.0m ");
    EXPECT_EQ(labels[1].angle, 65);
    EXPECT_EQ(labels[1].alignment, 18);
    EXPECT_NEAR(labels[1].x, -0.2 * std::cos(25.0 * std::numbers::pi / 180.0), 1e-6);
    EXPECT_EQ(labels[8].text, " 50.0m");
    EXPECT_FALSE(labels[0].ignoreTransform);
}

TEST(FanRangeLabels, HalfTurnUsesTheAlternativeAnglesTextsAndAlignments)
{
    const Keldar::DataProcessing::Units::Distance::Metres metres;
    const auto labels = FanGeometry::rangeLabels(25, 130.F, 180.F, 50.0, &metres);
    ASSERT_EQ(labels.size(), 10U);
    for (std::size_t k = 0; k < 5; ++k) {
        const auto& right = labels[2 * k];
        const auto& left = labels[2 * k + 1];
        EXPECT_EQ(right.angle, 25 - 270);
        EXPECT_EQ(right.alignment, 18);
        EXPECT_EQ(right.text.back(), ' ');
        EXPECT_EQ(left.angle, 65 - 180);
        EXPECT_EQ(left.alignment, 16);
        EXPECT_EQ(left.text.front(), ' ');
    }
    EXPECT_EQ(labels[2].text, "20.0m ");
    EXPECT_EQ(labels[3].text, " 20.0m");
}

TEST(FanRangeLabels, UseTheUnitAndItsAsciiSymbol)
{
    const Keldar::DataProcessing::Units::Distance::Feet feet;
    const auto labels = FanGeometry::rangeLabels(25, 130.F, 0.F, 10.0, &feet);
    EXPECT_EQ(labels[8].text, " 32.8ft");
    EXPECT_TRUE(FanGeometry::rangeLabels(25, 130.F, 0.F, 10.0, nullptr).empty());
}

TEST(FanOutline, HitTestFollowsTheProjection)
{
    FanGeometryEngine engine;
    engine.newImage(constantImage(64, 16, 10.0, 1));
    QMatrix4x4 identity;
    EXPECT_TRUE(engine.containsPoint({0.0, 0.5}, identity));
    EXPECT_FALSE(engine.containsPoint({0.0, -0.1}, identity));
    EXPECT_FALSE(engine.containsPoint({0.0, 1.1}, identity));
    EXPECT_FALSE(engine.containsPoint({0.95, 0.1}, identity)) << "beside the 25 degree edge";
    QMatrix4x4 halfSize;
    halfSize.scale(0.5F, 0.5F, 1.F);
    EXPECT_FALSE(engine.containsPoint({0.0, 0.8}, halfSize));
    EXPECT_TRUE(engine.containsPoint({0.0, 0.4}, halfSize));
}

TEST(FanEngineImages, SameBeamCountAndFirstBearingRebuildsNoGeometry)
{
    FanGeometryEngine engine;
    engine.newImage(constantImage(128, 50, 10.0, 9));
    engine.getSectorLines();
    const int builds = engine.getGeometryBuildCount();
    engine.newImage(constantImage(128, 80, 20.0, 200));
    engine.getSectorLines();
    engine.getVertices();
    EXPECT_EQ(engine.getGeometryBuildCount(), builds);

    engine.newImage(constantImage(256, 50, 10.0, 9));
    engine.getSectorLines();
    EXPECT_EQ(engine.getGeometryBuildCount(), builds + 1);

    engine.toggleFlip();
    engine.getRangeArcs();
    EXPECT_EQ(engine.getGeometryBuildCount(), builds + 2);
}

TEST(FanEngineImages, NewFirstBearingRecomputesTheSector)
{
    FanGeometryEngine engine;
    engine.newImage(constantImage(128, 10, 10.0, 9));
    EXPECT_FLOAT_EQ(engine.getAperture(), 130.F);
    Keldar::Ondrix::OndrixImage narrow(128, 10, 10.0, 50.0, 900.0, spreadBearings(128, -4500, 4500),
                                       std::vector<std::uint8_t>(1280, 3));
    engine.newImage(narrow);
    EXPECT_FLOAT_EQ(engine.getAperture(), 90.F);
    EXPECT_EQ(engine.getStartAngle(), 45);
}

TEST(FanEngineImages, InconsistentImagesAreIgnoredInsteadOfOverread)
{
    FanGeometryEngine engine;
    engine.newImage(constantImage(64, 10, 10.0, 9));
    // Claims 64 x 10 samples but carries 100; claims 64 bearings but has 3.
    Keldar::Ondrix::OndrixImage shortData(64, 10, 30.0, 50.0, 900.0, spreadBearings(64, -6500, 6500),
                                          std::vector<std::uint8_t>(100, 1));
    Keldar::Ondrix::OndrixImage shortBearings(64, 10, 40.0, 50.0, 900.0, spreadBearings(3, -6500, 6500),
                                              std::vector<std::uint8_t>(640, 1));
    engine.newImage(shortData);
    engine.newImage(shortBearings);
    EXPECT_DOUBLE_EQ(engine.getImageRange(), 10.0);
}

TEST(FanEngineImages, SingleBeamImageIsAcceptedAndDrawsNothing)
{
    FanGeometryEngine engine;
    Keldar::Ondrix::OndrixImage single(1, 10, 10.0, 50.0, 900.0, {0}, std::vector<std::uint8_t>(10, 7));
    engine.newImage(single);
    EXPECT_EQ(engine.getBeamCount(), 1);
    EXPECT_EQ(engine.getDrawnVertexCount(), 0);
    EXPECT_TRUE(engine.getVertices().empty());
    EXPECT_FALSE(engine.containsPoint({0.0, 0.5}, QMatrix4x4()));
}

namespace {

// Texture coordinate u that a triangle list gives the model point p, or -1
// when no triangle holds it. A ray-layout mesh carries u * v, as the shader
// divides it back.
double textureUAt(const std::vector<float>& mesh, double px, double py, bool rayLayout = false)
{
    for (std::size_t t = 0; t + 12 <= mesh.size(); t += 12) {
        const double x0 = mesh[t], y0 = mesh[t + 1], x1 = mesh[t + 4], y1 = mesh[t + 5];
        const double x2 = mesh[t + 8], y2 = mesh[t + 9];
        const double det = (y1 - y2) * (x0 - x2) + (x2 - x1) * (y0 - y2);
        if (det == 0.0) {
            continue;
        }
        const double a = ((y1 - y2) * (px - x2) + (x2 - x1) * (py - y2)) / det;
        const double b = ((y2 - y0) * (px - x2) + (x0 - x2) * (py - y2)) / det;
        const double c = 1.0 - a - b;
        if (a >= -1e-9 && b >= -1e-9 && c >= -1e-9) {
            const double u = a * mesh[t + 2] + b * mesh[t + 6] + c * mesh[t + 10];
            const double v = a * mesh[t + 3] + b * mesh[t + 7] + c * mesh[t + 11];
            return rayLayout ? u / v : u;
        }
    }
    return -1.0;
}

// Bearings spaced as a line array steers them: even in sine, not in angle.
std::vector<std::int16_t> sineSpacedBearings(std::uint16_t beams)
{
    std::vector<std::int16_t> bearings(beams);
    const double edge = std::sin(65.0 * std::numbers::pi / 180.0);
    for (std::size_t k = 0; k < beams; ++k) {
        const double s = (2.0 * k / (beams - 1) - 1.0) * edge;
        bearings[k] = static_cast<std::int16_t>(std::lround(std::asin(s) * 180.0 / std::numbers::pi * 100.0));
    }
    return bearings;
}

} // namespace

TEST(FanWedges, ZeroLimitOrFewBeamsGiveTheFanOfEveryBeam)
{
    const auto bearings = spreadBearings(40, -6500, 6500);
    const auto perBeam = FanGeometry::vertices(bearings, false);
    const auto unlimited = FanGeometry::wedgeVertices(bearings, false, 0);
    ASSERT_EQ(unlimited.size(), 39U * 12U);
    EXPECT_TRUE(std::equal(unlimited.begin(), unlimited.end(), perBeam.begin()));
    const auto limited = FanGeometry::wedgeVertices(bearings, false, 64);
    ASSERT_EQ(limited.size(), 39U * 12U);
    // One wedge per beam still, but in the ray layout: u * v, zero at the apex.
    EXPECT_EQ(limited[2], 0.F);
    EXPECT_FLOAT_EQ(limited[6], perBeam[6]);
    EXPECT_TRUE(FanGeometry::wedgeVertices({5}, false, 64).empty());
}

TEST(FanWedges, WedgesCoverTheSameSectorWithinTheLimit)
{
    const auto bearings = sineSpacedBearings(512);
    const auto wedges = FanGeometry::wedgeVertices(bearings, false, 64);
    ASSERT_FALSE(wedges.empty());
    EXPECT_LE(wedges.size() / 12, 64U);
    EXPECT_NEAR(degrees(std::atan2(wedges[5], wedges[4])), 90.0 - bearings.front() / 100.0, 1e-3);
    const std::size_t last = wedges.size() - 4;
    EXPECT_NEAR(degrees(std::atan2(wedges[last + 1], wedges[last])), 90.0 - bearings.back() / 100.0, 1e-3);
    EXPECT_FLOAT_EQ(wedges[last + 2], 1.F);
    const auto flipped = FanGeometry::wedgeVertices(bearings, true, 64);
    EXPECT_FLOAT_EQ(flipped[6], 1.F);
    EXPECT_FLOAT_EQ(flipped[last + 2], 0.F);
}

TEST(FanWedges, EveryPixelReadsTheBeamAtItsBearing)
{
    // The ideal: the beam index at a point follows from its bearing alone,
    // interpolated in the bearing table, whatever the distance from the apex.
    const auto bearings = sineSpacedBearings(512);
    auto idealU = [&](double angleDegrees) {
        const double bearing = (90.0 - angleDegrees) * 100.0;
        for (std::size_t k = 0; k + 1 < bearings.size(); ++k) {
            if (bearing >= bearings[k] && bearing <= bearings[k + 1]) {
                const double along =
                    bearings[k + 1] == bearings[k] ? 0.0 : (bearing - bearings[k]) / (bearings[k + 1] - bearings[k]);
                return (static_cast<double>(k) + along) / 511.0;
            }
        }
        return -1.0;
    };
    const auto wedges = FanGeometry::wedgeVertices(bearings, false, 64);
    const double beam = 1.0 / 511.0;
    double worst = 0.0;
    int compared = 0;
    for (int i = 1; i < 60; ++i) {
        for (int j = 1; j < 40; ++j) {
            const double r = j / 40.0;
            const double angleDegrees = 25.0 + 130.0 * i / 60.0;
            const double angle = angleDegrees * std::numbers::pi / 180.0;
            const double ideal = idealU(angleDegrees);
            const double drawn = textureUAt(wedges, r * std::cos(angle), r * std::sin(angle), true);
            if (ideal < 0.0 || drawn < 0.0) {
                continue;
            }
            worst = std::max(worst, std::abs(ideal - drawn));
            ++compared;
        }
    }
    EXPECT_GT(compared, 2000);
    // 64 wedges of 8 sine-spaced beams stay within 0.12 of a beam.
    EXPECT_LT(worst, 0.15 * beam);
}

TEST(FanWedges, EngineDrawsTheLimitedFan)
{
    FanGeometryEngine engine;
    engine.newImage(constantImage(512, 10, 10.0, 1));
    EXPECT_EQ(engine.getMaximumWedges(), 64);
    EXPECT_LE(engine.getDrawnVertexCount(), 64 * 3);
    engine.setMaximumWedges(0);
    EXPECT_EQ(engine.getDrawnVertexCount(), 3 * 512 - 3);
}
