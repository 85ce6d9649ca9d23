#include <keldar/visualisation/StraightLineMeasure.h>

#include <keldar/gui/OpenGLWidgetPainter.h>
#include <keldar/maths/Geometry.h>

#include <QColor>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <utility>

namespace Keldar::Ondrix::Visualisation {

using Painter = GUI::Widgets::Bases::OpenGLWidgetPainter;

double StraightLineMeasure::calculate(double range, float scaleX, float scaleY)
{
    if (scaleX == 0.F || scaleY == 0.F) {
        value = 0.F;
        return 0.0;
    }
    const double k = static_cast<double>(scaleY) / scaleX;
    const double length = Maths::Geometry::distanceBetween({start.x() * k, start.y()}, {end.x() * k, end.y()});
    value = static_cast<float>(length * range / scaleY);
    lineBearing = relativeBearing(start, end, scaleX, scaleY, viewRotation);
    return value;
}

double StraightLineMeasure::relativeBearing(QPointF from, QPointF to, float scaleX, float scaleY, float rotation)
{
    // Clockwise from screen up, in the view's square units; the centre line
    // itself points `rotation` counter-clockwise from up.
    const double k = scaleX == 0.F ? 1.0 : static_cast<double>(scaleY) / scaleX;
    const double onScreen = std::atan2((to.x() - from.x()) * k, to.y() - from.y()) * 180.0 / std::numbers::pi;
    const double bearing = std::fmod(onScreen + static_cast<double>(rotation), 360.0);
    return bearing < 0.0 ? bearing + 360.0 : bearing;
}

std::optional<double> StraightLineMeasure::getTrueBearing() const
{
    if (!centreBearing || value <= 0.F) {
        return std::nullopt;
    }
    const double bearing = std::fmod(*centreBearing + lineBearing, 360.0);
    return bearing < 0.0 ? bearing + 360.0 : bearing;
}

std::string StraightLineMeasure::suffix() const
{
    const auto bearing = getTrueBearing();
    if (!bearing) {
        return {};
    }
    char text[48];
    // The painter's font atlas holds ASCII: "deg", not the degree sign.
    std::snprintf(text, sizeof text, "  Bearing: %05.1f deg T", *bearing);
    return text;
}

void StraightLineMeasure::draw(Painter& painter)
{
    if (unit == nullptr) {
        return;
    }
    // Centred on the end point with its bottom edge there; bit 32 is set as
    // the display's other clients do and carries no meaning for the painter.
    constexpr std::uint8_t aboveEndPoint = Painter::AlignHCentre | 32;
    drawText(painter, end, aboveEndPoint);
    for (const auto& [width, colour] : {std::pair{edgeWidth, edgeColour()}, std::pair{lineWidth, lineColour()}}) {
        painter.drawLine(static_cast<float>(start.x()), static_cast<float>(start.y()), static_cast<float>(end.x()),
                         static_cast<float>(end.y()), width, colour, true);
    }
}

const char* StraightLineMeasure::label() const
{
    return "Distance: ";
}

} // namespace Keldar::Ondrix::Visualisation
