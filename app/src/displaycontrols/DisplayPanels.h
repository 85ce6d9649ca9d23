#pragma once

#include "sonarcontrols/BasicSliderPopOut.h"

#include <keldar/gui/BasicPopOutWidget.h>
#include <keldar/visualisation/FanDisplayOptions.h>

#include <array>
#include <memory>

class QAbstractButton;
class QLabel;
class QSettings;
class QSlider;
class QVBoxLayout;

namespace Keldar::GUI::Widgets::Controls {
class ToggleSwitch;
}

namespace Keldar::OndrixLumivane {

// A pop-out with a drag handle over a vertical layout, the frame of the
// display panels below.
class DisplayPanel : public GUI::Widgets::Containers::BasicPopOutWidget
{
    Q_OBJECT

public:
    DisplayPanel(GUI::Widgets::Bases::PopOutWidgetControl* button, const QString& title, QWidget* parent);

protected:
    QVBoxLayout* body;
};

// De-speckle and clamp sliders. De-speckling takes odd filter sizes 1 to 15;
// clamping takes a fraction of full scale, at most 0.075.
class FilterControls : public DisplayPanel
{
    Q_OBJECT

public:
    explicit FilterControls(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent = nullptr);

    QSlider* getDespeckleSlider() const;
    QSlider* getClampSlider() const;

Q_SIGNALS:
    void newDespeckleLevelRequested(int level);
    void newClampLevelRequested(float level);

private:
    QSlider* despeckleSlider;
    QSlider* clampSlider;
};

// Rotation slider in degrees with buttons for the four orientations; the
// button of the current angle is checked, none for other angles.
class RotationControls : public BasicSliderPopOut
{
    Q_OBJECT

public:
    static constexpr const char* settingsGroup = "RotationControl";

    explicit RotationControls(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent = nullptr);
    ~RotationControls() override;

    // Up, left, down, right: 0, 90, 180 and 270 degrees.
    QAbstractButton* orientationButton(int index) const;
    // North up when a heading is known, instead of the sonar's heading up.
    QAbstractButton* northUpButton() const { return northUp; }
    bool isNorthUp() const;
    // What the fan shows: "north up", "heading up: no heading", or nothing.
    void showOrientationStatus(const QString& text);
    void loadState();
    void saveState();

Q_SIGNALS:
    void northUpChanged(bool on);

private:
    void showOrientation(int angle);

    std::unique_ptr<QSettings> store;
    std::array<QAbstractButton*, 4> orientationButtons{};
    QAbstractButton* northUp;
    QLabel* orientationStatus;
};

// Range arcs, range labels and sector lines on or off; the toggle shortcut
// switches all off and later restores the mix that was on.
class OverlayFeaturesControl : public DisplayPanel
{
    Q_OBJECT

public:
    using ToggleSwitch = GUI::Widgets::Controls::ToggleSwitch;

    explicit OverlayFeaturesControl(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent = nullptr);
    ~OverlayFeaturesControl() override;

    ToggleSwitch* getRangeArcsToggle() const;
    ToggleSwitch* getRangeLabelsToggle() const;
    ToggleSwitch* getSectorLinesToggle() const;
    void toggleOverlays();
    void loadState();
    void saveState();

Q_SIGNALS:
    void setRangeLabels(bool enabled);
    void setRangeArcs(bool enabled);
    void setSectorLines(bool enabled);

private:
    std::unique_ptr<QSettings> store;
    ToggleSwitch* rangeArcs;
    ToggleSwitch* rangeLabels;
    ToggleSwitch* sectorLines;
    std::array<bool, 3> remembered{};
};

// One button per measuring tool of the fan display.
class MeasuringTools : public GUI::Widgets::Containers::BasicPopOutWidget
{
    Q_OBJECT

public:
    using MeasurementMode = Ondrix::Visualisation::FanDisplayOptions::MeasurementMode;

    explicit MeasuringTools(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent = nullptr);

Q_SIGNALS:
    void newMeasurementModeRequested(Keldar::Ondrix::Visualisation::FanDisplayOptions::MeasurementMode mode);
};

} // namespace Keldar::OndrixLumivane
