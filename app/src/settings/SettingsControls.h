#pragma once

#include "base/ViewerContext.h"
#include "settings/SonarSetup.h"

#include <keldar/gui/BasicPopOutWidget.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSettings;

namespace Keldar::GUI::Widgets::Buttons {
class SvgButton;
}
namespace Keldar::GUI::Widgets::Controls {
class ToggleSwitch;
}

namespace Keldar::OndrixLumivane {

class BrowserSharing;
class NavigationSettings;
class KeyboardShortcutConfigDialog;
class WaterAndBandwidthEditor;

// The settings pop-out: theme, units, behaviour, the water and bandwidth of
// sonars and where captures go. It reads the general settings once the
// window exists, sends each value on as if the user had chosen it, and
// writes them all back when it is destroyed at exit.
//
// Water and bandwidth come twice: "Default for New Sonars", stored here with
// the general settings, and, while a sonar is connected, "This Sonar": what
// it uses, changed for it alone and remembered with its own parameters.
class SettingsControls : public GUI::Widgets::Containers::BasicPopOutWidget
{
    Q_OBJECT

public:
    using DistanceUnits = ViewerContext::DistanceUnits;
    using AreaUnits = ViewerContext::AreaUnits;
    using SpeedUnits = ViewerContext::SpeedUnits;
    using TemperatureUnits = ViewerContext::TemperatureUnits;
    using PressureUnits = ViewerContext::PressureUnits;
    using ToggleSwitch = GUI::Widgets::Controls::ToggleSwitch;
    // (parent, title, start folder) → chosen folder or empty; a seam so that
    // tests can answer the folder dialog.
    using FolderChooser = std::function<QString(QWidget*, const QString&, const QString&)>;

    explicit SettingsControls(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent = nullptr);
    ~SettingsControls() override;

    void setFolderChooser(FolderChooser chooser);
    KeyboardShortcutConfigDialog* getShortcutDialog() const;
    BrowserSharing* getBrowserSharing() const;
    // Writes every general setting from the widgets (also done at destruction).
    void saveSettings();

Q_SIGNALS:
    void distanceUnitChangeRequested(Keldar::OndrixLumivane::ViewerContext::DistanceUnits unit);
    void areaUnitChangeRequested(Keldar::OndrixLumivane::ViewerContext::AreaUnits unit);
    void speedUnitChangeRequested(Keldar::OndrixLumivane::ViewerContext::SpeedUnits unit);
    void temperatureUnitChangeRequested(Keldar::OndrixLumivane::ViewerContext::TemperatureUnits unit);
    void pressureUnitChangeRequested(Keldar::OndrixLumivane::ViewerContext::PressureUnits unit);
    // The defaults for new sonars.
    void newSonarEnvironmentRequested(double speedOfSound, double salinity);
    void newBandwidthLimitRequested(uint8_t limit);
    // The connected sonar's own.
    void sonarEnvironmentRequested(double speedOfSound, double salinity);
    void sonarBandwidthRequested(uint8_t limit);
    void useDefaultsForSonarRequested();
    // The salinity of the water the depth is worked out for: the connected
    // sonar's, else the default.
    void salinityInUse(double salinity);
    void logCompressionSettingChanged(bool enabled);
    void newLogLocationRequested(std::string folder);
    void captureFormatSettingChanged(std::string extension);
    void keyboardShortcutsInitialised();
    void keyboardShortcutsChanged();
    // Every overlay display and pop-out back to where it stood on first start.
    void resetLayoutRequested();

public Q_SLOTS:
    void loadSettings();
    // Shows the speed unit's symbol and converts the typed speed into it.
    void updateSpeedSymbol();
    // Shows what the connected sonar uses under "This Sonar", sending nothing back.
    void showSonarSetup(const Keldar::OndrixLumivane::Settings::SonarSetup& setup);
    void sonarDisconnected();

private:
    void browseForFolder();

    std::unique_ptr<QSettings> store;
    QComboBox* themeCombo;
    QComboBox* distanceCombo;
    QComboBox* areaCombo;
    QComboBox* speedCombo;
    QComboBox* temperatureCombo;
    QComboBox* pressureCombo;
    QPushButton* shortcutsButton;
    QPushButton* resetLayoutButton;
    ToggleSwitch* autoConnectToggle;
    ToggleSwitch* saveSonarParamsToggle;
    QWidget* sonarBox;
    QLabel* sonarScopeLabel;
    WaterAndBandwidthEditor* sonarEditor;
    QPushButton* useDefaultsButton;
    WaterAndBandwidthEditor* defaultsEditor;
    bool sonarShown = false;
    ToggleSwitch* compressionToggle;
    QLineEdit* logLocationText;
    GUI::Widgets::Buttons::SvgButton* browseButton;
    QComboBox* captureFormatCombo;
    KeyboardShortcutConfigDialog* shortcutDialog;
    BrowserSharing* browserSharing;
    NavigationSettings* navigationSettings;
    FolderChooser folderChooser;
    bool loaded = false;
};

} // namespace Keldar::OndrixLumivane
