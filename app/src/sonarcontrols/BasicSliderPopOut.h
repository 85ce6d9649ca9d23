#pragma once

#include <keldar/gui/BasicPopOutWidget.h>

#include <functional>
#include <string>

class QLabel;
class QSlider;

namespace Keldar::GUI::Widgets::AddOns {
class FloatingWidgetHandle;
}
namespace Keldar::GUI::Widgets::Buttons {
class SvgButton;
}

namespace Keldar::OndrixLumivane {

// A pop-out with one labelled slider, its value shown beside it in display
// units (slider value × factor, then the unit suffix) and optional minus and
// plus buttons that step through the step function.
class BasicSliderPopOut : public GUI::Widgets::Containers::BasicPopOutWidget
{
    Q_OBJECT

public:
    // (value, direction) → new value; direction 0 up, 1 down.
    using StepFunction = std::function<int(int, int)>;
    static constexpr int gap = 8;

    BasicSliderPopOut(GUI::Widgets::Bases::PopOutWidgetControl* button, const QString& labelText, int minimum,
                      int maximum, int singleStep, int pageStep, std::string unitSuffix, float factor,
                      bool showPlusMinus, QWidget* parent = nullptr);

    void setStepFunction(StepFunction function);
    void setUnitSuffix(const std::string& suffix);
    void setFactor(float factor);

    int getValue() const;
    // Without emitting valueChanged: for values that came from the sonar.
    void setValueQuietly(int value);
    void setRangeQuietly(int minimum, int maximum);

    QSlider* getSlider() const;
    // Null when the pop-out was built without them.
    GUI::Widgets::Buttons::SvgButton* getPlusButton() const;
    GUI::Widgets::Buttons::SvgButton* getMinusButton() const;

    // value rounded to hundredths: "9.75", "9.5" or "10", then the suffix.
    static QString formatValue(double value, const std::string& suffix);

Q_SIGNALS:
    void valueChanged(int value);
    void valueChanged(double value);

private:
    void step(int direction);
    void updateValueLabel();

    QLabel* sliderLabel;
    QSlider* slider;
    QLabel* valueLabel;
    GUI::Widgets::Buttons::SvgButton* minusButton = nullptr;
    GUI::Widgets::Buttons::SvgButton* plusButton = nullptr;
    GUI::Widgets::AddOns::FloatingWidgetHandle* handle;
    std::string unitSuffix;
    float factor;
    StepFunction stepFunction;
};

} // namespace Keldar::OndrixLumivane
