#pragma once

#include "base/ToolbarBase.h"
#include "controller/MetaTypes.h"

#include <keldar/visualisation/FanDisplayOptions.h>

#include <cstdint>
#include <string>

class QShortcut;

namespace Keldar::GUI::Widgets::Buttons {
class PopOutWidgetButton;
class SvgButton;
} // namespace Keldar::GUI::Widgets::Buttons
namespace Keldar::Ondrix::Visualisation {
class ZoomDisplay;
}

namespace Keldar::OndrixLumivane {

class AdditionalDisplays;
class FilterControls;
class MeasuringTools;
class OverlayFeaturesControl;
class PaletteControl;
class RotationControls;

// Sidebar controls of how the sonar picture is shown: palette, filters,
// flip, rotation, overlay features, measuring tools and the overlay
// displays. Its panels only emit requests; the window hands them to the fan
// display, and hands the sonar's data on to the overlay displays.
class DisplayControlToolbar : public ToolbarBase
{
    Q_OBJECT

public:
    using PopOutWidgetButton = GUI::Widgets::Buttons::PopOutWidgetButton;
    using MeasurementMode = Ondrix::Visualisation::FanDisplayOptions::MeasurementMode;
    static constexpr const char* settingsGroup = "DisplayControlToolbar";

    explicit DisplayControlToolbar(QWidget* parent = nullptr);
    // Saves the state when a source is still open: quitting is not a
    // deactivation, but what the user arranged must come back.
    ~DisplayControlToolbar() override;
    // Saves the panels' state while the toolbar serves a mode.
    void saveIfShown();

    // Moves the pop-outs and the overlay displays into the sonar display and
    // restores the panels' own state.
    void placePopOuts();
    void setZoomDisplay(Ondrix::Visualisation::ZoomDisplay* display);

    PopOutWidgetButton* getPaletteButton() const;
    PopOutWidgetButton* getFiltersButton() const;
    GUI::Widgets::Buttons::SvgButton* getFlipButton() const;
    PopOutWidgetButton* getRotationButton() const;
    PopOutWidgetButton* getAdditionalDisplaysButton() const;
    PopOutWidgetButton* getMeasuringToolsButton() const;
    PopOutWidgetButton* getOverlayFeaturesButton() const;
    PaletteControl* getPaletteControl() const;
    FilterControls* getFilterControls() const;
    RotationControls* getRotationControls() const;
    AdditionalDisplays* getAdditionalDisplays() const;
    MeasuringTools* getMeasuringTools() const;
    OverlayFeaturesControl* getOverlayFeatures() const;

Q_SIGNALS:
    void changeRotation(int angle);
    void toggleHorizontalFlip(bool flipped);
    void newMeasurementModeRequested(Keldar::Ondrix::Visualisation::FanDisplayOptions::MeasurementMode mode);
    void newFrameRateReceived(int framesPerSecond);
    void newDataRateReceived(float megabitsPerSecond);
    void mouseTrackingRequired(bool required);
    void newMousePosition(double x, double y, double r, double theta);
    void newParams(Keldar::Ondrix::OndrixImage image);
    void sonarDetailsReceived(uint32_t serialNumber, std::string modelName, std::string ipAddress,
                              std::string subnetMask);
    void newPaletteRequested(int palette);
    void newPaletteModifierRequested(int modifier);
    void newDespeckleLevelRequested(int level);
    void newClampLevelRequested(float level);
    void newAttitude(Keldar::DataProcessing::Orientation::Attitude attitude);
    void newFirmwareVersion(std::string version);
    void newTemperatureStatus(Keldar::Ondrix::TemperatureStatus status);
    void newInternalTemperature(double temperature);
    void newCapabilities(Keldar::Ondrix::SonarCapabilities capabilities);
    void newTransmitCircuitFailure(bool failure);
    void newSsblPauseReason(bool paused, Keldar::Ondrix::SsblPauseReason reason);
    void newEnvironmentalConditions(Keldar::Ondrix::EnvironmentalConditions conditions);
    void setRangeArcs(bool enabled);
    void setRangeLabels(bool enabled);
    void setSectorLines(bool enabled);
    void logTimeZoneRetrieved(std::string zone);
    void currentLogTime(int64_t msSinceEpoch);

public Q_SLOTS:
    void loadShortcuts();

    void restoreState(int mode) override;
    void saveState() override;
    void resetControls() override;

private:
    PopOutWidgetButton* paletteButton;
    PopOutWidgetButton* filtersButton;
    GUI::Widgets::Buttons::SvgButton* flipButton;
    PopOutWidgetButton* rotationButton;
    PopOutWidgetButton* additionalDisplaysButton;
    PopOutWidgetButton* measuringToolsButton;
    PopOutWidgetButton* overlayFeaturesButton;
    PaletteControl* paletteControl;
    FilterControls* filterControls;
    RotationControls* rotationControls;
    AdditionalDisplays* additionalDisplays;
    MeasuringTools* measuringTools;
    OverlayFeaturesControl* overlayFeatures;
    QShortcut* nextPaletteShortcut;
    QShortcut* previousPaletteShortcut;
    QShortcut* toggleOverlayShortcut;
    bool panelsLoaded = false;
    bool active = false;
};

} // namespace Keldar::OndrixLumivane
