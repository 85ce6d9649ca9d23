#pragma once

#include <QColor>
#include <QPointF>

#include <cstdint>
#include <optional>
#include <string>

class QWidget;

namespace Keldar::DataProcessing::Units {
class AbstractUnit;
}

namespace Keldar::GUI::Widgets::Bases {
class OpenGLWidgetPainter;
}

namespace Keldar::Ondrix::Visualisation {

// A drag-to-measure tool on the fan display. Points are the display's
// normalised device coordinates (-1..1, y up), fixed to the screen; lengths
// are turned into metres with the image range and the view's scale.
class MeasuringToolBase
{
public:
    enum ToolState : std::int32_t { Idle = 0, Measuring = 1, Done = 2 };

    MeasuringToolBase() = default;
    virtual ~MeasuringToolBase() = default;

    MeasuringToolBase(const MeasuringToolBase&) = delete;
    MeasuringToolBase& operator=(const MeasuringToolBase&) = delete;

    virtual void begin(QWidget* widget, QPointF point);
    virtual void update(QPointF point, double range, float scaleX, float scaleY);
    virtual double calculate(double range, float scaleX, float scaleY) = 0;
    // Draws nothing without a unit: there is no sensible fallback.
    virtual void draw(GUI::Widgets::Bases::OpenGLWidgetPainter& painter) = 0;
    virtual void finish(QWidget* widget);
    virtual bool hasMeasurement() const;
    virtual void clear();

    ToolState getState() const { return state; }
    void setUnit(const DataProcessing::Units::AbstractUnit* newUnit) { unit = newUnit; }
    const DataProcessing::Units::AbstractUnit* getUnit() const { return unit; }
    float getValue() const { return value; }
    QPointF getStartPoint() const { return start; }
    QPointF getEndPoint() const { return end; }
    // "<label><value in the unit, two decimals><ASCII symbol>", then what the
    // tool adds (a line's true bearing); empty without a unit.
    std::string getText() const;

    // How the fan is turned on screen (degrees counter-clockwise) and the
    // true bearing of the sonar's centre line, when the navigation knows it.
    void setOrientation(float rotation, std::optional<double> centreLineBearing)
    {
        viewRotation = rotation;
        centreBearing = centreLineBearing;
    }

protected:
    virtual const char* label() const = 0;
    virtual std::string suffix() const { return {}; }
    // Draws the text in the tools' red over a dark shadow, leaving the
    // painter's font as it was.
    void drawText(GUI::Widgets::Bases::OpenGLWidgetPainter& painter, QPointF at, std::uint8_t alignment) const;
    // The tools draw in red with a dark edge on both sides: red alone vanishes
    // on the red half of the Fire palette, the edge on dark ones.
    static constexpr int lineWidth = 2;
    static constexpr int edgeWidth = 6;
    static QColor lineColour();
    static QColor edgeColour();

    ToolState state = Idle;
    QPointF start;
    QPointF end;
    const DataProcessing::Units::AbstractUnit* unit = nullptr;
    float value = 0.F;
    float radius = 0.F;
    float viewRotation = 0.F;
    std::optional<double> centreBearing;
};

} // namespace Keldar::Ondrix::Visualisation
