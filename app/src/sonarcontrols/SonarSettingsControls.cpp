#include "sonarcontrols/SonarSettingsControls.h"

#include "base/MessageBoxes.h"
#include "base/PanelLayout.h"

#include <keldar/core/DottedQuadValue.h>
#include <keldar/gui/DottedQuadInput.h>
#include <keldar/gui/FloatingWidgetHandle.h>
#include <keldar/gui/MainWindow.h>
#include <keldar/gui/ToggleSwitch.h>
#include <keldar/ondrix/NetworkAddressCheck.h>
#include <keldar/ondrix/SonarTypes.h>

#include <QComboBox>
#include <QFont>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariant>

#include <stdexcept>

namespace Keldar::OndrixLumivane {

using namespace PanelLayout;

namespace {

using GUI::Widgets::Notifications::ToastType;
using Ondrix::PingRate;

// In list order: the codes are not in rate order.
constexpr std::pair<const char*, PingRate> pingRates[] = {{"2Hz", PingRate::Rate2Hz},
                                                          {"5Hz", PingRate::Rate5Hz},
                                                          {"10Hz", PingRate::Rate10Hz},
                                                          {"15Hz", PingRate::Rate15Hz},
                                                          {"40Hz", PingRate::Rate40Hz}};

} // namespace

SonarSettingsControls::SonarSettingsControls(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent)
    : BasicPopOutWidget(button, RightOfControl, gap, parent)
    , gammaSlider(new QSlider(Qt::Horizontal, this))
    , gammaValue(new QLabel(QStringLiteral("0.00"), this))
    , gainAssistToggle(new ToggleSwitch(this))
    , gainBoostToggle(new ToggleSwitch(this))
    , fullBeamsToggle(new ToggleSwitch(this))
    , pingRateCombo(new QComboBox(this))
    , dhcpToggle(new ToggleSwitch(this))
    , ipAddressInput(new DottedQuadInput(this))
    , subnetMaskInput(new DottedQuadInput(this))
    , networkApplyButton(new QPushButton(QStringLiteral("Apply"), this))
    , applyTimer(new QTimer(this))
{
    gammaSlider->setObjectName(QStringLiteral("gammaSlider"));
    gammaSlider->setRange(0, 255);
    gammaSlider->setMinimumWidth(120);
    gammaValue->setObjectName(QStringLiteral("gammaValue"));
    gammaValue->setMinimumWidth(32);
    gammaValue->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    gainAssistToggle->setObjectName(QStringLiteral("gainAssistToggle"));
    gainBoostToggle->setObjectName(QStringLiteral("gainBoostToggle"));
    fullBeamsToggle->setObjectName(QStringLiteral("fullBeamsToggle"));
    pingRateCombo->setObjectName(QStringLiteral("pingRateCombo"));
    for (const auto& [text, code] : pingRates) {
        pingRateCombo->addItem(QString::fromLatin1(text), static_cast<int>(code));
    }
    dhcpToggle->setObjectName(QStringLiteral("dhcpToggle"));
    ipAddressInput->setObjectName(QStringLiteral("ipAddressInput"));
    subnetMaskInput->setObjectName(QStringLiteral("subnetMaskInput"));
    networkApplyButton->setObjectName(QStringLiteral("networkApplyButton"));
    networkApplyButton->setCheckable(true);
    networkApplyButton->setEnabled(false);
    applyTimer->setSingleShot(true);
    applyTimer->setInterval(applyTimeoutMs);

    auto* layout = PanelLayout::popOutBody(this);

    layout->addWidget(heading(QStringLiteral("Advanced"), this));
    auto* advanced = section();
    auto* gammaRow = new QHBoxLayout;
    gammaRow->addWidget(gammaSlider, 1);
    gammaRow->addWidget(gammaValue);
    const int gammaRowIndex = advanced->rowCount();
    advanced->addWidget(new QLabel(QStringLiteral("Gamma:"), this), gammaRowIndex, 0);
    advanced->addLayout(gammaRow, gammaRowIndex, 1);
    addRow(advanced, QStringLiteral("Gain Assist:"), gainAssistToggle, this);
    addRow(advanced, QStringLiteral("Gain Boost:"), gainBoostToggle, this);
    addRow(advanced, QStringLiteral("512 Beams:"), fullBeamsToggle, this);
    addRow(advanced, QStringLiteral("Max Ping Rate:"), pingRateCombo, this);
    layout->addLayout(advanced);

    layout->addWidget(divider(this));

    layout->addWidget(heading(QStringLiteral("Network"), this));
    auto* network = section();
    addRow(network, QStringLiteral("DHCP Enabled:"), dhcpToggle, this);
    addRow(network, QStringLiteral("IP Address:"), ipAddressInput, this);
    addRow(network, QStringLiteral("Subnet Mask:"), subnetMaskInput, this);
    network->addWidget(networkApplyButton, network->rowCount(), 1, Qt::AlignRight);
    layout->addLayout(network);

    connect(gammaSlider, &QSlider::valueChanged, this, [this](int value) {
        gammaValue->setText(QString::number(value / 255.0, 'f', 2));
        Q_EMIT newGammaRequested(value);
    });
    connect(gainAssistToggle, &ToggleSwitch::toggled, this, &SonarSettingsControls::newGainAssistSettingRequested);
    connect(gainBoostToggle, &ToggleSwitch::toggled, this, &SonarSettingsControls::newGainBoostSettingRequested);
    connect(fullBeamsToggle, &ToggleSwitch::toggled, this, &SonarSettingsControls::newFullBeamsSettingRequested);
    connect(pingRateCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) { Q_EMIT newPingRateRequested(pingRateCombo->itemData(index).toInt()); });
    connect(dhcpToggle, &ToggleSwitch::toggled, this, &SonarSettingsControls::dhcpToggleChanged);
    connect(ipAddressInput, &DottedQuadInput::valueChanged, this, [this] { addressEdited(true); });
    connect(subnetMaskInput, &DottedQuadInput::valueChanged, this, [this] { addressEdited(false); });
    connect(networkApplyButton, &QPushButton::clicked, this, [this](bool checked) {
        // The button is checked while there is something to apply; the click
        // that clears it is the one that applies.
        if (!checked) {
            applyClicked();
        }
    });
    connect(applyTimer, &QTimer::timeout, this, &SonarSettingsControls::handleNetworkApplyFailure);
}

