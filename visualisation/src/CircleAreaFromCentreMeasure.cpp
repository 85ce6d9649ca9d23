#include <keldar/visualisation/CircleAreaFromCentreMeasure.h>

#include <keldar/gui/OpenGLWidgetPainter.h>
#include <keldar/maths/Geometry.h>

#include <QColor>

namespace Keldar::Ondrix::Visualisation {

using Painter = GUI::Widgets::Bases::OpenGLWidgetPainter;

double CircleAreaFromCentreMeasure::calculate(double range, float scaleX, float scaleY)
{
    if (scaleX == 0.F || scaleY == 0.F) {
        value = 0.F;
        return 0.0;
    }
    const double k = static_cast<double>(scaleY) / scaleX;
    radius = static_cast<float>(Maths::Geometry::distanceBetween({start.x() * k, start.y()}, {end.x() * k, end.y()}));
    value = static_cast<float>(Maths::Geometry::areaOfCirle(radius * range / scaleY));
    return value;
}

void CircleAreaFromCentreMeasure::draw(Painter& painter)
{
    if (unit == nullptr) {
        return;
    }
    drawText(painter, start, Painter::AlignHCentre | Painter::AlignVCentre);
    painter.drawCircle(start, radius, edgeWidth, edgeColour());
    painter.drawCircle(start, radius, lineWidth, lineColour());
}

void CircleAreaFromCentreMeasure::clear()
{
    MeasuringToolBase::clear();
    radius = 0.F;
}

const char* CircleAreaFromCentreMeasure::label() const
{
    return "Area: ";
}

} // namespace Keldar::Ondrix::Visualisation
