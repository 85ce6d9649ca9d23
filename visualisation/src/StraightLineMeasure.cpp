#include <keldar/visualisation/StraightLineMeasure.h>

#include <keldar/gui/OpenGLWidgetPainter.h>
#include <keldar/maths/Geometry.h>

#include <QColor>

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
    return value;
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
