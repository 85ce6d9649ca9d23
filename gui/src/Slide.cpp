#include <keldar/gui/Slide.h>

#include <QWidget>

namespace Keldar::GUI::Animations {

Slide::Slide(QWidget* target, int direction, int distance, int durationMs, QObject* parent)
    : QPropertyAnimation(target, "pos", parent != nullptr ? parent : target)
    , target(target)
    , direction(direction)
    , distance(distance)
{
    setDuration(durationMs);
}

QPoint Slide::offsetFor(int direction, int distance)
{
    switch (direction) {
    case FromRight:
    case OutRight:
        return {distance, 0};
    case FromLeft:
    case OutLeft:
        return {-distance, 0};
    case FromBelow:
    case OutDown:
        return {0, distance};
    case FromAbove:
    case OutUp:
        return {0, -distance};
    default:
        return {};
    }
}

bool Slide::movesOut(int direction)
{
    return (direction & 8) != 0;
}

void Slide::slide()
{
    if (state() == QAbstractAnimation::Running) {
        stop();
        target->move(endValue().toPoint());
    }
    const QPoint current = target->pos();
    const QPoint offset = current + offsetFor(direction, distance);
    if (movesOut(direction)) {
        setStartValue(current);
        setEndValue(offset);
    } else {
        setStartValue(offset);
        setEndValue(current);
    }
    start();
}

void Slide::setDirection(int newDirection)
{
    direction = newDirection;
}

void Slide::setDistance(int newDistance)
{
    distance = newDistance;
}

int Slide::getDirection() const
{
    return direction;
}

int Slide::getDistance() const
{
    return distance;
}

} // namespace Keldar::GUI::Animations
