#pragma once

#include <keldar/visualisation/MeasuringToolBase.h>

namespace Keldar::Ondrix::Visualisation {

class StraightLineMeasure : public MeasuringToolBase
{
public:
    double calculate(double range, float scaleX, float scaleY) override;
    void draw(GUI::Widgets::Bases::OpenGLWidgetPainter& painter) override;

    // The direction from `from` to `to` (the display's coordinates, y up) in
    // degrees clockwise from the sonar's centre line, 0..360, with the fan
    // turned `rotation` degrees counter-clockwise and the view's scale.
    static double relativeBearing(QPointF from, QPointF to, float scaleX, float scaleY, float rotation);
    // The line's true bearing (0..360), when the centre line's is known.
    std::optional<double> getTrueBearing() const;

protected:
    const char* label() const override;
    // "  Bearing: 123.4 deg T" when the true bearing is known.
    std::string suffix() const override;

private:
    double lineBearing = 0.0; // relative to the centre line
};

} // namespace Keldar::Ondrix::Visualisation
