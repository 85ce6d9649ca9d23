#pragma once

#include "controller/MetaTypes.h"

#include "base/ToolbarBase.h"

#include <keldar/ondrix/ModelSpec.h>
#include <keldar/ondrix/SonarTypes.h>

#include <string>

class QShortcut;

namespace Keldar::DataProcessing::Units {
class UnitInterface;
}
namespace Keldar::GUI::Widgets::Buttons {
class PopOutWidgetButton;
}

namespace Keldar::OndrixLumivane {

class BasicSliderPopOut;
class FrequencyControl;
class SonarSettingsControls;

// Sidebar controls of a connected sonar: range, gain and frequency pop-outs
// and the sonar options. The range slider works in tenths of a metre whatever
// distance unit is shown, so the sonar always receives metres.
class SonarControlToolbar : public ToolbarBase
{
    Q_OBJECT

public:
    using Frequency = Ondrix::Frequency;
    using ModelSpec = Ondrix::ModelSpec;
    using OperationParameters = Ondrix::OperationParameters;
    using PopOutWidgetButton = GUI::Widgets::Buttons::PopOutWidgetButton;
    static constexpr const char* settingsGroup = "SonarControlToolbar";

    explicit SonarControlToolbar(QWidget* parent = nullptr);

    // The range pop-out shows distances in `unit`.
    void setDistanceUnit(const DataProcessing::Units::UnitInterface& unit);
    // Moves every pop-out into the sonar display, hidden.
    void placePopOuts();

    bool autoFrequencyIsEnabled() const;
    PopOutWidgetButton* getRangeButton() const;
    PopOutWidgetButton* getGainButton() const;
    PopOutWidgetButton* getFrequencyButton() const;
    PopOutWidgetButton* getSonarSettingsButton() const;
    BasicSliderPopOut* getRangeControl() const;
    BasicSliderPopOut* getGainControl() const;
    FrequencyControl* getFrequencyControl() const;
    SonarSettingsControls* getSonarSettings() const;

Q_SIGNALS:
    void newRangeRequested(double range);
    void newGainRequested(double gain);
    void newFrequencyRequested(Keldar::Ondrix::Frequency frequency);
    void newGammaRequested(int gamma);
    void newGainAssistSettingRequested(bool enabled);
    void newGainBoostSettingRequested(bool enabled);
    void newFullBeamsSettingRequested(bool enabled);
    void newPingRateRequested(int code);
    void newNetworkConfig(bool dhcpEnabled, std::string ipAddress, std::string subnetMask);
    void newNetworkConfigRequested(bool dhcpEnabled, std::string ipAddress, std::string subnetMask);
    // The user turned automatic frequency choice on or off.
    void autoFrequencyChanged(bool enabled);

public Q_SLOTS:
    void newSonarSpec(Keldar::Ondrix::ModelSpec spec);
    // Automatic frequency as remembered for the sonar being connected; the
    // parameters that follow show it.
    void setAutoFrequency(bool enabled);
    void setOperatingParameters(Keldar::Ondrix::OperationParameters parameters);
    void loadShortcuts();

    void restoreState(int mode) override;
    void saveState() override;
    void resetControls() override;

private:
    void applyApplicationDistanceUnit();
    void rangeChanged(int tenths);
    void frequencyChosen(Frequency frequency);
    void autoFrequencyChosen();
    void requestFrequencyForRange(double metres);
    void setRangeLimits(Frequency frequency, bool quietly);
    void setAutoRangeLimits();
    void toggleFrequency();

    PopOutWidgetButton* rangeButton;
    PopOutWidgetButton* gainButton;
    PopOutWidgetButton* frequencyButton;
    PopOutWidgetButton* sonarSettingsButton;
    BasicSliderPopOut* rangeControl;
    BasicSliderPopOut* gainControl;
    FrequencyControl* frequencyControl;
    SonarSettingsControls* sonarSettings;
    ModelSpec spec;
    bool autoFrequency = false;
    QShortcut* increaseRangeShortcut;
    QShortcut* decreaseRangeShortcut;
    QShortcut* increaseGainShortcut;
    QShortcut* decreaseGainShortcut;
    QShortcut* toggleFrequencyShortcut;
};

} // namespace Keldar::OndrixLumivane
