#pragma once

#include <keldar/visualisation/FanDisplay.h>

#include <QTimer>

namespace Keldar::Ondrix::Visualisation {

// A fan display that can itself be magnified about the centre of the fan,
// optionally with a ten-step animation.
class ZoomableFanDisplay : public FanDisplay
{
    Q_OBJECT

public:
    static constexpr int AnimationSteps = 10;
    static constexpr int AnimationIntervalMs = 30;

    explicit ZoomableFanDisplay(QWidget* parent = nullptr);

    // The level being zoomed to (already the new one during an animation).
    float getZoomLevel() const;
    float getCurrentZoom() const;
    bool isAnimating() const;
    void setZoomLevel(float level, bool animate);

    void resizeGL(int w, int h) override;

public slots:
    // One animation step; the timer calls it every 30 ms while animating.
    void animationTick();

private:
    // Rescales from `from` to `to` times the fitted scale and keeps the model
    // point under the widget centre in place.
    void rescaleAboutCentre(float from, float to);

    float targetZoom = 1.F;
    float currentZoom = 1.F;
    float step = 0.F;
    QTimer timer;
};

} // namespace Keldar::Ondrix::Visualisation
