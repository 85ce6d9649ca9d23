#include <keldar/visualisation/MeasuringToolBase.h>

#include <keldar/core/Units.h>
#include <keldar/gui/OpenGLWidgetPainter.h>

#include <QColor>
#include <QFont>

#include <QWidget>

#include <cstdio>

namespace Keldar::Ondrix::Visualisation {

void MeasuringToolBase::begin(QWidget* widget, QPointF point)
{
    clear();
    state = Measuring;
    if (widget != nullptr) {
        widget->setCursor(Qt::CrossCursor);
    }
    start = point;
    end = point;
}

void MeasuringToolBase::update(QPointF point, double range, float scaleX, float scaleY)
{
    end = point;
    calculate(range, scaleX, scaleY);
}

void MeasuringToolBase::finish(QWidget* widget)
{
    state = Done;
    if (widget != nullptr) {
        widget->setCursor(Qt::ArrowCursor);
    }
}

bool MeasuringToolBase::hasMeasurement() const
{
    return value != 0.F;
}

void MeasuringToolBase::clear()
{
    state = Idle;
    value = 0.F;
}

std::string MeasuringToolBase::getText() const
{
    if (unit == nullptr) {
        return {};
    }
    char number[64];
    std::snprintf(number, sizeof number, "%.2f", unit->fromSI(value));
    return std::string(label()) + number + unit->getAsciiSymbol() + suffix();
}

} // namespace Keldar::Ondrix::Visualisation

namespace Keldar::Ondrix::Visualisation {

void MeasuringToolBase::drawText(GUI::Widgets::Bases::OpenGLWidgetPainter& painter, QPointF at,
                                 std::uint8_t alignment) const
{
    // Text takes its colour from the font atlas, so red needs its own atlas
    // (built once, then looked up by key).
    const int previous = painter.getCurrentFont();
    const QFont font(QStringLiteral("Verdana"), 14);
    painter.setFont(painter.addFont(font, edgeColour()));
    for (const QPointF offset : {QPointF(-1.5, 0.0), QPointF(1.5, 0.0), QPointF(0.0, -1.5), QPointF(0.0, 1.5)}) {
        painter.drawText(static_cast<float>(at.x() + offset.x()), static_cast<float>(at.y() + offset.y()), 0, getText(),
                         alignment, true);
    }
    painter.setFont(painter.addFont(font, lineColour()));
    painter.drawText(static_cast<float>(at.x()), static_cast<float>(at.y()), 0, getText(), alignment, true);
    painter.setFont(previous);
}

QColor MeasuringToolBase::lineColour()
{
    return {255, 0, 0};
}

QColor MeasuringToolBase::edgeColour()
{
    return {0, 0, 0};
}

} // namespace Keldar::Ondrix::Visualisation
