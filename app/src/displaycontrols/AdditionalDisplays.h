#pragma once

#include "displaycontrols/overlays/NavigationDisplay.h"
#include "displaycontrols/overlays/OverlayDisplays.h"

#include <keldar/gui/BasicPopOutWidget.h>
#include <keldar/gui/DraggableWidgetGroup.h>

#include <QSize>

#include <memory>
#include <vector>

class QSettings;

namespace Keldar::GUI::Widgets::Controls {
class ToggleSwitch;
}

namespace Keldar::OndrixLumivane {

// Switches for the overlay displays, and their owner: it places them in the
// sonar display, keeps them apart and inside it, and remembers which are
// shown, where and how large.
class AdditionalDisplays : public GUI::Widgets::Containers::BasicPopOutWidget
{
    Q_OBJECT

public:
    using ToggleSwitch = GUI::Widgets::Controls::ToggleSwitch;
    static constexpr const char* settingsGroup = "AdditionalDisplays";

    explicit AdditionalDisplays(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent = nullptr);
    ~AdditionalDisplays() override;

    // Moves the displays into `area` and restores their state.
    void placeDisplays(QWidget* area);
    void saveState();
    // Every display back to its first-start place; which are shown stays.
    void resetLayout();

    ZoomDisplayContainer* getZoomDisplay() const;
    AttitudeDisplayContainer* getAttitudeDisplay() const;
    FpsDisplay* getFpsDisplay() const;
    CoordinateDisplay* getCoordinateDisplay() const;
    SonarParametersDisplay* getSonarParametersDisplay() const;
    SonarDetailsDisplay* getSonarDetailsDisplay() const;
    StatusDiagnosticsDisplay* getStatusDiagnosticsDisplay() const;
    EnvironmentalConditionsDisplay* getEnvironmentDisplay() const;
    LogDateTimeDisplay* getLogDateTimeDisplay() const;
    NavigationDisplay* getNavigationDisplay() const;
    const std::vector<AdditionalDisplayWidget*>& getDisplays() const;
    // The switch of the display with `keyStem`.
    ToggleSwitch* switchFor(const QString& keyStem) const;

Q_SIGNALS:
    void mouseTrackingRequired(bool required);

public Q_SLOTS:
    void handleWindowResize(QSize oldSize, QSize newSize);
    // The sonar or log shown is closed: what it reported must not pass for
    // the next one's (status, rates, attitude, parameters, readings, log time
    // and depth zero).
    void sourceClosed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void displaySwitched(AdditionalDisplayWidget* display, bool visible);
    // Where the display stands on first start: one column after another down
    // the left of the picture, apart from each other.
    std::vector<QPoint> firstStartPlaces() const;
    // Puts the display where the user left it, as far as the area allows; the
    // wanted place is kept, so that a larger area brings it back there.
    void placeInside(std::size_t index);
    QPoint placeFor(std::size_t index) const;
    void keepInside(AdditionalDisplayWidget* display);
    // Moves `display` to the first place where it covers no other shown
    // display, down the right-hand edge first; left alone when none is free.
    void moveClear(AdditionalDisplayWidget* display);

    std::unique_ptr<QSettings> store;
    GUI::Widgets::Bases::DraggableWidgetGroup group;
    ZoomDisplayContainer* zoom;
    AttitudeDisplayContainer* attitude;
    FpsDisplay* fps;
    CoordinateDisplay* coordinates;
    SonarParametersDisplay* parameters;
    SonarDetailsDisplay* details;
    StatusDiagnosticsDisplay* diagnostics;
    EnvironmentalConditionsDisplay* environment;
    LogDateTimeDisplay* logTime;
    NavigationDisplay* navigation;
    std::vector<AdditionalDisplayWidget*> displays;
    std::vector<ToggleSwitch*> switches;
    // Where each display was put by the user or the settings, whatever the
    // area's size now: the area starts small and grows once the window shows.
    std::vector<QPoint> wantedPlaces;
    bool placing = false;
    bool placed = false;
};

} // namespace Keldar::OndrixLumivane