void SonarSettingsControls::showParameters(int gamma, bool gainAssist, bool gainBoost, int pingRateCode, bool fullBeams)
{
    {
        const QSignalBlocker blocker(gammaSlider);
        gammaSlider->setValue(gamma);
        gammaValue->setText(QString::number(gammaSlider->value() / 255.0, 'f', 2));
    }
    {
        const QSignalBlocker assist(gainAssistToggle);
        const QSignalBlocker boost(gainBoostToggle);
        const QSignalBlocker beams(fullBeamsToggle);
        gainAssistToggle->setState(gainAssist);
        gainBoostToggle->setState(gainBoost);
        fullBeamsToggle->setState(fullBeams);
    }
    const int index = pingRateCombo->findData(pingRateCode);
    if (index >= 0) {
        const QSignalBlocker blocker(pingRateCombo);
        pingRateCombo->setCurrentIndex(index);
    }
}

bool SonarSettingsControls::isApplying() const
{
    return applyTimer->isActive();
}

void SonarSettingsControls::newNetworkConfig(bool dhcpEnabled, std::string ipAddress, std::string subnetMask)
{
    dhcpToggle->setImmutable(false);
    networkApplyButton->setText(QStringLiteral("Apply"));
    reportedDhcp = dhcpEnabled;
    reportedIp = std::move(ipAddress);
    reportedMask = std::move(subnetMask);

    const bool answering = applyTimer->isActive();
    applyTimer->stop();
    // Under DHCP the sonar chooses its own address: only the switch is compared.
    const bool accepted = reportedDhcp == requested.dhcp &&
                          (reportedDhcp || (reportedIp == requested.ip && reportedMask == requested.mask));

    // Whether it took the request or not, the inputs show what the sonar holds.
    auto show = [](DottedQuadInput* input, const std::string& text) {
        try {
            input->setValue(DottedQuadValue(text));
        } catch (const std::exception&) {
            // A sonar that has no address yet reports a placeholder.
            input->setValue(DottedQuadValue());
        }
    };
    show(ipAddressInput, reportedIp);
    show(subnetMaskInput, reportedMask);
    ipChanged = ipText() != reportedIp;
    maskChanged = maskText() != reportedMask;
    // setState reports through toggled, which settles the inputs and Apply.
    dhcpToggle->setState(dhcpEnabled);

    if (!answering) {
        return;
    }
    if (accepted) {
        showToast(ToastType::Success,
                  QStringLiteral("Network settings applied (power cycle required to take effect)."));
    } else {
        showToast(ToastType::Error, QStringLiteral("The sonar did not accept the new settings"));
    }
}

void SonarSettingsControls::dhcpToggleChanged(bool enabled)
{
    dhcpState = enabled;
    setInputsReadOnly(enabled);
    if (applyTimer->isActive()) {
        return;
    }
    setApplyState(enabled != reportedDhcp || (!enabled && (ipChanged || maskChanged)));
}

void SonarSettingsControls::handleNetworkApplyFailure()
{
    applyTimer->stop();
    setApplyState(true);
    dhcpToggle->setImmutable(false);
    setInputsReadOnly(dhcpState);
    networkApplyButton->setText(QStringLiteral("Apply"));
    showToast(ToastType::Error, QStringLiteral("Network settings could not be applied."));
}

void SonarSettingsControls::endPendingApply()
{
    if (!applyTimer->isActive()) {
        return;
    }
    applyTimer->stop();
    setApplyState(false);
    dhcpToggle->setImmutable(false);
    setInputsReadOnly(dhcpState);
    networkApplyButton->setText(QStringLiteral("Apply"));
}

