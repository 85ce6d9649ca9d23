#pragma once

class QWidget;

namespace Keldar::GUI::Widgets::Bases {

// Mix-in that sizes a widget in base units, so that it grows with the screen
// the same way as the rest of the interface.
class ScalableWidget
{
public:
    enum ScalingMode { NoScaling = 0, FixedScaling = 1, MinimumScaling = 2 };

    explicit ScalableWidget(QWidget* widget);
    virtual ~ScalableWidget();
    ScalableWidget(const ScalableWidget&) = delete;
    ScalableWidget& operator=(const ScalableWidget&) = delete;

    void setScalingMode(int mode);
    void setHorizontalScalingMode(int mode);
    void setVerticalScalingMode(int mode);
    void setHorizontalScaling(float factor);
    void setVerticalScaling(float factor);
    int getHorizontalScalingMode() const;
    int getVerticalScalingMode() const;

    // Sets the fixed or minimum size of every scaled axis.
    void applyScaling();
    // Base unit × factor on a scaled axis, the widget's current size otherwise.
    int getScaledWidth() const;
    int getScaledHeight() const;

private:
    QWidget* widget;
    int horizontalMode = NoScaling;
    int verticalMode = NoScaling;
    float horizontalFactor = 1.0f;
    float verticalFactor = 1.0f;
};

} // namespace Keldar::GUI::Widgets::Bases
