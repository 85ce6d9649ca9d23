#pragma once

#include <keldar/visualisation/MeasuringToolBase.h>

namespace Keldar::Ondrix::Visualisation {

class StraightLineMeasure : public MeasuringToolBase
{
public:
    double calculate(double range, float scaleX, float scaleY) override;
    void draw(GUI::Widgets::Bases::OpenGLWidgetPainter& painter) override;

protected:
    const char* label() const override;
};

} // namespace Keldar::Ondrix::Visualisation