void SonarSettingsControls::newSonarSpec(Keldar::Ondrix::ModelSpec spec)
{
    fullBeamsToggle->setImmutable(spec.name == "Quillon A");
    const QSignalBlocker blocker(fullBeamsToggle);
    fullBeamsToggle->setState(false);
}

void SonarSettingsControls::addressEdited(bool isIpAddress)
{
    bool& changed = isIpAddress ? ipChanged : maskChanged;
    changed = isIpAddress ? ipText() != reportedIp : maskText() != reportedMask;
    if (applyTimer->isActive()) {
        return;
    }
    const bool otherChanged = isIpAddress ? maskChanged : ipChanged;
    if (dhcpState != reportedDhcp || otherChanged) {
        return;
    }
    setApplyState(changed);
}

namespace {

QString refusal(Ondrix::NetworkAddressCheck::Verdict verdict, const QString& ip)
{
    using Ondrix::NetworkAddressCheck::Verdict;
    const auto unusable = [&ip](const char* what) {
        return QStringLiteral("%1 is %2, not an address the sonar can use.").arg(ip, QLatin1String(what));
    };
    switch (verdict) {
    case Verdict::InvalidMask:
        return QStringLiteral("Invalid subnet mask.");
    case Verdict::Unspecified:
        return QStringLiteral("0.0.0.0 is not an address the sonar can use.");
    case Verdict::NetworkAddress:
        return unusable("the network address of its subnet");
    case Verdict::BroadcastAddress:
        return unusable("the broadcast address of its subnet");
    case Verdict::Multicast:
        return unusable("a multicast address");
    case Verdict::Loopback:
        return unusable("a loopback address");
    default:
        return QStringLiteral("Invalid IP address.");
    }
}

} // namespace

void SonarSettingsControls::applyClicked()
{
    namespace Check = Ondrix::NetworkAddressCheck;
    const bool dhcp = dhcpState;
    const std::string ip = ipText();
    const std::string mask = maskText();
    bool outside = false;
    // A sonar given an address it cannot be reached at is lost until someone
    // resets it by hand; under DHCP the address is not ours to check.
    if (!dhcp) {
        const Check::Verdict verdict = Check::check(ip, mask, Check::localSubnets());
        if (Check::isRefused(verdict)) {
            networkApplyButton->setChecked(true);
            showToast(ToastType::Error, refusal(verdict, QString::fromStdString(ip)));
            return;
        }
        outside = verdict == Check::Verdict::OutsideLocalSubnets;
    }
    if (!confirmApply(ip, outside)) {
        networkApplyButton->setChecked(true);
        return;
    }
    dhcpToggle->setImmutable(true);
    setInputsReadOnly(true);
    // Until the sonar answers or the wait runs out, a second click could only
    // send the same configuration again.
    networkApplyButton->setEnabled(false);
    networkApplyButton->setText(QStringLiteral("Applying..."));
    requested = {dhcp, ip, mask};
    Q_EMIT newNetworkConfigRequested(dhcp, ip, mask);
    applyTimer->start();
}

bool SonarSettingsControls::confirmApply(const std::string& ip, bool outsideLocalSubnets)
{
    QString text = QStringLiteral("The sonar takes on new network settings only when it restarts.");
    if (outsideLocalSubnets) {
        text += QStringLiteral("\n\n%1 is on none of this computer's networks: after the restart this computer "
                               "may not reach the sonar.")
                    .arg(QString::fromStdString(ip));
    }
    text += QStringLiteral("\n\nApply the new settings?");
    QMessageBox box(outsideLocalSubnets ? QMessageBox::Warning : QMessageBox::Question,
                    QStringLiteral("Apply Network Settings"), text, QMessageBox::Yes | QMessageBox::No, window());
    box.setDefaultButton(QMessageBox::Yes);
    return MessageBoxes::show(box) == QMessageBox::Yes;
}

void SonarSettingsControls::setApplyState(bool enabled)
{
    networkApplyButton->setEnabled(enabled);
    networkApplyButton->setChecked(enabled);
}

void SonarSettingsControls::setInputsReadOnly(bool readOnly)
{
    ipAddressInput->setReadOnly(readOnly);
    subnetMaskInput->setReadOnly(readOnly);
}

void SonarSettingsControls::showToast(ToastType type, const QString& text)
{
    for (QWidget* widget = parentWidget(); widget != nullptr; widget = widget->parentWidget()) {
        if (auto* mainWindow = qobject_cast<GUI::Widgets::MainWindow*>(widget)) {
            mainWindow->newToast(type, text, toastDurationMs);
            return;
        }
    }
}

std::string SonarSettingsControls::ipText() const
{
    return ipAddressInput->getValue().toString(false);
}

std::string SonarSettingsControls::maskText() const
{
    return subnetMaskInput->getValue().toString(false);
}

} // namespace Keldar::OndrixLumivane
