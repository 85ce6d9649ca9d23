#pragma once

#include <keldar/visualisation/MeasuringToolBase.h>

namespace Keldar::Ondrix::Visualisation {

class CircleAreaFromCentreMeasure : public MeasuringToolBase
{
public:
    double calculate(double range, float scaleX, float scaleY) override;
    void draw(GUI::Widgets::Bases::OpenGLWidgetPainter& painter) override;
    void clear() override;
    float getRadius() const { return radius; }

protected:
    const char* label() const override;
};

} // namespace Keldar::Ondrix::Visualisation
