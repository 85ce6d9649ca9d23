#pragma once

#include "controller/MetaTypes.h"

#include <keldar/gui/BasicPopOutWidget.h>
#include <keldar/gui/Toast.h>
#include <keldar/ondrix/ModelSpec.h>

#include <cstdint>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QTimer;

namespace Keldar::GUI::Widgets::Controls {
class ToggleSwitch;
}
namespace Keldar::GUI::Widgets::Inputs {
class DottedQuadInput;
}

namespace Keldar::OndrixLumivane {

// The sonar options pop-out: gamma, gain assist, gain boost, 512 beams and
// the maximum ping rate, and the sonar's network settings. A network change
// is applied only once the sonar reports it back; without that report within
// applyTimeoutMs the user is told and may edit again.
class SonarSettingsControls : public GUI::Widgets::Containers::BasicPopOutWidget
{
    Q_OBJECT

public:
    using ToggleSwitch = GUI::Widgets::Controls::ToggleSwitch;
    using DottedQuadInput = GUI::Widgets::Inputs::DottedQuadInput;
    static constexpr int gap = 8;
    static constexpr int applyTimeoutMs = 1500;
    static constexpr int toastDurationMs = 2500;

    explicit SonarSettingsControls(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent = nullptr);

    // Values from the sonar, shown without sending them back.
    void showParameters(int gamma, bool gainAssist, bool gainBoost, int pingRateCode, bool fullBeams);

    bool isApplying() const;

Q_SIGNALS:
    void newGammaRequested(int value);
    void newGainAssistSettingRequested(bool enabled);
    void newGainBoostSettingRequested(bool enabled);
    void newFullBeamsSettingRequested(bool enabled);
    void newNetworkConfigRequested(bool dhcpEnabled, std::string ipAddress, std::string subnetMask);
    void newPingRateRequested(int code);

public Q_SLOTS:
    void newNetworkConfig(bool dhcpEnabled, std::string ipAddress, std::string subnetMask);
    void dhcpToggleChanged(bool enabled);
    void handleNetworkApplyFailure();
    void newSonarSpec(Keldar::Ondrix::ModelSpec spec);
    // The sonar has gone: nothing it could answer is awaited any more.
    void endPendingApply();

private:
    void addressEdited(bool isIpAddress);
    void applyClicked();
    bool confirmApply(const std::string& ip, bool outsideLocalSubnets);
    void setApplyState(bool enabled);
    void setInputsReadOnly(bool readOnly);
    void showToast(GUI::Widgets::Notifications::ToastType type, const QString& text);
    std::string ipText() const;
    std::string maskText() const;

    QSlider* gammaSlider;
    QLabel* gammaValue;
    ToggleSwitch* gainAssistToggle;
    ToggleSwitch* gainBoostToggle;
    ToggleSwitch* fullBeamsToggle;
    QComboBox* pingRateCombo;
    ToggleSwitch* dhcpToggle;
    DottedQuadInput* ipAddressInput;
    DottedQuadInput* subnetMaskInput;
    QPushButton* networkApplyButton;
    QTimer* applyTimer;

    // The switch's state, which its knob reaches only once its animation ends.
    bool dhcpState = false;
    bool reportedDhcp = false;
    std::string reportedIp;
    std::string reportedMask;
    bool ipChanged = false;
    bool maskChanged = false;

    struct Request
    {
        bool dhcp = false;
        std::string ip;
        std::string mask;
    } requested;
};

} // namespace Keldar::OndrixLumivane
