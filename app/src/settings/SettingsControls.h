#pragma once

#include "base/ViewerContext.h"

#include <keldar/gui/BasicPopOutWidget.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSettings;
class QSlider;

namespace Keldar::GUI::Widgets::Buttons {
class SvgButton;
}
namespace Keldar::GUI::Widgets::Controls {
class ToggleSwitch;
}

namespace Keldar::OndrixLumivane {

class BrowserSharing;
class KeyboardShortcutConfigDialog;

// The settings pop-out: theme, units, behaviour, the sonar's water, network
// bandwidth and where captures go. It reads the general settings once the
// window exists, sends each value on as if the user had chosen it, and
// writes them all back when it is destroyed at exit.
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
    void newSonarEnvironmentRequested(double speedOfSound, double salinity);
    void newBandwidthLimitRequested(uint8_t limit);
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
    // Shows the water and bandwidth the connected sonar took (its remembered
    // values may differ from the general ones), sending nothing back.
    void showSonarEnvironment(double speedOfSound, double salinity, int bandwidth);

private:
    void environmentChosen(int index);
    void requestCustomSpeed();
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
    QRadioButton* freshWaterOption;
    QRadioButton* saltWaterOption;
    QRadioButton* customOption;
    QLineEdit* speedInput;
    QLabel* speedUnits;
    QLineEdit* salinityInput;
    QSlider* bandwidthInput;
    ToggleSwitch* compressionToggle;
    QLineEdit* logLocationText;
    GUI::Widgets::Buttons::SvgButton* browseButton;
    QComboBox* captureFormatCombo;
    KeyboardShortcutConfigDialog* shortcutDialog;
    BrowserSharing* browserSharing;
    FolderChooser folderChooser;
    bool loaded = false;
    // Metres per second in one unit of the speed field's number.
    double speedFieldFactor = 1.0;
};

} // namespace Keldar::OndrixLumivane
