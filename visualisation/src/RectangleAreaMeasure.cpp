#include <keldar/visualisation/RectangleAreaMeasure.h>

#include <keldar/gui/OpenGLWidgetPainter.h>

#include <QColor>

#include <cmath>
#include <vector>

namespace Keldar::Ondrix::Visualisation {

using Painter = GUI::Widgets::Bases::OpenGLWidgetPainter;

double RectangleAreaMeasure::calculate(double range, float scaleX, float scaleY)
{
    if (scaleX == 0.F || scaleY == 0.F) {
        value = 0.F;
        return 0.0;
    }
    const double k = static_cast<double>(scaleY) / scaleX;
    const auto width = static_cast<float>(std::abs(end.x() - start.x()) * k * range / scaleY);
    const auto height = static_cast<float>(std::abs(end.y() - start.y()) * range / scaleY);
    value = width * height;
    return width;
}

void RectangleAreaMeasure::draw(Painter& painter)
{
    if (unit == nullptr) {
        return;
    }
    const QPointF middle = (start + end) / 2.0;
    drawText(painter, middle, Painter::AlignHCentre | Painter::AlignVCentre);
    const auto sx = static_cast<float>(start.x());
    const auto sy = static_cast<float>(start.y());
    const auto ex = static_cast<float>(end.x());
    const auto ey = static_cast<float>(end.y());
    const std::vector<float> outline{sx, sy, sx, ey, ex, ey, ex, sy, sx, sy};
    painter.drawLines(outline, edgeWidth, edgeColour(), true, true, false);
    painter.drawLines(outline, lineWidth, lineColour(), true, true, false);
}

const char* RectangleAreaMeasure::label() const
{
    return "Area: ";
}

} // namespace Keldar::Ondrix::Visualisation
