#include <keldar/visualisation/ZoomableFanDisplay.h>

#include <cmath>

namespace Keldar::Ondrix::Visualisation {

ZoomableFanDisplay::ZoomableFanDisplay(QWidget* parent)
    : FanDisplay(parent)
{
    timer.setInterval(AnimationIntervalMs);
    connect(&timer, &QTimer::timeout, this, &ZoomableFanDisplay::animationTick);
}

float ZoomableFanDisplay::getZoomLevel() const
{
    return targetZoom;
}

float ZoomableFanDisplay::getCurrentZoom() const
{
    return currentZoom;
}

bool ZoomableFanDisplay::isAnimating() const
{
    return timer.isActive();
}

void ZoomableFanDisplay::setZoomLevel(float level, bool animate)
{
    if (animate) {
        step = (targetZoom - level) / AnimationSteps;
        currentZoom = targetZoom;
        targetZoom = level;
        timer.start();
        return;
    }
    timer.stop();
    const float old = targetZoom;
    targetZoom = level;
    currentZoom = level;
    rescaleAboutCentre(old, level);
    update();
}

void ZoomableFanDisplay::animationTick()
{
    const float previous = currentZoom;
    float next = previous - step;
    // Ten equal steps do not add up exactly in floating point; a remainder
    // smaller than a thousandth of a step counts as arrived.
    const float slack = std::abs(step) * 1e-3F;
    const bool increasing = step < 0.F;
    if ((increasing && next >= targetZoom - slack) || (!increasing && next <= targetZoom + slack)) {
        next = targetZoom;
    }
    currentZoom = next;
    rescaleAboutCentre(previous, currentZoom);
    update();
    if (currentZoom == targetZoom) {
        timer.stop();
    }
}

void ZoomableFanDisplay::rescaleAboutCentre(float from, float to)
{
    if (from == 0.F) {
        return;
    }
    const QPointF centre = getCurrentProjection().inverted().map(QPointF(0.0, 0.0));
    const auto s = getCurrentScale();
    scale(s.x / from * to, s.y / from * to, 1.F, true);
    const QPointF moved = getCurrentProjection().map(centre);
    translate(static_cast<float>(-moved.x()), static_cast<float>(-moved.y()), 0.F, false);
}

void ZoomableFanDisplay::resizeGL(int w, int h)
{
    FanDisplay::resizeGL(w, h);
    const QPointF centre = getCurrentProjection().inverted().map(QPointF(0.0, 0.0));
    const auto s = getCurrentScale();
    scale(currentZoom * s.x, currentZoom * s.y, 1.F, true);
    const QPointF moved = getCurrentProjection().map(centre);
    translate(static_cast<float>(-moved.x()), static_cast<float>(-moved.y()), 0.F, false);
    // No update() here: this runs inside every paint, and asking for another
    // paint from within one would repaint forever.
}

} // namespace Keldar::Ondrix::Visualisation
